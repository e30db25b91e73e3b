// End-to-end runs of the real demotool (and the player it copies), each in a fresh folder.
#include <gtest/gtest.h>

#include <csignal>
#include <limits>
#include <nlohmann/json.hpp>
#include <regex>
#include <set>
#include <sstream>

#include "test_support/demotool_run.h"
#include "test_support/scene_assets.h"
#include "test_support/tone.h"
#include "video/av_handles.h"

namespace demo::tool {
namespace {

using namespace package_bytes;
using Json = nlohmann::json;
namespace gb = gltf_builder;

std::set<std::string> entries_of(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir))
        names.insert(fs::relative(entry.path(), dir).string());
    return names;
}

// A refusal: `status` and one line on standard error, "demotool <command>: ...".
void expect_one_error_line(const RunResult& r, const std::string& command, int status = 1) {
    EXPECT_EQ(r.exit_code, status) << r;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r;
    EXPECT_TRUE(r.err.starts_with("demotool " + command + ": ")) << r;
}

class DemotoolTest : public testing::Test {
protected:
    RunResult run(std::vector<std::string> args) { return tool::run(std::move(args), root()); }
    const fs::path& root() const { return root_.path; }

    // Packs the sample project (one blob from a side file in a subfolder, one embedded, one
    // empty, music from resources/music.mp3) as a bare package (sample.pkg) and onto the
    // stripped player (sample_demo). Off a terminal, nothing is shown: no progress bar.
    void pack_sample() {
        write_file_bytes(root() / "proj/a/b", blob_);
        write_file_bytes(root() / "proj/resources/music.mp3", music_);
        write_text(root() / "proj/project.json", R"({"end_beat": 256.0, "bpm": 140.0,
          "beat_offset": 0.5, "datas": [{"name": "a/b"},
            {"name": "two", "data_buffer": "aGVsbG8="}, {"name": "e", "data_buffer": ""}]})");
        using Args = std::vector<std::string>;
        for (const Args& args : {Args{"pack", "proj/project.json", "--raw", "-o", "sample.pkg"},
                                 Args{"pack", "proj/project.json", "-o", "sample_demo"}}) {
            const RunResult r = run(args);
            EXPECT_TRUE(r.ok()) << r;
            EXPECT_EQ(r.out + r.err, "") << r;
        }
    }

    TempDir root_;
    const Bytes blob_ = keystream(700);
    const Bytes music_ = scrambled(Bytes(2000, 0x5A));
};

TEST_F(DemotoolTest, PackWritesTheFormatsBytesAndUnpackThenPackGivesThemAgain) {
    pack_sample();
    // Names are under five bytes, so their stored form is fixed by the format.
    Bytes datas = stored_data(1, "a/b", blob_);
    append(datas, stored_data(2, "two", bytes_of("hello")));
    append(datas, stored_data(3, "e", {}));
    const Bytes package = package_of_datas(3, 3, datas, music_, 256.0f, 140.0f, 0.5f);
    EXPECT_EQ(read_bytes(root() / "sample.pkg"), package);
    Bytes tail = package;
    append(tail, e2e::trailer(static_cast<uint32_t>(package.size())));
    ASSERT_TRUE(
        run({"pack", "proj/project.json", "-o", "full_demo", "--player", DEMOPLAYER_PATH}).ok());
    const fs::perms mode = fs::status(root() / "full_demo").permissions();
    EXPECT_NE(mode & fs::perms::owner_exec, fs::perms::none);

    // Without --player, the stripped copy of the player beside demotool is copied.
    for (const auto& [player, demo] :
         {std::pair{DEMOPLAYER_STRIPPED_PATH, "sample_demo"}, {DEMOPLAYER_PATH, "full_demo"}}) {
        Bytes expected = read_bytes(player);
        ASSERT_GT(expected.size(), 0u);
        append(expected, tail);
        EXPECT_EQ(read_bytes(root() / demo), expected) << demo;
    }
#ifndef DEMO_INSTRUMENTED_BUILD
    EXPECT_LT(fs::file_size(DEMOPLAYER_STRIPPED_PATH), fs::file_size(DEMOPLAYER_PATH) / 4);
#endif

    // Packed players and bare packages unpack alike, to side files or --embed into the
    // document, and every form packs to the same bytes again (the floats included).
    for (const auto& [input, output] :
         {std::pair{"sample.pkg", "from_package"}, {"sample_demo", "from_player"}}) {
        const RunResult r = run({"unpack", input, "-o", output});
        ASSERT_TRUE(r.ok()) << r;
        EXPECT_EQ(r.out + r.err, "") << r;
    }
    EXPECT_EQ(entries_of(root() / "from_package"),
              (std::set<std::string>{"a", "a/b", "two", "e", "resources", "resources/music.mp3",
                                     "project.json"}));
    EXPECT_EQ(entries_of(root() / "from_player"), entries_of(root() / "from_package"));
    const Json doc = Json::parse(read_text(root() / "from_package/project.json"));
    EXPECT_FALSE(doc.contains("music"));
    EXPECT_EQ(doc["datas"], (Json{{{"name", "a/b"}}, {{"name", "two"}}, {{"name", "e"}}}));

    ASSERT_TRUE(run({"unpack", "sample_demo", "-o", "embedded", "--embed"}).ok());
    EXPECT_EQ(entries_of(root() / "embedded"), (std::set<std::string>{"project.json"}));
    const Json embedded = Json::parse(read_text(root() / "embedded/project.json"));
    EXPECT_EQ(embedded["datas"][1], (Json{{"name", "two"}, {"data_buffer", "aGVsbG8="}}));

    for (const char* document :
         {"from_package/project.json", "from_player/project.json", "embedded/project.json"}) {
        SCOPED_TRACE(document);
        ASSERT_TRUE(run({"pack", document, "--raw", "-o", "again.pkg"}).ok());
        EXPECT_EQ(read_bytes(root() / "again.pkg"), package);
    }

    // A missing side file is refused with the path looked for; forced, the read stops at it,
    // in the project's folder: "crash.txt" is there.
    write_text(root() / "proj/project.json",
               R"({"end_beat": 8.0, "bpm": 120.0, "datas": [{"name": "blobs/missing.bin"}]})");
    const RunResult refused = run({"pack", "proj/project.json", "--raw", "-o", "out"});
    EXPECT_EQ(refused.err,
              "data 'blobs/missing.bin': file not found (looked for proj/blobs/missing.bin)\n"
              "demotool pack: proj/project.json: 1 problem, so it is not packed (--force packs it "
              "anyway)\n")
        << refused;
    EXPECT_FALSE(fs::exists(root() / "proj/crash.txt"));
    EXPECT_EQ(run({"pack", "proj/project.json", "--raw", "-o", "out", "--force"}).exit_code, 1);
    EXPECT_EQ(read_text(root() / "proj/crash.txt"),
              "Fatal error: File not found: blobs/missing.bin\nExiting.");
    EXPECT_FALSE(fs::exists(root() / "out"));
}

