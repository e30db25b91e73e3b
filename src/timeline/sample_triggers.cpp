#include "timeline/sample_triggers.h"

#include "serialization/demo.h"

namespace demo {

namespace {

void visit(Event& event, float beat, const std::function<void(AudioSample&)>& fire) {
    if (event.type == kAudioSampleEvent) {
        if (event.audio_sample)
            fire(*event.audio_sample.object);
        return;
    }
    if (event.type != kGroupEvent || event.being_drawn || event.group.object == nullptr)
        return;
    float earliest = 0.0f;
    if (!event.group.object->earliest_member_start(earliest))
        return;
    const float local = beat - event.start_beat + earliest;
    event.being_drawn = true;
    for (auto& member : event.group.object->events) {
        Event* m = member.object;
        if (m != nullptr && m->start_beat <= local && local < m->end_beat)
            visit(*m, local, fire);
    }
    event.being_drawn = false;
}

}  // namespace

void for_each_sample_trigger(Demo& demo, float beat,
                             const std::function<void(AudioSample&)>& fire) {
    for (auto& event : demo.events) {
        if (event->visible && event->start_beat <= beat && beat < event->end_beat) {
            visit(*event, beat, fire);
        }
    }
}

}  // namespace demo
