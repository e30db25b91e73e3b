#include "timeline/event.h"

#include <stdexcept>

#include "audio/audio_sample.h"
#include "base/player_state.h"
#include "render/effect.h"
#include "serialization/json_fields.h"
#include "serialization/primitives.h"
#include "serialization/stored_string.h"
#include "timeline/event_group.h"
#include "timeline/track_evaluation.h"

namespace demo {

namespace {

// Smallest stored track (empty name, mode, repeat, point count) and point (beat, value, text).
constexpr uint64_t kMinTrackSize = 9 + 4 + 1 + 8;
constexpr uint64_t kMinPointSize = 4 + 4 + 9;

// The name a project document uses for a reference: the target's own name once resolved,
// otherwise the key as it was read.
template <typename T>
std::string reference_name(const ObjectRef<T>& ref) {
    if constexpr (requires(const T& t) { t.name; }) {
        if (ref.object != nullptr)
            return ref.object->name;
    }
    return ref.key;
}

Json track_to_json(const ControlTrack& track) {
    Json points = Json::array();
    for (const ControlPoint& point : track.points) {
        Json p = Json::object();
        p["beat"] = static_cast<double>(point.beat);
        if (!point.text.empty()) {
            p["text"] = point.text;
        } else {
            p["value"] = static_cast<double>(point.value);
        }
        points.push_back(std::move(p));
    }
    Json value = Json::object();
    value["mode"] = track.mode;
    value["repeat"] = track.repeat;
    value["control_points"] = std::move(points);
    return value;
}

ControlTrack track_from_json(const Json& value) {
    ControlTrack track;
    const int64_t mode = json_int(value, "mode", 0);
    track.mode = mode >= 0 && mode <= UINT32_MAX ? static_cast<uint32_t>(mode) : 0;
    track.repeat = json_bool(value, "repeat", false);
    for (const Json& p : json_array(value, "control_points")) {
        ControlPoint point;
        point.beat = json_float(p, "beat");
        if (p.is_object() && p.contains("text")) {
            point.text = json_string(p, "text");
        } else {
            point.value = json_float(p, "value");
        }
        track.points.push_back(std::move(point));
    }
    return track;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Binary form
// ---------------------------------------------------------------------------------------------

// A reference that resolved to nothing is written as 0: its old identifier could name another
// object of the package being written.
void Event::write_binary(OutputStream& out) const {
    const uint8_t stored_type = static_cast<uint8_t>(type);
    out.write_bytes(&stored_type, 1);
    write_u64(out, control_points.size());
    for (const auto& [track_name, track] : control_points) {
        write_string(track_name, out);
        write_u32(out, track.mode);
        write_bool(out, track.repeat);
        write_u64(out, track.points.size());
        for (const ControlPoint& point : track.points) {
            write_f32(out, point.beat);
            write_f32(out, point.value);
            write_string(point.text, out);
        }
    }
    if (type < kEffectEvent || type > kGroupEvent)
        return;
    // The three known types share one tail; an audio-sample event stores no end beat.
    write_bool(out, visible);
    const void* target = type == kEffectEvent        ? static_cast<const void*>(effect.object)
                         : type == kAudioSampleEvent ? static_cast<const void*>(audio_sample.object)
                                                     : static_cast<const void*>(group.object);
    write_u64(out, out.id_of(target));
    write_f32(out, start_beat);
    if (type != kAudioSampleEvent)
        write_f32(out, end_beat);
    write_string(name, out);
}

void Event::read_binary(InputStream& in) {
    uint8_t stored_type = 0;
    in.read_bytes(&stored_type, 1, "an event type");
    type = stored_type;
    const uint64_t track_count = read_count(in, kMinTrackSize, "an event's track count");
    for (uint64_t i = 0; i < track_count; ++i) {
        const std::string track_name = read_string(in, "a track name");
        ControlTrack track;
        track.mode = read_u32(in, "a track mode");
        track.repeat = read_bool(in, "a track's repeat flag");
        const uint64_t point_count = read_count(in, kMinPointSize, "a track's point count");
        track.points.reserve(point_count);
        for (uint64_t k = 0; k < point_count; ++k) {
            ControlPoint point;
            point.beat = read_f32(in, "a control point beat");
            point.value = read_f32(in, "a control point value");
            point.text = read_string(in, "a control point text");
            if (!point.text.empty())
                point.value = 0.0f;
            track.points.push_back(std::move(point));
        }
        // A repeated name replaces the earlier track.
        control_points[track_name] = std::move(track);
    }
    if (type < kEffectEvent || type > kGroupEvent)
        return;
    visible = read_bool(in, "an event's visible flag");
    const uint64_t target = read_u64(in, "an event's effect, sample or group");
    if (type == kEffectEvent)
        effect.id = target;
    if (type == kAudioSampleEvent)
        audio_sample.id = target;
    if (type == kGroupEvent)
        group.id = target;
    start_beat = read_f32(in, "an event's start beat");
    end_beat = type == kAudioSampleEvent ? start_beat + 1.0f : read_f32(in, "an event's end beat");
    name = read_string(in, "an event name");
}

// ---------------------------------------------------------------------------------------------
// JSON form
// ---------------------------------------------------------------------------------------------

Json Event::to_json(bool /*export_files*/) const {
    Json value = Json::object();
    value["type"] = type;
    value["name"] = name;
    value["visible"] = visible ? "true" : "false";
    switch (type) {
        case kEffectEvent:
            value["effect"] = reference_name(effect);
            value["start_beat"] = static_cast<double>(start_beat);
            value["end_beat"] = static_cast<double>(end_beat);
            break;
        case kAudioSampleEvent:
            value["audio_sample"] = reference_name(audio_sample);
            value["beat"] = static_cast<double>(start_beat);
            break;
        case kGroupEvent:
            value["group"] = reference_name(group);
            value["start_beat"] = static_cast<double>(start_beat);
            value["end_beat"] = static_cast<double>(end_beat);
            break;
        default:
            break;
    }
    if (!control_points.empty()) {
        Json tracks = Json::object();
        for (const auto& [track_name, track] : control_points) {
            tracks[track_name] = track_to_json(track);
        }
        value["control_points"] = std::move(tracks);
    }
    return value;
}

void Event::from_json(const Json& value) {
    name = json_string(value, "name");
    if (value.is_object() && value.contains("type")) {
        // The stored form keeps the type in one byte: a larger one would pack into a package
        // whose tail cannot be found again.
        const int64_t t = json_int(value, "type", 0);
        if (t < 0 || t > UINT8_MAX) {
            throw std::runtime_error("event \"" + name + "\" has type " + std::to_string(t) +
                                     ", outside 0 to 255");
        }
        type = static_cast<uint32_t>(t);
    } else {
        type = kEffectEvent;
    }
    // Our files write the strings "true" and "false"; a hand-written JSON boolean means the
    // same. Anything else hides the event.
    visible = !(value.is_object() && value.contains("visible")) || value["visible"] == "true" ||
              value["visible"] == true;
    switch (type) {
        case kEffectEvent:
            effect.key = json_string(value, "effect");
            start_beat = json_float(value, "start_beat");
            end_beat = json_float(value, "end_beat");
            break;
        case kAudioSampleEvent:
            audio_sample.key = json_string(value, "audio_sample");
            start_beat = json_float(value, "beat");
            end_beat = start_beat + 1.0f;
            break;
        case kGroupEvent:
            group.key = json_string(value, "group");
            start_beat = json_float(value, "start_beat");
            end_beat = json_float(value, "end_beat");
            break;
        default:
            break;
    }
    control_points.clear();
    if (value.is_object() && value.contains("control_points") &&
        value["control_points"].is_object()) {
        for (const auto& [track_name, track] : value["control_points"].items()) {
            control_points[track_name] = track_from_json(track);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// References
// ---------------------------------------------------------------------------------------------

void Event::resolve_references(const IdRegistry& registry) {
    switch (type) {
        case kEffectEvent:
            effect.resolve(registry);
            break;
        case kGroupEvent:
            group.resolve(registry);
            break;
        case kAudioSampleEvent:
            audio_sample.resolve(registry);
            break;
        default:
            break;
    }
}

void Event::resolve_references(const JsonKeyMaps& keys) {
    switch (type) {
        case kEffectEvent:
            effect.resolve(keys.effects);
            break;
        case kGroupEvent:
            group.resolve(keys.event_groups);
            break;
        case kAudioSampleEvent:
            audio_sample.resolve(keys.audio_samples);
            break;
        default:
            break;
    }
}

bool Event::has_dangling_reference() const {
    switch (type) {
        case kEffectEvent:
            return effect.object == nullptr;
        case kAudioSampleEvent:
            return audio_sample.object == nullptr;
        case kGroupEvent:
            return group.object == nullptr;
        default:
            return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Evaluation
// ---------------------------------------------------------------------------------------------

const ControlTrack* Event::find_track(const std::string& track_name) const {
    auto it = control_points.find(track_name);
    return it == control_points.end() ? nullptr : &it->second;
}

float Event::evaluate_value(const ControlTrack* track, float beat) const {
    if (!is_active(beat) || track == nullptr)
        return 0.0f;
    return evaluate_track(*track, beat - start_beat);
}

std::string Event::evaluate_text(const std::string& track_name, float beat,
                                 int32_t chars_per_beat) const {
    if (!is_active(beat))
        return std::string();
    const float t = beat - start_beat;
    const ControlTrack* track = find_track(track_name);
    if (track == nullptr || track->points.empty())
        return std::string();
    const int64_t cur = current_text_point(*track, t);
    if (cur < 0)
        return std::string();
    const ControlPoint& point = track->points[cur];
    std::string text = replace_placeholders(point.text, current_beat, point.beat, start_beat);
    if (chars_per_beat == -1 || cur + 1 == static_cast<int64_t>(track->points.size())) {
        return text;
    }
    return type_on(text, t, point.beat, track->points[cur + 1].beat, chars_per_beat);
}

}  // namespace demo