// --target picks the player beside demotool, and a demo for Windows gets ".exe" when its name
// has no extension; --player still names the player. A missing player or an unknown target is
// refused before anything is written.
TEST_F(DemotoolTest, PackTargetsTakeTheirPlayerFromBesideDemotool) {
    pack_sample();
    Bytes tail = read_bytes(root() / "sample.pkg");
    append(tail, e2e::trailer(static_cast<uint32_t>(tail.size())));
    // A copy of demotool with stand-ins for the players.
    fs::create_directories(root() / "bin");
    fs::copy_file(DEMOTOOL_PATH, root() / "bin/demotool");
    for (const char* player :
         {"demoplayer-stripped", "demoplayer-linux", "demoplayer-windows.exe", "own"})
        write_text(root() / "bin" / player, player);
    auto pack = [&](const std::string& output, std::vector<std::string> options) {
        options.insert(options.begin(), {(root() / "bin/demotool").string(), "pack",
                                         "proj/project.json", "-o", output});
        return finish(start_in(root(), options));
    };
    const struct {
        std::vector<std::string> options;
        const char *output, *written, *player;
    } cases[] = {
        {{}, "a", "a", "demoplayer-stripped"},
        {{"--target", "linux"}, "b", "b", "demoplayer-linux"},
        {{"--target", "windows"}, "c", "c.exe", "demoplayer-windows.exe"},
        {{"--target", "windows"}, "d.scr", "d.scr", "demoplayer-windows.exe"},
        {{"--target=windows", "--player=bin/own"}, "e", "e.exe", "own"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.output);
        ASSERT_TRUE(pack(c.output, c.options).ok());
        EXPECT_EQ(read_bytes(root() / c.written), concat({bytes_of(c.player), tail}));
    }

    fs::remove(root() / "bin/demoplayer-linux");
    const RunResult missing = pack("f", {"--target", "linux"});
    expect_one_error_line(missing, "pack");
    EXPECT_NE(missing.err.find("no linux player"), std::string::npos) << missing;
    expect_one_error_line(pack("g", {"--target", "macos"}), "pack", 2);
    EXPECT_FALSE(fs::exists(root() / "f"));
    EXPECT_FALSE(fs::exists(root() / "g"));
}

// Unpacking refuses, before writing anything, side-file names that reach outside its folder.
TEST_F(DemotoolTest, UnpackRefusesSideFilesOutsideTheFolder) {
    const fs::path absolute = root() / "abs_target";
    for (const std::string& name : {std::string("sub/../../evil"), absolute.string()}) {
        SCOPED_TRACE(name);
        write_text(root() / "evil/project.json",
                   R"({"music": "YWJj", "end_beat": 8.0, "bpm": 120.0, "beat_offset": 0.0,
                       "datas": [{"name": "fine", "data_buffer": "aGVsbG8="},
                                 {"data_buffer": "ZXZpbA==", "name": ")" +
                       name + "\"}]}");
        ASSERT_TRUE(run({"pack", "evil/project.json", "--raw", "-o", "evil.pkg"}).ok());

        fs::create_directories(root() / "work");
        const std::set<std::string> before = entries_of(root());
        const RunResult r = tool::run({"unpack", "../evil.pkg", "-o", "out"}, root() / "work");
        expect_one_error_line(r, "unpack");
        EXPECT_NE(r.err.find(name), std::string::npos) << r;
        EXPECT_EQ(entries_of(root()), before);  // nothing in work/, beside it or at `absolute`

        // Embedded, the names are only text in the document, so that is fine.
        ASSERT_TRUE(run({"unpack", "evil.pkg", "-o", "embedded", "--embed"}).ok());
        EXPECT_EQ(entries_of(root() / "embedded"), (std::set<std::string>{"project.json"}));
        fs::remove_all(root() / "embedded");
    }
}

Json scene_json(const std::string& name, const std::string& model, bool camera) {
    Json scene = {{"name", name}, {"camera_scene_only_direction", false}};
    if (!model.empty())
        scene["root_node"] = {{"name", "root"}, {"model", model}};
    if (camera)
        scene["camera"] = Json::parse(R"({"position": [0, 1, 4], "direction": [0, 1, 0],
          "up": [0, 1, 0], "aspect": 1.78, "fov": 60.0, "znear": 0.1, "zfar": 100.0,
          "direction_mode": false})");
    return scene;
}

// A project in `dir` drawing each of `scenes` for two beats in turn, with "scene.frag" (colours
// by the model's material), or "flat.frag" (white, no matrix) for the scene named `flat`.
void write_scene_project(const fs::path& dir, const Json& models, const Json& scenes,
                         const Bytes& music, const std::string& flat = "") {
    const std::string head = "#version 330 core\nlayout(location = 0) in vec3 position;\n";
    write_text(dir / "scene.vert",
               head +
                   "uniform mat4 uModelViewProjMatrix;\nvoid main() { "
                   "gl_Position = uModelViewProjMatrix * vec4(position, 1.0); }\n");
    write_text(dir / "flat.vert", head + "void main() { gl_Position = vec4(position, 1.0); }\n");
    write_text(dir / "scene.frag",
               "#version 330 core\nuniform vec4 uBaseColorFactor;\nout vec4 c;\n"
               "void main() { c = uBaseColorFactor; }\n");
    write_text(dir / "flat.frag",
               "#version 330 core\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n");
    write_file_bytes(dir / "resources/music.mp3", music);
    Json doc = Json::parse(R"({"effects": [], "events": [], "bpm": 600.0, "beat_offset": 0.0,
      "shaders": [{"vertex_shader_filename": "scene.vert", "fragment_shader_filename": "scene.frag"},
                  {"vertex_shader_filename": "flat.vert", "fragment_shader_filename": "flat.frag"}]})");
    doc["models"] = models;
    doc["scenes"] = scenes;
    doc["end_beat"] = 2.0 * scenes.size();
    for (size_t i = 0; i < scenes.size(); ++i) {
        const std::string name = scenes[i]["name"];
        const std::string program = name == flat ? "flat.frag" : "scene.frag";
        doc["effects"].push_back({{"name", name}, {"program", program}, {"scene", name}});
        doc["events"].push_back({{"type", 1},
                                 {"name", name},
                                 {"effect", name},
                                 {"start_beat", 2.0 * i},
                                 {"end_beat", 2.0 * i + 2.0}});
    }
    write_text(dir / "project.json", doc.dump(2));
}

