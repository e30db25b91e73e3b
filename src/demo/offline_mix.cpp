#include "demo/offline_mix.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <stdexcept>
#include <string>

#include "audio/sample_playback.h"
#include "demo/demo.h"
#include "timeline/beat_timing.h"
#include "timeline/sample_triggers.h"

namespace demo {

namespace {

// Decodes encoded sound bytes to interleaved 16-bit frames at the mixer's format.
std::vector<int16_t> decode_pcm(const ByteBuffer& bytes) {
    std::vector<int16_t> pcm;
    if (bytes.size() == 0 || bytes.size() > INT32_MAX)
        return pcm;
    SDL_RWops* stream = SDL_RWFromConstMem(bytes.data.data(), static_cast<int>(bytes.size()));
    Mix_Chunk* chunk = Mix_LoadWAV_RW(stream, 1);
    if (chunk == nullptr)
        return pcm;
    const auto* samples = reinterpret_cast<const int16_t*>(chunk->abuf);
    pcm.assign(samples, samples + chunk->alen / 2);
    Mix_FreeChunk(chunk);
    return pcm;
}

}  // namespace

int64_t checked_frame(double frames, const char* what) {
    if (!(std::fabs(frames) <= static_cast<double>(kMaxMixFrames))) {
        char position[32];
        std::snprintf(position, sizeof position, "%.4g", frames / OfflineMix::kFrequency);
        throw std::range_error(std::string(what) + " lies " + position +
                               " s from the music's start, outside the " +
                               std::to_string(kMaxMixFrames / OfflineMix::kFrequency) +
                               " s a mix can span either side of it");
    }
    return static_cast<int64_t>(frames);
}

OfflineMix::OfflineMix(Demo& demo, double seconds, int frames_per_second) {
    if (frames_per_second < 1 || frames_per_second > kMaxFramesPerSecond)
        throw std::range_error("the frame rate must be from 1 to 1000");
    length_ = checked_frame(std::ceil(seconds * kFrequency), "the end of the mix");
    if (demo.music)
        music_ = decode_pcm(*demo.music);
    has_music_ = demo.music && demo.music->size() > 0;
    for (const auto& sample : demo.audio_samples) {
        if (sample->audio_buffer)
            sample_pcm_[sample.get()] = decode_pcm(*sample->audio_buffer);
    }

    // Each sample plays once per activation of its event, as in the player, whose frames are
    // this mix's steps.
    const int64_t frames_per_step = kFrequency / frames_per_second;
    float previous = -std::numeric_limits<float>::infinity();
    for (int64_t frame = 0; frame < length_; frame += frames_per_step) {
        const float elapsed_ms = static_cast<float>(frame * 1000 / kFrequency);
        const float beat = beats_in_ms(elapsed_ms, demo.bpm) - demo.beat_offset;
        for_each_sample_start(demo, previous, beat, [&](AudioSample& sample) {
            const int64_t duration = static_cast<int64_t>(sample.duration_ms) * kFrequency / 1000;
            ducked_.emplace_back(frame, frame + duration);
            auto pcm = sample_pcm_.find(&sample);
            if (pcm != sample_pcm_.end())
                voices_.push_back({&pcm->second, frame});
        });
        previous = beat;
    }
}

std::vector<int16_t> OfflineMix::frames(int64_t first, int64_t count) const {
    std::vector<int16_t> out(static_cast<size_t>(std::max<int64_t>(count, 0)) * kChannels, 0);
    frames_into(first, count, out.data());
    return out;
}

void OfflineMix::frames_into(int64_t first, int64_t count, int16_t* out) const {
    for (int64_t i = 0; i < count; ++i) {
        const int64_t frame = first + i;
        if (frame < 0 || frame >= length_) {
            std::fill_n(out + i * kChannels, kChannels, int16_t{0});
            continue;
        }
        bool ducked = false;
        for (const auto& [start, end] : ducked_) {
            if (frame >= start && frame < end) {
                ducked = true;
                break;
            }
        }
        const int volume = ducked ? kDuckedMusicVolume : kFullMusicVolume;
        for (int c = 0; c < kChannels; ++c) {
            int32_t sum = 0;
            const size_t m = static_cast<size_t>(frame) * kChannels + c;
            if (m < music_.size())
                sum += music_[m] * volume / kFullMusicVolume;
            for (const Voice& voice : voices_) {
                const int64_t offset = frame - voice.start;
                if (offset < 0)
                    continue;
                const size_t s = static_cast<size_t>(offset) * kChannels + c;
                if (s < voice.pcm->size())
                    sum += (*voice.pcm)[s];
            }
            out[static_cast<size_t>(i) * kChannels + c] =
                static_cast<int16_t>(std::clamp<int32_t>(sum, -32768, 32767));
        }
    }
}

}  // namespace demo
