// Steering a scene from the tracks of the effect event that draws it: the camera, the light's
// camera and the model's animation. No GL: it only writes cameras and animation state.
#pragma once

#include <cstdint>

namespace demo {

class Event;

// The "animation_index" track value as an animation index or mask: NaN reads 0, values
// beyond 32 bits are clamped, the rest truncated toward zero.
int32_t animation_index_from_track(float value);

// Applies the event's camera, "ld*" and animation tracks at `beat` to the scene of its effect.
// Runs in both passes of the effect's draw.
void drive_scene(Event& event, float beat);

}  // namespace demo