// A glTF text file with its buffer and image as files beside it, as exporters write them.
void write_text_gltf(const fs::path& dir, const std::string& name, tinygltf::Model asset) {
    const tinygltf::BufferView view = asset.bufferViews.at(asset.images.at(0).bufferView);
    const auto& data = asset.buffers[0].data;
    const auto image = data.begin() + static_cast<long>(view.byteOffset);
    write_file_bytes(dir / (name + ".png"), Bytes(image, image + view.byteLength));
    write_file_bytes(dir / (name + ".bin"), Bytes(data.begin(), data.end()));
    std::ostringstream text;
    tinygltf::TinyGLTF().WriteGltfSceneToStream(&asset, text, true, false);
    Json doc = Json::parse(text.str());
    doc["buffers"][0]["uri"] = name + ".bin";
    doc["images"][0] = {{"uri", name + ".png"}};
    write_text(dir / (name + ".gltf"), doc.dump(2));
}

TEST_F(DemotoolTest, ModelsAndScenesPackDescribeCheckUnpackAndRepack) {
    const fs::path dir = root() / "3d";
    tinygltf::Model figure = scene_test::bending_strip({0, 0, 0, 1});
    figure.meshes[0].primitives[0].material =
        gb::add_material(figure, {1, 1, 1, 1}, {9, 8, 7, 255}, 1, 1);
    write_text_gltf(dir, "figure", figure);
    write_file_bytes(dir / "ground.glb", write_glb(scene_test::square_asset()));
    Json borrower = scene_json("s1", "ground.glb", false);
    borrower["camera_scene"] = "s0";
    borrower["camera_scene_only_direction"] = true;
    tinygltf::Model odd = scene_test::square_asset();
    gb::add_channel(odd, -1, "wobble", 0, "translation", {0, 1}, std::vector<float>(18, 0.0f),
                    "CUBICSPLINE");
    gb::add_channel(odd, 0, "wobble", 0, "weights", {0, 1}, std::vector<float>(6, 0.0f));
    odd.defaultScene = -1;
    write_file_bytes(dir / "odd.glb", write_glb(odd));
    tinygltf::Model mover = scene_test::square_asset();
    gb::add_channel(mover, -1, "slide", 0, "translation", {0, 1}, {0, 0, 0, 1, 0, 0});
    write_file_bytes(dir / "mover.glb", write_glb(mover));
    write_scene_project(
        dir, Json::parse(R"([{"filename": "figure.gltf"}, {"filename": "ground.glb"},
                        {"filename": "odd.glb"}, {"filename": "mover.glb"}])"),
        {scene_json("s0", "figure.gltf", true), borrower, scene_json("nocamera", "odd.glb", false),
         scene_json("nomodel", "", true), scene_json("moving", "mover.glb", true)},
        music_, "moving");
    ASSERT_TRUE(run({"pack", "3d/project.json", "--raw", "-o", "3d.pkg"}).ok());

    const RunResult info = run({"info", "3d.pkg"});
    ASSERT_TRUE(info.ok()) << info;
    for (const char* line :
         {"'figure.gltf.glb' (", "1 mesh, 1 primitive, 1 image, skin 'strip' with 2 joints)",
          "animation 'bend' (keys 0 to 1 s)", "'ground.glb' (", "no skin)",
          "'s0' (camera at (0, 1, 4), model 'figure.gltf.glb')",
          "'s1' (no camera, model 'ground.glb', borrows the camera direction of 's0')",
          "References: all resolve"}) {
        EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
    }
    // What loading says ("name of skeleton: strip") stays off the report.
    EXPECT_EQ(info.out.find("name of "), std::string::npos) << info.out;
    EXPECT_NE(info.err.find("name of skeleton: strip"), std::string::npos) << info.err;

    const RunResult r = run({"check", "3d.pkg"});
    EXPECT_EQ(r.exit_code, 1) << r;
    for (const char* said :
         {"model 'odd.glb': animation 'wobble' animates morph weights, which do not move",
          "model 'odd.glb': names no default scene, so it draws nothing",
          "scene 'nocamera': has no camera of its own and borrows none",
          "scene 'nomodel': has no model, so it draws nothing",
          "effect 'moving': draws scene 'moving' with program 'flat.frag', which does not use "
          "uModelViewProjMatrix",
          "event 'moving': model 'mover.glb' is animated per node, but without an "
          "'animation_index' track"}) {
        EXPECT_NE(r.out.find(said), std::string::npos) << said << "\n" << r;
    }
    EXPECT_EQ(r.out.find("cubic"), std::string::npos) << r;  // cubic splines move

    ASSERT_TRUE(run({"unpack", "3d.pkg", "-o", "out"}).ok());
    EXPECT_EQ(read_bytes(root() / "out/ground.glb"), read_bytes(dir / "ground.glb"));
    EXPECT_TRUE(read_text(root() / "out/figure.gltf.glb").starts_with("glTF"));
    ASSERT_TRUE(run({"pack", "out/project.json", "--raw", "-o", "again.pkg"}).ok());
    EXPECT_EQ(read_bytes(root() / "again.pkg"), read_bytes(root() / "3d.pkg"));
}

