#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "audio/audio_sample.h"
#include "render/effect.h"
#include "serialization/id_registry.h"
#include "serialization/input_stream.h"
#include "serialization/json_key_maps.h"
#include "serialization/output_stream.h"
#include "serialization/stored_string.h"
#include "timeline/event.h"
#include "timeline/event_group.h"

namespace demo {
namespace {

using Bytes = std::vector<uint8_t>;

// Builds a binary form field by field: little-endian integers and floats, stored strings.
class Layout {
public:
    Layout& u8(uint8_t v) {
        bytes_.push_back(v);
        return *this;
    }
    Layout& u32(uint32_t v) {
        for (int k = 0; k < 4; ++k)
            bytes_.push_back(static_cast<uint8_t>(v >> (8 * k)));
        return *this;
    }
    Layout& u64(uint64_t v) {
        for (int k = 0; k < 8; ++k)
            bytes_.push_back(static_cast<uint8_t>(v >> (8 * k)));
        return *this;
    }
    Layout& f32(float v) {
        uint32_t bits = 0;
        std::memcpy(&bits, &v, 4);
        return u32(bits);
    }
    Layout& str(const std::string& text) {
        OutputStream out(bytes_);
        write_string(text, out);
        return *this;
    }
    // A track header: name, mode, repeat, point count.
    Layout& track(const std::string& name, uint32_t mode, bool repeat, uint64_t points) {
        return str(name).u32(mode).u8(repeat ? 1 : 0).u64(points);
    }
    Layout& point(float beat, float value, const std::string& text) {
        return f32(beat).f32(value).str(text);
    }
    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

constexpr uint64_t kEffectId = 0x0102030405060708ull;
constexpr uint64_t kGroupId = 0xF1E2D3C4B5A69788ull;
constexpr uint64_t kSampleId = 77;

Bytes write(const Event& event, const std::unordered_map<const void*, uint64_t>* ids = nullptr) {
    Bytes bytes;
    OutputStream out(bytes);
    out.set_id_table(ids);
    event.write_binary(out);
    return bytes;
}

Event read(const Bytes& bytes, uint64_t* remaining = nullptr) {
    InputStream in(bytes.data(), bytes.size());
    Event event(in);
    if (remaining != nullptr)
        *remaining = in.remaining();
    return event;
}

ControlPoint numeric(float beat, float value) {
    return ControlPoint{beat, value, ""};
}
ControlPoint text(float beat, const std::string& t) {
    return ControlPoint{beat, 0.0f, t};
}

// Three tracks whose names sort differently by bytes than by letters.
void add_tracks(Event& event) {
    ControlTrack accent;  // "é"
    accent.mode = kModeLinear;
    accent.points = {numeric(1.0f, -3.0f)};
    event.control_points["\xC3\xA9"] = accent;

    ControlTrack lower;
    lower.mode = kModeSmooth;
    lower.repeat = true;
    lower.points = {numeric(0.0f, 1.5f), text(2.0f, "hello")};
    event.control_points["a"] = lower;

    ControlTrack upper;
    upper.mode = kModeLastValue;
    event.control_points["B"] = upper;
}

// The same three tracks, laid out in byte-wise name order.
Layout& lay_tracks(Layout& layout) {
    return layout.u64(3)
        .track("B", 0, false, 0)
        .track("a", 2, true, 2)
        .point(0.0f, 1.5f, "")
        .point(2.0f, 0.0f, "hello")
        .track("\xC3\xA9", 1, false, 1)
        .point(1.0f, -3.0f, "");
}

void expect_tracks(const Event& event) {
    ASSERT_EQ(event.control_points.size(), 3u);
    const ControlTrack& upper = event.control_points.at("B");
    EXPECT_EQ(upper.mode, 0u);
    EXPECT_FALSE(upper.repeat);
    EXPECT_TRUE(upper.points.empty());
    const ControlTrack& lower = event.control_points.at("a");
    EXPECT_EQ(lower.mode, 2u);
    EXPECT_TRUE(lower.repeat);
    ASSERT_EQ(lower.points.size(), 2u);
    EXPECT_EQ(lower.points[0].beat, 0.0f);
    EXPECT_EQ(lower.points[0].value, 1.5f);
    EXPECT_EQ(lower.points[0].text, "");
    EXPECT_EQ(lower.points[1].beat, 2.0f);
    EXPECT_EQ(lower.points[1].text, "hello");
    const ControlTrack& accent = event.control_points.at("\xC3\xA9");
    EXPECT_EQ(accent.mode, 1u);
    ASSERT_EQ(accent.points.size(), 1u);
    EXPECT_EQ(accent.points[0].value, -3.0f);
}

// -------------------------------------------------------------------------------------------
// Binary form
// -------------------------------------------------------------------------------------------

TEST(EventBinary, EffectEventLayout) {
    Effect effect;
    Event event;
    event.type = kEffectEvent;
    event.visible = false;
    event.effect.object = &effect;
    event.start_beat = 16.5f;
    event.end_beat = 32.25f;
    event.name = "intro";
    add_tracks(event);
    const std::unordered_map<const void*, uint64_t> ids{{&effect, kEffectId}};

    Layout layout;
    layout.u8(1);
    lay_tracks(layout).u8(0).u64(kEffectId).f32(16.5f).f32(32.25f).str("intro");
    EXPECT_EQ(write(event, &ids), layout.bytes());

    uint64_t remaining = 1;
    const Event back = read(layout.bytes(), &remaining);
    EXPECT_EQ(remaining, 0u);
    EXPECT_EQ(back.type, 1u);
    EXPECT_FALSE(back.visible);
    EXPECT_EQ(back.effect.id, kEffectId);
    EXPECT_EQ(back.start_beat, 16.5f);
    EXPECT_EQ(back.end_beat, 32.25f);
    EXPECT_EQ(back.name, "intro");
    expect_tracks(back);
}

TEST(EventBinary, AudioSampleEventStoresNoEndBeat) {
    AudioSample sample;
    Event event;
    event.type = kAudioSampleEvent;
    event.audio_sample.object = &sample;
    event.start_beat = 64.0f;
    event.end_beat = 99.0f;  // not stored
    event.name = "kick";
    const std::unordered_map<const void*, uint64_t> ids{{&sample, kSampleId}};

    Layout layout;
    layout.u8(2).u64(0).u8(1).u64(kSampleId).f32(64.0f).str("kick");
    EXPECT_EQ(write(event, &ids), layout.bytes());

    uint64_t remaining = 1;
    const Event back = read(layout.bytes(), &remaining);
    EXPECT_EQ(remaining, 0u);
    EXPECT_EQ(back.type, 2u);
    EXPECT_TRUE(back.visible);
    EXPECT_EQ(back.audio_sample.id, kSampleId);
    EXPECT_EQ(back.start_beat, 64.0f);
    EXPECT_EQ(back.end_beat, 65.0f);
    EXPECT_EQ(back.name, "kick");
}

TEST(EventBinary, GroupEventLayout) {
    EventGroup group;
    Event event;
    event.type = kGroupEvent;
    event.group.object = &group;
    event.start_beat = -1.0f;
    event.end_beat = 7.75f;
    event.name = "chorus";
    add_tracks(event);
    const std::unordered_map<const void*, uint64_t> ids{{&group, kGroupId}};

    Layout layout;
    layout.u8(3);
    lay_tracks(layout).u8(1).u64(kGroupId).f32(-1.0f).f32(7.75f).str("chorus");
    EXPECT_EQ(write(event, &ids), layout.bytes());

    uint64_t remaining = 1;
    const Event back = read(layout.bytes(), &remaining);
    EXPECT_EQ(remaining, 0u);
    EXPECT_EQ(back.type, 3u);
    EXPECT_TRUE(back.visible);
    EXPECT_EQ(back.group.id, kGroupId);
    EXPECT_EQ(back.start_beat, -1.0f);
    EXPECT_EQ(back.end_beat, 7.75f);
    EXPECT_EQ(back.name, "chorus");
    expect_tracks(back);
}

TEST(EventBinary, UnknownTypeStopsAfterTheTracks) {
    Event event;
    event.type = 9;
    event.name = "not stored";
    event.start_beat = 3.0f;
    event.end_beat = 4.0f;
    add_tracks(event);

    Layout layout;
    layout.u8(9);
    lay_tracks(layout);
    EXPECT_EQ(write(event), layout.bytes());

    // Whatever follows belongs to the next object.
    Bytes with_next = layout.bytes();
    with_next.insert(with_next.end(), {0xAA, 0xBB, 0xCC});
    uint64_t remaining = 0;
    const Event back = read(with_next, &remaining);
    EXPECT_EQ(remaining, 3u);
    EXPECT_EQ(back.type, 9u);
    EXPECT_EQ(back.name, "");
    expect_tracks(back);
}

TEST(EventBinary, ReadingKeepsNoValueForTextPoints) {
    Layout layout;
    layout.u8(9).u64(1).track("t", 1, false, 2).point(0.0f, 7.5f, "").point(1.0f, 7.5f, "text");
    const Event back = read(layout.bytes());
    const ControlTrack& track = back.control_points.at("t");
    ASSERT_EQ(track.points.size(), 2u);
    EXPECT_EQ(track.points[0].value, 7.5f);
    EXPECT_EQ(track.points[1].value, 0.0f);
    EXPECT_EQ(track.points[1].text, "text");
}

TEST(EventBinary, RepeatedTrackNameReplacesTheEarlierTrack) {
    Layout layout;
    layout.u8(9)
        .u64(2)
        .track("x", 2, false, 2)
        .point(0.0f, 1.0f, "")
        .point(1.0f, 2.0f, "")
        .track("x", 0, true, 1)
        .point(5.0f, 6.0f, "");
    const Event back = read(layout.bytes());
    ASSERT_EQ(back.control_points.size(), 1u);
    const ControlTrack& track = back.control_points.at("x");
    EXPECT_EQ(track.mode, 0u);
    EXPECT_TRUE(track.repeat);
    ASSERT_EQ(track.points.size(), 1u);
    EXPECT_EQ(track.points[0].beat, 5.0f);
    EXPECT_EQ(track.points[0].value, 6.0f);
}

// -------------------------------------------------------------------------------------------
// JSON form
// -------------------------------------------------------------------------------------------

TEST(EventJson, Type) {
    EXPECT_EQ(Event(Json::parse(R"({"name": "e"})")).type, 1u);
    EXPECT_EQ(Event(Json::parse(R"({"type": 3})")).type, 3u);
    EXPECT_EQ(Event(Json::parse(R"({"type": 2.0})")).type, 2u);
    EXPECT_EQ(Event(Json::parse(R"({"type": 2.5})")).type, 0u);
    EXPECT_EQ(Event(Json::parse(R"({"type": "2"})")).type, 0u);
    EXPECT_EQ(Event(Json::parse(R"({"type": true})")).type, 0u);
    EXPECT_EQ(Event(Json::parse(R"({"type": null})")).type, 0u);
    EXPECT_EQ(Event(Json::parse(R"({"type": 255})")).type, 255u);
    // The type is stored in one byte: anything else is refused, naming the event.
    for (const char* type : {"256", "300", "-1", "4294967297"}) {
        const Json value = Json::parse(std::string(R"({"name": "intro", "type": )") + type + "}");
        try {
            Event event(value);
            ADD_FAILURE() << type << " was taken as " << event.type;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("event \"intro\" has type ") + type + ", outside 0 to 255");
        }
    }
}

TEST(EventJson, Visible) {
    EXPECT_TRUE(Event(Json::parse(R"({"visible": "true"})")).visible);
    EXPECT_FALSE(Event(Json::parse(R"({"visible": "false"})")).visible);
    EXPECT_FALSE(Event(Json::parse(R"({"visible": "yes"})")).visible);
    EXPECT_FALSE(Event(Json::parse(R"({"visible": "True"})")).visible);
    EXPECT_FALSE(Event(Json::parse(R"({"visible": true})")).visible);
    EXPECT_TRUE(Event(Json::parse(R"({})")).visible);
}

TEST(EventJson, BeatsReadByValue) {
    const Event effect(
        Json::parse(R"({"type": 1, "effect": "fx", "start_beat": 130, "end_beat": 140.5})"));
    EXPECT_EQ(effect.effect.key, "fx");
    EXPECT_EQ(effect.start_beat, 130.0f);
    EXPECT_EQ(effect.end_beat, 140.5f);

    const Event sample(Json::parse(R"({"type": 2, "audio_sample": "kick.wav", "beat": 130})"));
    EXPECT_EQ(sample.audio_sample.key, "kick.wav");
    EXPECT_EQ(sample.start_beat, 130.0f);
    EXPECT_EQ(sample.end_beat, 131.0f);

    const Event group(Json::parse(R"({"type": 3, "group": "g", "start_beat": 8.5})"));
    EXPECT_EQ(group.group.key, "g");
    EXPECT_EQ(group.start_beat, 8.5f);
    EXPECT_EQ(group.end_beat, 0.0f);

    const Event wrong(Json::parse(R"({"type": 1, "start_beat": "4", "end_beat": [1]})"));
    EXPECT_EQ(wrong.start_beat, 0.0f);
    EXPECT_EQ(wrong.end_beat, 0.0f);
}

TEST(EventJson, Tracks) {
    const Event event(Json::parse(R"({
        "control_points": {
            "plain": {"control_points": [{"beat": 1, "value": 2.5}, {"value": 4}]},
            "typed": {"mode": 2, "repeat": true, "control_points": [
                {"beat": 0.5, "text": "hi", "value": 9},
                {"beat": 1.5, "text": ""}
            ]},
            "odd": {"mode": "1", "repeat": "true"}
        }
    })"));
    ASSERT_EQ(event.control_points.size(), 3u);

    const ControlTrack& plain = event.control_points.at("plain");
    EXPECT_EQ(plain.mode, 0u);
    EXPECT_FALSE(plain.repeat);
    ASSERT_EQ(plain.points.size(), 2u);
    EXPECT_EQ(plain.points[0].beat, 1.0f);
    EXPECT_EQ(plain.points[0].value, 2.5f);
    EXPECT_EQ(plain.points[1].beat, 0.0f);
    EXPECT_EQ(plain.points[1].value, 4.0f);

    const ControlTrack& typed = event.control_points.at("typed");
    EXPECT_EQ(typed.mode, 2u);
    EXPECT_TRUE(typed.repeat);
    ASSERT_EQ(typed.points.size(), 2u);
    EXPECT_EQ(typed.points[0].text, "hi");
    EXPECT_EQ(typed.points[0].value, 0.0f);
    EXPECT_EQ(typed.points[1].beat, 1.5f);
    EXPECT_EQ(typed.points[1].value, 0.0f);

    const ControlTrack& odd = event.control_points.at("odd");
    EXPECT_EQ(odd.mode, 0u);
    EXPECT_FALSE(odd.repeat);
    EXPECT_TRUE(odd.points.empty());
}

TEST(EventJson, WrittenForms) {
    Event effect(
        Json::parse(R"({"type": 1, "effect": "fx", "name": "e", "start_beat": 4, "end_beat": 8})"));
    effect.visible = false;
    add_tracks(effect);
    const Json expected_effect = Json::parse(R"({
        "type": 1, "name": "e", "visible": "false", "effect": "fx",
        "start_beat": 4.0, "end_beat": 8.0,
        "control_points": {
            "B": {"mode": 0, "repeat": false, "control_points": []},
            "a": {"mode": 2, "repeat": true, "control_points": [
                {"beat": 0.0, "value": 1.5}, {"beat": 2.0, "text": "hello"}]},
            "\u00e9": {"mode": 1, "repeat": false, "control_points": [
                {"beat": 1.0, "value": -3.0}]}
        }
    })");
    EXPECT_EQ(effect.to_json(false), expected_effect);

