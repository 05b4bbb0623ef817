// The few things the logic needs from the platform: file dialogs, message boxes, letting the event
// loop run and checking a picture. Front ends implement it; tests use a double.
#pragma once

#include <string>
#include <vector>

namespace quorbel {

enum class MessageIcon { Information, Warning };

struct MessageBoxRequest {
    std::string title;
    std::string text;  // 8-bit text
    MessageIcon icon = MessageIcon::Information;
};

// The result of the open-file dialog.
struct FileSelection {
    enum class Outcome { Chosen, Cancelled, TooMany };
    Outcome outcome = Outcome::Cancelled;
    std::vector<std::string> paths;
};

struct OpenFileDialog {
    std::string title;   // empty: the platform's default
    std::string filter;  // "Caption (*.ext)|*.ext|All Files (*.*)|*.*"
    bool multiple = true;
};

class Platform {
  public:
    virtual ~Platform() = default;
    virtual FileSelection SelectFiles(const OpenFileDialog& dialog) = 0;
    virtual void ShowMessage(const MessageBoxRequest& box) = 0;
    // Lets pending events run (repaints, live frames) in the middle of a long read.
    virtual void DoEvents() = 0;
    // True when the file holds a picture the window can show.
    virtual bool CanLoadPicture(const std::string& path) = 0;
};

}  // namespace quorbel
