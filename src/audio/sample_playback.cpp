#include "audio/sample_playback.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <atomic>

#include "base/player_state.h"

namespace demo {

namespace {

// Shared between the rendering thread (play) and the timer thread (restore).
std::atomic<int32_t> playing_count{0};

// Samples taken out of use whose restore timer may still run (rendering thread only).
std::vector<std::unique_ptr<AudioSample>> retired;

}  // namespace

void decode_audio_sample(AudioSample& sample) {
    sample.chunk = nullptr;
    sample.duration_ms = 0;
    if (!sample.audio_buffer || sample.audio_buffer->size() == 0)
        return;
    SDL_RWops* stream = SDL_RWFromConstMem(sample.audio_buffer->data.data(),
                                           static_cast<int>(sample.audio_buffer->size()));
    if (stream == nullptr)
        return;
    sample.chunk = Mix_LoadWAV_RW(stream, 1);
    if (sample.chunk != nullptr) {
        sample.duration_ms =
            sample_duration_ms(sample.chunk->alen, audio_channels, audio_frequency);
    }
}

void play_sample(AudioSample& sample) {
    if (sample.held)
        return;
    sample.playing.fetch_add(1);
    playing_count.fetch_add(1);
    Mix_VolumeMusic(kDuckedMusicVolume);
    if (sample.chunk != nullptr)
        Mix_PlayChannelTimed(-1, sample.chunk, 0, -1);
    // The timer is never cancelled, so its id is not kept. Without one the play ends at once
    // rather than leave the music ducked.
    if (SDL_AddTimer(sample.duration_ms, on_sample_finished, &sample) == 0)
        on_sample_finished(0, &sample);
}

uint32_t on_sample_finished(uint32_t /*interval*/, void* user_data) {
    auto* sample = static_cast<AudioSample*>(user_data);
    sample->playing.fetch_sub(1);
    if (playing_count.fetch_sub(1) == 1) {
        Mix_VolumeMusic(kFullMusicVolume);
        // A sample may have started between the count reaching zero and the volume call;
        // it must stay ducked.
        if (playing_count.load() > 0)
            Mix_VolumeMusic(kDuckedMusicVolume);
    }
    return 0;
}

int32_t samples_playing() {
    return playing_count.load();
}

void retire_samples(std::vector<std::unique_ptr<AudioSample>> samples) {
    Mix_HaltChannel(-1);
    // Counting its play down is a restore timer's last access to its sample.
    std::erase_if(retired, [](const auto& sample) { return sample->playing.load() == 0; });
    for (auto& sample : samples) {
        if (sample->chunk != nullptr)
            Mix_FreeChunk(sample->chunk);
        sample->chunk = nullptr;
        sample->audio_buffer.reset();
        if (sample->playing.load() > 0)
            retired.push_back(std::move(sample));
    }
}

}  // namespace demo
