// A player without a visible window, for rendering and checking demos from the command line:
// SDL, the mixer on the dummy driver, the font library, and a hidden OpenGL window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/package_file.h"
#include "demo/demo.h"
#include "player/frame_drawing.h"
#include "player/media_window.h"

namespace demo {

class OfflineMix;

class OffscreenPlayer {
public:
    // Opens everything at a render size of width x height. Throws MediaStartError when no
    // OpenGL context can be had (no display, for example).
    OffscreenPlayer(int32_t width, int32_t height);
    ~OffscreenPlayer();

    // Loads the package or project with `load_demo`.
    Demo& load(const PackageBytes& input);
    // Takes a demo `finish_loading` has made ready.
    Demo& adopt(std::unique_ptr<Demo> demo);

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
    MediaWindow media_;
    int32_t width_;
    int32_t height_;
    std::unique_ptr<Demo> demo_;
    std::vector<int16_t> analysed_;  // the mix frames analysed for one frame
};

// Loads a package or project as the player does, with an OpenGL context current: decoding and
// uploading while reading, then `finish_loading`.
std::unique_ptr<Demo> load_demo(const PackageBytes& input, bool prime = true);

// Writes RGBA rows (top row first) as a PNG. Throws std::runtime_error on failure.
void write_png(const std::string& path, const std::vector<uint8_t>& rgba, int32_t width,
               int32_t height);

}  // namespace demo
