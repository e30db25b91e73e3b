#include "timeline/track_application.h"

#include <string>

#include "render/effect.h"
#include "render/font_texture.h"
#include "render/shader_compiler.h"
#include "render/shader_program.h"
#include "render/text_rendering.h"
#include "timeline/event.h"
#include "timeline/scene_driver.h"

namespace demo {

namespace {

// The group event's track for a member's target, or none.
const ControlTrack* group_track(const Event& member, const Event* group_event,
                                const std::string& target, std::string& track_name) {
    if (group_event == nullptr)
        return nullptr;
    track_name = member.name + "." + target;
    return group_event->find_track(track_name);
}

// The member's beat seen on the group event's own time line.
float on_group_time(const Event& member, const Event& group_event, float beat) {
    return beat - member.start_beat + group_event.start_beat;
}

}  // namespace

void update_texts(Event& event, float beat, const Event* group_event) {
    Effect* effect = event.effect.object;
    if (effect == nullptr)
        return;
    for (auto& ref : effect->font_textures) {
        FontTexture* texture = ref.object;
        if (texture == nullptr)
            continue;
        if (!event.is_active(beat)) {
            set_text(*texture, "");
            continue;
        }
        std::string track_name;
        if (const ControlTrack* track =
                group_track(event, group_event, texture->name, track_name)) {
            set_text(*texture, track->points.empty()
                                   ? std::string()
                                   : group_event->evaluate_text(
                                         track_name, on_group_time(event, *group_event, beat),
                                         texture->chars_per_beat));
            continue;
        }
        const ControlTrack* own = event.find_track(texture->name);
        set_text(*texture, own == nullptr || own->points.empty()
                               ? std::string()
                               : event.evaluate_text(texture->name, beat, texture->chars_per_beat));
    }
}

void apply_to_program(Event& event, float beat, const Event* group_event) {
    Effect* effect = event.effect.object;
    if (effect == nullptr || effect->program.object == nullptr)
        return;
    for (const auto& def : effect->program.object->uniform_defs) {
        if (def->location == -1)
            continue;
        float value = def->default_val;
        if (event.is_active(beat)) {
            std::string track_name;
            if (const ControlTrack* track =
                    group_track(event, group_event, def->name, track_name)) {
                if (!track->points.empty()) {
                    value = group_event->evaluate_value(track,
                                                        on_group_time(event, *group_event, beat));
                }
            } else if (const ControlTrack* own = event.find_track(def->name);
                       own != nullptr && !own->points.empty()) {
                value = event.evaluate_value(own, beat);
            }
        }
        upload_uniform(*def, value);
    }
    if (effect->scene.object != nullptr)
        drive_scene(event, beat);
}

}  // namespace demo
