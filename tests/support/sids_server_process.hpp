// The SiDS test server program for tests that run the station in another process: started on a
// free port of 127.0.0.1, its log read back as the requests that arrived. The test target defines
// SIDS_TEST_SERVER, the program's path.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.hpp"
#include "support/temp_folder.hpp"

namespace quorbel::testing {

// One request as the server program logged it.
struct Arrival {
    std::string frame, answer, timestamp;
};

// The SiDS test server program answering every request with `mode` (a status or "random").
class SidsServerProcess {
  public:
    explicit SidsServerProcess(const std::string& mode) {
        m_pid = SpawnWithOutput({SIDS_TEST_SERVER, "--port-file", m_folder.File("port"), "--log",
                                 m_folder.File("log"), "--mode", mode},
                                "/dev/null", "/dev/null");
        for (int i = 0; i < 500 && !std::filesystem::exists(m_folder.File("port")); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::ifstream(m_folder.File("port")) >> m_port;
    }
    ~SidsServerProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    SidsServerProcess(const SidsServerProcess&) = delete;
    SidsServerProcess& operator=(const SidsServerProcess&) = delete;
    std::string Url() const {
        return "http://127.0.0.1:" + std::to_string(m_port) + "/api/telemetry/";
    }
    // Every request so far, in arriving order; each is logged before it is answered.
    std::vector<Arrival> Arrivals() const {
        std::vector<Arrival> arrivals;
        std::istringstream log(TempFolder::Read(m_folder.File("log")));
        for (std::string line; std::getline(log, line);) {
            std::istringstream cells(line);
            std::array<std::string, 5> column;  // arrival ms, connection, frame, answer, timestamp
            for (std::string& cell : column)
                std::getline(cells, cell, '\t');
            arrivals.push_back({column[2], column[3], column[4]});
        }
        return arrivals;
    }

  private:
    TempFolder m_folder;
    pid_t m_pid = -1;
    int m_port = 0;
};

// How many times each frame (its hex) reached the server.
inline std::map<std::string, int> ArrivalCounts(const std::vector<Arrival>& arrivals) {
    std::map<std::string, int> counts;
    for (const Arrival& arrival : arrivals)
        ++counts[arrival.frame];
    return counts;
}

}  // namespace quorbel::testing
