// What the SQLite archive and outbox fault tests share: a writer in a child process killed at a
// random moment while it reports what it has committed, and a file refused in a read-only folder.
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "archive_test_frames.hpp"
#include "support/mounted_folder.hpp"
#include "support/temp_folder.hpp"

namespace quorbel::testing {

// Sends one report from the child to the test on `channel`; ends the child when the pipe is gone.
template <typename Report>
void SendReport(int channel, const Report& report) {
    if (::write(channel, &report, sizeof report) != sizeof report)
        ::_exit(3);
}

// Runs `writeForever(channel)` in a child process, kills it with SIGKILL after `pause`, hands
// every report it sent to `take`, and checks that the database at `path` passes SQLite's
// integrity check. Call it with ASSERT_NO_FATAL_FAILURE.
template <typename Report>
void KillWriterAfter(std::chrono::milliseconds pause, const std::string& path,
                     const std::function<void(int)>& writeForever,
                     const std::function<void(const Report&)>& take) {
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(channel[0]);
        writeForever(channel[1]);
        ::_exit(4);
    }
    ::close(channel[1]);
    std::this_thread::sleep_for(pause);
    ::kill(child, SIGKILL);
    Report report{};
    while (::read(channel[0], &report, sizeof report) == sizeof report)
        take(report);
    ::close(channel[0]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended on its own: " << status;
    ASSERT_EQ(QueryText(path, "PRAGMA integrity_check"), "ok");
}

// Opening `name` in a read-only folder with `open` throws Error, whose message holds `named`
// followed by the file's path, and "read-only". Skips the test where no such folder can be made.
template <typename Error>
void ExpectRefusedInReadOnlyFolder(const std::string& name, const std::string& named,
                                   const std::function<void(const std::string&)>& open) {
    TempFolder folder;
    const std::string mount = folder.File("ro");
    auto readOnly = MountedFolder::ReadOnly(mount);
    if (!readOnly.Ready())
        GTEST_SKIP() << readOnly.Problem();
    const std::string path = mount + "/" + name;
    try {
        open(path);
        FAIL() << path << " was made in a read-only folder";
    } catch (const Error& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find(named + path), std::string::npos) << message;
        EXPECT_NE(message.find("read-only"), std::string::npos) << message;
    }
}

}  // namespace quorbel::testing
