// Hands the latest analysed chunk from the audio thread to the rendering thread without a
// lock: a triple buffer. The writer fills its own slot and swaps it into the middle; the reader
// swaps the middle out when it holds something new. Neither side ever waits for the other.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace demo {

// Texels of the sound texture: 1024 x 2, RGBA.
inline constexpr int kSoundTextureWidth = 1024;
inline constexpr int kSoundTextureHeight = 2;
inline constexpr int kSoundBytes = kSoundTextureWidth * kSoundTextureHeight * 4;
// Sample values kept for the "sound" level.
inline constexpr int kLevelCount = 100;

// What one mixed chunk tells the shaders.
struct AnalysisSnapshot {
    std::array<uint8_t, kSoundBytes> sound_bytes{};  // row 0 spectrum, row 1 waveform
    std::array<int16_t, kLevelCount> levels{};       // absolute values, saturated to 32767
};

class AnalysisExchange {
public:
    // Writer side (audio thread): the slot to fill, then publish it.
    AnalysisSnapshot& write_slot() { return slots_[writer_]; }
    void publish();

    // Reader side (rendering thread): takes the newest published snapshot, if any, and returns
    // the reader's current one (all zeros before anything was published).
    const AnalysisSnapshot& acquire();
    // The reader's current snapshot, without looking for a newer one.
    const AnalysisSnapshot& current() const { return slots_[reader_]; }

private:
    static constexpr uint32_t kFresh = 4;

    std::array<AnalysisSnapshot, 3> slots_{};
    uint32_t writer_ = 0;
    uint32_t reader_ = 1;
    std::atomic<uint32_t> middle_{2};
};

}  // namespace demo
