// Pure evaluation of a track at a time relative to its event's start.
#pragma once

#include <cstdint>
#include <string>

#include "timeline/control_track.h"

namespace demo {

// Truncates toward zero without overflowing the 32-bit result; NaN gives 0.
int32_t truncate_to_int(float value);

// Numeric value at relative time `t`: 0 before the first point, in an unknown mode, or for a
// track without points.
float evaluate_track(const ControlTrack& track, float t);

// Index of the current point for texts (the last whose beat is <= t), or -1 for none.
int64_t current_text_point(const ControlTrack& track, float t);

// Replaces, each only at its first occurrence: <BEAT> and <IBEAT> by `global_beat`, <CP> and
// <ICP> by the point's beat, <ACP> and <IACP> by the point's beat plus `event_start`.
std::string replace_placeholders(std::string text, float global_beat, float point_beat,
                                 float event_start);

// The first bytes of `text` typed on by relative time `t` between a point at `point_beat` and
// the next at `next_beat`, at `chars_per_beat`.
std::string type_on(const std::string& text, float t, float point_beat, float next_beat,
                    int32_t chars_per_beat);

}  // namespace demo
