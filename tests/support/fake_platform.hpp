// A platform double for tests: scripted file choices, recorded message boxes and a hook that runs
// when the event loop would.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shell/platform.hpp"

namespace quorbel::testing {

class FakePlatform : public Platform {
  public:
    std::deque<FileSelection> selections;     // answers of the next file dialogs
    std::vector<OpenFileDialog> dialogs;      // the dialogs shown
    std::vector<MessageBoxRequest> messages;  // the message boxes shown
    long long doEventsCalls = 0;
    std::function<void()> onDoEvents;  // runs inside DoEvents, e.g. a live frame

    void ChooseFiles(std::vector<std::string> paths) {
        selections.push_back({FileSelection::Outcome::Chosen, std::move(paths)});
    }

    FileSelection SelectFiles(const OpenFileDialog& dialog) override {
        dialogs.push_back(dialog);
        if (selections.empty())
            return {};
        FileSelection next = selections.front();
        selections.pop_front();
        return next;
    }
    void ShowMessage(const MessageBoxRequest& box) override { messages.push_back(box); }
    void DoEvents() override {
        ++doEventsCalls;
        if (onDoEvents)
            onDoEvents();
    }
    bool CanLoadPicture(const std::string& path) override { return !path.empty(); }
};

}  // namespace quorbel::testing
