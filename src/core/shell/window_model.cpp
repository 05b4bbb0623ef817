// The message log's text model: insertion at the caret, one colour per character.
#include <algorithm>

#include "shell/window_model.hpp"

#include "common/bounded_log.hpp"

namespace quorbel {

void RichText::SetInsertionPoint(std::size_t point) {
    m_insertionPoint = std::min(point, m_text.size());
    m_selectionLength = std::min(m_selectionLength, m_text.size() - m_insertionPoint);
}

void RichText::SetSelectionLength(std::size_t length) {
    m_selectionLength = std::min(length, m_text.size() - m_insertionPoint);
}

void RichText::InsertAtInsertionPoint(const std::string& text, Rgb colour) {
    const std::size_t p = m_insertionPoint;
    m_selectionLength = 0;  // nothing the user selected is replaced
    m_text.insert(p, text);
    m_colours.insert(m_colours.begin() + static_cast<std::ptrdiff_t>(p), text.size(), colour);
    m_insertionPoint = p + text.size();
    DropOldestLines();
    ++m_revision;
}

void RichText::DropOldestLines() {
    const unsigned long long dropped = DroppedLinesOf(m_text);
    const std::size_t noticeLength = dropped > 0 ? DroppedLinesNotice(dropped).size() : 0;
    const LogCut cut = CutOldestLines(m_text, noticeLength);
    if (cut.length == 0)
        return;
    const std::string notice = DroppedLinesNotice(dropped + cut.lines);
    const std::size_t removed = cut.from + cut.length;
    m_text.replace(0, removed, notice);
    m_colours.erase(m_colours.begin(), m_colours.begin() + static_cast<std::ptrdiff_t>(removed));
    m_colours.insert(m_colours.begin(), notice.size(), kDroppedLinesColour);
    // The caret and the selection keep their place in the text that stays; one in the dropped
    // lines moves to the first line kept.
    const std::size_t start = m_insertionPoint < removed ? removed : m_insertionPoint;
    const std::size_t selectionEnd = std::max(m_insertionPoint + m_selectionLength, removed);
    m_insertionPoint = start - removed + notice.size();
    m_selectionLength = selectionEnd - start;
}

void RichText::Clear() {
    m_text.clear();
    m_colours.clear();
    m_insertionPoint = 0;
    m_selectionLength = 0;
    ++m_revision;
}

std::vector<TextRun> RichText::Runs() const {
    std::vector<TextRun> runs;
    for (std::size_t i = 0; i < m_text.size(); ++i) {
        if (runs.empty() || !(runs.back().rgb == m_colours[i])) {
            runs.push_back({std::string(), m_colours[i]});
        }
        runs.back().text.push_back(m_text[i]);
    }
    return runs;
}

}  // namespace quorbel
