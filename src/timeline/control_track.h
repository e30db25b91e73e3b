// A named keyframe curve of an event: its points, interpolation mode and wrap flag.
#pragma once

#include <cstdint>
#include <vector>

#include "timeline/control_point.h"

namespace demo {

// Interpolation modes, in the order of their display names.
enum TrackMode : uint32_t {
    kModeLastValue = 0,  // "Last value"
    kModeLinear = 1,     // "Linear"
    kModeSmooth = 2,     // "Smooth" (Catmull-Rom)
};

struct ControlTrack {
    std::vector<ControlPoint> points;  // expected in ascending beats; nothing sorts them
    uint32_t mode = kModeLinear;       // any other value evaluates to 0
    bool repeat = false;               // wraps neighbours at the ends of the list
};

}  // namespace demo
