// A platform double for tests: scripted file choices, recorded message boxes, a hook that runs
// when the event loop would, a socket whose state the test sets and a settable clock.
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
    std::deque<FileSelection> selections;     // answers of the next file dialogs
    std::vector<OpenFileDialog> dialogs;      // the dialogs shown
    std::vector<MessageBoxRequest> messages;  // the message boxes shown
    long long doEventsCalls = 0;
    std::vector<std::string> connections;  // "host:port" of every connection started
    int socketState = 0;
    std::chrono::system_clock::time_point now{};
    std::chrono::milliseconds tick{0};
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
    void ConnectSocket(const std::string& host, int port) override {
        connections.push_back(host + ":" + std::to_string(port));
        socketState = 6;
    }
    void CloseSocket() override { socketState = 0; }
    int SocketState() override { return socketState; }
    // Each reading of the clock gives `now`, then moves it on by `tick`.
    std::chrono::system_clock::time_point Now() override {
        const auto reading = now;
        now += tick;
        return reading;
    }
};

}  // namespace quorbel::testing
