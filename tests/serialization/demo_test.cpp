#include "serialization/demo.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "package_bytes.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/package_error.h"

namespace demo {
namespace {

using namespace package_bytes;
namespace fs = std::filesystem;

using ProgressCalls = std::vector<std::pair<uint64_t, uint64_t>>;

Bytes package_of(const Demo& demo) {
    Bytes bytes;
    OutputStream out(bytes);
    demo.write_binary(out);
    return bytes;
}

// Reads a whole package from memory, recording every progress call.
std::unique_ptr<Demo> load(const Bytes& bytes, ProgressCalls* calls = nullptr,
                           uint64_t* consumed = nullptr) {
    auto demo = std::make_unique<Demo>();
    if (calls != nullptr) {
        demo->on_progress = [calls](uint64_t done, uint64_t total) {
            calls->emplace_back(done, total);
        };
    }
    InputStream in(bytes.data(), bytes.size());
    demo->read_binary(in);
    if (consumed != nullptr)
        *consumed = in.offset();
    return demo;
}

std::unique_ptr<Data> make_data(const std::string& name, const Bytes& bytes) {
    auto data = std::make_unique<Data>();
    data->name = name;
    data->buffer = std::make_unique<ByteBuffer>(bytes.data(), bytes.size());
    return data;
}

Bytes pattern(size_t size, uint8_t step) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * step + (i >> 8));
    return bytes;
}

std::string text_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
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

// ---------------------------------------------------------------------------------------------
// Reading packages laid out byte by byte
// ---------------------------------------------------------------------------------------------

TEST(DemoRead, EmptyPackageGivesEmptyCollections) {
    const Bytes bytes = package_of_datas(0, 0, {}, {}, 480.0f, 130.0f, 0.5f);
    ASSERT_EQ(bytes.size(), 8u + 11 * 8 + 8 + 12);
    uint64_t consumed = 0;
    const auto demo = load(bytes, nullptr, &consumed);
    EXPECT_EQ(consumed, bytes.size());
    EXPECT_EQ(demo->total_objects, 0u);
    EXPECT_TRUE(demo->datas.empty());
    for (size_t index = 0; index < kCollectionNames.size(); ++index) {
        EXPECT_EQ(demo->collection_size(index), 0u) << kCollectionNames[index];
    }
    ASSERT_NE(demo->music, nullptr);
    EXPECT_EQ(demo->music->size(), 0u);
    EXPECT_EQ(demo->end_beat, 480.0f);
    EXPECT_EQ(demo->bpm, 130.0f);
    EXPECT_EQ(demo->beat_offset, 0.5f);
}

TEST(DemoRead, LastTwelveBytesAreTheTimingValues) {
    Bytes bytes = package_of_datas(0, 0, {}, {}, 0.0f, 0.0f, 0.0f);
    bytes.erase(bytes.end() - 12, bytes.end());
    // 256.0, 140.0 and 0.0 as little-endian binary32.
    append(bytes, {0x00, 0x00, 0x80, 0x43, 0x00, 0x00, 0x0C, 0x43, 0x00, 0x00, 0x00, 0x00});
    const auto demo = load(bytes);
    EXPECT_EQ(demo->end_beat, 256.0f);
    EXPECT_EQ(demo->bpm, 140.0f);
    EXPECT_EQ(demo->beat_offset, 0.0f);
}

TEST(DemoRead, KeepsTheStoredTotal) {
    // The total is not needed to find anything, so a reader keeps whatever was stored.
    ProgressCalls calls;
    const auto demo = load(package_of_datas(5, 0, {}, {}, 1.0f, 2.0f, 3.0f), &calls);
    EXPECT_EQ(demo->total_objects, 5u);
    EXPECT_EQ(calls, (ProgressCalls{{5, 5}}));
}

