#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/temp_folder.h"

extern char** environ;

namespace kolbi::testing {

struct ProcessResult {
    int exit_status = -1;  // -1 when it did not exit normally (a signal ended it)
    std::string out;
    std::string err;
};

// A program run as a child process, with standard input from a file and
// standard output and error into files of its own: a child that leaves a
// daemon behind (tmux) or fills its output can never hold the test up. It
// starts with every signal at its default, whatever the test inherited (a
// run in the background has SIGINT ignored).
// The environment is the test's, with entries set ("NAME=value") or removed
// ("NAME"). A child still running when the object goes is killed.
class Subprocess {
public:
    Subprocess(const std::string& program, std::vector<std::string> args,
               const std::vector<std::string>& env_changes = {},
               const std::string& stdin_path = "/dev/null") {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, stdin_path.c_str(), O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, (capture_ / "out").c_str(),
                                         O_WRONLY | O_CREAT, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, (capture_ / "err").c_str(),
                                         O_WRONLY | O_CREAT, 0600);
        args.insert(args.begin(), program);
        std::vector<char*> argv;
        for (std::string& arg : args) argv.push_back(arg.data());
        argv.push_back(nullptr);
        std::vector<std::string> env_strings;
        for (char** e = environ; *e; ++e) {
            std::string entry = *e;
            std::string name = entry.substr(0, entry.find('='));
            bool changed = false;
            for (const std::string& change : env_changes) {
                changed = changed || change.substr(0, change.find('=')) == name;
            }
            if (!changed) env_strings.push_back(entry);
        }
        for (const std::string& change : env_changes) {
            if (change.find('=') != std::string::npos) env_strings.push_back(change);
        }
        std::vector<char*> env;
        for (std::string& entry : env_strings) env.push_back(entry.data());
        env.push_back(nullptr);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        if (::posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), env.data())) {
            pid_ = -1;
        }
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Subprocess() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    Subprocess(const Subprocess&) = delete;
    Subprocess& operator=(const Subprocess&) = delete;

    pid_t pid() const { return pid_; }

    // The result once the child has ended; nothing when timeout passed first.
    std::optional<ProcessResult> Wait(std::chrono::milliseconds timeout = std::chrono::minutes(5)) {
        ProcessResult result;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        int status = 0;
        while (pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (pid_ > 0 && WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
        pid_ = -1;
        result.out = capture_.Read("out");
        result.err = capture_.Read("err");
        return result;
    }

private:
    TempFolder capture_;
    pid_t pid_ = -1;
};

inline ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                                const std::vector<std::string>& env_changes = {},
                                const std::string& stdin_path = "/dev/null") {
    return Subprocess(program, args, env_changes, stdin_path).Wait().value_or(ProcessResult{});
}

}  // namespace kolbi::testing
