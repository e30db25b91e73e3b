// One keyframe of a track: a beat relative to the owning event's start, and a number or text.
#pragma once

#include <string>

namespace demo {

struct ControlPoint {
    float beat = 0.0f;
    float value = 0.0f;  // 0 for a text point
    std::string text;    // non-empty makes this a text point
};

}  // namespace demo
