// demotool render on the bundled example: pixels of a frame against the background shader's
// own formula, with its tracks evaluated by hand and its sound level taken from the mix that
// --wav writes.
#include <SDL.h>
#include <SDL_image.h>
#include <gtest/gtest.h>

#include "tools/demotool_run.h"

namespace demo::tool {
namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 180;
constexpr int kRate = 44100;

struct Rgb {
    double r, g, b;
};

// Interleaved 16-bit stereo samples of a WAV file written by demotool (44-byte header).
std::vector<int16_t> read_wav(const fs::path& path) {
    const Bytes bytes = read_bytes(path);
    std::vector<int16_t> samples(bytes.size() < 44 ? 0 : (bytes.size() - 44) / 2);
    std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
    return samples;
}

// The "sound" level the player computes from the 1024 frames that end at `end_frame`: the
// mean of the absolute values of their first 100 sample values.
double sound_level(const std::vector<int16_t>& mix, int64_t end_frame) {
    const int64_t first = (end_frame - 1024) * 2;
    int32_t sum = 0;
    for (int i = 0; i < 100; ++i) {
        const int64_t at = first + i;
        const int32_t v = at >= 0 && at < static_cast<int64_t>(mix.size()) ? mix[at] : 0;
        sum += std::min(std::abs(v), 32767);
    }
    return static_cast<double>(sum / 100) / 32768.0;
}

// The Smooth (Catmull-Rom) and Linear track formulas.
double catmull_rom(double p0, double p1, double p2, double p3, double u) {
    return 0.5 * (2 * p1 + (p2 - p0) * u + (2 * p0 - 5 * p1 + 4 * p2 - p3) * u * u +
                  (-p0 + 3 * p1 - 3 * p2 + p3) * u * u * u);
}
double linear(double a, double b, double u) {
    return (1 - u) * a + u * b;
}

// The background shader at pixel (x, y) of an image whose first row is the top.
Rgb plasma(int x, int y, double beat, double speed, double hue, double level) {
    const double px = (x + 0.5 - 0.5 * kWidth) / kHeight;
    const double py = (kHeight - 1 - y + 0.5 - 0.5 * kHeight) / kHeight;
    const double t = beat * speed;
    const double v = std::sin(px * 6.0 + t) + std::sin(py * 7.0 - t * 1.3) +
                     std::sin((px + py) * 5.0 + t * 0.7) +
                     std::sin(std::hypot(px, py) * 12.0 - t * 2.0);
    const double k = 0.35 + level * 2.0;
    auto channel = [&](double phase) {
        const double c = (0.5 + 0.5 * std::cos(6.28318 * (phase + v * 0.12 + hue))) * k;
        return std::clamp(c, 0.0, 1.0) * 255.0;
    };
    return {channel(0.0), channel(0.33), channel(0.67)};
}

Rgb pixel(SDL_Surface* image, int x, int y) {
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(image, SDL_PIXELFORMAT_ABGR8888, 0);
    const uint8_t* p = static_cast<const uint8_t*>(rgba->pixels) + y * rgba->pitch + x * 4;
    const Rgb value{double(p[0]), double(p[1]), double(p[2])};
    SDL_FreeSurface(rgba);
    return value;
}

// speed: Linear from 0.5 at beat 0 to 1.0 at beat 32. hue: Smooth through (0, 0), (16, 0.3),
// (32, 0.1), (48, 0.6). Pixels of the upper part of the frame: no caption, no spectrum bars.
TEST(RenderExample, BackgroundFollowsItsTracksAndTheSoundLevel) {
    const TempDir dir;
    const RunResult r = run({"render", EXAMPLE_DEMO_PATH, "--beat", "20", "--size", "320x180", "-o",
                             "frame.png", "--wav", "mix.wav"},
                            dir.path());
    ASSERT_TRUE(r.ok()) << r;
    const double speed = linear(0.5, 1.0, 20.0 / 32.0);
    const double hue = catmull_rom(0.0, 0.3, 0.1, 0.6, 0.25);
    // 120 bpm and no offset: beat 20 is 10 seconds after the music starts.
    const double level = sound_level(read_wav(dir / "mix.wav"), 10 * kRate);
    SDL_Surface* image = IMG_Load((dir / "frame.png").c_str());
    ASSERT_NE(image, nullptr);
    for (const auto& [x, y] : {std::pair{10, 5}, {160, 20}, {300, 40}, {77, 50}}) {
        const Rgb want = plasma(x, y, 20.0, speed, hue, level);
        const Rgb got = pixel(image, x, y);
        EXPECT_NEAR(got.r, want.r, 2.5) << "pixel " << x << "," << y;
        EXPECT_NEAR(got.g, want.g, 2.5) << "pixel " << x << "," << y;
        EXPECT_NEAR(got.b, want.b, 2.5) << "pixel " << x << "," << y;
    }
    SDL_FreeSurface(image);
}

}  // namespace
}  // namespace demo::tool
