// The platform as the command-line tool has it: files come from the command line, message boxes
// go to standard error, nothing waits for a user.
#pragma once

#include <iosfwd>
#include <memory>
#include <vector>

#include "kiss_socket.hpp"

#include "shell/platform.hpp"

namespace quorbel::cli {

class CliPlatform : public Platform {
  public:
    explicit CliPlatform(std::ostream& messages) : m_messages(messages) {}

    // The files the next file dialog returns, as if the user had chosen them.
    void SetNextSelection(std::vector<std::string> paths) { m_nextSelection = std::move(paths); }

    FileSelection SelectFiles(const OpenFileDialog& dialog) override;
    void ShowMessage(const MessageBoxRequest& box) override;
    void DoEvents() override {}
    bool CanLoadPicture(const std::string& path) override;
    void ConnectSocket(const std::string& host, int port) override { Socket().Connect(host, port); }
    void CloseSocket() override { Socket().Close(); }
    int SocketState() override { return m_socket ? m_socket->State() : live::kStateClosed; }
    std::chrono::system_clock::time_point Now() override {
        return std::chrono::system_clock::now();
    }

    // The TCP client's socket, made on first use (it needs the event loop of `listen`).
    live::KissSocket& Socket() {
        if (!m_socket)
            m_socket = std::make_unique<live::KissSocket>();
        return *m_socket;
    }

  private:
    std::ostream& m_messages;
    std::vector<std::string> m_nextSelection;
    std::unique_ptr<live::KissSocket> m_socket;
};

}  // namespace quorbel::cli
