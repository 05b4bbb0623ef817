// A PostgreSQL 15 server of the test's own: a fresh cluster made by initdb in a temporary folder,
// run by pg_ctl on a free port of 127.0.0.1 as an unprivileged user (the server refuses to run as
// root), stopped and removed with the object. Its superuser "quorbel" logs in over TCP with a
// password, so that a wrong one is refused as on a station network's server.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/loopback_listener.hpp"
#include "support/unprivileged_user.hpp"

namespace quorbel::testing {

class PostgresServer {
  public:
    static constexpr const char* kBinDir = "/usr/lib/postgresql/15/bin";
    static constexpr const char* kUser = "quorbel";
    static constexpr const char* kPassword = "station-secret";

    PostgresServer() {
        if (!std::filesystem::exists(std::string(kBinDir) + "/initdb") ||
            !std::filesystem::exists(std::string(kBinDir) + "/pg_ctl")) {
            m_problem = std::string("the PostgreSQL 15 server is not installed (") + kBinDir +
                        "/initdb; Debian package postgresql-15)";
            return;
        }
        char pattern[] = "/tmp/quorbel-pg-XXXXXX";
        if (::mkdtemp(pattern) == nullptr) {
            m_problem = "no temporary folder for the server";
            return;
        }
        m_folder = pattern;
        m_problem = UnprivilegedRunProblem(m_folder);
        if (!m_problem.empty())
            return;
        if (!GiveToUnprivilegedUser(m_folder)) {
            m_problem = "the server's folder cannot be given to user nobody";
            return;
        }
        {
            std::ofstream password(m_folder + "/password");
            password << kPassword << '\n';
        }
        GiveToUnprivilegedUser(m_folder + "/password");
        if (Run({std::string(kBinDir) + "/initdb", "-D", DataFolder(), "-U", kUser, "--pwfile",
                 m_folder + "/password", "--auth-host=scram-sha-256", "--auth-local=trust",
                 "--no-sync", "-E", "UTF8", "--locale=C"}) != 0) {
            m_problem = "initdb failed (see " + m_folder + "/server.log)";
            return;
        }
        m_port = FreePort();
        if (!Start())
            m_problem = "the server did not start (see " + m_folder + "/server.log)";
    }
    ~PostgresServer() {
        Stop();
        if (!m_folder.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_folder, ignored);
        }
    }
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Empty when the server runs; else why not, for the skip message.
    const std::string& Problem() const { return m_problem; }
    int Port() const { return m_port; }
    // The URL of database `database` as conf.ini's ARCHIVE gives it, with or without the password.
    std::string Url(const std::string& database = "postgres", bool withPassword = true) const {
        return std::string("postgresql://") + kUser +
               (withPassword ? std::string(":") + kPassword : std::string()) +
               "@127.0.0.1:" + std::to_string(m_port) + "/" + database;
    }

    // Starts the stopped server again on its port; waits until it takes connections.
    bool Start() {
        if (Run({std::string(kBinDir) + "/pg_ctl", "-D", DataFolder(), "-l",
                 m_folder + "/server.log", "-w", "-t", "60", "-o",
                 "-h 127.0.0.1 -p " + std::to_string(m_port) + " -k " + m_folder +
                     " -c fsync=off -c full_page_writes=off",
                 "start"}) != 0)
            return false;
        m_running = true;
        return true;
    }
    // Stops the server at once (connections are cut, as by a crash or a restart).
    void Stop() {
        if (!m_running)
            return;
        Run({std::string(kBinDir) + "/pg_ctl", "-D", DataFolder(), "-w", "-m", "immediate",
             "stop"});
        m_running = false;
    }

  private:
    std::string DataFolder() const { return m_folder + "/data"; }

    // Runs a server program as nobody (as the calling user when that is not root); its exit
    // status, or -1.
    static int Run(const std::vector<std::string>& arguments) {
        const pid_t child = ::fork();
        if (child < 0)
            return -1;
        if (child == 0) {
            if (!DropPrivileges())
                ::_exit(126);
            std::vector<char*> argv;
            for (const std::string& argument : arguments)
                argv.push_back(const_cast<char*>(argument.c_str()));
            argv.push_back(nullptr);
            const int quiet = ::open("/dev/null", O_WRONLY);
            if (quiet >= 0) {
                ::dup2(quiet, 1);
                ::dup2(quiet, 2);
            }
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        int status = 0;
        if (::waitpid(child, &status, 0) != child || !WIFEXITED(status))
            return -1;
        return WEXITSTATUS(status);
    }

    // A port of 127.0.0.1 that nobody listens on now.
    static int FreePort() {
        int port = 0;
        const int probe = ListenOnLoopback(1, port);
        if (probe >= 0)
            ::close(probe);
        return port;
    }

    std::string m_folder;
    std::string m_problem;
    int m_port = 0;
    bool m_running = false;
};

}  // namespace quorbel::testing
