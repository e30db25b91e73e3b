#include "demo/demo.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "demo/project_check.h"
#include "serialization/input_stream.h"
#include "serialization/json_fields.h"
#include "serialization/project_schema.h"
#include "serialization/text_encoding.h"
#include "test_support/serialization_support.h"

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

// Each authoring mistake, one to a document, gives its message, and only it: a document with
// one broken key or value, the rest of it right (embedded music, timing values set).
TEST(DemoJson, EachAuthoringMistakeIsToldWithItsMessage) {
    const std::string event =
        R"("name": "cube", "effect": "e", "start_beat": 0.0, "end_beat": 4.0)";
    const struct {
        std::string members;  // of the document, besides the timing values and the music
        std::string said;
    } rows[] = {
        {R"("events": [{)" + event + R"(, "start_beet": 2.0}])",
         "unknown key 'start_beet' in event 'cube' \u2014 did you mean 'start_beat'?"},
        {R"("events": [{)" + event + R"(, "controlpoints": {}}])",
         "unknown key 'controlpoints' in event 'cube' \u2014 did you mean 'control_points'?"},
        {R"("font_textures": [{"name": "caption", "chars_per_beats": 2}])",
         "unknown key 'chars_per_beats' in font texture 'caption' \u2014 did you mean "
         "'chars_per_beat'?"},
        {R"("events": [{"name": "blip", "type": 2, "beat": 1.0, "start_beat": 1.0}])",
         "key 'start_beat' in event 'blip' is read only for events of type 1 (effect)"},
        {R"("textures": [{"name": "a.png", "image_buffer": "", "colour": 1}])",
         "unknown key 'colour' in texture 'a.png'"},
        {R"("events": [{)" + event + R"(, "visible": "yes"}])",
         "'visible' of event 'cube' is the string \"yes\"; it takes true or false (or the "
         "strings \"true\" and \"false\")"},
        {R"("events": [{)" + event + R"(, "type": "effect"}])",
         "'type' of event 'cube' is the string \"effect\"; it takes a whole number: the types "
         "are 1 (effect), 2 (audio sample) and 3 (group)"},
        {R"("effects": [{"name": "e", "feedback": 1}])",
         "'feedback' of effect 'e' is the number 1; it takes true or false"},
        {R"("scenes": [{"name": "s", "camera": {"position": [0, 1]}}])",
         "'position' of the camera of scene 's' is an array of 2; it takes an array of three "
         "numbers"},
        {R"("effects": ["e"])", "effect #1 is the string \"e\", not an object"},
        {R"("events": [{)" + event + R"(, "type": 4}])",
         "event 'cube' has type 4: the types are 1 (effect), 2 (audio sample) and 3 (group)"},
        {R"("events": [{)" + event +
             R"(, "control_points": {"speed": {"mode": 3, "control_points": []}}}])",
         "track 'speed' of event 'cube' has mode 3: the modes are 0 (last value), 1 (linear) "
         "and 2 (smooth)"},
        {R"("events": [{"name": "cube", "start_beat": 0.0, "end_beat": -48.0}])",
         "event 'cube' ends at beat -48, before it starts at 0"},
        {R"("events": [{"name": "cube", "start_beat": 4.0, "end_beat": 4}])",
         "event 'cube' ends where it starts, at beat 4, so it never plays"},
        {R"("events": [{"name": "cube", "start_beat": -4.0, "end_beat": 4.0}])",
         "event 'cube' starts at beat -4; beats are not negative"},
        {R"("font_textures": [{"name": "t", "width": 0, "height": 32}])",
         "'width' of font texture 't' is 0; it takes a number above 0"},
        {R"("end_beat": -60.0)",
         "'end_beat' of the project is -60, so the demo ends at once; it takes a number above 0"},
        {R"("bpm": 0)",
         "'bpm' of the project is 0, so the beat never moves forward; it takes a number above 0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.members);
        // A member given twice keeps its last value.
        const Json doc =
            Json::parse(R"({"end_beat": 16.0, "bpm": 120.0, "music": "", )" + row.members + "}");
        const DocumentFindings found = check_project_document(doc, ".");
        EXPECT_EQ(found.problems, std::vector<std::string>{row.said});
        EXPECT_TRUE(found.missing.empty());
    }
    EXPECT_EQ(check_project_document(Json::parse(R"({"music": ""})"), ".").problems,
              (std::vector<std::string>{
                  "the project has no 'end_beat': it reads 0, and the demo ends at once",
                  "the project has no 'bpm': it reads 0, and the beat never moves forward"}));
}

// Every side file that is not there is told in one run, with the entry and the path looked for,
// and the copy that stands in for them loads without ending the process.
TEST(DemoJson, EveryMissingSideFileIsToldAndTheRestLoads) {
    ScopedWorkDir dir;
    write_file_bytes(dir / "proj/resources/music.ogg", bytes_of("Ogg"));
    write_file_bytes(dir / "proj/shaders/a.frag", bytes_of("void main() {}"));
    write_file_bytes(dir / "proj/figure.gltf",
                     bytes_of(R"({"buffers": [{"uri": "figure.bin"}, {"uri": "data:,abc"}]})"));
    Json doc = Json::parse(R"({"end_beat": 16.0, "bpm": 120.0,
      "shaders": [{"vertex_shader_filename": "shaders/a.vert",
                   "fragment_shader_filename": "shaders/a.frag"}],
      "textures": [{"name": "images/logo.png"}, {"name": "embedded.png", "image_buffer": ""}],
      "fonts": [{"name": "sans", "filename": "fonts/sans.ttf", "ptsize": 12}],
      "models": [{"filename": "figure.gltf"}]})");
    const DocumentFindings found = check_project_document(doc, "proj");
    EXPECT_EQ(found.problems,
              (std::vector<std::string>{
                  "the music: file 'resources/music.mp3' not found (looked for "
                  "proj/resources/music.mp3); the music is always read from resources/music.mp3, "
                  "whatever its format: rename resources/music.ogg",
                  "program 'shaders/a.frag': vertex_shader_filename 'shaders/a.vert' not found "
                  "(looked for proj/shaders/a.vert)",
                  "texture 'images/logo.png': file not found (looked for proj/images/logo.png)",
                  "font 'sans': filename 'fonts/sans.ttf' not found (looked for "
                  "proj/fonts/sans.ttf)",
                  "model 'figure.gltf': buffer 0 'figure.bin' not found (looked for "
                  "proj/figure.bin)"}));
    std::filesystem::current_path(dir / "proj");
    Demo demo;
    EXPECT_TRUE(make_loadable(doc, found, "."));
    demo.from_json(doc);
    EXPECT_EQ(demo.shaders.at(0)->fragment_shader_source, "void main() {}");
    EXPECT_TRUE(demo.textures.at(0)->image_buffer->data.empty());
    EXPECT_TRUE(demo.music->data.empty());
    EXPECT_TRUE(found.is_missing("models", 0));
    EXPECT_FALSE(found.is_missing("textures", 1));
}

