// Process-wide state of the player, shared by the shell, the timeline and the renderers.
#pragma once

#include <atomic>
#include <cstdint>

namespace demo {

class Demo;

// Window width, window height, render width, render height, in pixels.
extern int32_t resolution[4];
// Beat of the frame being drawn; written by the main loop before each frame.
extern float current_beat;
// SDL tick count taken right after the music started.
extern uint32_t start_ticks;
// Set by the event loop and by the background watch (which may run on another thread).
extern std::atomic<bool> quit_requested;
// The loaded demo; set once the package has been read, never destroyed before exit.
extern Demo* current_demo;
// Output format the mixer negotiated.
extern int32_t audio_frequency;
extern int32_t audio_channels;
// 1 x 1 white texture for materials without one.
extern uint32_t white_texture;

}  // namespace demo
