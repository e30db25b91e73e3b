// Operating-system entry point: finds the running executable's own path and plays the
// package inside it. Command-line arguments are ignored.
#include <unistd.h>

#include <climits>
#include <cstdio>

#include "player/run_player.h"

int main(int, char**) {
    char path[PATH_MAX + 1] = {};
    const ssize_t length = readlink("/proc/self/exe", path, PATH_MAX);
    if (length <= 0) {
        std::fprintf(stderr, "Cannot find the player's own executable.\n");
        return 1;
    }
    path[length] = '\0';
    char* argv[] = {path, nullptr};
    return demo::run_player(1, argv);
}
