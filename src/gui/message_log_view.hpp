// The coloured message log: a rich-text box that mirrors the model's log, inserting new lines at
// the insertion point in their colour, and reports the caret a user places.
#pragma once

#include <QTextEdit>
#include <cstdint>
#include <functional>
#include <string>

#include "shell/window_model.hpp"

namespace quorbel::gui {

// Position in the shown document of a position in the log's text: a CR LF pair is one line break
// there, so each pair before the position counts once.
int DocumentPosition(const std::string& text, std::size_t modelPosition);
// The log position of a document position (the inverse of DocumentPosition).
std::size_t ModelPosition(const std::string& text, int documentPosition);

class MessageLogView : public QTextEdit {
    Q_OBJECT
  public:
    explicit MessageLogView(QWidget* parent = nullptr);

    // Brings the box up to date with the log when it changed.
    void ShowLog(const RichText& log);
    // Called with the log position when the user moves the caret.
    void SetCaretHandler(std::function<void(std::size_t)> handler) {
        m_caretHandler = std::move(handler);
    }

  private:
    bool InsertChange(const RichText& log);
    void Rebuild(const RichText& log);
    void InsertRange(const RichText& log, std::size_t from, std::size_t to, int documentPosition);
    void PlaceCaret(const RichText& log);

    std::string m_shownText;
    std::uint64_t m_revision = 0;
    bool m_shown = false;
    bool m_updating = false;
    std::function<void(std::size_t)> m_caretHandler;
};

}  // namespace quorbel::gui