// Damaged models load as far as they can: render draws every scene, the player plays them all.
TEST_F(DemotoolTest, DamagedAssetsRenderAndPlayWithoutACrash) {
    const fs::path dir = root() / "damaged";
    Json models = Json::array();
    Json scenes = Json::array();
    const float s = 0.70710678f;
    for (const auto& damage : scene_test::damaged_assets()) {
        tinygltf::Model asset = scene_test::bending_strip({0, 0, s, s});
        damage.apply(asset);
        const std::string name = "d" + std::to_string(models.size());
        write_file_bytes(dir / (name + ".glb"), write_glb(asset));
        models.push_back({{"filename", name + ".glb"}});
        scenes.push_back(scene_json(name, name + ".glb", true));
    }
    write_scene_project(dir, models, scenes, music_);
    ASSERT_TRUE(run({"pack", "damaged/project.json", "-o", "damaged_demo"}).ok());
    const RunResult rendered =
        run({"render", "damaged_demo", "--from", "1", "--to", std::to_string(2 * scenes.size()),
             "--fps", "10", "--size", "64x36", "-o", "frames"});
    EXPECT_TRUE(rendered.ok()) << rendered;
    EXPECT_EQ(rendered.out.find("Error"), std::string::npos) << rendered;
    // A frame a beat at 600 bpm and 10 fps, both ends included: every damaged scene is drawn.
    const auto frames = std::distance(fs::directory_iterator(root() / "frames"), {});
    EXPECT_EQ(frames, static_cast<ptrdiff_t>(2 * scenes.size()));
    const RunResult played = finish(start_in(root(), {"./damaged_demo"}));
    EXPECT_TRUE(played.ok()) << played;
    EXPECT_FALSE(fs::exists(root() / "error.log"));
}

// A model nested deeper than the glTF reader can follow is refused by name, in a project and in
// the GLB of a package alike; the project document itself may nest as deep as it likes.
TEST_F(DemotoolTest, ModelsNestedTooDeepAreRefusedAndProjectsAreNot) {
    for (const std::string name : {"deep.gltf", "deep.glb"}) {
        write_file_bytes(root() / "deep" / name, deeply_nested_gltf(20000, name.ends_with("b")));
        write_scene_project(root() / "deep", Json::array({Json{{"filename", name}}}),
                            Json::array({scene_json("s", name, true)}), music_);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"pack", "deep/project.json", "-o", "demo"},
              {"check", "deep/project.json"},
              {"render", "deep/project.json", "--beat", "1", "-o", "frame.png"}}) {
            const RunResult r = run(args);
            EXPECT_EQ(r.exit_code, 1) << r;
            EXPECT_NE(r.err.find("demotool " + args[0] + ": model '" + name +
                                 "': its glTF nests 20003 levels deep"),
                      std::string::npos)
                << r;
        }
    }
    write_text(
        root() / "deep/project.json",
        R"({"datas": [], "extras": )" + std::string(100000, '[') + std::string(100000, ']') + "}");
    // "extras" is not a key of the project form: --force packs it all the same.
    const RunResult deep = run({"pack", "deep/project.json", "--raw", "--force", "-o", "deep.pkg"});
    EXPECT_TRUE(deep.ok()) << deep;
}

TEST_F(DemotoolTest, InfoDescribesTheDemoOrNamesTheDamage) {
    pack_sample();
    for (const char* input : {"sample_demo", "sample.pkg", "proj/project.json"}) {
        SCOPED_TRACE(input);
        const RunResult r = run({"info", input});
        ASSERT_TRUE(r.ok()) << r;
        EXPECT_EQ(r.err, "");
        // No progress bar off a terminal.
        EXPECT_EQ(r.out.find_first_of("\r["), std::string::npos) << r.out;
        std::vector<std::string> patterns = {
            R"(\b3 objects\b)", "\n +datas +3\n", R"(\n +'?a/b'? \(700 bytes\)\n)",
            R"(\n +'?two'? \(5 bytes\)\n)", R"(\n +'?e'? \(0 bytes\)\n)",
            R"(\n +music +[^\n]*\b2000 bytes\b)", R"(\b140 bpm\b)",
            // (256 + 0.5) * 60 / 140 = 109.928... seconds
            R"(\n +length +109\.93 s\n)"};
        for (const char* name : {"events", "effects", "shaders", "textures", "audio_samples",
                                 "event_groups", "fonts", "font_textures", "models", "scenes"})
            patterns.push_back(std::string("\n +") + name + " +0\n");
        for (const std::string& p : patterns)
            EXPECT_TRUE(std::regex_search(r.out, std::regex(p))) << p << "\n" << r.out;
    }
    // On a terminal the same command shows the bar, so the check above means something.
    const RunResult shown = run_on_terminal({"info", "sample.pkg"}, root());
    ASSERT_TRUE(shown.ok()) << shown;
    EXPECT_NE(shown.out.find("Reading package ["), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("100%"), std::string::npos) << shown.out;

    // One line names the damage: cuts of the bare package, and player trailers whose size is
    // wrong or points outside the file (then the whole file is read as a package).
    const Bytes package = read_bytes(root() / "sample.pkg");
    const Bytes player = read_bytes(root() / "sample_demo");
    std::vector<std::pair<Bytes, std::string>> cases;
    for (size_t cut : {size_t{0}, size_t{50}, package.size() / 2, package.size() - 1})
        cases.emplace_back(Bytes(package.begin(), package.begin() + static_cast<long>(cut)),
                           "truncated");
    for (const auto& [size, said] :
         {std::pair{package.size() + 1, "corrupt"}, {size_t{0xFFFFFFFF}, "count of effects"}}) {
        Bytes bytes(player.begin(), player.end() - 8);
        append(bytes, e2e::trailer(static_cast<uint32_t>(size)));
        cases.emplace_back(bytes, said);
    }
    for (const auto& [bytes, said] : cases) {
        SCOPED_TRACE(bytes.size());
        write_file_bytes(root() / "damaged", bytes);
        const RunResult r = run({"info", "damaged"});
        expect_one_error_line(r, "info");
        EXPECT_NE(r.err.find(said), std::string::npos) << r;
    }
}

