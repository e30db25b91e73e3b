// The demotool-run harness: the real executable, its output captured or on a pseudo-terminal.
#pragma once

#include "test_support/player_e2e_support.h"

namespace demo::tool {

using namespace e2e;

// Runs demotool with `args` in `cwd` to its end.
inline RunResult run(std::vector<std::string> args, const fs::path& cwd) {
    args.insert(args.begin(), DEMOTOOL_PATH);
    return finish(start_in(cwd, args));
}

// Runs demotool on a pseudo-terminal made by util-linux's `script`; what it showed is `out`.
inline RunResult run_on_terminal(const std::vector<std::string>& args, const fs::path& cwd) {
    std::string command = std::string("'") + DEMOTOOL_PATH + "'";
    for (const std::string& arg : args)
        command += " '" + arg + "'";
    return finish(start_in(cwd, {"script", "-qefc", command, "/dev/null"}));
}

}  // namespace demo::tool
