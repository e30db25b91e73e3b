// The beat clock: the musical position derived from the milliseconds elapsed since the music
// started, the tempo and the beat offset. The player runs it from the music's start to the
// end; the authoring tool's preview also pauses it and moves it.
#pragma once

#include <cstdint>

namespace demo {

class BeatClock {
public:
    // Runs from `now` (SDL ticks), where the beat is `beat`. The player starts at the music's
    // start, at beat -beat_offset, which gives exactly elapsed * bpm / 60000 - beat_offset.
    void start(uint32_t now, float beat, float bpm);

    // The beat at `now`; the beat it was stopped at while paused.
    float beat(uint32_t now) const;

    // Holds the beat at its value at `now`, or runs on from it.
    void pause(uint32_t now);
    void resume(uint32_t now);
    bool paused() const { return paused_; }

    // Moves to `beat` at `now`, paused or running as before.
    void seek(uint32_t now, float beat);

    // Keeps the beat at `now` and runs on at a new tempo.
    void set_bpm(uint32_t now, float bpm);

private:
    float anchor_beat_ = 0.0f;
    uint32_t anchor_ticks_ = 0;
    float bpm_ = 0.0f;
    bool paused_ = false;
};

}  // namespace demo
