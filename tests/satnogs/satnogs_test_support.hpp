// Shared by the SatNOGS, station and export tests: a platform double that records message boxes
// and hands out chosen files, and a scratch folder removed after each test.
#pragma once

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "shell/platform.hpp"

namespace quorbel::testing {

class RecordingPlatform : public Platform {
  public:
    std::vector<std::string> nextSelection;  // what the next file dialog returns
    std::vector<OpenFileDialog> dialogs;
    std::vector<MessageBoxRequest> messages;
    int doEventsCalls = 0;
    std::function<void()> onDoEvents;  // runs inside DoEvents

    FileSelection SelectFiles(const OpenFileDialog& dialog) override {
        dialogs.push_back(dialog);
        FileSelection selection;
        if (!nextSelection.empty()) {
            selection.outcome = FileSelection::Outcome::Chosen;
            selection.paths = nextSelection;
        }
        return selection;
    }
    void ShowMessage(const MessageBoxRequest& box) override { messages.push_back(box); }
    void DoEvents() override {
        ++doEventsCalls;
        if (onDoEvents)
            onDoEvents();
    }
    bool IsGroupModifierHeld() override { return false; }
    bool StartDetached(const std::string&, const std::vector<std::string>&) override {
        return false;
    }
    bool CanLoadPicture(const std::string&) override { return false; }
    std::chrono::system_clock::time_point Now() override { return {}; }
};

class ScratchFolder {
  public:
    ScratchFolder() {
        std::random_device random;
        m_path = std::filesystem::temp_directory_path() /
                 ("quorbel-satnogs-" + std::to_string(random()) + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return (m_path / name).string(); }
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::string path = Path(name);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    // The names of the files in the folder, sorted.
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    std::filesystem::path m_path;
};

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// A golden file of this source tree.
inline std::string Golden(const std::string& relativePath) {
    return ReadBytes(std::string(QUORBEL_SOURCE_DIR) + "/tests/" + relativePath);
}

}  // namespace quorbel::testing
