// The binary and JSON forms of events, byte by byte and key by key, and round trips between them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <sstream>
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
using Ids = std::unordered_map<const void*, uint64_t>;

// Builds a binary form field by field: little-endian integers and floats, stored strings.
class Layout {
public:
    Layout& u8(uint8_t v) {
        bytes.push_back(v);
        return *this;
    }
    Layout& u64(uint64_t v, int size = 8) {
        for (int k = 0; k < size; ++k)
            bytes.push_back(static_cast<uint8_t>(v >> (8 * k)));
        return *this;
    }
    Layout& f32(float v) {
        uint32_t bits = 0;
        std::memcpy(&bits, &v, 4);
        return u64(bits, 4);
    }
    Layout& str(const std::string& text) {
        OutputStream out(bytes);
        write_string(text, out);
        return *this;
    }
    // A track header: name, mode, repeat, point count.
    Layout& track(const std::string& name, uint32_t mode, bool repeat, uint64_t points) {
        return str(name).u64(mode, 4).u8(repeat ? 1 : 0).u64(points);
    }
    Layout& point(float beat, float value, const std::string& text) {
        return f32(beat).f32(value).str(text);
    }
    // The tracks of `add_tracks`, in byte-wise name order.
    Layout& tracks() {
        return u64(3)
            .track("B", 0, false, 0)
            .track("a", 2, true, 2)
            .point(0.0f, 1.5f, "")
            .point(2.0f, 0.0f, "hello")
            .track("\xC3\xA9", 1, false, 1)
            .point(1.0f, -3.0f, "");
    }
    Bytes bytes;
};

constexpr uint64_t kEffectId = 0x0102030405060708ull;
constexpr uint64_t kGroupId = 0xF1E2D3C4B5A69788ull;
constexpr uint64_t kSampleId = 77;

Bytes write(const Event& event, const Ids* ids = nullptr) {
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

// Three tracks whose names sort differently by bytes ("B", "a", "é") than by letters.
void add_tracks(Event& event) {
    event.control_points["\xC3\xA9"] = ControlTrack{{{1.0f, -3.0f, ""}}, kModeLinear, false};
    event.control_points["a"] =
        ControlTrack{{{0.0f, 1.5f, ""}, {2.0f, 0.0f, "hello"}}, kModeSmooth, true};
    event.control_points["B"] = ControlTrack{{}, kModeLastValue, false};
}

// The tracks as text: "name:mode,repeat[beat value 'text' ...]" in name order.
std::string tracks(const Event& event) {
    std::ostringstream out;
    for (const auto& [name, track] : event.control_points) {
        out << name << ":" << track.mode << "," << track.repeat << "[";
        for (const ControlPoint& p : track.points)
            out << p.beat << " " << p.value << " '" << p.text << "' ";
        out << "] ";
    }
    return out.str();
}

// What `add_tracks` gives.
const std::string kTracks = "B:0,0[] a:2,1[0 1.5 '' 2 0 'hello' ] \xC3\xA9:1,0[1 -3 '' ] ";

struct BinaryCase {
    uint8_t type;
    bool visible;
    float start;
    float end;
    const char* name;
    Bytes layout;
    uint64_t id;     // read back from the reference the type uses
    float read_end;  // a sample event's end is its start plus one
    bool has_tracks;
};

TEST(EventBinary, EachTypeHasItsLayoutAndReadsExactlyIt) {
    const BinaryCase cases[] = {
        {1, false, 16.5f, 32.25f, "intro",
         Layout().u8(1).tracks().u8(0).u64(kEffectId).f32(16.5f).f32(32.25f).str("intro").bytes,
         kEffectId, 32.25f, true},
        {2, true, 64.0f, 99.0f, "kick",
         Layout().u8(2).u64(0).u8(1).u64(kSampleId).f32(64.0f).str("kick").bytes, kSampleId, 65.0f,
         false},
        {3, true, -1.0f, 7.75f, "chorus",
         Layout().u8(3).tracks().u8(1).u64(kGroupId).f32(-1.0f).f32(7.75f).str("chorus").bytes,
         kGroupId, 7.75f, true},
        // An unknown type stops after the tracks; name and beats are not stored.
        {9, true, 3.0f, 4.0f, "not stored", Layout().u8(9).tracks().bytes, 0, 0.0f, true},
    };
    Effect effect;
    AudioSample sample;
    EventGroup group;
    const Ids ids{{&effect, kEffectId}, {&sample, kSampleId}, {&group, kGroupId}};
    for (const BinaryCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << int(c.type));
        Event event;
        event.type = c.type;
        event.visible = c.visible;
        event.effect.object = &effect;
        event.audio_sample.object = &sample;
        event.group.object = &group;
        event.start_beat = c.start;
        event.end_beat = c.end;
        event.name = c.name;
        if (c.has_tracks)
            add_tracks(event);
        EXPECT_EQ(write(event, &ids), c.layout);

        // Whatever follows belongs to the next object.
        Bytes with_next = c.layout;
        with_next.insert(with_next.end(), {0xAA, 0xBB, 0xCC});
        uint64_t remaining = 0;
        const Event back = read(with_next, &remaining);
        EXPECT_EQ(remaining, 3u);
        EXPECT_EQ(back.type, c.type);
        EXPECT_EQ(back.visible, c.visible);
        EXPECT_EQ(c.type == 1   ? back.effect.id
                  : c.type == 2 ? back.audio_sample.id
                                : back.group.id,
                  c.id);
        EXPECT_EQ(back.start_beat, c.type == 9 ? 0.0f : c.start);
        EXPECT_EQ(back.end_beat, c.read_end);
        EXPECT_EQ(back.name, c.type == 9 ? "" : c.name);
        EXPECT_EQ(tracks(back), c.has_tracks ? kTracks : "");
    }
}

