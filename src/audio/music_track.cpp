#include "audio/music_track.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <climits>

namespace demo {

namespace {

// Positions closer to the start than this are the start: no seeking needed.
constexpr double kStartSeconds = 0.001;

}  // namespace

MusicTrack::MusicTrack(const ByteBuffer* music) {
    if (music == nullptr || music->size() == 0 || music->size() > INT_MAX)
        return;
    SDL_RWops* stream = SDL_RWFromConstMem(music->data.data(), static_cast<int>(music->size()));
    if (stream != nullptr)
        music_ = Mix_LoadMUS_RW(stream, 1);
}

MusicTrack::~MusicTrack() {
    if (music_ == nullptr)
        return;
    Mix_HaltMusic();
    Mix_FreeMusic(music_);
}

bool MusicTrack::play_from(double seconds) {
    if (music_ == nullptr)
        return true;
    const double duration = Mix_MusicDuration(music_);
    if (duration > 0.0 && seconds >= duration) {
        Mix_HaltMusic();
        return true;
    }
    const int result = seconds < kStartSeconds ? Mix_PlayMusic(music_, 0)
                                               : Mix_FadeInMusicPos(music_, 0, 0, seconds);
    // A new start plays even when the music was paused before.
    Mix_ResumeMusic();
    return result == 0 || seconds < kStartSeconds;
}

void MusicTrack::pause() {
    if (music_ != nullptr)
        Mix_PauseMusic();
}

void MusicTrack::resume() {
    if (music_ != nullptr)
        Mix_ResumeMusic();
}

void MusicTrack::stop() {
    if (music_ != nullptr)
        Mix_HaltMusic();
}

}  // namespace demo
