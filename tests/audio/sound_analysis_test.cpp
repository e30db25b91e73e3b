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

int16_t full_scale(double v) {
    return static_cast<int16_t>(std::clamp(std::lround(v * 32767.0), -32768l, 32767l));
}

// A chunk with the spectrum of a small mix on the left; something else entirely on the right.
Chunk music_like() {
    Chunk chunk;
    for (int k = 0; k < kFrames; ++k) {
        const double t = k / 44100.0;
        const double left =
            0.35 * std::sin(2 * kPi * 110.0 * t) + 0.15 * std::sin(2 * kPi * 440.0 * t + 0.3) +
            0.08 * std::sin(2 * kPi * 554.4 * t + 1.1) + 0.02 * std::sin(2 * kPi * 3520.0 * t) +
            0.004 * std::sin(2 * kPi * 7040.0 * t + 2.0);
        chunk.left(k) = full_scale(left);
        chunk.right(k) = full_scale(0.5 * std::sin(2 * kPi * 2000.0 * t));
    }
    return chunk;
}

// Row-0 bytes of the left channel worked out with a direct DFT in double precision: a
// symmetric 1024-point Hamming window, magnitudes against half the window's sum, -90 dB to
// 0 dB spread over 0 to 255.
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
        if (x > 0 && bin == (x - 1) * 20000 / 88200) {
            bytes[x] = bytes[x - 1];  // texels of one bin share its value
            continue;
        }
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
    for (int x = 0; x < kSoundTextureWidth; ++x) {
        if (x % 100 != 0 || x >= 1000) {
            ASSERT_EQ(s->sound_bytes[kWaveRow + x * 4], 128) << x;
        }
    }
}

// Row 0 against a direct transform for silence, a small mix, full-scale DC (bin 0 about 6 dB
// above the reference) and a full-scale square wave with a 32-frame period (its fundamental in
// bin 32 has 4/pi the amplitude of a full-scale sine, about 2 dB above).
TEST(SoundAnalysis, SpectrumMatchesADirectTransform) {
    Chunk dc;
    Chunk square;
    for (int k = 0; k < kFrames; ++k) {
        dc.left(k) = 32767;
        square.left(k) = (k / 16) % 2 == 0 ? 32767 : -32767;
    }
    std::vector<std::vector<int>> expected;
    for (const Chunk& chunk : {Chunk{}, music_like(), dc, square}) {
        expected.push_back(expected_spectrum(chunk));
        const auto s = analyse(chunk);
        for (int x = 0; x < kSoundTextureWidth; ++x) {
            // Single-precision rounding may move a value across one step of the byte scale.
            ASSERT_LE(std::abs(s->sound_bytes[x * 4] - expected.back()[x]), 1)
                << "texel " << x << " of case " << expected.size() - 1 << ": "
                << int(s->sound_bytes[x * 4]) << " against " << expected.back()[x];
        }
    }
    // The cases span the scale: silence at 0, DC and the square's fundamental at the top, but
    // not its third harmonic (bin 96, a third of the fundamental); the mix's bass near the top.
    EXPECT_TRUE(all_are(expected[0], 0));
    EXPECT_GE(*std::max_element(expected[1].begin(), expected[1].end()), 200);
    EXPECT_EQ(expected[2][0], 255);
    EXPECT_EQ(expected[3][143], 255);
    EXPECT_LT(expected[3][425], 255);
}

// The mixer callback publishes the analysis; the level is the mean magnitude of the first
// hundred values of the stream (truncated), as of the analysis last acquired.
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
    Chunk one_loudest;  // the most negative value counts as loud
    one_loudest.samples[0] = -32768;
    Chunk all_loudest;
    std::fill(all_loudest.samples.begin(), all_loudest.samples.begin() + 100, -32768);
    const std::pair<Chunk, int> cases[] = {
        {Chunk{}, 0}, {alternating, 50}, {one_loudest, 327}, {all_loudest, 32767}};
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

TEST(AnalysisHandOver, ConcurrentReaderSeesOnlyWholeSnapshots) {
    auto exchange = std::make_unique<AnalysisExchange>();
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        uint32_t counter = 0;
        while (!stop.load(std::memory_order_relaxed)) {
            ++counter;
            AnalysisSnapshot& slot = exchange->write_slot();
            slot.sound_bytes.fill(static_cast<uint8_t>(counter));
            slot.levels.fill(static_cast<int16_t>(counter & 0x7FFF));
            exchange->publish();
        }
    });

    uint64_t changes = 0;
    uint64_t torn = 0;
    int last = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (std::chrono::steady_clock::now() < deadline) {
        const AnalysisSnapshot& s = exchange->acquire();
        const uint8_t first = s.sound_bytes[0];
        if (!all_are(s.sound_bytes, first) || !all_are(s.levels, s.levels[0]) ||
            static_cast<uint8_t>(s.levels[0]) != first)
            ++torn;
        if (first != last) {
            ++changes;
            last = first;
        }
    }
    stop.store(true, std::memory_order_relaxed);
    writer.join();

    EXPECT_EQ(torn, 0u);
    EXPECT_GT(changes, 2u);
}

}  // namespace
}  // namespace demo
