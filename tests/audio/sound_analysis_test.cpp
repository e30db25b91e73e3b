#include "audio/sound_analysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "audio/analysis_exchange.h"

namespace demo {
namespace {

constexpr int kFrames = 1024;
constexpr double kPi = 3.14159265358979323846;
constexpr int kWaveRow = kSoundTextureWidth * 4;  // first byte of row 1

// One stereo chunk of 1024 frames, interleaved left and right.
struct Chunk {
    std::vector<int16_t> samples = std::vector<int16_t>(kFrames * 2, 0);
    int16_t& left(int k) { return samples[2 * k]; }
    int16_t& right(int k) { return samples[2 * k + 1]; }
};

// Analyses one chunk; every analysis must fill each texel's four bytes alike.
std::unique_ptr<AnalysisSnapshot> analyse(const Chunk& chunk) {
    auto s = std::make_unique<AnalysisSnapshot>();
    analyse_chunk(chunk.samples.data(), kFrames, *s);
    for (int texel = 0; texel < kSoundTextureWidth * kSoundTextureHeight; ++texel) {
        const uint8_t* p = &s->sound_bytes[texel * 4];
        EXPECT_TRUE(p[1] == p[0] && p[2] == p[0] && p[3] == p[0]) << "texel " << texel;
    }
    return s;
}

// True when every element of `values` equals `value`.
template <typename Array>
bool all_are(const Array& values, int value) {
    return std::all_of(values.begin(), values.end(), [value](auto v) { return v == value; });
}

// Row-0 bytes of the left channel by a direct DFT in double precision: symmetric Hamming window,
// magnitudes against half the window's sum, -90 dB to 0 dB spread over 0 to 255.
std::vector<int> expected_spectrum(Chunk chunk) {
    std::vector<double> input(kFrames);
    double window_sum = 0.0;
    for (int k = 0; k < kFrames; ++k) {
        const double w = 0.54 - 0.46 * std::cos(2 * kPi * k / 1023.0);
        window_sum += w;
        input[k] = chunk.left(k) / 32768.0 * w;
    }
    const double norm = 0.5 * window_sum;
    std::vector<int> bytes(kSoundTextureWidth);
    for (int x = 0; x < kSoundTextureWidth; ++x) {
        const int bin = x * 20000 / 88200;
        std::complex<double> sum = 0.0;
        for (int k = 0; k < kFrames; ++k)
            sum += input[k] * std::polar(1.0, -2 * kPi * bin * k / kFrames);
        const double db = std::max(-90.0, 20.0 * std::log10(std::abs(sum) / norm));
        bytes[x] = std::clamp(static_cast<int>((db + 90.0) * 255.0 / 90.0), 0, 255);
    }
    return bytes;
}

TEST(SoundAnalysis, WaveformBytesTruncateTowardZero) {
    Chunk chunk;
    const int16_t lefts[] = {-1, -256, 32767, -32768, 255, 256, -257, 0, 1, -255};
    const uint8_t bytes[] = {128, 127, 255, 0, 128, 129, 127, 128, 128, 128};
    for (int k = 0; k < kFrames; ++k)
        chunk.right(k) = -32768;  // the right channel is ignored
    for (int k = 0; k < 10; ++k)
        chunk.left(k * 100) = lefts[k];
    const auto s = analyse(chunk);
    for (int k = 0; k < 10; ++k)
        EXPECT_EQ(s->sound_bytes[kWaveRow + k * 400], bytes[k]) << lefts[k];
    EXPECT_EQ(s->sound_bytes[kWaveRow + 1023 * 4], 128);
}

// Silence, full-scale DC (bin 0 about 6 dB over the top) and a full-scale square wave of period
// 32 (bin 32 at 4/pi of a full-scale sine; harmonics and the window's leakage fill the scale).
TEST(SoundAnalysis, SpectrumMatchesADirectTransform) {
    Chunk dc;
    Chunk square;
    for (int k = 0; k < kFrames; ++k) {
        dc.left(k) = 32767;
        square.left(k) = (k / 16) % 2 == 0 ? 32767 : -32767;
        square.right(k) = 1000;  // the right channel is ignored
    }
    std::vector<std::vector<int>> expected;
    for (const Chunk& chunk : {Chunk{}, dc, square}) {
        expected.push_back(expected_spectrum(chunk));
        const auto s = analyse(chunk);
        for (int x = 0; x < kSoundTextureWidth; ++x) {
            // Single-precision rounding may move a value across one step of the byte scale.
            ASSERT_LE(std::abs(s->sound_bytes[x * 4] - expected.back()[x]), 1)
                << "texel " << x << " of case " << expected.size() - 1;
        }
    }
    // Silence at 0, DC and the square's fundamental at the top, but not its third harmonic.
    EXPECT_TRUE(all_are(expected[0], 0));
    EXPECT_EQ(expected[1][0], 255);
    EXPECT_EQ(expected[2][143], 255);
    EXPECT_LT(expected[2][425], 255);
}

// The level: the truncated mean magnitude of the stream's first 100 values, as last acquired.
TEST(SoundLevel, MeanOfTheFirstHundredValuesOfTheLastAcquiredAnalysis) {
    auto run_callback = [](Chunk chunk) {
        const std::vector<int16_t> before = chunk.samples;
        analyse_output(-2, chunk.samples.data(), static_cast<int>(chunk.samples.size() * 2),
                       nullptr);
        EXPECT_EQ(chunk.samples, before) << "the callback must leave the stream unchanged";
    };
    Chunk alternating;  // 1, -2, 3, -4, ... 99, -100: a mean of 50.5; nothing after counts
    for (int i = 0; i < 100; ++i)
        alternating.samples[i] = static_cast<int16_t>(i % 2 == 0 ? i + 1 : -(i + 1));
    std::fill(alternating.samples.begin() + 100, alternating.samples.end(), 32767);
    Chunk loudest;  // the most negative value counts as loud, saturated
    std::fill(loudest.samples.begin(), loudest.samples.begin() + 100, -32768);
    const std::pair<Chunk, int> cases[] = {{Chunk{}, 0}, {alternating, 50}, {loudest, 32767}};
    for (const auto& [chunk, level] : cases) {
        run_callback(chunk);
        const AnalysisSnapshot& s = acquire_analysis();
        EXPECT_EQ(level_average(), level);
        EXPECT_EQ(s.levels[0], std::min(32767, std::abs(int{chunk.samples[0]})));
    }
    // Published but not yet acquired: the frame being drawn keeps what it took.
    run_callback(alternating);
    EXPECT_EQ(level_average(), 32767);
    acquire_analysis();
    EXPECT_EQ(level_average(), 50);
}

// The reader never sees a snapshot the writer is filling (SoundLevel checks what is handed over).
TEST(AnalysisHandOver, ConcurrentReaderSeesOnlyWholeSnapshots) {
    auto exchange = std::make_unique<AnalysisExchange>();
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        for (uint32_t n = 1; !stop.load(std::memory_order_relaxed); ++n) {
            AnalysisSnapshot& slot = exchange->write_slot();
            slot.sound_bytes.fill(static_cast<uint8_t>(n));
            slot.levels.fill(static_cast<int16_t>(n & 0xFF));
            exchange->publish();
        }
    });
    int torn = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(300);
    while (std::chrono::steady_clock::now() < deadline) {
        const AnalysisSnapshot& s = exchange->acquire();
        torn += !all_are(s.sound_bytes, s.sound_bytes[0]) || !all_are(s.levels, s.sound_bytes[0]);
    }
    stop.store(true, std::memory_order_relaxed);
    writer.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
}  // namespace demo
