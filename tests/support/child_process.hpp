// Runs a piece of a test in a child process, a copy of the test process, so that what the piece
// changes about the process (a limit, its user) ends with it. The piece hands back a text for the
// test to check; it must not use gtest's checks.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace quorbel::testing {

// The text the body returns, or none when `prepare` failed in the child or the child did not end
// normally.
inline std::optional<std::string> RunInChildProcess(const std::function<bool()>& prepare,
                                                    const std::function<std::string()>& body) {
    int channel[2];
    if (::pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        ::close(channel[0]);
        if (!prepare())
            ::_exit(2);
        const std::string text = body();
        const bool sent =
            ::write(channel[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(sent ? 0 : 3);
    }
    ::close(channel[1]);
    std::string text;
    char piece[4096];
    for (ssize_t got; (got = ::read(channel[0], piece, sizeof piece)) > 0;)
        text.append(piece, static_cast<std::size_t>(got));
    ::close(channel[0]);
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return text;
}

// Runs `command` through the shell: its exit status (-1 when it could not start or did not end by
// itself, killed by a signal) and what it wrote to standard output.
inline std::pair<int, std::string> ShellOutput(const std::string& command) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr)
        return {-1, ""};
    std::string out;
    char piece[4096];
    while (const std::size_t n = std::fread(piece, 1, sizeof piece, pipe))
        out.append(piece, n);
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

// Starts a program (args[0], its path) with its standard output and error in files; an error path
// the same as the output's writes into that file at the one offset, so that no line overwrites
// another. Its process id, or -1.
inline pid_t SpawnWithOutput(std::vector<std::string> args, const std::string& outPath,
                             const std::string& errPath) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (errPath == outPath)
        posix_spawn_file_actions_adddup2(&files, 1, 2);
    else
        posix_spawn_file_actions_addopen(&files, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&files);
    return pid;
}

}  // namespace quorbel::testing