// What our own writers produce passes the check: every key they write is one the check knows.
// And the reference for demo makers names every key the readers take.
TEST(DemoJson, TheCheckAndTheReferenceKnowEveryKey) {
    Demo demo;
    demo.music = std::make_unique<ByteBuffer>();
    demo.end_beat = 8.0f;
    for (uint32_t type : {kEffectEvent, kAudioSampleEvent, kGroupEvent}) {
        demo.events.push_back(std::make_unique<Event>());
        demo.events.back()->type = type;
        demo.events.back()->end_beat = 1.0f;
        demo.events.back()->control_points["t"].points = {{0.0f, 1.0f, ""}, {1.0f, 0.0f, "x"}};
    }
    demo.effects.push_back(std::make_unique<Effect>());
    demo.effects[0]->scene.key = "s";
    demo.shaders.push_back(std::make_unique<ShaderProgram>());
    demo.shaders[0]->uniform_defs.push_back(std::make_unique<UniformDef>());
    demo.textures.push_back(std::make_unique<Texture>());
    demo.audio_samples.push_back(std::make_unique<AudioSample>());
    demo.event_groups.push_back(std::make_unique<EventGroup>());
    demo.fonts.push_back(std::make_unique<Font>());
    demo.font_textures.push_back(std::make_unique<FontTexture>());
    demo.font_textures[0]->width = demo.font_textures[0]->height = 1;
    demo.fonts[0]->ptsize = 1;
    demo.datas.push_back(test_util::make_data("d", {}));
    demo.models.push_back(std::make_unique<Model>());
    demo.scenes.push_back(std::make_unique<Scene>());
    demo.scenes[0]->camera = std::make_unique<Camera>();
    demo.scenes[0]->root_node = std::make_unique<Node>();
    demo.scenes[0]->root_node->model.key = "m.glb";
    demo.scenes[0]->camera_scene.key = "s";
    EXPECT_EQ(check_project_document(demo.to_json(false), ".").problems,
              std::vector<std::string>{});

    std::ifstream file(std::string(DOCS_DIR) + "/reference.md");
    std::stringstream reference;
    reference << file.rdbuf();
    for (ObjectKind kind : all_object_kinds()) {
        for (const KeySchema& key : keys_of(kind)) {
            EXPECT_NE(reference.str().find("`" + std::string(key.key) + "`"), std::string::npos)
                << key.key;
        }
    }
}

}  // namespace
}  // namespace demo
