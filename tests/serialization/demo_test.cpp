#include "serialization/demo.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "serialization/input_stream.h"
#include "serialization/package_error.h"
#include "test_support.h"

namespace demo {
namespace {

using namespace package_bytes;
using test_util::binary_form;
using test_util::make_data;
namespace fs = std::filesystem;

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

// A demo of data blobs and music with the given timing values.
Demo demo_of(std::vector<std::pair<std::string, Bytes>> datas, const Bytes& music, float end_beat,
             float bpm, float beat_offset) {
    Demo demo;
    for (const auto& [name, bytes] : datas)
        demo.datas.push_back(make_data(name, bytes));
    demo.music = std::make_unique<ByteBuffer>(music.data(), music.size());
    demo.end_beat = end_beat;
    demo.bpm = bpm;
    demo.beat_offset = beat_offset;
    return demo;
}

void expect_same_demo(const Demo& actual, const Demo& expected) {
    ASSERT_EQ(actual.datas.size(), expected.datas.size());
    for (size_t i = 0; i < expected.datas.size(); ++i) {
        EXPECT_EQ(actual.datas[i]->name, expected.datas[i]->name) << "data " << i;
        ASSERT_NE(actual.datas[i]->buffer, nullptr) << "data " << i;
        EXPECT_EQ(actual.datas[i]->buffer->data, expected.datas[i]->buffer->data) << "data " << i;
    }
    ASSERT_NE(actual.music, nullptr);
    EXPECT_EQ(actual.music->data, expected.music->data);
    EXPECT_EQ(actual.end_beat, expected.end_beat);
    EXPECT_EQ(actual.bpm, expected.bpm);
    EXPECT_EQ(actual.beat_offset, expected.beat_offset);
}

TEST(DemoRead, EmptyPackageGivesEmptyCollections) {
    const Bytes bytes = package_of_datas(0, 0, {}, {}, 480.0f, 130.0f, 0.5f);
    ASSERT_EQ(bytes.size(), 8u + 11 * 8 + 8 + 12);
    const auto demo = load(bytes);
    for (size_t index = 0; index < kCollectionNames.size(); ++index)
        EXPECT_EQ(demo->collection_size(index), 0u) << kCollectionNames[index];
    expect_same_demo(*demo, demo_of({}, {}, 480.0f, 130.0f, 0.5f));
    // Writing an empty demo (no music at all) gives the same bytes.
    EXPECT_EQ(binary_form(Demo{}), bytes);
}

TEST(DemoRead, DataBlobsLaidOutByHand) {
    // Identifiers are opaque: large, unordered, not dense, even shared.
    const std::string long_name = "shaders/include/" + std::string(60, 'q') + ".glsl";
    Bytes datas = stored_data(0xFFFFFFFFFFFFFFFFull, "a", bytes_of("hello"));
    append(datas, stored_data(0x8000000000000000ull, long_name, pattern(300, 13)));
    append(datas, stored_data(42, "", {}));
    append(datas, stored_data(42, "two", bytes_of("second")));
    const auto demo = load(package_of_datas(4, 4, datas, pattern(500, 5), 64.0f, 174.0f, 0.25f));
    EXPECT_EQ(demo->total_objects, 4u);
    EXPECT_EQ(demo->collection_size(kDatas), 4u);
    expect_same_demo(*demo, demo_of({{"a", bytes_of("hello")},
                                     {long_name, pattern(300, 13)},
                                     {"", {}},
                                     {"two", bytes_of("second")}},
                                    pattern(500, 5), 64.0f, 174.0f, 0.25f));
}

// Two audio samples stored under one identifier, and audio-sample events naming it and an
// identifier that is nowhere in the package: the first resolves to the later sample, the
// second to nothing.
TEST(DemoRead, ReferencesToASharedIdentifierResolveToTheLaterObject) {
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
    Bytes bytes = u64(4);
    append(bytes, u64(2));  // events
    append(bytes, sample_event(1, 0xABCDEF0012345678ull, "shared"));
    append(bytes, sample_event(2, 99, "unknown"));
    append(bytes, Bytes(3 * 8, 0));  // effects, shaders, textures
    append(bytes, u64(2));           // audio samples
    append(bytes, stored_data(0xABCDEF0012345678ull, "earlier", {}));
    append(bytes, stored_data(0xABCDEF0012345678ull, "later", {}));
    append(bytes, Bytes(6 * 8, 0));  // event groups ... scenes
    append(bytes, stored_buffer({}));
    append(bytes, f32(8.0f));
    append(bytes, f32(120.0f));
    append(bytes, f32(0.0f));

    const auto demo = load(bytes);
    ASSERT_EQ(demo->events.size(), 2u);
    ASSERT_EQ(demo->audio_samples.size(), 2u);
    EXPECT_EQ(demo->events[0]->end_beat, 5.0f);
    ASSERT_NE(demo->events[0]->audio_sample.object, nullptr);
    EXPECT_EQ(demo->events[0]->audio_sample.object->name, "later");
    EXPECT_EQ(demo->events[1]->audio_sample.object, nullptr);
}

TEST(DemoRead, FromAFileStreamUpToItsLimit) {
    for (uint64_t count : {uint64_t{3}, uint64_t{1} << 40, ~uint64_t{0}}) {
        const Bytes bytes =
            package_of_datas(count, count, stored_data(1, "x", {1, 2}), {}, 1.0f, 1.0f, 1.0f);
        EXPECT_THROW(load(bytes), PackageError) << "count larger than what follows: " << count;
    }
    const Bytes package = package_of_datas(1, 1, stored_data(1, "file", bytes_of("on disk")),
                                           bytes_of("song"), 32.0f, 90.0f, 1.0f);
    Bytes file_bytes = bytes_of("PLAYER");  // the package does not start the file
    append(file_bytes, package);
    append(file_bytes, bytes_of("TRAILER!"));
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(file_bytes.data(), 1, file_bytes.size(), file);
    std::fseek(file, 6, SEEK_SET);
    {
        InputStream in(file, package.size());
        const Demo demo(in);
        expect_same_demo(
            demo, demo_of({{"file", bytes_of("on disk")}}, bytes_of("song"), 32.0f, 90.0f, 1.0f));
        EXPECT_EQ(in.offset(), package.size());
    }
    // A limit one byte short cuts the last float.
    std::fseek(file, 6, SEEK_SET);
    InputStream short_in(file, package.size() - 1);
    EXPECT_THROW(Demo demo(short_in), PackageError);
    std::fclose(file);
}

TEST(DemoWrite, WrittenPackageReadsBackAndWritesTheSameBytes) {
    Demo demo = demo_of({{"textures/noise/noise_256.raw", pattern(256 * 4, 17)},
                         {"textures/noise/noise_512.raw", pattern(1, 1)},
                         {"empty", {}},
                         {std::string(300, '/'), pattern(3000, 101)}},
                        pattern(5000, 77), 512.5f, 87.25f, -1.5f);
    // A texture without image bytes still takes its place, as an empty image.
    demo.textures.push_back(std::make_unique<Texture>());
    demo.textures.back()->name = "unset";

    const Bytes bytes = binary_form(demo);
    const auto loaded = load(bytes);
    EXPECT_EQ(loaded->total_objects, 5u);
    expect_same_demo(*loaded, demo);
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

    // The project form: one call per object with a count that grows, then the final one.
    ProgressCalls calls;
    Demo demo;
    demo.on_progress = [&calls](uint64_t done, uint64_t total) { calls.emplace_back(done, total); };
    demo.from_json({{"datas",
                     {{{"name", "a"}, {"data_buffer", "YQ=="}},
                      {{"name", "b"}, {"data_buffer", ""}},
                      {{"name", "c"}, {"data_buffer", "Yw=="}}}},
                    {"music", ""}});
    EXPECT_EQ(demo.total_objects, 3u);
    ASSERT_EQ(calls.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(calls[i].second, 3u);
        EXPECT_LE(calls[i].first, 3u);
        if (i > 0) {
            EXPECT_GT(calls[i].first, calls[i - 1].first);
        }
    }
    EXPECT_EQ(calls.back(), (std::pair<uint64_t, uint64_t>{3, 3}));
}

TEST(DemoJson, TimingValuesAreReadByValue) {
    // Integers, floats; missing or non-numeric values are zero.
    const std::pair<Json, std::array<float, 3>> cases[] = {
        {{{"end_beat", 256}, {"bpm", 130}, {"beat_offset", 0}}, {256.0f, 130.0f, 0.0f}},
        {{{"end_beat", 64}, {"bpm", 90u}, {"beat_offset", -2}}, {64.0f, 90.0f, -2.0f}},
        {{{"end_beat", 256.5}, {"bpm", 140.25}, {"beat_offset", 0.75}}, {256.5f, 140.25f, 0.75f}},
        {{{"bpm", "fast"}, {"beat_offset", Json::array()}}, {0.0f, 0.0f, 0.0f}}};
    for (const auto& [document, expected] : cases) {
        Json with_music = document;
        with_music["music"] = "";
        Demo demo;
        demo.from_json(with_music);
        EXPECT_EQ((std::array<float, 3>{demo.end_beat, demo.bpm, demo.beat_offset}), expected)
            << document;
    }
}

// Stored strings are bytes; a document is UTF-8. Latin-1 names and texts are written as their
// characters, side files go under the names the document gives, and references still match.
TEST(DemoJson, LatinOneStringsExportAsTheirCharacters) {
    ScopedWorkDir dir;
    Demo demo = demo_of({{"d\xE9j\xE0.bin", pattern(30, 3)}}, {}, 1.0f, 1.0f, 1.0f);
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
    const std::string text = doc.dump();
    EXPECT_EQ(read_file_bytes(dir.path() / "d\xC3\xA9j\xC3\xA0.bin"), pattern(30, 3));
    Demo back;
    back.from_json(Json::parse(text));
    ASSERT_EQ(back.events.size(), 1u);
    EXPECT_EQ(back.events[0]->effect.object, back.effects.at(0).get());
    EXPECT_EQ(back.effects[0]->name, "caf\xC3\xA9");
    for (const ControlPoint& point : back.events[0]->control_points["caption"].points)
        EXPECT_EQ(point.text, "Gr\xC3\xBC\xC3\x9F\x65");
    EXPECT_EQ(back.datas.at(0)->buffer->data, pattern(30, 3));
}

}  // namespace
}  // namespace demo
