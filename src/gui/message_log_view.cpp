// The coloured message log box: incremental insertion at the log's insertion point, full rebuild
// when the log was emptied or changed otherwise, and the caret handed back to the log.
#include "message_log_view.hpp"

#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextCursor>

namespace quorbel::gui {

int DocumentPosition(const std::string& text, std::size_t modelPosition) {
    int position = 0;
    const std::size_t end = std::min(modelPosition, text.size());
    for (std::size_t i = 0; i < end; ++i) {
        const bool pairTail = text[i] == '\n' && i > 0 && text[i - 1] == '\r';
        if (!pairTail) {
            ++position;
        }
    }
    return position;
}

std::size_t ModelPosition(const std::string& text, int documentPosition) {
    int position = 0;
    std::size_t i = 0;
    while (i < text.size() && position < documentPosition) {
        const bool pair = text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n';
        i += pair ? 2 : 1;
        ++position;
    }
    return i;
}

MessageLogView::MessageLogView(QWidget* parent) : QTextEdit(parent) {
    setObjectName("messageLog");
    setReadOnly(true);
    setAcceptRichText(false);
    setUndoRedoEnabled(false);
    // Read only, yet the caret can be placed: the next line goes in where the user puts it.
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    connect(this, &QTextEdit::cursorPositionChanged, this, [this] {
        if (!m_updating && m_caretHandler) {
            m_caretHandler(ModelPosition(m_shownText, textCursor().position()));
        }
    });
}

void MessageLogView::ShowLog(const RichText& log) {
    if (m_shown && log.Revision() == m_revision) {
        return;
    }
    m_updating = true;
    if (!m_shown || !InsertChange(log)) {
        Rebuild(log);
    }
    m_shownText = log.Text();
    m_revision = log.Revision();
    m_shown = true;
    PlaceCaret(log);
    m_updating = false;
}

bool MessageLogView::InsertChange(const RichText& log) {
    // New lines end at the insertion point: the text then is the old text with one piece in.
    const std::string& text = log.Text();
    const std::size_t point = log.InsertionPoint();
    if (text.size() < m_shownText.size() || point > text.size()) {
        return false;
    }
    const std::size_t added = text.size() - m_shownText.size();
    if (added > point) {
        return false;
    }
    const std::size_t start = point - added;
    if (text.compare(0, start, m_shownText, 0, start) != 0 ||
        text.compare(point, std::string::npos, m_shownText, start, std::string::npos) != 0) {
        return false;
    }
    // A piece that starts between CR and LF would split a line break the box shows as one.
    if (start > 0 && start < m_shownText.size() && m_shownText[start - 1] == '\r' &&
        m_shownText[start] == '\n') {
        return false;
    }
    if (added > 0) {
        InsertRange(log, start, point, DocumentPosition(m_shownText, start));
    }
    return true;
}

void MessageLogView::Rebuild(const RichText& log) {
    clear();
    InsertRange(log, 0, log.Text().size(), 0);
}

void MessageLogView::InsertRange(const RichText& log, std::size_t from, std::size_t to,
                                 int documentPosition) {
    QTextCursor cursor(document());
    cursor.setPosition(documentPosition);
    cursor.beginEditBlock();
    std::size_t runStart = from;
    while (runStart < to) {
        const Rgb colour = log.ColourAt(runStart);
        std::size_t runEnd = runStart + 1;
        while (runEnd < to && log.ColourAt(runEnd) == colour) {
            ++runEnd;
        }
        if (runEnd < to && log.Text()[runEnd - 1] == '\r' && log.Text()[runEnd] == '\n') {
            ++runEnd;  // a CR LF pair stays in one piece: the box makes one line break of it
        }
        QTextCharFormat format;
        format.setForeground(QColor(colour.r, colour.g, colour.b));
        const std::string piece = log.Text().substr(runStart, runEnd - runStart);
        cursor.insertText(QString::fromLatin1(piece.data(), static_cast<qsizetype>(piece.size())),
                          format);
        runStart = runEnd;
    }
    cursor.endEditBlock();
}

void MessageLogView::PlaceCaret(const RichText& log) {
    QTextCursor cursor = textCursor();
    cursor.setPosition(DocumentPosition(log.Text(), log.InsertionPoint()));
    setTextCursor(cursor);
}

}  // namespace quorbel::gui
