#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace kolbi::testing {

struct ToolRun {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out;
    std::string err;
};

// Runs a program as a subprocess with standard input from a file (or
// /dev/null) and its standard output and error captured in files.
inline ToolRun RunTool(const std::string& program, const std::vector<std::string>& args,
                       const std::string& stdin_path = "/dev/null") {
    TempFolder capture;
    const std::string out_path = capture / "out";
    const std::string err_path = capture / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, stdin_path.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT, 0600);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ToolRun run;
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int wait_status = 0;
        if (::waitpid(pid, &wait_status, 0) == pid && WIFEXITED(wait_status)) {
            run.status = WEXITSTATUS(wait_status);
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    run.out = capture.Read("out");
    run.err = capture.Read("err");
    return run;
}

}  // namespace kolbi::testing
