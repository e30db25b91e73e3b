#include "serialization/demo.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "serialization/input_stream.h"
#include "serialization/text_encoding.h"
#include "test_support.h"

namespace demo {
namespace {

using namespace package_bytes;
using test_util::binary_form;
using ProgressCalls = std::vector<std::pair<uint64_t, uint64_t>>;

// Reads a whole package from memory, recording every progress call; it must use every byte.
std::unique_ptr<Demo> load(const Bytes& bytes, ProgressCalls* calls = nullptr) {
    auto demo = std::make_unique<Demo>();
    if (calls != nullptr) {
        demo->on_progress = [calls](uint64_t done, uint64_t total) {
            calls->emplace_back(done, total);
        };
    }
    InputStream in(bytes.data(), bytes.size());
    demo->read_binary(in);
    EXPECT_EQ(in.offset(), bytes.size());
    return demo;
}

Bytes pattern(size_t size, uint8_t step) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * step + (i >> 8));
    return bytes;
}

// Identifiers are opaque: large, unordered, even shared. Two audio samples share one, and of
// the events naming a sample, the first names that identifier (the later sample wins) and the
// second one found nowhere (nothing).
TEST(DemoRead, HandLaidPackage) {
    auto sample_event = [](uint64_t id, uint64_t sample, const std::string& name) {
        Bytes event = u64(id);
        append(event, {2});          // audio-sample event
        append(event, u64(0));       // no tracks
        append(event, {1});          // visible
        append(event, u64(sample));  // the sample it fires
        append(event, f32(4.0f));    // start beat
        append(event, stored_string(name));
        return event;
    };
    const uint64_t shared = 0xABCDEF0012345678ull;
    const std::string long_name = "shaders/include/" + std::string(60, 'q') + ".glsl";
    Bytes bytes = u64(7);
    append(bytes, u64(2));  // events
    append(bytes, sample_event(1, shared, "shared"));
    append(bytes, sample_event(2, 99, "unknown"));
    append(bytes, Bytes(3 * 8, 0));  // effects, shaders, textures
    append(bytes, u64(2));           // audio samples
    append(bytes, stored_data(shared, "earlier", {}));
    append(bytes, stored_data(shared, "later", {}));
    append(bytes, Bytes(3 * 8, 0));  // event groups, fonts, font textures
    append(bytes, u64(3));           // datas
    append(bytes, stored_data(~uint64_t{0}, "a", bytes_of("hello")));
    append(bytes, stored_data(1, long_name, pattern(300, 13)));
    append(bytes, stored_data(1, "", {}));
    append(bytes, Bytes(2 * 8, 0));  // models, scenes
    append(bytes, stored_buffer(pattern(500, 5)));
    for (float value : {64.0f, 174.0f, 0.25f})
        append(bytes, f32(value));

    const auto demo = load(bytes);
    EXPECT_EQ(demo->total_objects, 7u);
    ASSERT_EQ(demo->events.size(), 2u);
    EXPECT_EQ(demo->events[0]->end_beat, 5.0f);
    ASSERT_NE(demo->events[0]->audio_sample.object, nullptr);
    EXPECT_EQ(demo->events[0]->audio_sample.object->name, "later");
    EXPECT_EQ(demo->events[1]->audio_sample.object, nullptr);
    const std::pair<std::string, Bytes> datas[] = {
        {"a", bytes_of("hello")}, {long_name, pattern(300, 13)}, {"", {}}};
    ASSERT_EQ(demo->datas.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(demo->datas[i]->name, datas[i].first);
        EXPECT_EQ(demo->datas[i]->buffer->data, datas[i].second);
    }
    EXPECT_EQ(demo->music->data, pattern(500, 5));
    EXPECT_EQ((std::array{demo->end_beat, demo->bpm, demo->beat_offset}),
              (std::array{64.0f, 174.0f, 0.25f}));
}

