// The subcommands of demotool. Each takes the arguments after its name and returns the
// process status; errors are thrown as exceptions and reported by main.
#pragma once

#include <string>
#include <vector>

namespace demo {

using Arguments = std::vector<std::string>;

int run_pack(const Arguments& args);
int run_unpack(const Arguments& args);
int run_info(const Arguments& args);
int run_render(const Arguments& args);
int run_check(const Arguments& args);
int run_play(const Arguments& args);
int run_new(const Arguments& args);

// Thrown for a command line that cannot be understood; main prints it with the usage.
struct UsageError {
    std::string message;
};

}  // namespace demo
