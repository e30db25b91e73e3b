// The per-frame walk of the timeline: an update pass, then a draw pass, over the demo's events.
#pragma once

#include <cstdint>

namespace demo {

class Demo;
class Event;

// Renders the demo at `beat`: refreshes the sound texture, updates the active effect events,
// then draws the visible active events in list order and fires their audio samples.
void render_frame(Demo& demo, float beat);

// Forgets the frame drawn last, as after a jump on the timeline: the next frame starts the
// samples of the events active there.
void forget_last_frame(Demo& demo);

// Draws one event at `beat` with the sound texture on its unit; `group_event` is the group
// event it is reached through, if any. Audio-sample events draw nothing: their samples start
// in `render_frame`.
void draw_event(Event& event, uint32_t sound_texture, float beat, Event* group_event);

}  // namespace demo