TEST(EventBinary, TextPointsKeepNoValueAndARepeatedTrackNameReplacesTheEarlier) {
    const Event back = read(Layout()
                                .u8(9)
                                .u64(3)
                                .track("t", 1, false, 2)
                                .point(0.0f, 7.5f, "")
                                .point(1.0f, 7.5f, "text")
                                .track("x", 2, false, 2)
                                .point(0.0f, 1.0f, "")
                                .point(1.0f, 2.0f, "")
                                .track("x", 0, true, 1)
                                .point(5.0f, 6.0f, "")
                                .bytes);
    EXPECT_EQ(tracks(back), "t:1,0[0 7.5 '' 1 0 'text' ] x:0,1[5 6 '' ] ");
}

TEST(EventJson, TypeAndVisibleTakeOnlyTheirExactForms) {
    const std::pair<const char*, uint32_t> types[] = {
        {R"({"name": "e"})", 1},  {R"({"type": 3})", 3},     {R"({"type": 2.0})", 2},
        {R"({"type": 2.5})", 0},  {R"({"type": "2"})", 0},   {R"({"type": true})", 0},
        {R"({"type": null})", 0}, {R"({"type": 255})", 255},
    };
    for (const auto& [json, type] : types)
        EXPECT_EQ(Event(Json::parse(json)).type, type) << json;
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
    const std::pair<const char*, bool> visible[] = {
        {R"({"visible": "true"})", true}, {R"({"visible": "false"})", false},
        {R"({"visible": "yes"})", false}, {R"({"visible": "True"})", false},
        {R"({"visible": true})", false},  {R"({})", true},
    };
    for (const auto& [json, expected] : visible)
        EXPECT_EQ(Event(Json::parse(json)).visible, expected) << json;
}

TEST(EventJson, ReferencesBeatsAndTracksAreReadByValue) {
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

    const Event event(Json::parse(R"({"control_points": {
        "plain": {"control_points": [{"beat": 1, "value": 2.5}, {"value": 4}]},
        "typed": {"mode": 2, "repeat": true, "control_points": [
            {"beat": 0.5, "text": "hi", "value": 9}, {"beat": 1.5, "text": ""}]},
        "odd": {"mode": "1", "repeat": "true"}}})"));
    EXPECT_EQ(tracks(event),
              "odd:0,0[] plain:0,0[1 2.5 '' 0 4 '' ] typed:2,1[0.5 0 'hi' 1.5 0 '' ] ");
}

