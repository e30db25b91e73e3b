#include "timeline/sample_triggers.h"

#include <limits>

#include "demo/demo.h"  // samples fire from the whole demo's events

namespace demo {

namespace {

// The frame walk's range is half-open: an event is not active on its end beat.
bool active_at(const Event& event, float beat) {
    return event.start_beat <= beat && beat < event.end_beat;
}

// Walks `event` at `beat`, active there. `was_active` tells whether the same event, reached
// the same way, was active at `previous` too; only then is a sample not started again.
void visit(Event& event, float previous, bool was_active, float beat,
           const std::function<void(AudioSample&)>& fire) {
    if (event.type == kAudioSampleEvent) {
        if (event.audio_sample && !was_active)
            fire(*event.audio_sample.object);
        return;
    }
    if (event.type != kGroupEvent || event.being_drawn || event.group.object == nullptr)
        return;
    float earliest = 0.0f;
    if (!event.group.object->earliest_member_start(earliest))
        return;
    // Members run on the group's local time: its earliest member starts with the group event.
    const float local = beat - event.start_beat + earliest;
    const float previous_local = previous - event.start_beat + earliest;
    event.being_drawn = true;
    for (auto& member : event.group.object->events) {
        Event* m = member.object;
        if (m != nullptr && active_at(*m, local))
            visit(*m, previous_local, was_active && active_at(*m, previous_local), local, fire);
    }
    event.being_drawn = false;
}

void walk(Demo& demo, float previous, float beat, const std::function<void(AudioSample&)>& fire) {
    for (auto& event : demo.events) {
        if (event->visible && active_at(*event, beat))
            visit(*event, previous, active_at(*event, previous), beat, fire);
    }
}

}  // namespace

void for_each_sample_trigger(Demo& demo, float beat,
                             const std::function<void(AudioSample&)>& fire) {
    // Compared with itself every active event is new.
    walk(demo, -std::numeric_limits<float>::infinity(), beat, fire);
}

void for_each_sample_start(Demo& demo, float previous_beat, float beat,
                           const std::function<void(AudioSample&)>& fire) {
    walk(demo, previous_beat, beat, fire);
}

}  // namespace demo