// Timings no frame or sample position can follow from, and outputs that cannot be written,
// are refused with one line before anything is written, never converted out of range.
TEST_F(DemotoolTest, RenderRefusesWhatCannotBeRenderedAndLeavesNoFile) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float bpm, offset;
        const char* args;
        int status;           // 2 for a command line that cannot work with any package
        const char* message;  // a part of the line, where its wording matters
    } cases[] = {
        {1e-40f, 0.5f, "--beat 4 -o out --wav out.wav", 1, ""},
        {130.0f, nan, "--beat 4 -o out --wav out.wav", 1, ""},
        {130.0f, 1e30f, "--beat 4 -o out --wav out.wav", 1, ""},
        {130.0f, 0.5f, "--from 0 --to 1 --fps 1e10 -o out --wav out.wav", 1, ""},
        {130.0f, 0.5f, "--from 0 --to 1 --fps 0.5 -o out --wav out.wav", 1, ""},
        {130.0f, 0.5f, "--from 0 --to 1 -o odd.mp4 --size 321x180", 2, "even width and height"},
        {130.0f, 0.5f, "--from 0 --to 1 -o missing/out.mkv", 1, "No such file or directory"},
        {130.0f, 0.5f, "--from 0 --to 1 -o clip.avi", 2, ".mp4, .mkv, .webm"},
        {130.0f, 0.5f, "--beat 1 -o still.mp4", 2, "--beat writes one PNG"},
        {130.0f, 0.5f, "--from 4 --to 2 -o out", 2, "--to must not be before --from"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bpm << " bpm, offset " << c.offset << ", " << c.args);
        std::vector<std::string> args = {"render", "t.pkg"};
        std::istringstream words(c.args);
        for (std::string word; words >> word;)
            args.push_back(word);
        // The first --size counts, so a case's own comes before the common one.
        args.insert(args.end(), {"--size", "320x180"});
        write_file_bytes(root() / "t.pkg", package_of_datas(0, 0, {}, {}, 16.0f, c.bpm, c.offset));
        const std::set<std::string> before = entries_of(root());
        const RunResult r = run(args);
        expect_one_error_line(r, "render", c.status);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r;
        EXPECT_EQ(entries_of(root()), before) << r;
    }

    // Stopped mid-export (SIGTERM), render ends at the next frame and removes its temporary file.
    const std::set<std::string> before = entries_of(root());
    const pid_t pid = start_in(root(), {DEMOTOOL_PATH, "render", "t.pkg", "-o", "long.mp4",
                                        "--from", "0", "--to", "10000", "--size", "64x36"});
    for (int i = 0; i < 1200 && entries_of(root()) == before; ++i)
        usleep(25000);
    kill(pid, SIGTERM);
    EXPECT_EQ(finish(pid).exit_code, 1);
    EXPECT_EQ(entries_of(root()), before);

    // Unless told, a frame is 1920x1080 (the PNG header's width and height) and a sequence has
    // 60 frames a second: 0.25 s at 120 bpm holds 16 frames, both ends included.
    write_file_bytes(root() / "t.pkg", package_of_datas(0, 0, {}, {}, 16.0f, 120.0f, 0.0f));
    ASSERT_TRUE(run({"render", "t.pkg", "--beat", "0", "-o", "full.png"}).ok());
    const Bytes png = read_bytes(root() / "full.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(Bytes(png.begin() + 16, png.begin() + 24), (Bytes{0, 0, 7, 0x80, 0, 0, 4, 0x38}));
    ASSERT_TRUE(
        run({"render", "t.pkg", "--from", "0", "--to", "0.5", "--size", "64x36", "-o", "seq"})
            .ok());
    EXPECT_EQ(std::distance(fs::directory_iterator(root() / "seq"), {}), 16);
}

// A video decoded with FFmpeg: codecs, length, frame count, frame `keep` and the left channel,
// which starts `sound_start` s after the first frame (containers shift either for encoder delay).
struct Decoded {
    std::string video_codec, audio_codec;
    int sample_rate = 0, frames = 0;
    double seconds = 0.0, sound_start = 0.0;
    AvPtr<AVFrame> kept;
    std::vector<float> left;
};

