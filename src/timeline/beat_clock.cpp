#include "timeline/beat_clock.h"

#include "timeline/beat_timing.h"

namespace demo {

void BeatClock::start(uint32_t now, float beat, float bpm) {
    anchor_beat_ = beat;
    anchor_ticks_ = now;
    bpm_ = bpm;
    paused_ = false;
}

float BeatClock::beat(uint32_t now) const {
    if (paused_)
        return anchor_beat_;
    // Tick differences wrap in 32 bits (after about 49.7 days), as SDL's ticks do. The sum is
    // the player's elapsed * bpm / 60000 - offset when the anchor is -offset: float addition
    // commutes exactly.
    const float elapsed = static_cast<float>(static_cast<uint32_t>(now - anchor_ticks_));
    return anchor_beat_ + beats_in_ms(elapsed, bpm_);
}

void BeatClock::pause(uint32_t now) {
    if (paused_)
        return;
    anchor_beat_ = beat(now);
    paused_ = true;
}

void BeatClock::resume(uint32_t now) {
    if (!paused_)
        return;
    anchor_ticks_ = now;
    paused_ = false;
}

void BeatClock::seek(uint32_t now, float beat) {
    anchor_beat_ = beat;
    anchor_ticks_ = now;
}

void BeatClock::set_bpm(uint32_t now, float bpm) {
    seek(now, beat(now));
    bpm_ = bpm;
}

}  // namespace demo
