// A player without a visible window, for rendering and checking demos from the command line:
// SDL, the mixer on the dummy driver, the font library, and a hidden OpenGL window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "package_file.h"
#include "serialization/demo.h"

namespace demo {

class OfflineMix;

class OffscreenPlayer {
public:
    // Opens everything at a render size of width x height. Throws std::runtime_error when no
    // OpenGL context can be had (no display, for example).
    OffscreenPlayer(int32_t width, int32_t height);
    ~OffscreenPlayer();

    // Loads the package as the player does: decoding and compiling while reading, then the
    // second compile with includes expanded and the effects prepared. Becomes `current_demo`.
    Demo& load(const PackageBytes& package);

    // Runs one frame at `beat` into the back buffer.
    void render(float beat);

    // Runs one frame at `beat` as the player would hear it: the sound texture and the "sound"
    // level first come from the 1024 frames of `mix` that end at the beat's time.
    void render(float beat, const OfflineMix& mix);

    // The back buffer as RGBA rows, top row first.
    std::vector<uint8_t> read_pixels() const;

    // The back buffer as RGBA rows into `rows` (width x height x 4 bytes), bottom row first as
    // OpenGL delivers them; allocates nothing.
    void read_back(uint8_t* rows) const;

    void swap();

private:
    void* window_ = nullptr;
    void* context_ = nullptr;
    int32_t width_;
    int32_t height_;
    std::unique_ptr<Demo> demo_;
    std::vector<int16_t> analysed_;  // the mix frames analysed for one frame
};

// Writes RGBA rows (top row first) as a PNG. Throws std::runtime_error on failure.
void write_png(const std::string& path, const std::vector<uint8_t>& rgba, int32_t width,
               int32_t height);

}  // namespace demo