Decoded decode(const fs::path& path, int keep) {
    Decoded d;
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0)
        return d;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> input(
        raw, [](AVFormatContext* f) { avformat_close_input(&f); });
    avformat_find_stream_info(input.get(), nullptr);
    d.seconds = static_cast<double>(input->duration) / AV_TIME_BASE;
    std::vector<AvPtr<AVCodecContext>> decoders;
    for (unsigned i = 0; i < input->nb_streams; ++i) {
        const AVCodecParameters* stream = input->streams[i]->codecpar;
        const bool video = stream->codec_type == AVMEDIA_TYPE_VIDEO;
        (video ? d.video_codec : d.audio_codec) = avcodec_get_name(stream->codec_id);
        d.sample_rate = video ? d.sample_rate : stream->sample_rate;
        const AVCodec* codec = avcodec_find_decoder(stream->codec_id);
        decoders.emplace_back(avcodec_alloc_context3(codec));
        avcodec_parameters_to_context(decoders.back().get(), stream);
        decoders.back()->pkt_timebase = input->streams[i]->time_base;
        avcodec_open2(decoders.back().get(), codec, nullptr);
    }
    AvPtr<AVPacket> packet(av_packet_alloc());
    AvPtr<AVFrame> frame(av_frame_alloc());
    auto receive = [&](AVCodecContext* c) {
        while (avcodec_receive_frame(c, frame.get()) == 0) {
            const double start = frame->best_effort_timestamp * av_q2d(c->pkt_timebase);
            const bool video = c->codec_type == AVMEDIA_TYPE_VIDEO;
            if (video ? d.frames == 0 : d.left.empty())
                d.sound_start += video ? -start : start;
            if (video) {
                if (d.frames++ == keep)
                    d.kept.reset(av_frame_clone(frame.get()));
            } else if (frame->format == AV_SAMPLE_FMT_FLTP) {
                const auto* left = reinterpret_cast<const float*>(frame->data[0]);
                d.left.insert(d.left.end(), left, left + frame->nb_samples);
            }
        }
    };
    while (av_read_frame(input.get(), packet.get()) >= 0) {
        AVCodecContext* c = decoders[packet->stream_index].get();
        avcodec_send_packet(c, packet.get());
        av_packet_unref(packet.get());
        receive(c);
    }
    for (const auto& c : decoders) {
        avcodec_send_packet(c.get(), nullptr);
        receive(c.get());
    }
    return d;
}

using Rgb = std::array<double, 3>;

// Pixel (x, y), top row first, of an RGB(A) picture or of BT.709 video-range YUV 4:2:0.
Rgb rgb_at(const AVFrame* f, int x, int y) {
    if (f->format == AV_PIX_FMT_YUV420P) {
        const double luma = 1.164383 * (f->data[0][y * f->linesize[0] + x] - 16.0);
        const double u = f->data[1][y / 2 * f->linesize[1] + x / 2] - 128.0;
        const double v = f->data[2][y / 2 * f->linesize[2] + x / 2] - 128.0;
        return {luma + 1.792741 * v, luma - 0.213249 * u - 0.532909 * v, luma + 2.112402 * u};
    }
    const int size = f->format == AV_PIX_FMT_RGBA ? 4 : 3;
    const uint8_t* p = f->data[0] + y * f->linesize[0] + x * size;
    return {double(p[0]), double(p[1]), double(p[2])};
}

struct VideoCase {
    std::string extension, video_codec, audio_codec;
    int sample_rate;
};

class RenderVideoTest : public DemotoolTest, public testing::WithParamInterface<VideoCase> {};

// The "sound" level render gives a frame: the mean of the absolute values of the first 100 sample
// values of the 1024 frames of the mix that end at the frame's time (16-bit stereo after the
// WAV file's 44-byte header).
double sound_level(const Bytes& wav, int64_t end_frame) {
    int32_t sum = 0;
    for (int64_t i = 0; i < 100; ++i) {
        const int64_t at = 44 + ((end_frame - 1024) * 2 + i) * 2;
        sum += std::min(std::abs(int32_t{static_cast<int16_t>(wav.at(at) | wav.at(at + 1) << 8)}),
                        32767);
    }
    return static_cast<double>(sum / 100) / 32768.0;
}

