// The platform as the command-line tool has it: files come from the command line, message boxes
// go to standard error, nothing waits for a user.
#pragma once

#include <iosfwd>
#include <vector>

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

  private:
    std::ostream& m_messages;
    std::vector<std::string> m_nextSelection;
};

}  // namespace quorbel::cli
