// A platform double for tests: scripted save paths, recorded message boxes, a hook
// that runs when the event loop would, helper programs that are found and recorded instead of
// started (their ids count from 1; the test reports their ends), a socket whose state the test
// sets and a settable clock.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "shell/platform.hpp"

namespace quorbel::testing {

class FakePlatform : public Platform {
  public:
    std::deque<std::optional<std::string>> savePaths;  // answers of the next save dialogs
    std::vector<SaveFileDialog> saveDialogs;           // the save dialogs shown
    std::vector<MessageBoxRequest> messages;           // the message boxes shown
    long long doEventsCalls = 0;
    std::vector<std::string> connections;  // "host:port" of every connection started
    int socketState = 0;
    std::string socketProblem;  // the reason given for an error
    std::chrono::system_clock::time_point now{};
    std::chrono::milliseconds tick{0};
    std::function<void()> onDoEvents;  // runs inside DoEvents, e.g. a live frame

    struct StartedProgram {
        std::string program;
        std::vector<std::string> arguments;
    };
    std::map<std::string, std::string> programs{{"ssdv", "/opt/ssdv/bin/ssdv"}};  // name -> path
    std::vector<StartedProgram> started;  // every program started, in order
    bool startFails = false;              // every start fails

    std::optional<std::string> SelectSaveFile(const SaveFileDialog& dialog) override {
        saveDialogs.push_back(dialog);
        if (savePaths.empty())
            return std::nullopt;
        std::optional<std::string> next = savePaths.front();
        savePaths.pop_front();
        return next;
    }
    void ShowMessage(const MessageBoxRequest& box) override { messages.push_back(box); }
    void DoEvents() override {
        ++doEventsCalls;
        if (onDoEvents)
            onDoEvents();
    }
    bool CanLoadPicture(const std::string& path) override { return !path.empty(); }
    std::string FindProgram(const std::string& name) override {
        const auto found = programs.find(name);
        return found == programs.end() ? std::string() : found->second;
    }
    std::optional<int> StartProgram(const std::string& program,
                                    const std::vector<std::string>& arguments) override {
        if (startFails)
            return std::nullopt;
        started.push_back({program, arguments});
        return static_cast<int>(started.size());
    }
    void ConnectSocket(const std::string& host, int port) override {
        connections.push_back(host + ":" + std::to_string(port));
        socketState = 6;
    }
    void CloseSocket() override { socketState = 0; }
    int SocketState() override { return socketState; }
    std::string SocketProblem() override { return socketProblem; }
    // Each reading of the clock gives `now`, then moves it on by `tick`.
    std::chrono::system_clock::time_point Now() override {
        const auto reading = now;
        now += tick;
        return reading;
    }
};

}  // namespace quorbel::testing