// A bare package at 120 bpm whose picture is (2 beat - 5.5, y, 2 sound level), red changing by
// 34 levels from one frame to the next at 30 fps, and whose sound is a 220 Hz music with a
// 1000 Hz sample at beat 4. Beats 2 to 6 are 2 s: 60 frames, frame 15 at beat 3.
TEST_P(RenderVideoTest, EncodesEveryFrameAtItsBeatWithTheMix) {
    const fs::path dir = root() / "tone";
    fs::create_directories(dir / "resources");
    for (const std::string synth :
         {"music.mp3 synth 10 sine 220 vol 0.3", "sample.wav synth 0.5 sine 1000 vol 0.5"}) {
        const std::string command =
            "sox -q -n -r 44100 -c 2 -b 16 -t wav " + (dir / "resources").string() + "/" + synth;
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }
    write_text(dir / "v.vert",
               "#version 150\nin vec3 vp;\nvoid main() { gl_Position = vec4(vp, 1.0); }\n");
    write_text(dir / "c.frag",
               "#version 150\nout vec4 c;\nuniform vec2 resolution;\nuniform float beat;\nuniform "
               "int sound;\n"
               "void main() { c = vec4(beat * 2.0 - 5.5, gl_FragCoord.y / resolution.y, "
               "float(sound) / 16384.0, 1.0); }\n");
    write_text(dir / "project.json", R"({
  "shaders": [{"vertex_shader_filename": "v.vert", "fragment_shader_filename": "c.frag"}],
  "effects": [{"name": "c", "program": "c.frag"}],
  "audio_samples": [{"name": "resources/sample.wav"}],
  "events": [
    {"type": 1, "name": "bg", "effect": "c", "start_beat": 0.0, "end_beat": 100.0, "visible": "true"},
    {"type": 2, "name": "t", "audio_sample": "resources/sample.wav", "beat": 4.0, "visible": "true"}],
  "end_beat": 100.0, "bpm": 120.0, "beat_offset": 0.0
})");
    ASSERT_TRUE(run({"pack", "tone/project.json", "--raw", "-o", "tone.pkg"}).ok());
    const std::string video = "tone." + GetParam().extension;
    const RunResult r =
        run_on_terminal({"render", "tone.pkg", "-o", video, "--from", "2", "--to", "6", "--fps",
                         "30", "--size", "320x180", "--wav", "tone.wav"},
                        root());
    ASSERT_TRUE(r.ok()) << r;
    for (const char* shown : {"60/60 frames", "frames/s", "left"})
        EXPECT_NE(r.out.find(shown), std::string::npos) << r.out;

    const Decoded d = decode(root() / video, 15);
    EXPECT_EQ(d.video_codec, GetParam().video_codec);
    EXPECT_EQ(d.audio_codec, GetParam().audio_codec);
    EXPECT_EQ(d.sample_rate, GetParam().sample_rate);
    EXPECT_EQ(d.frames, 60);
    EXPECT_NEAR(d.seconds, 2.0, 1.0 / 30);
    ASSERT_TRUE(d.kept);
    EXPECT_EQ(d.kept->colorspace, AVCOL_SPC_BT709);
    // Beat 3 is 0.5 s into the span's --wav.
    const Bytes wav = read_bytes(root() / "tone.wav");
    const double blue = 255.0 * 2.0 * sound_level(wav, 22050);
    EXPECT_GT(blue, 40.0);
    for (const auto& [x, y] : {std::pair{5, 5}, {160, 90}, {300, 20}, {40, 170}}) {
        const Rgb want{127.5, 255.0 * (179.5 - y) / 180, blue};
        const Rgb got = rgb_at(d.kept.get(), x, y);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(got[i], want[i], 6.0) << "pixel " << x << "," << y << " channel " << i;
    }
    // The sample sounds from 1 s into the video (within half a frame), over the music.
    const int rate = d.sample_rate;
    EXPECT_GT(tone::amplitude(d.left, rate, 0.5 - d.sound_start, 0.4, 220), 0.2);
    double onset = 0.0;
    for (double t = 0.5; t < 1.5 && onset == 0.0; t += 0.005) {
        if (tone::amplitude(d.left, rate, t - d.sound_start, 0.01, 1000) > 0.2)
            onset = t;
    }
    EXPECT_NEAR(onset, 1.0, 0.015);

    // The span's --wav: 16-bit stereo at 44.1 kHz (byte rate, block align), 2 s, the sample 1 s in.
    EXPECT_EQ(Bytes(wav.begin() + 28, wav.begin() + 34), (Bytes{0x10, 0xB1, 0x02, 0x00, 4, 0}));
    const std::vector<float> mixed = tone::left_channel(wav, 44);
    EXPECT_NEAR(static_cast<double>(mixed.size()), 2.0 * 44100, 2.0);
    EXPECT_LT(tone::amplitude(mixed, 44100, 0.9, 0.05, 1000), 0.01);
    EXPECT_GT(tone::amplitude(mixed, 44100, 1.01, 0.05, 1000), 0.2);
}

INSTANTIATE_TEST_SUITE_P(Containers, RenderVideoTest,
                         testing::Values(VideoCase{"MP4", "h264", "aac", 44100},
                                         VideoCase{"mkv", "h264", "aac", 44100},
                                         VideoCase{"webm", "vp9", "opus", 48000}),
                         [](const auto& info) { return info.param.extension; });

// The README's example commands, run as written: every line of its code blocks that works on
// examples/project.json, from a folder laid out like the repository's top with a copy of the
// example and the build beside it. The copy is complete: nothing it names is missing.
TEST(Readme, ExampleCommandsRunAsWrittenOnACopyOfTheExample) {
    TempDir top;
    fs::copy(fs::path(SOURCE_DIR) / "examples", top / "examples", fs::copy_options::recursive);
    fs::create_directory_symlink(BUILD_DIR, top / "build");
    std::ifstream readme(fs::path(SOURCE_DIR) / "README.md");
    int commands = 0;
    for (std::string line; std::getline(readme, line);) {
        if (!line.starts_with("    ") || line.find("examples/project.json") == std::string::npos)
            continue;
        std::string command = line.substr(4);
        // The self-contained players are there only where their libraries were built.
        const bool portable = command.find("--target linux") != std::string::npos ||
                              command.find("--target windows") != std::string::npos;
        if (portable &&
            !fs::exists(fs::path(BUILD_DIR) / (command.find("windows") != std::string::npos
                                                   ? "demoplayer-windows.exe"
                                                   : "demoplayer-linux")))
            continue;
        // The preview plays until its window is closed.
        const bool preview = command.find(" play ") != std::string::npos;
        if (preview)
            command = "timeout -s TERM 15 " + command;
        SCOPED_TRACE(command);
        const RunResult r =
            finish(start_in(top.path, {"sh", "-c", command}), std::chrono::seconds(120));
        EXPECT_EQ(r.exit_code, preview ? 124 : 0) << r;
        EXPECT_EQ(r.err.find("not found"), std::string::npos) << r;
        if (preview) {
            EXPECT_NE(r.out.find("Space pause"), std::string::npos) << r;
        }
        ++commands;
    }
    EXPECT_GE(commands, 4);
    EXPECT_TRUE(fs::exists(top / "beat40.png"));
}

// The first hour, as the README walks it: a starter project from `new` checks clean, packs,
// plays to its end in the packed player and renders to a video.
TEST_F(DemotoolTest, ANewProjectChecksPacksPlaysToItsEndAndRenders) {
    ASSERT_TRUE(run({"new", "first"}).ok());
    write_text(root() / "taken/notes.txt", "mine");
    expect_one_error_line(run({"new", "taken"}), "new");
    EXPECT_EQ(entries_of(root() / "taken"), std::set<std::string>{"notes.txt"});

    const RunResult check = run({"check", "first/project.json"});
    EXPECT_EQ(check.out, "first/project.json: no problems found\n") << check;
    ASSERT_TRUE(run({"pack", "first/project.json", "-o", "first_demo"}).ok());
    const RunResult played = run_under_xvfb(root(), 320, 180, {"./first_demo"});
    EXPECT_TRUE(played.ok()) << played;
    EXPECT_GT(played.seconds, 8.0) << played;  // 16 beats at 120 bpm, after the start-up wait
    EXPECT_FALSE(fs::exists(root() / "crash.txt") || fs::exists(root() / "error.log"));

    const RunResult rendered = run({"render", "first/project.json", "-o", "first.mp4", "--from",
                                    "0", "--to", "16", "--fps", "10", "--size", "160x90"});
    ASSERT_TRUE(rendered.ok()) << rendered;
    const Decoded video = decode(root() / "first.mp4", 0);
    EXPECT_EQ(video.frames, 80);
    EXPECT_EQ(video.audio_codec, "aac");
}

