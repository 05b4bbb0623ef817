// A platform double for tests: scripted file choices, recorded message boxes and programs, a
// settable modifier state and clock.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shell/platform.hpp"

namespace quorbel::testing {

class FakePlatform : public Platform {
  public:
    std::deque<FileSelection> selections;           // answers of the next file dialogs
    std::vector<OpenFileDialog> dialogs;            // the dialogs shown
    std::vector<MessageBoxRequest> messages;        // the message boxes shown
    std::vector<std::vector<std::string>> started;  // programs started: program then arguments
    bool groupModifierHeld = false;
    bool startSucceeds = true;
    long long doEventsCalls = 0;
    std::chrono::system_clock::time_point now{};
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
    bool IsGroupModifierHeld() override { return groupModifierHeld; }
    bool StartDetached(const std::string& program, const std::vector<std::string>& args) override {
        std::vector<std::string> call{program};
        call.insert(call.end(), args.begin(), args.end());
        started.push_back(call);
        return startSucceeds;
    }
    bool CanLoadPicture(const std::string& path) override { return !path.empty(); }
    std::chrono::system_clock::time_point Now() override { return now; }
};

}  // namespace quorbel::testing
