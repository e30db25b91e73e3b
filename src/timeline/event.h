// One thing on the demo's timeline between two beats: an effect to draw, a sound to fire, or
// a group of events replayed as a block; with named keyframe tracks over its own time.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "serialization/id_registry.h"
#include "serialization/json_key_maps.h"
#include "serialization/object_ref.h"
#include "serialization/serializable.h"
#include "timeline/control_track.h"

namespace demo {

enum EventType : uint32_t {
    kEffectEvent = 1,
    kAudioSampleEvent = 2,
    kGroupEvent = 3,
};

class Event : public ISerializable {
public:
    uint32_t type = 0;  // other values are kept, and the event does nothing
    ObjectRef<Effect> effect;
    ObjectRef<AudioSample> audio_sample;
    float start_beat = 0.0f;
    float end_beat = 0.0f;  // start_beat + 1 for an audio-sample event
    std::string name;
    std::map<std::string, ControlTrack> control_points;  // byte-wise name order
    ObjectRef<EventGroup> group;
    bool visible = true;

    // Set while a group event's members are being drawn, so a group that contains itself is
    // not entered again.
    bool being_drawn = false;

    Event() = default;
    explicit Event(InputStream& in) { read_binary(in); }
    explicit Event(const Json& value) { from_json(value); }

    Json to_json(bool export_files) const override;
    void write_binary(OutputStream& out) const override;
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;

    // Resolves the one reference that matches the type, from a package or from a document.
    void resolve_references(const IdRegistry& registry);
    void resolve_references(const JsonKeyMaps& keys);
    // The reference that matches the type is set but names nothing in the demo.
    bool has_dangling_reference() const;

    // Active for track evaluation: both ends inclusive.
    bool is_active(float beat) const { return start_beat <= beat && beat <= end_beat; }
    // The track under `track_name`, or none.
    const ControlTrack* find_track(const std::string& track_name) const;

    // Numeric value of `track` (may be none) at absolute `beat`.
    float evaluate_value(const ControlTrack* track, float beat) const;
    // Text of the named track at absolute `beat`, with placeholders replaced and typed on at
    // `chars_per_beat` (-1 shows the whole text at once).
    std::string evaluate_text(const std::string& track_name, float beat,
                              int32_t chars_per_beat) const;
};

}  // namespace demo