    AudioSample sample;
    sample.name = "kick.wav";
    Event audio;
    audio.type = kAudioSampleEvent;
    audio.audio_sample.object = &sample;
    audio.start_beat = 12.0f;
    audio.end_beat = 13.0f;
    audio.name = "k";
    // Without tracks "control_points" may be left out or written empty.
    Json audio_json = audio.to_json(false);
    if (audio_json.contains("control_points") && audio_json["control_points"].empty()) {
        audio_json.erase("control_points");
    }
    EXPECT_EQ(audio_json, Json::parse(R"({"type": 2, "name": "k", "visible": "true",
                                          "audio_sample": "kick.wav", "beat": 12.0})"));

    const Event group(Json::parse(
        R"({"type": 3, "group": "g", "name": "x", "start_beat": 1.5, "end_beat": 2.5})"));
    Json group_json = group.to_json(false);
    if (group_json.contains("control_points") && group_json["control_points"].empty()) {
        group_json.erase("control_points");
    }
    EXPECT_EQ(group_json, Json::parse(R"({"type": 3, "name": "x", "visible": "true", "group": "g",
                                          "start_beat": 1.5, "end_beat": 2.5})"));
}

// -------------------------------------------------------------------------------------------
// Round trips
// -------------------------------------------------------------------------------------------

TEST(EventRoundTrip, BinaryThroughJsonGivesTheSameBytes) {
    // Without referenced objects: identifier 0 is written back as 0.
    for (uint8_t type : {1, 3, 0, 200}) {
        Layout layout;
        layout.u8(type);
        lay_tracks(layout);
        if (type == 1 || type == 3) {
            layout.u8(0).u64(0).f32(0.1f).f32(1234.567f).str("name with \"quotes\"\n");
        }
        const Event first = read(layout.bytes());
        const Event second(first.to_json(false));
        EXPECT_EQ(write(second), layout.bytes()) << int(type);
    }
}

// Reads `layout`, resolves its reference by identifier, goes through JSON, resolves by name
// and writes again with the same identifiers.
void expect_reference_round_trip(const Bytes& layout, ISerializable* target, uint64_t id,
                                 const JsonKeyMaps& keys, const char* json_key,
                                 const std::string& name) {
    Event first = read(layout);
    first.resolve_references(IdRegistry{{id, target}});
    EXPECT_FALSE(first.has_dangling_reference());

    const Json json = first.to_json(false);
    EXPECT_EQ(json.at(json_key), name);
    Event second(json);
    second.resolve_references(keys);
    EXPECT_FALSE(second.has_dangling_reference());

    const std::unordered_map<const void*, uint64_t> ids{{target, id}};
    EXPECT_EQ(write(second, &ids), layout);
}

TEST(EventRoundTrip, ReferencesSurviveBinaryThroughJson) {
    Effect effect;
    effect.name = "plasma";
    EventGroup group;
    group.name = "chorus";
    AudioSample sample;
    sample.name = "sounds/kick.wav";
    JsonKeyMaps keys;
    keys.effects["plasma"] = &effect;
    keys.event_groups["chorus"] = &group;
    keys.audio_samples["sounds/kick.wav"] = &sample;

    Layout effect_event;
    effect_event.u8(1);
    lay_tracks(effect_event).u8(1).u64(kEffectId).f32(4.0f).f32(12.5f).str("e");
    expect_reference_round_trip(effect_event.bytes(), &effect, kEffectId, keys, "effect", "plasma");

    Layout group_event;
    group_event.u8(3);
    lay_tracks(group_event).u8(0).u64(kGroupId).f32(16.0f).f32(32.0f).str("g");
    expect_reference_round_trip(group_event.bytes(), &group, kGroupId, keys, "group", "chorus");

    Layout sample_event;
    sample_event.u8(2);
    lay_tracks(sample_event).u8(1).u64(kSampleId).f32(96.125f).str("k");
    expect_reference_round_trip(sample_event.bytes(), &sample, kSampleId, keys, "audio_sample",
                                "sounds/kick.wav");
}

}  // namespace
}  // namespace demo
