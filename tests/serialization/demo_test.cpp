#include "serialization/demo.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "serialization/input_stream.h"
#include "serialization/json_fields.h"
#include "serialization/text_encoding.h"
#include "test_support.h"

namespace demo {
namespace {

using namespace package_bytes;
using test_util::binary_form;
using ProgressCalls = std::vector<std::pair<uint64_t, uint64_t>>;

// What a project document's member reads when it is missing or of another type: the fallback.
// Numbers are read by value: 3 for a float field, 3.0 for an integer one.
TEST(JsonFields, MissingOrMistypedMembersGiveTheFallback) {
    const Json doc = Json::parse(
        R"({"f": 2.5, "i": 3, "whole": 3.0, "half": 3.5, "t": false, "s": "x", "a": [1]})");
    const struct {
        const char* key;
        float as_float;  // fallback 7
        int64_t as_int;  // fallback 9
        bool as_bool;    // fallback true
        std::string as_string;
        size_t array_size;
    } cases[] = {
        {"missing", 7.0f, 9, true, "", 0}, {"f", 2.5f, 9, true, "", 0},
        {"i", 3.0f, 3, true, "", 0},       {"whole", 3.0f, 3, true, "", 0},
        {"half", 3.5f, 9, true, "", 0},    {"t", 7.0f, 9, false, "", 0},
        {"s", 7.0f, 9, true, "x", 0},      {"a", 7.0f, 9, true, "", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(json_float(doc, c.key, 7.0f), c.as_float);
        EXPECT_EQ(json_int(doc, c.key, 9), c.as_int);
        EXPECT_EQ(json_bool(doc, c.key, true), c.as_bool);
        EXPECT_EQ(json_string(doc, c.key), c.as_string);
        EXPECT_EQ(json_array(doc, c.key).size(), c.array_size);
    }
    EXPECT_EQ(json_float(Json::array(), "f", 7.0f), 7.0f);  // not an object at all
}

// Reads a whole package from memory, recording every progress call; it must use every byte.
std::unique_ptr<Demo> load(const Bytes& bytes, ProgressCalls* calls = nullptr) {
    auto demo = std::make_unique<Demo>();
    if (calls != nullptr)
        demo->on_progress = [calls](uint64_t n, uint64_t total) { calls->emplace_back(n, total); };
    InputStream in(bytes.data(), bytes.size());
    demo->read_binary(in);
    EXPECT_EQ(in.offset(), bytes.size());
    return demo;
}

Bytes noise(size_t size, uint32_t seed) {
    return test_util::sample_data(test_util::Shape::Noise, size, seed);
}

// Identifiers are opaque: large, unordered, even shared. Two audio samples share one, and of
// the events naming a sample, the first names that identifier (the later sample wins) and the
// second one found nowhere (nothing). Each object read is reported with the number before it.
TEST(DemoRead, HandLaidPackage) {
    // An audio-sample event: identifier, type 2, no tracks, visible, the sample, start, name.
    auto sample_event = [](uint64_t id, uint64_t sample, const std::string& name) {
        return concat(
            {u64(id), Bytes{2}, u64(0), Bytes{1}, u64(sample), f32(4.0f), stored_string(name)});
    };
    const uint64_t shared = 0xABCDEF0012345678ull;
    // Five objects: two events, two audio samples, a blob; then music and the timing values.
    const Bytes bytes =
        concat({u64(5), u64(2), sample_event(1, shared, "shared"), sample_event(2, 99, "unknown"),
                Bytes(3 * 8, 0),  // no effects, shaders, textures
                u64(2), stored_data(shared, "earlier", {}), stored_data(shared, "later", {}),
                Bytes(3 * 8, 0),  // no event groups, fonts, font textures
                u64(1), stored_data(~uint64_t{0}, "", {}), Bytes(2 * 8, 0),  // no models, scenes
                stored_buffer(noise(500, 5)), f32(64.0f), f32(174.0f), f32(0.25f)});

    ProgressCalls calls;
    const auto demo = load(bytes, &calls);
    EXPECT_EQ(calls, (ProgressCalls{{0, 5}, {1, 5}, {2, 5}, {3, 5}, {4, 5}, {5, 5}}));
    EXPECT_EQ(demo->total_objects, 5u);
    ASSERT_EQ(demo->events.size(), 2u);
    EXPECT_EQ(demo->events[0]->end_beat, 5.0f);
    ASSERT_NE(demo->events[0]->audio_sample.object, nullptr);
    EXPECT_EQ(demo->events[0]->audio_sample.object->name, "later");
    EXPECT_EQ(demo->events[1]->audio_sample.object, nullptr);
    ASSERT_EQ(demo->datas.size(), 1u);
    EXPECT_EQ(demo->datas[0]->name, "");
    EXPECT_TRUE(demo->datas[0]->buffer->data.empty());
    EXPECT_EQ(demo->music->data, noise(500, 5));
    EXPECT_EQ((std::array{demo->end_beat, demo->bpm, demo->beat_offset}),
              (std::array{64.0f, 174.0f, 0.25f}));
    // A demo without music or with a texture without image bytes still writes every field, so
    // the package reads back to the same bytes.
    EXPECT_EQ(binary_form(Demo{}), package_of_datas(0, 0, {}, {}, 480.0f, 130.0f, 0.5f));
    Demo with_texture;
    with_texture.textures.push_back(std::make_unique<Texture>());
    const Bytes written = binary_form(with_texture);
    EXPECT_EQ(binary_form(*load(written)), written);
}

// Stored strings are bytes, a document is UTF-8: Latin-1 names and texts are written as their
// characters, side files go under those names, references still match; timings may be integers.
TEST(DemoJson, LatinOneStringsExportAsTheirCharacters) {
    ScopedWorkDir dir;
    Demo demo;
    demo.datas.push_back(test_util::make_data("d\xE9j\xE0.bin", noise(30, 3)));
    demo.music = std::make_unique<ByteBuffer>();
    demo.effects.push_back(std::make_unique<Effect>());
    demo.effects[0]->name = "caf\xE9";
    auto event = std::make_unique<Event>();
    event->type = kEffectEvent;
    event->effect.object = demo.effects[0].get();
    event->name = "caf\xE9";
    event->control_points["caption"].points = {{0.0f, 0.0f, "Gr\xFC\xDF\x65"},
                                               {1.0f, 0.0f, "Gr\xC3\xBC\xC3\x9F\x65"}};
    demo.events.push_back(std::move(event));

    Json doc = demo.to_json(true);
    for (std::string_view name : kCollectionNames)
        EXPECT_TRUE(doc[std::string(name)].is_array()) << name;
    doc["end_beat"] = 64;
    doc["bpm"] = 90u;
    doc["beat_offset"] = -2;
    EXPECT_EQ(read_file_bytes(dir.path / "d\xC3\xA9j\xC3\xA0.bin"), noise(30, 3));
    Demo back;
    back.from_json(Json::parse(doc.dump()));
    ASSERT_EQ(back.events.size(), 1u);
    EXPECT_EQ(back.events[0]->effect.object, back.effects.at(0).get());
    EXPECT_EQ(back.effects[0]->name, "caf\xC3\xA9");
    for (const ControlPoint& point : back.events[0]->control_points["caption"].points)
        EXPECT_EQ(point.text, "Gr\xC3\xBC\xC3\x9F\x65");
    EXPECT_EQ(back.datas.at(0)->buffer->data, noise(30, 3));
    EXPECT_EQ((std::array{back.end_beat, back.bpm, back.beat_offset}),
              (std::array{64.0f, 90.0f, -2.0f}));
    // U+D7FF is UTF-8; an encoded surrogate (U+D800) is not, so it is read as Latin-1.
    EXPECT_EQ(as_utf8("\xED\x9F\xBF"), "\xED\x9F\xBF");
    EXPECT_EQ(as_utf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");
}

}  // namespace
}  // namespace demo
