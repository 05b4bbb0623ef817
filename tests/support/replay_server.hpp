// A KISS replay server and a `quorbel-cli listen` started for a test, both on 127.0.0.1.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "support/child_process.hpp"
#include "support/temp_folder.hpp"

namespace quorbel::testing {

// quorbel-kiss-replay serving the files with the given options (--once, --rate ...); its port is
// read from its first lines (empty when it did not start). Close waits for its end; the object
// kills it if it is still running.
class ReplayServer {
  public:
    ReplayServer(const std::vector<std::string>& files, const std::string& options) {
        std::string command = "exec '" + std::string(QUORBEL_BIN_DIR) + "/quorbel-kiss-replay' ";
        for (const std::string& file : files)
            command += "'" + file + "' ";
        command += "--port 0 " + options;
        int out[2];
        if (::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn_file_actions_addclose(&actions, out[1]);
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        if (posix_spawn(&m_pid, "/bin/sh", &actions, nullptr, const_cast<char**>(argv), environ) !=
            0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = fdopen(out[0], "r");
        std::array<char, 256> line{};
        while (m_pid > 0 && m_port.empty() && fgets(line.data(), line.size(), m_out) != nullptr) {
            const std::string text = line.data();
            if (text.starts_with("listening on 127.0.0.1:"))
                m_port = text.substr(23, text.find_last_not_of("\r\n") - 22);
        }
    }
    ~ReplayServer() {
        if (m_pid > 0)
            ::kill(m_pid, SIGKILL);
        Close();
    }
    ReplayServer(const ReplayServer&) = delete;
    ReplayServer& operator=(const ReplayServer&) = delete;

    const std::string& Port() const { return m_port; }
    // Reads what the server still prints and waits for its end; its exit status, or -1 when it
    // did not exit by itself.
    int Close() {
        if (m_out != nullptr) {
            std::array<char, 256> rest{};
            while (fread(rest.data(), 1, rest.size(), m_out) > 0) {
            }
            std::fclose(m_out);
            m_out = nullptr;
        }
        int status = -1;
        if (m_pid > 0 && ::waitpid(m_pid, &status, 0) == m_pid)
            status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        m_pid = -1;
        return status;
    }

  private:
    pid_t m_pid = -1;
    FILE* m_out = nullptr;
    std::string m_port;
};

// quorbel-cli with `options` (--app-dir ...) listening to 127.0.0.1:port for `seconds`, its
// standard output in a file (standard error too with withErrors, else dropped), so that a test may
// signal it and time its end. Killed with the object if it is still running.
class ListenProcess {
  public:
    ListenProcess(std::vector<std::string> options, const std::string& port,
                  const std::string& seconds, const std::string& outPath, bool withErrors = false)
        : m_outPath(outPath) {
        const std::string program = std::string(QUORBEL_BIN_DIR) + "/quorbel-cli";
        std::vector<std::string> args = {program};
        args.insert(args.end(), options.begin(), options.end());
        args.insert(args.end(),
                    {"listen", "--seconds", seconds, "--host", "127.0.0.1", "--port", port});
        m_pid = SpawnWithOutput(std::move(args), outPath, withErrors ? outPath : "/dev/null");
    }
    ~ListenProcess() {
        if (m_pid > 0 && !m_ended) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    ListenProcess(const ListenProcess&) = delete;
    ListenProcess& operator=(const ListenProcess&) = delete;

    bool Started() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }
    // What it has printed so far.
    std::string Out() const { return TempFolder::Read(m_outPath); }
    // Waits for the end; its exit status, or -1 when it did not exit by itself.
    int Wait() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_ended = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    std::string m_outPath;
    pid_t m_pid = -1;
    bool m_ended = false;
};

}  // namespace quorbel::testing