// One run of check says every mistake of a project once, in the demo maker's terms: no raw
// driver positions, no follow-on link or uniform message, no embedded buffer. Pack refuses with
// the same messages, render a program that does not build; both go on when forced.
TEST_F(DemotoolTest, CheckSaysEveryMistakeOnceAndPackAndRenderRefuse) {
    ASSERT_TRUE(run({"new", "p"}).ok());
    fs::rename(root() / "p/resources/music.mp3", root() / "p/resources/music.ogg");
    write_text(root() / "p/shaders/glitch.frag",
               "#version 150\nout vec4 c;\nuniform float beat;\nvoid main() {\n"
               "    c = vec4(foo, 1.0);\n}\n");
    write_text(
        root() / "p/shaders/level.frag",
        "#version 150\nout vec4 c;\nuniform float sound;\nvoid main() { c = vec4(sound); }\n");
    const std::string buffer = "data:application/octet-stream;base64," + std::string(2400, 'A');
    write_text(root() / "p/bad.gltf", Json{{"asset", {{"version", "2.0"}}},
                                           {"buffers", {{{"byteLength", 99999}, {"uri", buffer}}}}}
                                          .dump());
    Json doc = Json::parse(read_text(root() / "p/project.json"));
    Json& intro = doc["events"][0];
    intro["start_beet"] = intro["start_beat"];
    intro.erase("start_beat");
    intro["visible"] = true;
    doc["events"].push_back(
        {{"name", "comets"}, {"effect", "cometview"}, {"start_beat", 0.0}, {"end_beat", -48.0}});
    for (const char* file : {"shaders/glitch.frag", "shaders/level.frag"}) {
        doc["shaders"].push_back(
            {{"vertex_shader_filename", "shaders/quad.vert"}, {"fragment_shader_filename", file}});
    }
    doc["textures"] = {{{"name", "images/logo.png"}}};
    doc["models"] = {{{"filename", "bad.gltf"}}};
    write_text(root() / "p/project.json", doc.dump(2));

    const std::vector<std::string> document_problems = {
        "the music: file 'resources/music.mp3' not found (looked for p/resources/music.mp3); the "
        "music is always read from resources/music.mp3, whatever its format: rename "
        "resources/music.ogg",
        "unknown key 'start_beet' in event 'intro' \u2014 did you mean 'start_beat'?",
        "event 'comets' ends at beat -48, before it starts at 0",
        "texture 'images/logo.png': file not found (looked for p/images/logo.png)",
        "effect event 'comets': effect 'cometview' names nothing, so the event is skipped"};
    const RunResult check = run({"check", "p/project.json"});
    EXPECT_EQ(check.exit_code, 1) << check;
    std::vector<std::string> lines;
    std::istringstream out(check.out);
    for (std::string line; std::getline(out, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), document_problems.size() + 4) << check;
    EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.begin() + 5), document_problems);
    EXPECT_TRUE(
        std::regex_match(lines[5], std::regex("shaders/glitch.frag:5:[0-9]+: error: .*foo.*")))
        << lines[5];
    EXPECT_EQ(lines[6],
              "program 'shaders/level.frag': uniform 'sound' is declared float, but it is set as "
              "int, so it is never set and stays 0");
    EXPECT_TRUE(lines[7].starts_with("model 'bad.gltf': ")) << lines[7];
    EXPECT_NE(lines[7].find("base64,... (2400 characters)"), std::string::npos) << lines[7];
    EXPECT_EQ(lines[8], "p/project.json: 8 problems");

    const RunResult refused = run({"pack", "p/project.json", "-o", "p_demo"});
    std::string said;
    for (const std::string& line : document_problems)
        said += line + "\n";
    EXPECT_EQ(refused.err, said +
                               "demotool pack: p/project.json: 5 problems, so it is not packed "
                               "(--force packs it anyway)\n");
    EXPECT_FALSE(fs::exists(root() / "p_demo"));

    // With the files there, the project packs when forced, and renders only when forced.
    fs::rename(root() / "p/resources/music.ogg", root() / "p/resources/music.mp3");
    doc.erase("textures");
    write_text(root() / "p/project.json", doc.dump(2));
    EXPECT_TRUE(run({"pack", "p/project.json", "-o", "p_demo", "--force"}).ok());
    EXPECT_TRUE(fs::exists(root() / "p_demo"));
    const RunResult broken = run({"render", "p/project.json", "--beat", "1", "-o", "x.png"});
    EXPECT_EQ(broken.exit_code, 1) << broken;
    EXPECT_NE(broken.err.find("shaders/glitch.frag:5:"), std::string::npos) << broken;
    EXPECT_NE(broken.err.find("(--force renders anyway)"), std::string::npos) << broken;
    EXPECT_FALSE(fs::exists(root() / "x.png"));
    const RunResult late = run(
        {"render", "p/project.json", "--beat", "100", "-o", "x.png", "--size", "64x36", "--force"});
    EXPECT_TRUE(late.ok()) << late;
    EXPECT_NE(late.err.find("warning: --beat 100 is past the end beat 16"), std::string::npos)
        << late;
    EXPECT_TRUE(fs::exists(root() / "x.png"));
}

}  // namespace
}  // namespace demo::tool
