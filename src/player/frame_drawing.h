// Loading and drawing a demo's frames, as the player, the offscreen renderer and the preview
// all do it, with an OpenGL context current.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "demo/demo.h"

namespace demo {

// The decoding and uploads the tools read a demo with: programs are built only once the demo
// is whole, so no message of a half-loaded demo is printed and each program compiles once.
MediaHooks* offscreen_media();

// Makes a demo just read ready to draw: every program compiled with its includes expanded and
// the effects prepared; with `prime`, every effect drawn once to warm the driver up (which
// leaves nothing a later frame shows). The demo becomes `current_demo`.
std::unique_ptr<Demo> finish_loading(std::unique_ptr<Demo> demo, bool prime = true);

// One frame of the demo at `beat` into the bound window: cleared, at the render size.
void draw_demo_frame(Demo& demo, float beat);

// The window's back buffer (width x height from its lower left corner) as RGBA rows into
// `rows`, bottom row first as OpenGL delivers them; allocates nothing.
void read_back_rows(int32_t width, int32_t height, uint8_t* rows);

// The window's back buffer (width x height from its lower left corner) as RGBA rows, top row
// first.
std::vector<uint8_t> read_back_buffer(int32_t width, int32_t height);

}  // namespace demo
