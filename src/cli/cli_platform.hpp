// The platform as the command-line tool has it: files come from the command line, message boxes
// go to standard error, nothing waits for a user. It has no TCP client socket: its socket stays
// closed; the live tool's platform (listen) adds one. Helper programs (the SSDV decoder) run as
// children that the tool waits for at the end of each command, so the pictures are written when
// a command is done and no finished child is left behind.
#pragma once

#include <sys/types.h>
#include <iosfwd>
#include <string>
#include <vector>

#include "shell/platform.hpp"

namespace quorbel::cli {

class CliPlatform : public Platform {
  public:
    // `programFolder`: the folder of quorbel-cli, searched for helper programs before the PATH.
    CliPlatform(std::ostream& messages, std::string programFolder)
        : m_messages(messages), m_programFolder(std::move(programFolder)) {}
    ~CliPlatform() override { WaitForStartedPrograms(); }
    CliPlatform(const CliPlatform&) = delete;
    CliPlatform& operator=(const CliPlatform&) = delete;

    // The tool has no chart to save: the save dialog is always cancelled.
    std::optional<std::string> SelectSaveFile(const SaveFileDialog&) override {
        return std::nullopt;
    }
    void ShowMessage(const MessageBoxRequest& box) override;
    void DoEvents() override {}
    bool CanLoadPicture(const std::string& path) override;
    std::string FindProgram(const std::string& name) override;
    // Starts the program as a child with its output silenced; its id is its process id. Finished
    // children are reaped at every start and their ends kept for WaitForStartedPrograms.
    std::optional<int> StartProgram(const std::string& program,
                                    const std::vector<std::string>& arguments) override;
    // Waits until every program started so far has ended; how each ended, in the order they
    // were reaped.
    std::vector<ProgramEnd> WaitForStartedPrograms();
    bool HasStartedPrograms() const { return !m_started.empty() || !m_ended.empty(); }
    void ConnectSocket(const std::string& /*host*/, int /*port*/) override {}
    void CloseSocket() override {}
    int SocketState() override { return 0; }  // closed
    std::chrono::system_clock::time_point Now() override {
        return std::chrono::system_clock::now();
    }

  private:
    void ReapFinishedPrograms();

    std::ostream& m_messages;
    std::string m_programFolder;
    std::vector<pid_t> m_started;     // children not yet reaped
    std::vector<ProgramEnd> m_ended;  // children reaped since the last wait
};

}  // namespace quorbel::cli
