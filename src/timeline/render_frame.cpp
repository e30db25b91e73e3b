#include "timeline/render_frame.h"

#include "audio/sample_playback.h"
#include "serialization/demo.h"
#include "timeline/event.h"

namespace demo {

namespace {

// The frame walk's range is half-open: an event is not drawn on its end beat.
bool in_frame_range(const Event& event, float beat) {
    return event.start_beat <= beat && beat < event.end_beat;
}

}  // namespace

void render_frame(Demo& demo, float beat) {
    for (auto& event : demo.events) {
        if (in_frame_range(*event, beat) && event->visible) draw_event(*event, beat, nullptr);
    }
}

void draw_event(Event& event, float /*beat*/, Event* /*group_event*/) {
    switch (event.type) {
        case kAudioSampleEvent:
            if (event.audio_sample) play_sample(*event.audio_sample.object);
            break;
        default:
            break;
    }
}

}  // namespace demo
