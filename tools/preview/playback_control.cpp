#include "playback_control.h"

#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "timeline/beat_timing.h"
#include "timeline/render_frame.h"
#include "timeline/sample_triggers.h"

namespace demo {

namespace {

// End beats from this one on never end a demo.
constexpr float kEndlessBeat = 10000.0f;
// A sample whose event was already active this long before a jump's target started before it.
constexpr float kJustBefore = 1.0f / 1024.0f;
constexpr float kBeatsPerBar = 4.0f;
constexpr float kDefaultLoopBars = 4.0f;

std::set<AudioSample*> samples_fired_at(Demo& demo, float beat) {
    std::set<AudioSample*> fired;
    for_each_sample_trigger(demo, beat, [&](AudioSample& sample) { fired.insert(&sample); });
    return fired;
}

}  // namespace

void PlaybackControl::attach(uint32_t now, Demo& demo, std::unique_ptr<MusicTrack> music,
                             std::optional<float> beat) {
    const float target = beat ? *beat : clock_.beat(now);
    music_.reset();
    demo_ = &demo;
    music_ = std::move(music);
    clock_.set_bpm(now, demo.bpm);
    music_stale_ = true;
    if (paused())
        hold_all_samples();
    seek(now, target);
}

void PlaybackControl::detach() {
    music_.reset();
}

float PlaybackControl::advance(uint32_t now) {
    float beat = clock_.beat(now);
    if (paused())
        return beat;
    const bool past_end = demo_->end_beat < kEndlessBeat && beat > demo_->end_beat;
    if (looping_ && loop_end_ > loop_start_ && (beat >= loop_end_ || past_end)) {
        seek(now, loop_start_);
        beat = clock_.beat(now);
    } else if (past_end) {
        pause(now);
        clock_.seek(now, demo_->end_beat);
        if (music_)
            music_->stop();
        at_end_ = true;
        beat = demo_->end_beat;
    }
    free_samples_after(beat);
    return beat;
}

void PlaybackControl::toggle_pause(uint32_t now) {
    if (!paused()) {
        pause(now);
        return;
    }
    if (at_end_)
        seek(now, home());
    resume(now);
}

float PlaybackControl::home() const {
    return home_ ? *home_ : -demo_->beat_offset;
}

void PlaybackControl::set_loop(float start, float end) {
    loop_start_ = start;
    loop_end_ = end;
}

void PlaybackControl::toggle_loop(uint32_t now) {
    if (loop_end_ <= loop_start_) {
        const float bar = std::floor(clock_.beat(now) / kBeatsPerBar) * kBeatsPerBar;
        set_loop(bar, bar + kDefaultLoopBars * kBeatsPerBar);
    }
    looping_ = !looping_;
}

void PlaybackControl::seek(uint32_t now, float beat) {
    // Nothing plays before the music's start or after the end.
    beat = std::max(beat, -demo_->beat_offset);
    if (demo_->end_beat < kEndlessBeat)
        beat = std::min(beat, demo_->end_beat);
    at_end_ = false;
    clock_.seek(now, beat);
    forget_last_frame(*demo_);
    Mix_HaltChannel(-1);
    if (paused()) {
        music_stale_ = true;
        return;
    }
    start_music_at(beat);
    hold_samples_behind(beat);
}

void PlaybackControl::pause(uint32_t now) {
    clock_.pause(now);
    if (music_)
        music_->pause();
    Mix_Pause(-1);
    hold_all_samples();
}

void PlaybackControl::resume(uint32_t now) {
    clock_.resume(now);
    Mix_Resume(-1);
    const float beat = clock_.beat(now);
    if (music_stale_) {
        start_music_at(beat);
    } else if (music_) {
        music_->resume();
    }
    hold_samples_behind(beat);
}

void PlaybackControl::start_music_at(float beat) {
    music_stale_ = false;
    if (!music_)
        return;
    // Without a tempo the clock stands still at the start, and the music plays from there.
    const double seconds =
        demo_->bpm > 0.0f ? std::max(0.0, music_seconds_at(beat, demo_->bpm, demo_->beat_offset))
                          : 0.0;
    music_silenced_ = !music_->play_from(seconds);
    if (music_silenced_ && !said_cannot_seek_) {
        std::printf(
            "The music's format cannot be played from the middle: it stays silent until playback "
            "starts again from the music's start.\n");
        said_cannot_seek_ = true;
    }
}

void PlaybackControl::hold_all_samples() {
    for (auto& sample : demo_->audio_samples)
        sample->held = true;
}

void PlaybackControl::hold_samples_behind(float beat) {
    const std::set<AudioSample*> now = samples_fired_at(*demo_, beat);
    const std::set<AudioSample*> before = samples_fired_at(*demo_, beat - kJustBefore);
    for (auto& sample : demo_->audio_samples)
        sample->held = now.count(sample.get()) != 0 && before.count(sample.get()) != 0;
}

void PlaybackControl::free_samples_after(float beat) {
    const bool any_held = std::any_of(demo_->audio_samples.begin(), demo_->audio_samples.end(),
                                      [](const auto& sample) { return sample->held; });
    if (!any_held)
        return;
    const std::set<AudioSample*> fired = samples_fired_at(*demo_, beat);
    for (auto& sample : demo_->audio_samples) {
        if (sample->held && fired.count(sample.get()) == 0)
            sample->held = false;
    }
}

}  // namespace demo
