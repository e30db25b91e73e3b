// The binary and JSON forms of events, byte by byte and key by key, and round trips between them.
#include <gtest/gtest.h>

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
#include "serialization/package_bytes.h"
#include "timeline/event.h"
#include "timeline/event_group.h"

namespace demo {
namespace {

using namespace package_bytes;
using Ids = std::unordered_map<const void*, uint64_t>;

// The concatenation of stored fields.
Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        append(out, part);
    return out;
}

// A track header: name, mode, repeat, point count; then a point: beat, value, text.
Bytes track(const std::string& name, uint32_t mode, bool repeat, uint64_t points) {
    return join({stored_string(name), u64(mode, 4), u64(repeat ? 1 : 0, 1), u64(points)});
}
Bytes point(float beat, float value, const std::string& text) {
    return join({f32(beat), f32(value), stored_string(text)});
}

// The tracks of `add_tracks`, in byte-wise name order ("B", "a", "é": not the letters' order).
const Bytes kTrackBytes =
    join({u64(3), track("B", 0, false, 0), track("a", 2, true, 2), point(0.0f, 1.5f, ""),
          point(2.0f, 0.0f, "hello"), track("\xC3\xA9", 1, false, 1), point(1.0f, -3.0f, "")});

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

const std::string kTracks = "B:0,0[] a:2,1[0 1.5 '' 2 0 'hello' ] \xC3\xA9:1,0[1 -3 '' ] ";

Bytes write(const Event& event, const Ids* ids = nullptr) {
    Bytes bytes;
    OutputStream out(bytes);
    out.set_id_table(ids);
    event.write_binary(out);
    return bytes;
}

Event read(const Bytes& bytes) {
    InputStream in(bytes.data(), bytes.size());
    return Event(in);
}

constexpr uint64_t kEffectId = 0x0102030405060708ull;
constexpr uint64_t kGroupId = 0xF1E2D3C4B5A69788ull;
constexpr uint64_t kSampleId = 77;

// Each type's binary layout, read back exactly, and through JSON (references written by name)
// back to the same bytes.
TEST(EventForms, EachTypeHasItsLayoutAndGoesThroughJsonUnchanged) {
    Effect effect;
    effect.name = "plasma";
    AudioSample sample;
    sample.name = "sounds/kick.wav";
    EventGroup group;
    group.name = "chorus";
    const struct {
        uint8_t type;
        bool visible;
        float start;
        float end;
        const char* name;
        Bytes layout;
        ISerializable* target;  // the reference the type uses: written under `key` by its name
        const char* key;
        const char* ref_name;
        uint64_t id;
        float read_end;  // a sample event's end is its start plus one
    } cases[] = {
        {1, false, 0.1f, 1234.567f, "name with \"quotes\"\n",
         join({u64(1, 1), kTrackBytes, u64(0, 1), u64(kEffectId), f32(0.1f), f32(1234.567f),
               stored_string("name with \"quotes\"\n")}),
         &effect, "effect", "plasma", kEffectId, 1234.567f},
        {2, true, 64.0f, 99.0f, "kick",
         join({u64(2, 1), kTrackBytes, u64(1, 1), u64(kSampleId), f32(64.0f),
               stored_string("kick")}),
         &sample, "audio_sample", "sounds/kick.wav", kSampleId, 65.0f},
        {3, true, -1.0f, 7.75f, "chorus",
         join({u64(3, 1), kTrackBytes, u64(1, 1), u64(kGroupId), f32(-1.0f), f32(7.75f),
               stored_string("chorus")}),
         &group, "group", "chorus", kGroupId, 7.75f},
        // An unknown type stops after the tracks; name and beats are not stored.
        {200, true, 3.0f, 4.0f, "not stored", join({u64(200, 1), kTrackBytes}), nullptr, nullptr,
         nullptr, 0, 0.0f},
    };
    const Ids ids{{&effect, kEffectId}, {&sample, kSampleId}, {&group, kGroupId}};
    JsonKeyMaps keys;
    keys.effects["plasma"] = &effect;
    keys.event_groups["chorus"] = &group;
    keys.audio_samples["sounds/kick.wav"] = &sample;
    for (const auto& c : cases) {
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
        add_tracks(event);
        EXPECT_EQ(write(event, &ids), c.layout);

        // Whatever follows belongs to the next object.
        const Bytes with_next = join({c.layout, u64(0xCCBBAA, 3)});
        InputStream in(with_next.data(), with_next.size());
        Event back(in);
        EXPECT_EQ(in.remaining(), 3u);
        EXPECT_EQ(back.type, c.type);
        EXPECT_EQ(back.visible, c.visible);
        EXPECT_EQ(c.type == 1   ? back.effect.id
                  : c.type == 2 ? back.audio_sample.id
                                : back.group.id,
                  c.id);
        EXPECT_EQ(back.start_beat, c.type == 200 ? 0.0f : c.start);
        EXPECT_EQ(back.end_beat, c.read_end);
        EXPECT_EQ(back.name, c.type == 200 ? "" : c.name);
        EXPECT_EQ(tracks(back), kTracks);

        if (c.target != nullptr)
            back.resolve_references(IdRegistry{{c.id, c.target}});
        const Json json = back.to_json(false);
        if (c.key != nullptr) {
            EXPECT_EQ(json.at(c.key), c.ref_name);
        }
        Event again(json);
        again.resolve_references(keys);
        EXPECT_FALSE(again.has_dangling_reference());
        EXPECT_EQ(write(again, &ids), c.layout);
    }
    // Without a referenced object identifier 0 is written, and read back through JSON as 0.
    Event lone;
    lone.type = kEffectEvent;
    lone.end_beat = 8.0f;
    const Bytes unlinked = write(lone);
    EXPECT_EQ(unlinked, join({u64(1, 1), u64(0), u64(1, 1), u64(0), f32(0.0f), f32(8.0f),
                              stored_string("")}));
    EXPECT_EQ(write(Event(read(unlinked).to_json(false))), unlinked);
    // Text points keep no value; a repeated track name replaces the earlier track.
    const Bytes repeated =
        join({u64(9, 1), u64(3), track("t", 1, false, 2), point(0.0f, 7.5f, ""),
              point(1.0f, 7.5f, "text"), track("x", 2, false, 1), point(0.0f, 1.0f, ""),
              track("x", 0, true, 1), point(5.0f, 6.0f, "")});
    EXPECT_EQ(tracks(read(repeated)), "t:1,0[0 7.5 '' 1 0 'text' ] x:0,1[5 6 '' ] ");
}

TEST(EventJson, FieldsAreReadOnlyInTheirExactForms) {
    const std::pair<const char*, uint32_t> types[] = {
        {R"({"name": "e"})", 1}, {R"({"type": 2.0})", 2},  {R"({"type": 2.5})", 0},
        {R"({"type": "2"})", 0}, {R"({"type": true})", 0}, {R"({"type": 255})", 255},
    };
    for (const auto& [json, type] : types)
        EXPECT_EQ(Event(Json::parse(json)).type, type) << json;
    // The type is stored in one byte: anything else is refused, naming the event.
    for (const char* type : {"256", "-1", "4294967297"}) {
        try {
            Event event(Json::parse(std::string(R"({"name": "intro", "type": )") + type + "}"));
            ADD_FAILURE() << type << " was taken as " << event.type;
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(std::string(e.what()),
                      std::string("event \"intro\" has type ") + type + ", outside 0 to 255");
        }
    }
    const std::pair<const char*, bool> visible[] = {{R"({"visible": "true"})", true},
                                                    {R"({"visible": "True"})", false},
                                                    {R"({"visible": true})", false},
                                                    {R"({})", true}};
    for (const auto& [json, expected] : visible)
        EXPECT_EQ(Event(Json::parse(json)).visible, expected) << json;

    const Event sample(Json::parse(R"({"type": 2, "audio_sample": "kick.wav", "beat": 130})"));
    EXPECT_EQ(sample.start_beat, 130.0f);
    EXPECT_EQ(sample.end_beat, 131.0f);
    const Event event(Json::parse(R"({"control_points": {
        "plain": {"control_points": [{"beat": 1, "value": 2.5}, {"value": 4}]},
        "typed": {"mode": 2, "repeat": true, "control_points": [
            {"beat": 0.5, "text": "hi", "value": 9}, {"beat": 1.5, "text": ""}]},
        "odd": {"mode": "1", "repeat": "true"}}})"));
    EXPECT_EQ(tracks(event),
              "odd:0,0[] plain:0,0[1 2.5 '' 0 4 '' ] typed:2,1[0.5 0 'hi' 1.5 0 '' ] ");
}

}  // namespace
}  // namespace demo