TEST(DemoRead, DataBlobsLaidOutByHand) {
    // Identifiers are opaque: large, unordered, not dense.
    const std::string long_name = "shaders/include/" + std::string(60, 'q') + ".glsl";
    const Bytes first = bytes_of("hello");
    const Bytes second = pattern(300, 13);  // long enough for the keystream to restart
    Bytes datas = stored_data(0xFFFFFFFFFFFFFFFFull, "a", first);
    append(datas, stored_data(0x8000000000000000ull, long_name, second));
    append(datas, stored_data(42, "", {}));
    const Bytes music = pattern(500, 5);
    const Bytes bytes = package_of_datas(3, 3, datas, music, 64.0f, 174.0f, 0.25f);

    uint64_t consumed = 0;
    const auto demo = load(bytes, nullptr, &consumed);
    EXPECT_EQ(consumed, bytes.size());
    EXPECT_EQ(demo->total_objects, 3u);
    ASSERT_EQ(demo->datas.size(), 3u);
    EXPECT_EQ(demo->collection_size(kDatas), 3u);
    EXPECT_EQ(demo->datas[0]->name, "a");
    EXPECT_EQ(demo->datas[0]->buffer->data, first);
    EXPECT_EQ(demo->datas[1]->name, long_name);
    EXPECT_EQ(demo->datas[1]->buffer->data, second);
    EXPECT_EQ(demo->datas[2]->name, "");
    EXPECT_EQ(demo->datas[2]->buffer->size(), 0u);
    EXPECT_EQ(demo->music->data, music);
    EXPECT_EQ(demo->end_beat, 64.0f);
    EXPECT_EQ(demo->bpm, 174.0f);
    EXPECT_EQ(demo->beat_offset, 0.25f);
}

TEST(DemoRead, ObjectsSharingAnIdentifierBothLoadInOrder) {
    Bytes datas = stored_data(7, "one", bytes_of("first"));
    append(datas, stored_data(7, "two", bytes_of("second")));
    const auto demo = load(package_of_datas(2, 2, datas, {}, 8.0f, 120.0f, 0.0f));
    ASSERT_EQ(demo->datas.size(), 2u);
    EXPECT_EQ(demo->datas[0]->name, "one");
    EXPECT_EQ(demo->datas[0]->buffer->data, bytes_of("first"));
    EXPECT_EQ(demo->datas[1]->name, "two");
    EXPECT_EQ(demo->datas[1]->buffer->data, bytes_of("second"));
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
    auto sample = [](uint64_t id, const std::string& name) {
        Bytes stored = u64(id);
        append(stored, stored_string(name));
        append(stored, stored_buffer({}));
        return stored;
    };
    Bytes bytes = u64(4);
    append(bytes, u64(2));  // events
    append(bytes, sample_event(1, 0xABCDEF0012345678ull, "shared"));
    append(bytes, sample_event(2, 99, "unknown"));
    for (int i = 0; i < 3; ++i)
        append(bytes, u64(0));  // effects, shaders, textures
    append(bytes, u64(2));      // audio samples
    append(bytes, sample(0xABCDEF0012345678ull, "earlier"));
    append(bytes, sample(0xABCDEF0012345678ull, "later"));
    for (int i = 0; i < 6; ++i)
        append(bytes, u64(0));  // event groups ... scenes
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

TEST(DemoRead, CountLargerThanWhatFollowsIsAPackageError) {
    for (uint64_t count : {uint64_t{3}, uint64_t{1} << 40, ~uint64_t{0}}) {
        Bytes datas = stored_data(1, "x", {1, 2});
        const Bytes bytes = package_of_datas(count, count, datas, {}, 1.0f, 1.0f, 1.0f);
        EXPECT_THROW(load(bytes), PackageError) << count;
    }
}

TEST(DemoRead, ReadsFromAFileStreamUpToItsLimit) {
    Bytes datas = stored_data(1, "file", bytes_of("on disk"));
    const Bytes package = package_of_datas(1, 1, datas, bytes_of("song"), 32.0f, 90.0f, 1.0f);
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
        ASSERT_EQ(demo.datas.size(), 1u);
        EXPECT_EQ(demo.datas[0]->buffer->data, bytes_of("on disk"));
        EXPECT_EQ(demo.music->data, bytes_of("song"));
        EXPECT_EQ(demo.bpm, 90.0f);
        EXPECT_EQ(in.offset(), package.size());
    }
    // A limit one byte short cuts the last float.
    std::fseek(file, 6, SEEK_SET);
    InputStream short_in(file, package.size() - 1);
    EXPECT_THROW(Demo demo(short_in), PackageError);
    std::fclose(file);
}

// ---------------------------------------------------------------------------------------------
// Writing packages
// ---------------------------------------------------------------------------------------------

