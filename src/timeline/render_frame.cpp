#include "timeline/render_frame.h"

#include <limits>

#include "audio/sample_playback.h"
#include "audio/sound_analysis.h"
#include "demo/demo.h"  // the frame walks the whole demo's events
#include "render/effect_renderer.h"
#include "render/shader_compiler.h"
#include "render/texture_upload.h"
#include "timeline/event.h"
#include "timeline/event_group.h"
#include "timeline/sample_triggers.h"
#include "timeline/track_application.h"

namespace demo {

namespace {

// Unit that holds the sound texture while an effect event is drawn.
constexpr int kSoundTextureUnit = 16;

// The frame walk's range is half-open: an event is not drawn on its end beat.
bool in_frame_range(const Event& event, float beat) {
    return event.start_beat <= beat && beat < event.end_beat;
}

// An effect event can be drawn only with an effect that has a program.
bool drawable(const Event& event) {
    return event.effect.object != nullptr && event.effect.object->program.object != nullptr;
}

// Maps a beat onto a group's local time: its earliest member starts with the group event.
bool group_local_beat(const Event& group_event, float beat, float& local) {
    float earliest = 0.0f;
    if (group_event.group.object == nullptr ||
        !group_event.group.object->earliest_member_start(earliest)) {
        return false;
    }
    local = beat - group_event.start_beat + earliest;
    return true;
}

void update_event(Event& event, float beat) {
    switch (event.type) {
        case kEffectEvent: {
            if (!drawable(event))
                return;
            update_texts(event, beat, nullptr);
            for (auto& input : event.effect.object->effects) {
                Effect* x = input.object;
                if (x == nullptr || x->program.object == nullptr)
                    continue;
                apply_uniform_defaults(*x->program.object);
                draw(*x, nullptr, true);
                capture_screen(*x);
            }
            break;
        }
        case kGroupEvent: {
            float local = 0.0f;
            if (!group_local_beat(event, beat, local))
                return;
            // Nested groups are not entered here; their members update when drawn.
            for (auto& member : event.group.object->events) {
                Event* m = member.object;
                if (m != nullptr && m->type == kEffectEvent && drawable(*m)) {
                    update_texts(*m, local, &event);
                }
            }
            break;
        }
        default:
            break;
    }
}

}  // namespace

void render_frame(Demo& demo, float beat) {
    if (demo.sound_texture)
        upload_texture_pixels(*demo.sound_texture, acquire_analysis().sound_bytes.data());
    for (auto& event : demo.events) {
        if (in_frame_range(*event, beat))
            update_event(*event, beat);
    }
    for (auto& event : demo.events) {
        if (in_frame_range(*event, beat) && event->visible) {
            draw_event(*event, demo.sound_texture ? demo.sound_texture->texture_id : 0, beat,
                       nullptr);
        }
    }
    // Each sample starts once as its event becomes active, not again in the event's later
    // frames when a short sample has already ended.
    for_each_sample_start(demo, demo.last_frame_beat, beat, play_sample);
    demo.last_frame_beat = beat;
}

void forget_last_frame(Demo& demo) {
    demo.last_frame_beat = -std::numeric_limits<float>::infinity();
}

void draw_event(Event& event, uint32_t sound_texture, float beat, Event* group_event) {
    switch (event.type) {
        case kEffectEvent: {
            if (!drawable(event))
                return;
            Effect& effect = *event.effect.object;
            const ShaderProgram& program = *effect.program.object;
            const ProgramHook hook = [&event, beat, group_event](ShaderProgram*) {
                apply_to_program(event, beat, group_event);
            };
            const bool bind_sound = program.locations.sound_texture != -1;
            if (bind_sound)
                bind_texture_unit(kSoundTextureUnit, sound_texture);
            draw(effect, hook, true);
            if (bind_sound)
                bind_texture_unit(kSoundTextureUnit, 0);
            break;
        }
        case kGroupEvent: {
            // A group that contains itself, directly or through others, is not entered again
            // while it is being drawn.
            if (event.being_drawn)
                return;
            float local = 0.0f;
            if (!group_local_beat(event, beat, local))
                return;
            event.being_drawn = true;
            for (auto& member : event.group.object->events) {
                Event* m = member.object;
                if (m != nullptr && in_frame_range(*m, local))
                    draw_event(*m, sound_texture, local, &event);
            }
            event.being_drawn = false;
            break;
        }
        default:
            break;
    }
}

}  // namespace demo
