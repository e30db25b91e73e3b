// The player's main routine: start-up, loading, the main loop and shutdown.
#pragma once

namespace demo {

// argv[0] is the full path of the running executable, whose package is played. Returns 1
// when SDL, the desktop mode or the OpenGL window is unavailable and -1 when the audio device
// cannot be opened; 1 after writing "error.log" for a package it cannot read or "crash.txt"
// for a fatal error while loading; every other outcome ends the process through exit(0).
int run_player(int argc, char** argv);

}  // namespace demo
