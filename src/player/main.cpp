// Operating-system entry point: finds the running executable's own path and plays the
// package inside it. Command-line arguments are ignored.
#include <cstdio>
#include <string>

#include "player/platform.h"
#include "player/run_player.h"

int main(int, char**) {
    std::string path = demo::executable_path();
    if (path.empty()) {
        std::fprintf(stderr, "Cannot find the player's own executable.\n");
        return 1;
    }
    char* argv[] = {path.data(), nullptr};
    return demo::run_player(1, argv);
}