// The written JSON; without tracks "control_points" may be left out or written empty.
Json written(const Event& event) {
    Json json = event.to_json(false);
    if (json.contains("control_points") && json["control_points"].empty())
        json.erase("control_points");
    return json;
}

TEST(EventJson, WrittenForms) {
    Event effect(
        Json::parse(R"({"type": 1, "effect": "fx", "name": "e", "start_beat": 4, "end_beat": 8})"));
    effect.visible = false;
    add_tracks(effect);
    EXPECT_EQ(written(effect), Json::parse(R"({
        "type": 1, "name": "e", "visible": "false", "effect": "fx",
        "start_beat": 4.0, "end_beat": 8.0,
        "control_points": {
            "B": {"mode": 0, "repeat": false, "control_points": []},
            "a": {"mode": 2, "repeat": true, "control_points": [
                {"beat": 0.0, "value": 1.5}, {"beat": 2.0, "text": "hello"}]},
            "\u00e9": {"mode": 1, "repeat": false, "control_points": [
                {"beat": 1.0, "value": -3.0}]}}})"));

    // Keys by type: a sample event has one "beat"; the reference is written by its key.
    const std::pair<const char*, const char*> cases[] = {
        {R"({"type": 2, "audio_sample": "kick.wav", "name": "k", "beat": 12, "end_beat": 20})",
         R"({"type": 2, "name": "k", "visible": "true", "audio_sample": "kick.wav",
             "beat": 12.0})"},
        {R"({"type": 3, "group": "g", "name": "x", "start_beat": 1.5, "end_beat": 2.5})",
         R"({"type": 3, "name": "x", "visible": "true", "group": "g",
             "start_beat": 1.5, "end_beat": 2.5})"},
    };
    for (const auto& [from, expected] : cases)
        EXPECT_EQ(written(Event(Json::parse(from))), Json::parse(expected)) << from;
}

TEST(EventRoundTrip, BinaryThroughJsonGivesTheSameBytes) {
    // Without referenced objects: identifier 0 is written back as 0.
    for (uint8_t type : {1, 3, 0, 200}) {
        Layout layout;
        layout.u8(type).tracks();
        if (type == 1 || type == 3)
            layout.u8(0).u64(0).f32(0.1f).f32(1234.567f).str("name with \"quotes\"\n");
        EXPECT_EQ(write(Event(read(layout.bytes).to_json(false))), layout.bytes) << int(type);
    }

    // With references: resolved by identifier, through JSON by name, written with the same ids.
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
    const struct {
        Bytes layout;
        ISerializable* target;
        uint64_t id;
        const char* key;
        const char* name;
    } cases[] = {
        {Layout().u8(1).tracks().u8(1).u64(kEffectId).f32(4.0f).f32(12.5f).str("e").bytes, &effect,
         kEffectId, "effect", "plasma"},
        {Layout().u8(3).tracks().u8(0).u64(kGroupId).f32(16.0f).f32(32.0f).str("g").bytes, &group,
         kGroupId, "group", "chorus"},
        {Layout().u8(2).tracks().u8(1).u64(kSampleId).f32(96.125f).str("k").bytes, &sample,
         kSampleId, "audio_sample", "sounds/kick.wav"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        Event first = read(c.layout);
        first.resolve_references(IdRegistry{{c.id, c.target}});
        EXPECT_FALSE(first.has_dangling_reference());
        const Json json = first.to_json(false);
        EXPECT_EQ(json.at(c.key), c.name);
        Event second(json);
        second.resolve_references(keys);
        EXPECT_FALSE(second.has_dangling_reference());
        const Ids ids{{c.target, c.id}};
        EXPECT_EQ(write(second, &ids), c.layout);
    }
}

}  // namespace
}  // namespace demo
