// Steering a scene from the tracks of the effect event that draws it: the camera, the light's
// camera and the model's animation. No GL: it only writes cameras and animation state.
#pragma once

#include <string_view>

namespace demo {

class Event;

// Applies the event's camera, "ld*" and animation tracks at `beat` to the scene of its effect.
// Runs in both passes of the effect's draw.
void drive_scene(Event& event, float beat);

// True for the tracks an effect event may carry besides uniforms and texts: its scene's
// camera, light and animation.
bool is_builtin_track(std::string_view name);

}  // namespace demo
