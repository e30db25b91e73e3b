// The demotool-run harness: the real executable run in a folder with its output captured (so
// neither stream is a terminal), or on a pseudo-terminal.
#pragma once

#include <pty.h>

#include <cerrno>

#include "player/player_e2e_support.h"

namespace demo::tool {

using namespace e2e;

// Runs demotool with `args` in `cwd` to its end.
inline RunResult run(std::vector<std::string> args, const fs::path& cwd) {
    args.insert(args.begin(), DEMOTOOL_PATH);
    return finish(start_in(cwd, args));
}

// Runs demotool on a pseudo-terminal and returns everything it showed there as its output.
inline RunResult run_on_terminal(std::vector<std::string> args, const fs::path& cwd) {
    args.insert(args.begin(), DEMOTOOL_PATH);
    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        alarm(60);  // no run may take this long
        if (chdir(cwd.c_str()) != 0)
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    RunResult result;
    char buffer[4096];
    while (pid > 0) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n > 0)
            result.out.append(buffer, static_cast<size_t>(n));
        else if (n == 0 || errno != EINTR)
            break;  // EIO once the child has closed the terminal
    }
    close(master);
    int status = 0;
    while (pid > 0 && waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exit_code = pid > 0 ? exit_code_of(status) : -1;
    return result;
}

}  // namespace demo::tool
