// Which audio samples the draw pass fires at a beat, without drawing anything: the player, the
// preview and the offline mix all decide here when a sample starts.
#pragma once

#include <functional>

namespace demo {

class AudioSample;
class Demo;

// Calls `fire` for every audio sample whose event is active at `beat` (visible active
// top-level sample events, and sample events reached through active group events).
void for_each_sample_trigger(Demo& demo, float beat, const std::function<void(AudioSample&)>& fire);

// Calls `fire` for every audio sample whose event becomes active between two frames: active at
// `beat` and not at `previous_beat` through the same group events. A sample thus starts once
// per activation of its event, however many frames the event lasts, and once more each time a
// group replays it. A first frame passes -infinity as `previous_beat`.
void for_each_sample_start(Demo& demo, float previous_beat, float beat,
                           const std::function<void(AudioSample&)>& fire);

}  // namespace demo