// A demo without music or with a texture without image bytes still writes every field, so
// the package reads back and writes the same bytes.
TEST(DemoWrite, MissingBuffersAreWrittenEmpty) {
    EXPECT_EQ(binary_form(Demo{}), package_of_datas(0, 0, {}, {}, 480.0f, 130.0f, 0.5f));
    Demo demo;
    demo.textures.push_back(std::make_unique<Texture>());
    demo.textures.back()->name = "unset";
    const Bytes bytes = binary_form(demo);
    const auto loaded = load(bytes);
    ASSERT_EQ(loaded->textures.size(), 1u);
    EXPECT_EQ(loaded->textures[0]->name, "unset");
    EXPECT_EQ(loaded->textures[0]->image_buffer->size(), 0u);
    EXPECT_EQ(binary_form(*loaded), bytes);
}

TEST(DemoProgress, ReportsEachObjectThenTheTotal) {
    // Each object is reported with the number read before it; the stored total is kept as it
    // is, since nothing is found through it.
    Bytes datas = stored_data(10, "a", {1});
    append(datas, stored_data(20, "b", {2}));
    append(datas, stored_data(30, "c", {3}));
    struct Case {
        uint64_t total, count;
        Bytes datas;
        ProgressCalls expected;
    };
    for (const Case& c : {Case{3, 3, datas, {{0, 3}, {1, 3}, {2, 3}, {3, 3}}},
                          Case{0, 0, {}, {{0, 0}}}, Case{5, 0, {}, {{5, 5}}}}) {
        ProgressCalls calls;
        const auto demo = load(package_of_datas(c.total, c.count, c.datas, {}, 1, 1, 1), &calls);
        EXPECT_EQ(demo->total_objects, c.total);
        EXPECT_EQ(calls, c.expected);
    }
    // The project form: one call per object with a count that grows, then the final one; and
    // timing values given as integers.
    ProgressCalls calls;
    Demo demo;
    demo.on_progress = [&calls](uint64_t done, uint64_t total) { calls.emplace_back(done, total); };
    demo.from_json({{"datas",
                     {{{"name", "a"}, {"data_buffer", "YQ=="}},
                      {{"name", "b"}, {"data_buffer", ""}},
                      {{"name", "c"}, {"data_buffer", "Yw=="}}}},
                    {"music", ""},
                    {"end_beat", 64},
                    {"bpm", 90u},
                    {"beat_offset", -2}});
    EXPECT_EQ((std::array{demo.end_beat, demo.bpm, demo.beat_offset}),
              (std::array{64.0f, 90.0f, -2.0f}));
    EXPECT_EQ(demo.total_objects, 3u);
    ASSERT_EQ(calls.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[i].second, 3u);
        EXPECT_LE(calls[i].first, 3u);
        EXPECT_TRUE(i == 0 || calls[i].first > calls[i - 1].first) << i;
    }
    EXPECT_EQ(calls.back(), (std::pair<uint64_t, uint64_t>{3, 3}));
}

// Stored strings are bytes; a document is UTF-8. Latin-1 names and texts are written as their
// characters, side files go under the names the document gives, and references still match.
TEST(DemoJson, LatinOneStringsExportAsTheirCharacters) {
    ScopedWorkDir dir;
    Demo demo;
    demo.datas.push_back(test_util::make_data("d\xE9j\xE0.bin", pattern(30, 3)));
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

    const Json doc = demo.to_json(true);
    for (std::string_view name : kCollectionNames)
        EXPECT_TRUE(doc[std::string(name)].is_array()) << name;
    EXPECT_EQ(read_file_bytes(dir.path() / "d\xC3\xA9j\xC3\xA0.bin"), pattern(30, 3));
    Demo back;
    back.from_json(Json::parse(doc.dump()));
    ASSERT_EQ(back.events.size(), 1u);
    EXPECT_EQ(back.events[0]->effect.object, back.effects.at(0).get());
    EXPECT_EQ(back.effects[0]->name, "caf\xC3\xA9");
    for (const ControlPoint& point : back.events[0]->control_points["caption"].points)
        EXPECT_EQ(point.text, "Gr\xC3\xBC\xC3\x9F\x65");
    EXPECT_EQ(back.datas.at(0)->buffer->data, pattern(30, 3));
    // U+D7FF is UTF-8; an encoded surrogate (U+D800) is not, so it is read as Latin-1.
    EXPECT_EQ(as_utf8("\xED\x9F\xBF"), "\xED\x9F\xBF");
    EXPECT_EQ(as_utf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xC2\x80");
}

}  // namespace
}  // namespace demo