TEST(DemoWrite, EmptyDemoWritesCountsEmptyMusicAndDefaults) {
    const Demo demo;  // no music at all: written as an empty buffer
    EXPECT_EQ(package_of(demo), package_of_datas(0, 0, {}, {}, 480.0f, 130.0f, 0.5f));
}

// Names under five bytes are stored as one literal run, so the whole package is fixed by the
// format; identifiers are 1, 2, 3, ... in package order.
TEST(DemoWrite, DataBlobsGetIdentifiersOneTwoThreeInOrder) {
    Demo demo;
    demo.datas.push_back(make_data("a", bytes_of("alpha")));
    demo.datas.push_back(make_data("bc", {}));
    demo.datas.push_back(make_data("def", pattern(260, 3)));
    demo.datas.push_back(std::make_unique<Data>());  // no buffer: an empty one is written
    demo.datas.back()->name = "none";
    demo.music = std::make_unique<ByteBuffer>(pattern(40, 9).data(), 40);
    demo.end_beat = 256.0f;
    demo.bpm = 140.0f;
    demo.beat_offset = 0.0f;

    Bytes datas = stored_data(1, "a", bytes_of("alpha"));
    append(datas, stored_data(2, "bc", {}));
    append(datas, stored_data(3, "def", pattern(260, 3)));
    append(datas, stored_data(4, "none", {}));
    EXPECT_EQ(package_of(demo),
              package_of_datas(4, 4, datas, pattern(40, 9), 256.0f, 140.0f, 0.0f));
}

TEST(DemoWrite, WrittenPackageReadsBackAndWritesTheSameBytes) {
    Demo demo;
    demo.datas.push_back(make_data("textures/noise/noise_256.raw", pattern(256 * 4, 17)));
    demo.datas.push_back(make_data("textures/noise/noise_512.raw", pattern(1, 1)));
    demo.datas.push_back(make_data("empty", {}));
    demo.datas.push_back(make_data(std::string(300, '/'), pattern(3000, 101)));
    // A texture without image bytes still takes its place, as an empty image.
    demo.textures.push_back(std::make_unique<Texture>());
    demo.textures.back()->name = "unset";
    demo.music = std::make_unique<ByteBuffer>(pattern(5000, 77).data(), 5000);
    demo.end_beat = 512.5f;
    demo.bpm = 87.25f;
    demo.beat_offset = -1.5f;

    const Bytes bytes = package_of(demo);
    uint64_t consumed = 0;
    const auto loaded = load(bytes, nullptr, &consumed);
    EXPECT_EQ(consumed, bytes.size());
    EXPECT_EQ(loaded->total_objects, 5u);
    expect_same_demo(*loaded, demo);
    ASSERT_EQ(loaded->textures.size(), 1u);
    EXPECT_EQ(loaded->textures[0]->name, "unset");
    EXPECT_EQ(loaded->textures[0]->image_buffer->size(), 0u);
    EXPECT_EQ(package_of(*loaded), bytes);
}

// ---------------------------------------------------------------------------------------------
// Load progress
// ---------------------------------------------------------------------------------------------

TEST(DemoProgress, PackageReportsEachObjectThenTheTotal) {
    Bytes datas = stored_data(10, "a", {1});
    append(datas, stored_data(20, "b", {2}));
    append(datas, stored_data(30, "c", {3}));
    ProgressCalls calls;
    load(package_of_datas(3, 3, datas, {}, 1.0f, 1.0f, 1.0f), &calls);
    // Each object is reported with the number read before it.
    EXPECT_EQ(calls, (ProgressCalls{{0, 3}, {1, 3}, {2, 3}, {3, 3}}));

    calls.clear();
    load(package_of_datas(0, 0, {}, {}, 1.0f, 1.0f, 1.0f), &calls);
    EXPECT_EQ(calls, (ProgressCalls{{0, 0}}));
}

