// The preview's transport: the beat clock, with the music and the samples following it through
// pauses, jumps, a loop region and the end of the demo.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "audio/music_track.h"
#include "demo/demo.h"
#include "timeline/beat_clock.h"

namespace demo {

class PlaybackControl {
public:
    // Takes over a demo just loaded and its music, and moves to `beat` (the beat the clock
    // shows at `now` when none), paused or playing as before. The previous music is stopped.
    void attach(uint32_t now, Demo& demo, std::unique_ptr<MusicTrack> music,
                std::optional<float> beat);
    // Stops the music, before its demo is released.
    void detach();

    // The beat to draw at `now`: past the loop region's end (or the demo's) playback jumps back
    // to the region's start; past the end beat otherwise it stops there. Held samples go free
    // once their event is over.
    float advance(uint32_t now);
    float beat(uint32_t now) const { return clock_.beat(now); }

    void toggle_pause(uint32_t now);
    bool paused() const { return clock_.paused(); }
    // Stopped at the end beat; playing again starts from home.
    bool at_end() const { return at_end_; }

    // Moves the clock and the music to `beat`, kept between the music's start and the end beat.
    void seek(uint32_t now, float beat);
    // Where Home goes: `beat`, or the music's start when none.
    void set_home(std::optional<float> beat) { home_ = beat; }
    float home() const;

    // The loop region [start, end); off until toggled.
    void set_loop(float start, float end);
    // On or off; without a region, four bars from the bar that plays at `now` become it.
    void toggle_loop(uint32_t now);
    bool looping() const { return looping_; }
    float loop_start() const { return loop_start_; }
    float loop_end() const { return loop_end_; }

    // The music's format cannot start anywhere but at its start, so it is silent.
    bool music_silenced() const { return music_silenced_; }

private:
    void pause(uint32_t now);
    void resume(uint32_t now);
    void start_music_at(float beat);
    void hold_all_samples();
    void hold_samples_behind(float beat);
    void free_samples_after(float beat);

    Demo* demo_ = nullptr;
    std::unique_ptr<MusicTrack> music_;
    BeatClock clock_;
    std::optional<float> home_;
    bool at_end_ = false;
    bool looping_ = false;
    float loop_start_ = 0.0f;
    float loop_end_ = 0.0f;
    // The music restarts from the clock's beat when playback resumes (it moved while paused).
    bool music_stale_ = false;
    bool music_silenced_ = false;
    bool said_cannot_seek_ = false;
};

}  // namespace demo
