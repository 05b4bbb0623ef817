// What the SQLite archive and outbox tests share: a writer in a child process killed at a random
// moment while it reports what it has committed, and files refused when opened: in a read-only
// folder, of a newer schema, or of another kind.
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

// The message of the Error that `open` throws for `path`, or "opened" when it throws none.
template <typename Error>
std::string RefusalOf(const std::function<void(const std::string&)>& open,
                      const std::string& path) {
    try {
        open(path);
        return "opened";
    } catch (const Error& error) {
        return error.what();
    }
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
    const std::string message = RefusalOf<Error>(open, path);
    EXPECT_PRED_FORMAT2(::testing::IsSubstring, named + path, message);
    EXPECT_PRED_FORMAT2(::testing::IsSubstring, "read-only", message);
}

// The closed database at `path`, once marked as of schema 2, is refused by `open` as written by a
// newer version and left as it was, its journal mode too; another program's database and a text
// file are refused as well, each named after `named`.
template <typename Error>
void ExpectNewerAndForeignFilesRefused(const TempFolder& folder, const std::string& path,
                                       const std::string& named,
                                       const std::function<void(const std::string&)>& open) {
    QueryText(path, "PRAGMA user_version = 2");
    QueryText(path, "PRAGMA journal_mode = DELETE");
    const std::string bytes = TempFolder::Read(path);
    EXPECT_EQ(RefusalOf<Error>(open, path),
              named + path +
                  " was written by a newer version of this program (schema 2); this program "
                  "knows up to 1");
    EXPECT_EQ(TempFolder::Read(path), bytes);
    EXPECT_EQ(QueryText(path, "PRAGMA journal_mode"), "delete");

    const std::string other = folder.File("other.sqlite");
    QueryText(other, "CREATE TABLE t(x)");
    EXPECT_PRED_FORMAT2(::testing::IsSubstring, named + other, RefusalOf<Error>(open, other));
    const std::string text = folder.Write("notes.sqlite", std::string(5000, 'x'));
    EXPECT_PRED_FORMAT2(::testing::IsSubstring, named + text, RefusalOf<Error>(open, text));
}

}  // namespace quorbel::testing