TEST(DemoProgress, ProjectReportsEachObjectThenTheTotal) {
    const Json document = {{"datas",
                            {{{"name", "a"}, {"data_buffer", "YQ=="}},
                             {{"name", "b"}, {"data_buffer", ""}},
                             {{"name", "c"}, {"data_buffer", "Yw=="}}}},
                           {"music", ""}};
    ProgressCalls calls;
    Demo demo;
    demo.on_progress = [&calls](uint64_t done, uint64_t total) { calls.emplace_back(done, total); };
    demo.from_json(document);
    EXPECT_EQ(demo.total_objects, 3u);
    // One call per object with a count that grows, then the final one.
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

// ---------------------------------------------------------------------------------------------
// Project document
// ---------------------------------------------------------------------------------------------

TEST(DemoJson, TimingValuesWrittenAsIntegersReadByValue) {
    Demo demo;
    demo.from_json({{"end_beat", 256}, {"bpm", 130}, {"beat_offset", 0}, {"music", ""}});
    EXPECT_EQ(demo.end_beat, 256.0f);
    EXPECT_EQ(demo.bpm, 130.0f);
    EXPECT_EQ(demo.beat_offset, 0.0f);

    Demo negative;
    negative.from_json({{"end_beat", 64}, {"bpm", 90u}, {"beat_offset", -2}, {"music", ""}});
    EXPECT_EQ(negative.end_beat, 64.0f);
    EXPECT_EQ(negative.bpm, 90.0f);
    EXPECT_EQ(negative.beat_offset, -2.0f);
}

TEST(DemoJson, TimingValuesWrittenAsFloats) {
    Demo demo;
    demo.from_json({{"end_beat", 256.5}, {"bpm", 140.25}, {"beat_offset", 0.75}, {"music", ""}});
    EXPECT_EQ(demo.end_beat, 256.5f);
    EXPECT_EQ(demo.bpm, 140.25f);
    EXPECT_EQ(demo.beat_offset, 0.75f);
}

TEST(DemoJson, MissingOrNonNumericTimingValuesAreZero) {
    Demo demo;
    demo.from_json({{"bpm", "fast"}, {"beat_offset", Json::array()}, {"music", ""}});
    EXPECT_EQ(demo.end_beat, 0.0f);
    EXPECT_EQ(demo.bpm, 0.0f);
    EXPECT_EQ(demo.beat_offset, 0.0f);
}

TEST(DemoJson, EmbeddedDocument) {
    Demo demo;
    demo.datas.push_back(make_data("one.bin", bytes_of("hello")));
    demo.datas.push_back(make_data("two.bin", {}));
    demo.music = std::make_unique<ByteBuffer>(bytes_of("abc").data(), 3);
    demo.end_beat = 256.0f;
    demo.bpm = 130.0f;
    demo.beat_offset = 0.5f;

    const Json doc = demo.to_json(false);
    for (std::string_view name : kCollectionNames) {
        ASSERT_TRUE(doc.contains(std::string(name))) << name;
        EXPECT_TRUE(doc[std::string(name)].is_array()) << name;
    }
    EXPECT_EQ(doc["datas"], (Json{{{"name", "one.bin"}, {"data_buffer", "aGVsbG8="}},
                                  {{"name", "two.bin"}, {"data_buffer", ""}}}));
    EXPECT_EQ(doc["music"], "YWJj");
    // Integral timing values are still floating-point numbers in the document.
    for (const char* key : {"end_beat", "bpm", "beat_offset"}) {
        EXPECT_TRUE(doc[key].is_number_float()) << key;
    }
    EXPECT_EQ(doc["end_beat"].get<double>(), 256.0);
    EXPECT_EQ(doc["bpm"].get<double>(), 130.0);
    EXPECT_EQ(doc["beat_offset"].get<double>(), 0.5);
}

TEST(DemoJson, ReadsDatasInArrayOrderAndTheEmbeddedMusic) {
    ScopedWorkDir dir;  // nothing may be read from or written to the working directory
    Demo demo;
    demo.from_json(Json::parse(R"({
        "datas": [{"name": "z.bin", "data_buffer": "AAEC/w=="},
                  {"name": "a.bin", "data_buffer": "aGVsbG8="}],
        "events": [], "scenes": [],
        "end_beat": 96.0, "bpm": 128.0, "beat_offset": 0.0,
        "music": "YWJj"})"));
    EXPECT_EQ(demo.total_objects, 2u);
    ASSERT_EQ(demo.datas.size(), 2u);
    EXPECT_EQ(demo.datas[0]->name, "z.bin");
    EXPECT_EQ(demo.datas[0]->buffer->data, (Bytes{0x00, 0x01, 0x02, 0xFF}));
    EXPECT_EQ(demo.datas[1]->name, "a.bin");
    EXPECT_EQ(demo.datas[1]->buffer->data, bytes_of("hello"));
    EXPECT_EQ(demo.music->data, bytes_of("abc"));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

TEST(DemoJson, EmptyDocumentTakesTheMusicFromItsSideFile) {
    ScopedWorkDir dir;
    write_file_bytes("resources/music.mp3", bytes_of("ID3 music"));
    Demo demo;
    demo.from_json(Json::object());
    EXPECT_EQ(demo.total_objects, 0u);
    EXPECT_TRUE(demo.datas.empty());
    EXPECT_EQ(demo.music->data, bytes_of("ID3 music"));
    EXPECT_EQ(demo.end_beat, 0.0f);
    EXPECT_EQ(demo.bpm, 0.0f);
    EXPECT_EQ(demo.beat_offset, 0.0f);
}

TEST(DemoJsonDeathTest, MissingMusicIsFatal) {
    ScopedWorkDir dir;
    EXPECT_EXIT(
        {
            Demo demo;
            demo.from_json({{"datas", Json::array()}, {"bpm", 120.0}});
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(text_file(dir.path() / "crash.txt"),
              "Fatal error: File not found: resources/music.mp3\nExiting.");
}

TEST(DemoJson, ExportThenImportFromTheSameFolder) {
    ScopedWorkDir dir;
    Demo demo;
    demo.datas.push_back(make_data("blobs/one.bin", pattern(700, 3)));
    demo.datas.push_back(make_data("two.bin", bytes_of("second")));
    demo.datas.push_back(make_data("deep/a/b/c.dat", {}));
    demo.music = std::make_unique<ByteBuffer>(pattern(2000, 11).data(), 2000);
    demo.end_beat = 256.0f;
    demo.bpm = 140.0f;
    demo.beat_offset = 0.25f;

    const Json doc = demo.to_json(true);
    EXPECT_FALSE(doc.contains("music"));
    for (const Json& data : doc["datas"])
        EXPECT_FALSE(data.contains("data_buffer")) << data;
    EXPECT_EQ(read_file_bytes("resources/music.mp3"), pattern(2000, 11));
    EXPECT_EQ(read_file_bytes("blobs/one.bin"), pattern(700, 3));
    EXPECT_EQ(read_file_bytes("two.bin"), bytes_of("second"));
    ASSERT_TRUE(fs::exists("deep/a/b/c.dat"));

    // Through text, as a project file would be.
    Demo back;
    back.from_json(Json::parse(doc.dump()));
    EXPECT_EQ(back.total_objects, 3u);
    expect_same_demo(back, demo);
}

TEST(DemoJson, EmbeddedRoundTripTouchesNoFiles) {
    ScopedWorkDir dir;
    Demo demo;
    demo.datas.push_back(make_data("blobs/one.bin", pattern(999, 7)));
    demo.datas.push_back(make_data("", {}));
    demo.music = std::make_unique<ByteBuffer>(pattern(10, 1).data(), 10);
    demo.end_beat = 1e6f;
    demo.bpm = 0.1f;
    demo.beat_offset = 3.0f;

    Demo back;
    back.from_json(Json::parse(demo.to_json(false).dump()));
    expect_same_demo(back, demo);
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

// Stored strings are bytes; a document is UTF-8. Latin-1 names and texts are written as their
// characters, side files go under the names the document gives, and references still match.
TEST(DemoJson, LatinOneStringsExportAsTheirCharacters) {
    ScopedWorkDir dir;
    Demo demo;
    demo.datas.push_back(make_data("d\xE9j\xE0.bin", pattern(30, 3)));
    demo.effects.push_back(std::make_unique<Effect>());
    demo.effects[0]->name = "caf\xE9";
    auto event = std::make_unique<Event>();
    event->type = kEffectEvent;
    event->effect.object = demo.effects[0].get();
    event->name = "caf\xE9";
    event->control_points["caption"].points = {{0.0f, 0.0f, "Gr\xFC\xDF\x65"},
                                               {1.0f, 0.0f, "Gr\xC3\xBC\xC3\x9F\x65"}};
    demo.events.push_back(std::move(event));
    demo.music = std::make_unique<ByteBuffer>();

    const std::string text = demo.to_json(true).dump();
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
