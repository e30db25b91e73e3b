// Which audio samples the draw pass fires at a beat, without drawing anything: used to mix a
// demo's sound offline exactly as the frame walk would trigger it.
#pragma once

#include <functional>

namespace demo {

class AudioSample;
class Demo;

// Calls `fire` for every audio sample the draw pass would try to play at `beat` (visible
// active top-level sample events, and sample events reached through active group events).
void for_each_sample_trigger(Demo& demo, float beat, const std::function<void(AudioSample&)>& fire);

}  // namespace demo
