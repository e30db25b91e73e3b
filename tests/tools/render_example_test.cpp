// demotool render on the bundled example: pixels of a frame against the background shader's
// own formula, its tracks evaluated by hand and its sound level taken from the --wav mix.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include "tools/demotool_run.h"

namespace demo::tool {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 180;

// The "sound" level the player computes from the 1024 frames that end at `end_frame`: the
// mean of the absolute values of their first 100 sample values (16-bit stereo after the
// WAV file's 44-byte header).
double sound_level(const Bytes& wav, int64_t end_frame) {
    int32_t sum = 0;
    for (int64_t i = 0; i < 100; ++i) {
        const int64_t at = 44 + ((end_frame - 1024) * 2 + i) * 2;
        const bool inside = at >= 44 && at + 1 < static_cast<int64_t>(wav.size());
        const int16_t v = inside ? static_cast<int16_t>(wav[at] | wav[at + 1] << 8) : 0;
        sum += std::min(std::abs(int32_t{v}), 32767);
    }
    return static_cast<double>(sum / 100) / 32768.0;
}

// The Smooth track's formula between p1 and p2.
double catmull_rom(double p0, double p1, double p2, double p3, double u) {
    return 0.5 * (2 * p1 + (p2 - p0) * u + (2 * p0 - 5 * p1 + 4 * p2 - p3) * u * u +
                  (-p0 + 3 * p1 - 3 * p2 + p3) * u * u * u);
}

// The background shader's red, green and blue at pixel (x, y) of an image whose first row is
// the top.
std::array<double, 3> plasma(int x, int y, double beat, double speed, double hue, double level) {
    const double px = (x + 0.5 - 0.5 * kWidth) / kHeight;
    const double py = (kHeight - 1 - y + 0.5 - 0.5 * kHeight) / kHeight;
    const double t = beat * speed;
    const double v = std::sin(px * 6.0 + t) + std::sin(py * 7.0 - t * 1.3) +
                     std::sin((px + py) * 5.0 + t * 0.7) +
                     std::sin(std::hypot(px, py) * 12.0 - t * 2.0);
    std::array<double, 3> rgb;
    for (int i = 0; i < 3; ++i) {
        const double phase = std::array{0.0, 0.33, 0.67}[i];
        const double c =
            (0.5 + 0.5 * std::cos(6.28318 * (phase + v * 0.12 + hue))) * (0.35 + level * 2.0);
        rgb[i] = std::clamp(c, 0.0, 1.0) * 255.0;
    }
    return rgb;
}

// speed: Linear from 0.5 at beat 0 to 1.0 at beat 32. hue: Smooth (Catmull-Rom) through (0, 0),
// (16, 0.3), (32, 0.1), (48, 0.6). Pixels of the upper part: no caption, no spectrum bars.
TEST(RenderExample, BackgroundFollowsItsTracksAndTheSoundLevel) {
    const TempDir dir;
    const RunResult r = run({"render", EXAMPLE_DEMO_PATH, "--beat", "20", "--size", "320x180", "-o",
                             "frame.png", "--wav", "mix.wav"},
                            dir.path());
    ASSERT_TRUE(r.ok()) << r;
    const double speed = 0.5 + 0.5 * 20.0 / 32.0;
    const double hue = catmull_rom(0.0, 0.3, 0.1, 0.6, 0.25);  // beat 20 between keys 16 and 32
    // 120 bpm and no offset: beat 20 is 10 seconds after the music starts.
    const double level = sound_level(read_bytes(dir / "mix.wav"), 10 * 44100);
    SDL_Surface* image = IMG_Load((dir / "frame.png").c_str());
    ASSERT_NE(image, nullptr);
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(image, SDL_PIXELFORMAT_ABGR8888, 0);
    for (const auto& [x, y] : {std::pair{10, 5}, {160, 20}, {300, 40}, {77, 50}}) {
        const auto want = plasma(x, y, 20.0, speed, hue, level);
        const uint8_t* p = static_cast<const uint8_t*>(rgba->pixels) + y * rgba->pitch + x * 4;
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(p[i], want[i], 2.5) << "pixel " << x << "," << y << " channel " << i;
    }
    SDL_FreeSurface(rgba);
    SDL_FreeSurface(image);
}

}  // namespace
}  // namespace demo::tool
