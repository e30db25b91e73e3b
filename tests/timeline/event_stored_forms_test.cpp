// The binary and JSON forms of events, byte by byte and key by key, and round trips between them.
#include <gtest/gtest.h>

#include <string>
#include <unordered_map>

#include "audio/audio_sample.h"
#include "render/effect.h"
#include "serialization/id_registry.h"
#include "serialization/input_stream.h"
#include "serialization/json_key_maps.h"
#include "serialization/output_stream.h"
#include "test_support/serialization_support.h"
#include "timeline/event.h"
#include "timeline/event_group.h"

namespace demo {
namespace {

using namespace package_bytes;
using Ids = std::unordered_map<const void*, uint64_t>;

// A track header: name, mode, repeat, point count; then a point: beat, value, text.
Bytes track(const std::string& name, uint32_t mode, bool repeat, uint64_t points) {
    return concat({stored_string(name), u64(mode, 4), u64(repeat ? 1 : 0, 1), u64(points)});
}
Bytes point(float beat, float value, const std::string& text) {
    return concat({f32(beat), f32(value), stored_string(text)});
}

Event read(const Bytes& bytes) {
    InputStream in(bytes.data(), bytes.size());
    return Event(in);
}

// Each type's binary layout is read and written back, also through JSON (references by name).
TEST(EventForms, EachTypeHasItsLayoutAndGoesThroughJsonUnchanged) {
    Effect effect;
    effect.name = "plasma";
    AudioSample sample;
    sample.name = "sounds/kick.wav";
    EventGroup group;
    group.name = "chorus";
    // The tracks in byte-wise name order ("B", "a", "é": not the letters' order).
    const Bytes tracks = concat({u64(3), track("B", 0, false, 0), track("a", 2, true, 2),
                                 point(0.0f, 1.5f, ""), point(2.0f, 0.0f, "hello"),
                                 track("\xC3\xA9", 1, false, 1), point(1.0f, -3.0f, "")});
    constexpr uint64_t kEffectId = 0x0102030405060708ull;
    constexpr uint64_t kGroupId = 0xF1E2D3C4B5A69788ull;
    const struct {
        Bytes layout;
        ISerializable* target;
        uint64_t id;
        float read_end;  // a sample event's end is its start plus one
    } cases[] = {
        {concat({u64(1, 1), tracks, u64(0, 1), u64(kEffectId), f32(0.1f), f32(1234.567f),
                 stored_string("name with \"quotes\"\n")}),
         &effect, kEffectId, 1234.567f},
        {concat({u64(2, 1), tracks, u64(1, 1), u64(77), f32(64.0f), stored_string("kick")}),
         &sample, 77, 65.0f},
        {concat({u64(3, 1), tracks, u64(1, 1), u64(kGroupId), f32(-1.0f), f32(7.75f),
                 stored_string("chorus")}),
         &group, kGroupId, 7.75f},
        // An unknown type stops after the tracks; name and beats are not stored.
        {concat({u64(200, 1), tracks}), nullptr, 0, 0.0f},
    };
    const Ids ids{{&effect, kEffectId}, {&sample, 77}, {&group, kGroupId}};
    JsonKeyMaps keys;
    keys.effects["plasma"] = &effect;
    keys.event_groups["chorus"] = &group;
    keys.audio_samples["sounds/kick.wav"] = &sample;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "type " << int(c.layout[0]));
        // Whatever follows belongs to the next object.
        const Bytes with_next = concat({c.layout, u64(0xCCBBAA, 3)});
        InputStream in(with_next.data(), with_next.size());
        Event back(in);
        EXPECT_EQ(in.remaining(), 3u);
        EXPECT_EQ(back.end_beat, c.read_end);
        if (c.target != nullptr)
            back.resolve_references(IdRegistry{{c.id, c.target}});
        EXPECT_EQ(test_util::binary_form(back, &ids), c.layout);
        Event again(back.to_json(false));
        again.resolve_references(keys);
        EXPECT_FALSE(again.has_dangling_reference());
        EXPECT_EQ(test_util::binary_form(again, &ids), c.layout);
    }
    // Without a referenced object identifier 0 is written, and read back through JSON as 0.
    Event lone;
    lone.type = kEffectEvent;
    lone.end_beat = 8.0f;
    const Bytes unlinked = test_util::binary_form(lone);
    EXPECT_EQ(unlinked, concat({u64(1, 1), u64(0), u64(1, 1), u64(0), f32(0.0f), f32(8.0f),
                                stored_string("")}));
    EXPECT_EQ(test_util::binary_form(Event(read(unlinked).to_json(false))), unlinked);
    // Text points keep no value; a repeated track name replaces the earlier track.
    const Bytes repeated =
        concat({u64(9, 1), u64(3), track("t", 1, false, 2), point(0.0f, 7.5f, ""),
                point(1.0f, 7.5f, "text"), track("x", 2, false, 1), point(0.0f, 1.0f, ""),
                track("x", 0, true, 1), point(5.0f, 6.0f, "")});
    EXPECT_EQ(test_util::binary_form(read(repeated)),
              concat({u64(9, 1), u64(2), track("t", 1, false, 2), point(0.0f, 7.5f, ""),
                      point(1.0f, 0.0f, "text"), track("x", 0, true, 1), point(5.0f, 6.0f, "")}));
}

TEST(EventJson, FieldsAreReadOnlyInTheirExactForms) {
    EXPECT_EQ(Event(Json::parse(R"({"name": "e"})")).type, 1u);  // an effect unless said
    // A JSON boolean means what it says, as the strings our files write do.
    for (const auto& [json, visible] : {std::pair{R"({"visible": "true"})", true},
                                        {R"({"visible": "True"})", false},
                                        {R"({"visible": true})", true},
                                        {R"({"visible": false})", false},
                                        {R"({"visible": 1})", false},
                                        {R"({})", true}})
        EXPECT_EQ(Event(Json::parse(json)).visible, visible) << json;
    // The type is stored in one byte: anything else is refused, naming the event.
    for (const std::string type : {"256", "-1", "4294967297"}) {
        const Json json = Json::parse(R"({"name": "intro", "type": )" + type + "}");
        EXPECT_EQ(test_util::thrown<std::runtime_error>([&json] { Event{json}; }),
                  "event \"intro\" has type " + type + ", outside 0 to 255");
    }
    const Event sample(Json::parse(R"({"type": 2, "audio_sample": "kick.wav", "beat": 130})"));
    EXPECT_EQ(sample.start_beat, 130.0f);
    EXPECT_EQ(sample.end_beat, 131.0f);
}

}  // namespace
}  // namespace demo
