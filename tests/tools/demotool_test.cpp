// End-to-end runs of the real demotool executable (and the player it copies) on projects,
// bare packages and packed players, each in a fresh temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "../scene/scene_assets.h"
#include "../serialization/package_bytes.h"
#include "av_handles.h"

namespace demo {
namespace {

using namespace package_bytes;
namespace fs = std::filesystem;
using Json = nlohmann::json;

const char* const kDemotool = DEMOTOOL_PATH;
const char* const kDemoplayer = DEMOPLAYER_PATH;

// No run of the tool may take this long; one that does is killed and shows as a signal.
constexpr unsigned kRunTimeoutSeconds = 60;

struct RunResult {
    bool exited = false;  // ended through exit, not a signal
    int status = -1;
    int signal = 0;
    std::string out;
    std::string err;
};

std::ostream& operator<<(std::ostream& os, const RunResult& r) {
    if (r.exited) {
        os << "exit status " << r.status;
    } else {
        os << "signal " << r.signal;
    }
    return os << "\n--- stdout:\n" << r.out << "--- stderr:\n" << r.err;
}

std::string text_file(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<char*> argv_of(const std::string& program, std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    return argv;
}

// Standard base64 with padding, for checking the embedded project form.
std::string base64(const Bytes& bytes) {
    static const char* const kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t n = std::min<size_t>(3, bytes.size() - i);
        uint32_t group = uint32_t{bytes[i]} << 16;
        if (n > 1)
            group |= uint32_t{bytes[i + 1]} << 8;
        if (n > 2)
            group |= bytes[i + 2];
        for (size_t k = 0; k < 4; ++k) {
            text += k <= n ? kAlphabet[(group >> (18 - 6 * k)) & 63] : '=';
        }
    }
    return text;
}

Bytes u32_le(uint32_t value) {
    return {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
}

// Every regular file under `dir`, by path relative to it, with its contents.
std::map<std::string, Bytes> tree_of(const fs::path& dir) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), dir).string()] = read_file_bytes(entry.path());
        }
    }
    return files;
}

std::set<std::string> entries_of(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(dir)) {
        names.insert(fs::relative(entry.path(), dir).string());
    }
    return names;
}

class DemotoolTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = make_temp_dir("demotool_test_");
        captures_ = make_temp_dir("demotool_capture_");
    }
    void TearDown() override {
        std::error_code ignored;
        if (std::getenv("DEMOTOOL_TEST_KEEP") != nullptr)  // to look at what a test made
            std::fprintf(stderr, "kept %s\n", root_.c_str());
        else
            fs::remove_all(root_, ignored);
        fs::remove_all(captures_, ignored);
    }

    static fs::path make_temp_dir(const std::string& prefix) {
        std::string pattern = (fs::temp_directory_path() / (prefix + "XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        return pattern;
    }

    // Runs demotool with `args` in `cwd`, standard input empty, standard output and error
    // captured to files (so neither is a terminal).
    RunResult run(std::vector<std::string> args, const fs::path& cwd,
                  const std::string& program = kDemotool) {
        RunResult result = wait_for(start(std::move(args), cwd, program), "", "");
        result.out = text_file(captures_ / "stdout");
        result.err = text_file(captures_ / "stderr");
        return result;
    }

    // Starts `program` as run() does and returns its process id without waiting.
    pid_t start(std::vector<std::string> args, const fs::path& cwd,
                const std::string& program = kDemotool) {
        const fs::path out_path = captures_ / "stdout";
        const fs::path err_path = captures_ / "stderr";
        std::vector<char*> argv = argv_of(program, args);
        const pid_t pid = fork();
        if (pid == 0) {
            alarm(kRunTimeoutSeconds);
            const int in = open("/dev/null", O_RDONLY);
            const int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (in < 0 || out < 0 || err < 0 || chdir(cwd.c_str()) != 0)
                _exit(126);
            dup2(in, 0);
            dup2(out, 1);
            dup2(err, 2);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        return pid;
    }

    RunResult run(std::vector<std::string> args) { return run(std::move(args), root_); }

    // Runs demotool on a pseudo-terminal and returns everything it showed there.
    RunResult run_on_terminal(std::vector<std::string> args, const fs::path& cwd) {
        const std::string program = kDemotool;
        std::vector<char*> argv = argv_of(program, args);
        int master = -1;
        const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            alarm(kRunTimeoutSeconds);
            if (chdir(cwd.c_str()) != 0)
                _exit(126);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        std::string shown;
        if (pid > 0) {
            char buffer[4096];
            for (;;) {
                const ssize_t n = read(master, buffer, sizeof buffer);
                if (n > 0) {
                    shown.append(buffer, static_cast<size_t>(n));
                } else if (n < 0 && errno == EINTR) {
                    continue;
                } else {
                    break;  // EIO once the child has closed the terminal
                }
            }
            close(master);
        }
        return wait_for(pid, shown, "");
    }

    static RunResult wait_for(pid_t pid, std::string out, std::string err) {
        RunResult result;
        if (pid < 0) {
            result.err = "fork failed";
            return result;
        }
        int status = 0;
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        if (WIFEXITED(status)) {
            result.exited = true;
            result.status = WEXITSTATUS(status);
        } else if (WIFSIGNALED(status)) {
            result.signal = WTERMSIG(status);
        }
        result.out = std::move(out);
        result.err = std::move(err);
        return result;
    }

    // The sample project in root/proj: one blob from a side file (in a subfolder), one
    // embedded, one empty; music from resources/music.mp3. Names are under five bytes, so their
    // stored form is fixed by the format.
    fs::path write_sample_project() {
        const fs::path dir = root_ / "proj";
        write_file_bytes(dir / "a/b", blob_);
        write_file_bytes(dir / "resources/music.mp3", music_);
        write_text(dir / "project.json", R"({
  "events": [], "effects": [], "shaders": [], "textures": [], "audio_samples": [],
  "event_groups": [], "fonts": [], "font_textures": [],
  "datas": [
    {"name": "a/b"},
    {"name": "two", "data_buffer": "aGVsbG8="},
    {"name": "e", "data_buffer": ""}
  ],
  "models": [], "scenes": [],
  "end_beat": 256.0, "bpm": 140.0, "beat_offset": 0.5
})");
        return dir / "project.json";
    }

    // The package of the sample project, laid out from the format.
    Bytes expected_sample_package() const {
        Bytes datas = stored_data(1, "a/b", blob_);
        append(datas, stored_data(2, "two", bytes_of("hello")));
        append(datas, stored_data(3, "e", {}));
        return package_of_datas(3, 3, datas, music_, 256.0f, 140.0f, 0.5f);
    }

    // Packs the sample project as a bare package at root/sample.pkg.
    fs::path pack_sample_raw() {
        write_sample_project();
        const RunResult r = run({"pack", "proj/project.json", "--raw", "-o", "sample.pkg"});
        EXPECT_TRUE(r.exited && r.status == 0) << r;
        return root_ / "sample.pkg";
    }

    // Packs the sample project onto the player at root/sample_demo.
    fs::path pack_sample_player() {
        write_sample_project();
        const RunResult r =
            run({"pack", "proj/project.json", "-o", "sample_demo", "--player", kDemoplayer});
        EXPECT_TRUE(r.exited && r.status == 0) << r;
        return root_ / "sample_demo";
    }

    static void write_text(const fs::path& path, const std::string& text) {
        write_file_bytes(path, bytes_of(text));
    }

    static Bytes pattern(size_t size, uint32_t seed) {
        std::mt19937 rng(seed);
        Bytes bytes(size);
        for (auto& b : bytes)
            b = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : rng());
        return bytes;
    }

    static void expect_one_error_line(const RunResult& r, const std::string& command) {
        EXPECT_TRUE(r.exited) << r;
        EXPECT_EQ(r.status, 1) << r;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r;
        EXPECT_TRUE(!r.err.empty() && r.err.back() == '\n') << r;
        EXPECT_EQ(r.err.rfind("demotool " + command + ": ", 0), 0u) << r;
    }

    fs::path root_;
    fs::path captures_;
    const Bytes blob_ = pattern(700, 1);
    const Bytes music_ = pattern(2000, 2);
};

// ---------------------------------------------------------------------------------------------
// pack and unpack
// ---------------------------------------------------------------------------------------------

TEST_F(DemotoolTest, PackRawWritesThePackageTheFormatFixes) {
    const fs::path package = pack_sample_raw();
    EXPECT_EQ(read_file_bytes(package), expected_sample_package());
}

TEST_F(DemotoolTest, PackUnpackPackGivesIdenticalBytes) {
    pack_sample_raw();
    const RunResult unpacked = run({"unpack", "sample.pkg", "-o", "out"});
    ASSERT_TRUE(unpacked.exited && unpacked.status == 0) << unpacked;
    EXPECT_EQ(unpacked.out, "");
    EXPECT_EQ(unpacked.err, "");

    // Every content went to its side file; the document names them.
    EXPECT_EQ(read_file_bytes(root_ / "out/a/b"), blob_);
    EXPECT_EQ(read_file_bytes(root_ / "out/two"), bytes_of("hello"));
    ASSERT_TRUE(fs::exists(root_ / "out/e"));
    EXPECT_EQ(fs::file_size(root_ / "out/e"), 0u);
    EXPECT_EQ(read_file_bytes(root_ / "out/resources/music.mp3"), music_);
    const Json doc = Json::parse(text_file(root_ / "out/project.json"));
    EXPECT_FALSE(doc.contains("music"));
    EXPECT_EQ(doc["datas"], (Json{{{"name", "a/b"}}, {{"name", "two"}}, {{"name", "e"}}}));
    for (const char* key : {"end_beat", "bpm", "beat_offset"}) {
        EXPECT_TRUE(doc[key].is_number_float()) << key;
    }
    EXPECT_EQ(doc["end_beat"].get<double>(), 256.0);
    EXPECT_EQ(doc["bpm"].get<double>(), 140.0);
    EXPECT_EQ(doc["beat_offset"].get<double>(), 0.5);

    const RunResult repacked = run({"pack", "out/project.json", "--raw", "-o", "again.pkg"});
    ASSERT_TRUE(repacked.exited && repacked.status == 0) << repacked;
    EXPECT_EQ(read_file_bytes(root_ / "again.pkg"), read_file_bytes(root_ / "sample.pkg"));
}

TEST_F(DemotoolTest, PackAppendsPackageAndTrailerToThePlayer) {
    const fs::path packed = pack_sample_player();
    const Bytes package = expected_sample_package();
    Bytes expected = read_file_bytes(kDemoplayer);
    ASSERT_GT(expected.size(), 0u);
    append(expected, package);
    append(expected, u32_le(static_cast<uint32_t>(package.size())));
    append(expected, bytes_of("DEMO"));
    EXPECT_EQ(read_file_bytes(packed), expected);

    struct stat info {};
    ASSERT_EQ(stat(packed.c_str(), &info), 0);
    EXPECT_NE(info.st_mode & S_IXUSR, 0u);

    // Without --player, the stripped copy of the player beside demotool is copied.
    const RunResult r = run({"pack", "proj/project.json", "-o", "default_demo"});
    ASSERT_TRUE(r.exited && r.status == 0) << r;
    Bytes small = read_file_bytes(DEMOPLAYER_STRIPPED_PATH);
    EXPECT_LT(small.size(), read_file_bytes(kDemoplayer).size() / 4);
    append(small, Bytes(expected.end() - package.size() - 8, expected.end()));
    EXPECT_EQ(read_file_bytes(root_ / "default_demo"), small);
}

TEST_F(DemotoolTest, UnpackReadsPackedPlayersAndBarePackagesAlike) {
    pack_sample_raw();
    pack_sample_player();
    const RunResult from_player = run({"unpack", "sample_demo", "-o", "from_player"});
    ASSERT_TRUE(from_player.exited && from_player.status == 0) << from_player;
    const RunResult from_package = run({"unpack", "sample.pkg", "-o", "from_package"});
    ASSERT_TRUE(from_package.exited && from_package.status == 0) << from_package;

    const auto tree = tree_of(root_ / "from_player");
    EXPECT_EQ(tree, tree_of(root_ / "from_package"));
    std::set<std::string> names;
    for (const auto& [name, bytes] : tree)
        names.insert(name);
    EXPECT_EQ(names,
              (std::set<std::string>{"a/b", "two", "e", "resources/music.mp3", "project.json"}));
    EXPECT_EQ(tree.at("a/b"), blob_);
    EXPECT_EQ(tree.at("resources/music.mp3"), music_);
}

TEST_F(DemotoolTest, UnpackEmbedWritesOnlyTheDocument) {
    pack_sample_player();
    const RunResult r = run({"unpack", "sample_demo", "-o", "embedded", "--embed"});
    ASSERT_TRUE(r.exited && r.status == 0) << r;
    EXPECT_EQ(entries_of(root_ / "embedded"), (std::set<std::string>{"project.json"}));

    const Json doc = Json::parse(text_file(root_ / "embedded/project.json"));
    ASSERT_TRUE(doc.contains("music"));
    EXPECT_EQ(doc["music"], base64(music_));
    EXPECT_EQ(doc["datas"], (Json{{{"name", "a/b"}, {"data_buffer", base64(blob_)}},
                                  {{"name", "two"}, {"data_buffer", "aGVsbG8="}},
                                  {{"name", "e"}, {"data_buffer", ""}}}));

    // The embedded document packs to the same package, touching no side file.
    const RunResult repacked =
        run({"pack", "embedded/project.json", "--raw", "-o", "embedded.pkg"});
    ASSERT_TRUE(repacked.exited && repacked.status == 0) << repacked;
    EXPECT_EQ(read_file_bytes(root_ / "embedded.pkg"), expected_sample_package());
}

// A package names its own side files; unpacking must not let those names reach outside the
// output folder, and must refuse before writing anything at all.
TEST_F(DemotoolTest, UnpackRefusesSideFilesOutsideTheFolder) {
    const fs::path absolute_target = root_ / "abs_target";
    std::vector<std::string> names = {"../evil", "sub/../../evil2", "..", absolute_target.string()};
    const bool tmp_abs_free = !fs::exists("/tmp/abs");
    if (tmp_abs_free)
        names.push_back("/tmp/abs");

    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        const std::string tag = std::to_string(i);
        const Json project = {{"datas",
                               {{{"name", "fine"}, {"data_buffer", "aGVsbG8="}},
                                {{"name", names[i]}, {"data_buffer", "ZXZpbA=="}}}},
                              {"music", "YWJj"},
                              {"end_beat", 8.0},
                              {"bpm", 120.0},
                              {"beat_offset", 0.0}};
        write_text(root_ / ("evil" + tag + "/project.json"), project.dump());
        const RunResult packed =
            run({"pack", "evil" + tag + "/project.json", "--raw", "-o", "evil" + tag + ".pkg"});
        ASSERT_TRUE(packed.exited && packed.status == 0) << packed;

        const std::set<std::string> before = entries_of(root_);
        fs::create_directories(root_ / "work" / tag);
        const RunResult r =
            run({"unpack", "../../evil" + tag + ".pkg", "-o", "out"}, root_ / "work" / tag);
        expect_one_error_line(r, "unpack");
        EXPECT_NE(r.err.find(names[i]), std::string::npos) << r;
        EXPECT_FALSE(fs::exists(root_ / "work" / tag / "out"));
        EXPECT_TRUE(fs::is_empty(root_ / "work" / tag));
        fs::remove_all(root_ / "work");
        EXPECT_EQ(entries_of(root_), before);
        EXPECT_FALSE(fs::exists(absolute_target));
        if (tmp_abs_free) {
            EXPECT_FALSE(fs::exists("/tmp/abs"));
        }

        // Embedded, the names are only text in the document, so that is fine.
        const RunResult embedded =
            run({"unpack", "evil" + tag + ".pkg", "-o", "embedded" + tag, "--embed"});
        ASSERT_TRUE(embedded.exited && embedded.status == 0) << embedded;
        EXPECT_EQ(entries_of(root_ / ("embedded" + tag)), (std::set<std::string>{"project.json"}));
    }
}

// Reading a project works in the project's folder, so a missing side file leaves "crash.txt"
// there, as the player's fatal error does.
TEST_F(DemotoolTest, PackWithoutMusicWritesCrashTxtInTheProjectFolder) {
    write_text(root_ / "nomusic/project.json",
               R"({"datas": [], "end_beat": 8.0, "bpm": 120.0, "beat_offset": 0.0})");
    const RunResult r = run({"pack", "nomusic/project.json", "-o", "out_demo"});
    EXPECT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_EQ(text_file(root_ / "nomusic/crash.txt"),
              "Fatal error: File not found: resources/music.mp3\nExiting.");
    EXPECT_FALSE(fs::exists(root_ / "out_demo"));
    EXPECT_FALSE(fs::exists(root_ / "crash.txt"));
}

TEST_F(DemotoolTest, PackWithAMissingDataSideFileWritesCrashTxt) {
    write_text(root_ / "nodata/project.json",
               R"({"datas": [{"name": "blobs/missing.bin"}], "music": "YWJj",
                   "end_beat": 8.0, "bpm": 120.0, "beat_offset": 0.0})");
    const RunResult r = run({"pack", "nodata/project.json", "--raw", "-o", "out.pkg"});
    EXPECT_TRUE(r.exited) << r;
    EXPECT_EQ(r.status, 1) << r;
    EXPECT_EQ(text_file(root_ / "nodata/crash.txt"),
              "Fatal error: File not found: blobs/missing.bin\nExiting.");
    EXPECT_FALSE(fs::exists(root_ / "out.pkg"));
}

// Models and scenes have no element class in this build.
// ---------------------------------------------------------------------------------------------
// Models and scenes
// ---------------------------------------------------------------------------------------------

namespace gb = gltf_builder;

constexpr const char* kSceneVertex =
    "#version 330 core\nlayout(location = 0) in vec3 position;\n"
    "uniform mat4 uModelViewProjMatrix;\n"
    "void main() { gl_Position = uModelViewProjMatrix * vec4(position, 1.0); }\n";
constexpr const char* kSceneFragment =
    "#version 330 core\nuniform vec4 uBaseColorFactor;\nout vec4 c;\n"
    "void main() { c = uBaseColorFactor; }\n";

Json scene_json(const std::string& name, const std::string& model, bool camera) {
    Json scene = {{"name", name}, {"camera_scene_only_direction", false}};
    if (!model.empty())
        scene["root_node"] = {{"name", "root"}, {"model", model}};
    if (camera) {
        scene["camera"] = {{"position", {0, 1, 4}}, {"direction", {0, 1, 0}},
                           {"up", {0, 1, 0}},       {"aspect", 1.78},
                           {"fov", 60.0},           {"znear", 0.1},
                           {"zfar", 100.0},         {"direction_mode", false}};
    }
    return scene;
}

// A project in `dir` drawing each of `scenes` for one beat in turn, with the scene shaders
// and `program` as every effect's program.
void write_scene_project(const fs::path& dir, const Json& models, const Json& scenes,
                         const Bytes& music, const std::string& program = "scene.frag") {
    write_file_bytes(dir / "scene.vert", bytes_of(kSceneVertex));
    write_file_bytes(dir / "scene.frag", bytes_of(kSceneFragment));
    write_file_bytes(dir / "flat.vert",
                     bytes_of("#version 330 core\nin vec3 position;\n"
                              "void main() { gl_Position = vec4(position, 1.0); }\n"));
    write_file_bytes(dir / "flat.frag", bytes_of("#version 330 core\nout vec4 c;\n"
                                                 "void main() { c = vec4(1.0); }\n"));
    write_file_bytes(dir / "resources/music.mp3", music);
    Json doc = {{"models", models},
                {"scenes", scenes},
                {"effects", Json::array()},
                {"events", Json::array()},
                {"end_beat", 2.0 * scenes.size()},
                {"bpm", 600.0},
                {"beat_offset", 0.0}};
    doc["shaders"] = Json::array();
    for (const char* name : {"scene", "flat"})
        doc["shaders"].push_back({{"vertex_shader_filename", std::string(name) + ".vert"},
                                  {"fragment_shader_filename", std::string(name) + ".frag"},
                                  {"uniform_defs", Json::array()}});
    for (size_t i = 0; i < scenes.size(); ++i) {
        const std::string name = scenes[i]["name"];
        doc["effects"].push_back({{"name", name}, {"program", program}, {"scene", name}});
        doc["events"].push_back({{"type", 1},
                                 {"name", name},
                                 {"effect", name},
                                 {"start_beat", 2.0 * i},
                                 {"end_beat", 2.0 * i + 2.0}});
    }
    write_file_bytes(dir / "project.json", bytes_of(doc.dump(2)));
}

// A glTF text file with its buffer and image as files beside it, as exporters write them.
void write_text_gltf(const fs::path& dir, const std::string& name, tinygltf::Model asset) {
    const tinygltf::Image image = asset.images.at(0);
    const tinygltf::BufferView view = asset.bufferViews.at(static_cast<size_t>(image.bufferView));
    const auto& data = asset.buffers[0].data;
    write_file_bytes(dir / (name + ".png"),
                     Bytes(data.begin() + static_cast<long>(view.byteOffset),
                           data.begin() + static_cast<long>(view.byteOffset + view.byteLength)));
    write_file_bytes(dir / (name + ".bin"), Bytes(data.begin(), data.end()));
    std::ostringstream text;
    tinygltf::TinyGLTF writer;
    writer.WriteGltfSceneToStream(&asset, text, true, false);
    Json doc = Json::parse(text.str());
    doc["buffers"][0]["uri"] = name + ".bin";
    doc["images"][0] = {{"uri", name + ".png"}};
    write_file_bytes(dir / (name + ".gltf"), bytes_of(doc.dump(2)));
}

TEST_F(DemotoolTest, ModelsAndScenesPackDescribeUnpackAndRepack) {
    const fs::path dir = root_ / "3d";
    tinygltf::Model figure = scene_test::bending_strip({0, 0, 0, 1});
    figure.meshes[0].primitives[0].material =
        gb::add_material(figure, {1, 1, 1, 1}, {9, 8, 7, 255}, 1, 1);
    write_text_gltf(dir, "figure", figure);
    write_file_bytes(dir / "ground.glb", write_glb(scene_test::square_asset()));
    Json borrower = scene_json("s1", "ground.glb", false);
    borrower["camera_scene"] = "s0";
    borrower["camera_scene_only_direction"] = true;
    write_scene_project(dir, {{{"filename", "figure.gltf"}}, {{"filename", "ground.glb"}}},
                        {scene_json("s0", "figure.gltf", true), borrower}, music_);
    const RunResult packed = run({"pack", "3d/project.json", "--raw", "-o", "3d.pkg"});
    ASSERT_TRUE(packed.exited && packed.status == 0) << packed;

    const RunResult info = run({"info", "3d.pkg"});
    ASSERT_TRUE(info.exited && info.status == 0) << info;
    for (const char* line :
         {"'figure.gltf.glb' (", "1 meshes, 1 primitives, 1 images, skin 'strip' with 2 joints)",
          "animation 'bend' (keys 0 to 1 s)", "'ground.glb' (", "no skin)",
          "'s0' (camera at (0, 1, 4), model 'figure.gltf.glb')",
          "'s1' (no camera, model 'ground.glb', borrows the camera direction of 's0')",
          "References: all resolve"}) {
        EXPECT_NE(info.out.find(line), std::string::npos) << line << "\n" << info.out;
    }

    const RunResult unpacked = run({"unpack", "3d.pkg", "-o", "out"});
    ASSERT_TRUE(unpacked.exited && unpacked.status == 0) << unpacked;
    EXPECT_EQ(read_file_bytes(root_ / "out/ground.glb"), read_file_bytes(dir / "ground.glb"));
    EXPECT_EQ(read_file_bytes(root_ / "out/figure.gltf.glb").size() > 4 &&
                  text_file(root_ / "out/figure.gltf.glb").substr(0, 4) == "glTF",
              true);
    const RunResult repacked = run({"pack", "out/project.json", "--raw", "-o", "again.pkg"});
    ASSERT_TRUE(repacked.exited && repacked.status == 0) << repacked;
    EXPECT_EQ(read_file_bytes(root_ / "again.pkg"), read_file_bytes(root_ / "3d.pkg"));
}

TEST_F(DemotoolTest, CheckNamesWhatKeepsAScenePlayingAsAuthored) {
    const fs::path dir = root_ / "check";
    tinygltf::Model odd = scene_test::square_asset();
    gb::add_channel(odd, -1, "wobble", 0, "translation", {0, 1}, std::vector<float>(6, 0.0f),
                    "CUBICSPLINE");
    gb::add_channel(odd, 0, "wobble", 0, "weights", {0, 1}, std::vector<float>(6, 0.0f));
    odd.defaultScene = -1;
    write_file_bytes(dir / "odd.glb", write_glb(odd));
    tinygltf::Model mover = scene_test::square_asset();
    gb::add_channel(mover, -1, "slide", 0, "translation", {0, 1}, {0, 0, 0, 1, 0, 0});
    write_file_bytes(dir / "mover.glb", write_glb(mover));
    write_scene_project(dir, {{{"filename", "odd.glb"}}, {{"filename", "mover.glb"}}},
                        {scene_json("nocamera", "odd.glb", false), scene_json("nomodel", "", true),
                         scene_json("moving", "mover.glb", true)},
                        music_, "flat.frag");
    ASSERT_EQ(run({"pack", "check/project.json", "--raw", "-o", "check.pkg"}).status, 0);
    const RunResult r = run({"check", "check.pkg"});
    EXPECT_TRUE(r.exited && r.status == 1) << r;
    for (const char* said :
         {"model 'odd.glb': animation 'wobble' has a cubic-spline sampler, which does not move",
          "model 'odd.glb': animation 'wobble' animates morph weights, which do not move",
          "model 'odd.glb': names no default scene, so it draws nothing",
          "scene 'nocamera': has no camera of its own and borrows none",
          "scene 'nomodel': has no model, so it draws nothing",
          "effect 'moving': draws scene 'moving' with program 'flat.frag', which does not use "
          "uModelViewProjMatrix",
          "event 'moving': model 'mover.glb' is animated per node, but without an "
          "'animation_index' track"}) {
        EXPECT_NE(r.out.find(said), std::string::npos) << said << "\n" << r;
    }
}

TEST_F(DemotoolTest, DamagedAssetsRenderAndPlayWithoutACrash) {
    const fs::path dir = root_ / "damaged";
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
    ASSERT_EQ(
        run({"pack", "damaged/project.json", "-o", "damaged_demo", "--player", kDemoplayer}).status,
        0);
    const RunResult rendered =
        run({"render", "damaged_demo", "--from", "1", "--to", std::to_string(2 * scenes.size()),
             "--fps", "1", "--size", "64x36", "-o", "frames"});
    EXPECT_TRUE(rendered.exited && rendered.status == 0) << rendered;
    EXPECT_EQ(rendered.out.find("Error"), std::string::npos) << rendered;
    const RunResult played = run({}, root_, (root_ / "damaged_demo").string());
    EXPECT_TRUE(played.exited && played.status == 0) << played;
    EXPECT_FALSE(fs::exists(root_ / "error.log"));
}

// ---------------------------------------------------------------------------------------------
// info
// ---------------------------------------------------------------------------------------------

TEST_F(DemotoolTest, InfoDescribesTheDemoOfAPackageOrProject) {
    pack_sample_player();
    pack_sample_raw();
    for (const char* input : {"sample_demo", "sample.pkg", "proj/project.json"}) {
        SCOPED_TRACE(input);
        const RunResult r = run({"info", input});
        ASSERT_TRUE(r.exited && r.status == 0) << r;
        EXPECT_EQ(r.err, "");
        const auto has = [&r](const std::string& pattern) {
            return std::regex_search(r.out, std::regex(pattern));
        };
        EXPECT_TRUE(has(R"(\b3 objects\b)")) << r.out;
        for (const char* name : {"events", "effects", "shaders", "textures", "audio_samples",
                                 "event_groups", "fonts", "font_textures", "models", "scenes"}) {
            EXPECT_TRUE(has(std::string("\n +") + name + " +0\n")) << name << "\n" << r.out;
        }
        EXPECT_TRUE(has("\n +datas +3\n")) << r.out;
        EXPECT_TRUE(has(R"(\n +'?a/b'? \(700 bytes\)\n)")) << r.out;
        EXPECT_TRUE(has(R"(\n +'?two'? \(5 bytes\)\n)")) << r.out;
        EXPECT_TRUE(has(R"(\n +'?e'? \(0 bytes\)\n)")) << r.out;
        EXPECT_TRUE(has(R"(\n +music +[^\n]*\b2000 bytes\b)")) << r.out;
        EXPECT_TRUE(has(R"(\b140 bpm\b)")) << r.out;
        // (256 + 0.5) * 60 / 140 = 109.928... seconds
        EXPECT_TRUE(has(R"(\n +length +109\.93 s\n)")) << r.out;
    }
}

// Damaged inputs: a clean refusal (status 1, one line on stderr) or a description, never a
// signal and never a hang.
TEST_F(DemotoolTest, InfoOnDamagedPackagesFailsCleanly) {
    const Bytes package = read_file_bytes(pack_sample_raw());
    const Bytes player = read_file_bytes(pack_sample_player());
    ASSERT_GT(package.size(), 100u);

    struct Case {
        std::string label;
        Bytes bytes;
        bool must_fail;
    };
    std::vector<Case> cases;
    // Cuts of the bare package, spread over its whole length.
    for (size_t i = 0; i < 30; ++i) {
        const size_t cut = i == 29 ? package.size() - 1 : i * package.size() / 29;
        cases.push_back({"cut at " + std::to_string(cut),
                         Bytes(package.begin(), package.begin() + static_cast<ptrdiff_t>(cut)),
                         true});
    }
    // Flipped bytes, seeded.
    std::mt19937 rng(7031);
    for (int i = 0; i < 24; ++i) {
        Bytes bytes = package;
        std::string label = "flips";
        for (int f = 0, n = 1 + static_cast<int>(rng() % 3); f < n; ++f) {
            const size_t at = i < 8 ? rng() % 120 : rng() % bytes.size();  // headers, anywhere
            bytes[at] ^= static_cast<uint8_t>(1 + rng() % 255);
            label += " " + std::to_string(at);
        }
        cases.push_back({label, bytes, false});
    }
    // Damaged trailers of the packed player.
    const size_t size_at = player.size() - 8;
    auto with_size = [&](uint32_t size) {
        Bytes bytes = player;
        const Bytes le = u32_le(size);
        std::copy(le.begin(), le.end(), bytes.begin() + static_cast<ptrdiff_t>(size_at));
        return bytes;
    };
    cases.push_back({"trailer size + 1", with_size(package.size() + 1), false});
    cases.push_back({"trailer size - 1", with_size(package.size() - 1), false});
    cases.push_back({"trailer size 0", with_size(0), true});
    cases.push_back({"trailer size max", with_size(0xFFFFFFFF), false});
    Bytes bad_magic = player;
    bad_magic.back() = 'P';
    cases.push_back({"trailer magic", bad_magic, false});
    cases.push_back({"trailer cut", Bytes(player.begin(), player.end() - 1), false});
    ASSERT_EQ(cases.size(), 60u);

    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].label);
        const std::string name = "damaged" + std::to_string(i);
        write_file_bytes(root_ / name, cases[i].bytes);
        const RunResult r = run({"info", name});
        ASSERT_TRUE(r.exited) << r;
        if (cases[i].must_fail || r.status != 0) {
            expect_one_error_line(r, "info");
        } else {
            EXPECT_EQ(r.err, "") << r;
        }
    }
}

// Timing values and arguments from which no frame or sample position can follow are refused
// with one line and status 1 before anything is written, never converted out of range.
TEST_F(DemotoolTest, RenderRefusesTimingsNoFrameCanComeFrom) {
    struct Case {
        const char* label;
        float bpm, offset;
        std::vector<std::string> args;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<std::string> one_frame = {"--beat", "4"};
    const std::vector<std::string> sequence = {"--from", "0", "--to", "1", "--fps"};
    for (const Case& c :
         {Case{"tempo 1e-40", 1e-40f, 0.5f, one_frame}, Case{"offset NaN", 130.0f, nan, one_frame},
          Case{"offset 1e30", 130.0f, 1e30f, one_frame}, Case{"fps 1e10", 130.0f, 0.5f, sequence},
          Case{"fps 0.5", 130.0f, 0.5f, sequence}}) {
        SCOPED_TRACE(c.label);
        write_file_bytes(root_ / "t.pkg", package_of_datas(0, 0, {}, {}, 16.0f, c.bpm, c.offset));
        std::vector<std::string> args = {"render", "t.pkg", "-o", "out", "--wav", "out.wav"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (c.args == sequence)
            args.push_back(c.label + 4);
        expect_one_error_line(run(args), "render");
        EXPECT_FALSE(fs::exists(root_ / "out.wav"));
    }
}

// ---------------------------------------------------------------------------------------------
// Help and terminal output
// ---------------------------------------------------------------------------------------------

TEST_F(DemotoolTest, EveryCommandAnswersHelp) {
    std::vector<std::vector<std::string>> commands = {{"--help"}, {"-h"}};
    for (const char* command : {"pack", "unpack", "info", "check", "render", "play"}) {
        commands.push_back({command, "--help"});
        commands.push_back({command, "-h"});
    }
    for (const auto& args : commands) {
        SCOPED_TRACE(args.size() == 1 ? args[0] : args[0] + " " + args[1]);
        const RunResult r = run(args);
        EXPECT_TRUE(r.exited && r.status == 0) << r;
        EXPECT_EQ(r.out.rfind("usage: demotool", 0), 0u) << r;
        if (args.size() == 2) {
            EXPECT_EQ(r.out.rfind("usage: demotool " + args[0], 0), 0u) << r;
        }
        EXPECT_EQ(r.err, "") << r;
    }
}

TEST_F(DemotoolTest, NoProgressBarWhenStderrIsNotATerminal) {
    write_sample_project();
    const RunResult packed = run({"pack", "proj/project.json", "--raw", "-o", "s.pkg"});
    ASSERT_TRUE(packed.exited && packed.status == 0) << packed;
    EXPECT_EQ(packed.err, "");
    EXPECT_EQ(packed.out, "");
    const RunResult unpacked = run({"unpack", "s.pkg", "-o", "out"});
    ASSERT_TRUE(unpacked.exited && unpacked.status == 0) << unpacked;
    EXPECT_EQ(unpacked.err, "");
    EXPECT_EQ(unpacked.out, "");
    const RunResult info = run({"info", "s.pkg"});
    ASSERT_TRUE(info.exited && info.status == 0) << info;
    EXPECT_EQ(info.err, "");
    EXPECT_EQ(info.out.find('\r'), std::string::npos);
    EXPECT_EQ(info.out.find("Reading"), std::string::npos);
}

// The counterpart: on a terminal the same run shows the bar, so the check above means something.
TEST_F(DemotoolTest, ProgressBarOnATerminal) {
    pack_sample_raw();
    const RunResult r = run_on_terminal({"info", "sample.pkg"}, root_);
    ASSERT_TRUE(r.exited && r.status == 0) << r;
    EXPECT_NE(r.out.find("Reading package ["), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("100%"), std::string::npos) << r.out;
}

// ---------------------------------------------------------------------------------------------
// render into a video
// ---------------------------------------------------------------------------------------------

// A video file decoded again with FFmpeg: its codecs, length, frame count, one chosen frame
// and the first channel of its sound, which starts `sound_start` seconds after the first
// frame shows (containers shift one or the other for the encoders' start-up delay).
struct Decoded {
    std::string video_codec;
    std::string audio_codec;
    int sample_rate = 0;
    double seconds = 0.0;
    int frames = 0;
    AvPtr<AVFrame> kept;
    std::vector<float> left;
    double sound_start = 0.0;
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

struct Rgb {
    double r, g, b;
};

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

// Amplitude of `hz` in `seconds` of `sound` from `at` seconds on (Goertzel).
double tone(const std::vector<float>& sound, int rate, double at, double seconds, double hz) {
    const double c = 2.0 * std::cos(2.0 * M_PI * hz / rate);
    const size_t first = static_cast<size_t>(at * rate);
    const size_t count = static_cast<size_t>(seconds * rate);
    double s1 = 0.0, s2 = 0.0;
    for (size_t i = first; i < first + count; ++i) {
        const double s = (i < sound.size() ? sound[i] : 0.0) + c * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    return 2.0 * std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - c * s1 * s2)) / count;
}

struct VideoCase {
    std::string extension, video_codec, audio_codec;
    int sample_rate;
};

void PrintTo(const VideoCase& c, std::ostream* os) {
    *os << c.extension;
}

class RenderVideoTest : public DemotoolTest, public testing::WithParamInterface<VideoCase> {
protected:
    // A bare package at 120 bpm whose picture is (2 beat - 7.5, x, y), red changing by 34
    // levels from one frame to the next at 30 fps, and whose sound is a 220 Hz music with a
    // 1000 Hz sample at beat 4.
    void pack_tone_demo() {
        const fs::path dir = root_ / "tone";
        fs::create_directories(dir / "resources");
        for (const std::string synth :
             {"music.mp3 synth 10 sine 220 vol 0.3", "sample.wav synth 0.5 sine 1000 vol 0.5"}) {
            const std::string command = "sox -q -n -r 44100 -c 2 -b 16 -t wav " +
                                        (dir / "resources").string() + "/" + synth;
            ASSERT_EQ(std::system(command.c_str()), 0) << command;
        }
        write_text(dir / "v.vert",
                   "#version 150\nin vec3 vp;\nvoid main() { gl_Position = vec4(vp, 1.0); }\n");
        write_text(dir / "c.frag",
                   "#version 150\nout vec4 c;\nuniform vec2 resolution;\n"
                   "uniform float beat;\nvoid main() {\n"
                   "  c = vec4(beat * 2.0 - 7.5, gl_FragCoord.xy / resolution, 1.0);\n}\n");
        write_text(dir / "project.json", R"({
  "shaders": [{"vertex_shader_filename": "v.vert", "fragment_shader_filename": "c.frag",
               "uniform_defs": []}],
  "effects": [{"name": "c", "program": "c.frag", "textures": [], "effects": [],
               "font_textures": [], "feedback": false}],
  "audio_samples": [{"name": "resources/sample.wav"}],
  "events": [
    {"type": 1, "name": "bg", "effect": "c", "start_beat": 0.0, "end_beat": 100.0,
     "visible": "true"},
    {"type": 2, "name": "t", "audio_sample": "resources/sample.wav", "beat": 4.0,
     "visible": "true"}],
  "end_beat": 100.0, "bpm": 120.0, "beat_offset": 0.0
})");
        const RunResult r = run({"pack", "tone/project.json", "--raw", "-o", "tone.pkg"});
        ASSERT_TRUE(r.exited && r.status == 0) << r;
    }
};

// Beats 2 to 6 at 120 bpm are 2 s: 60 frames at 30 fps, frame 30 at beat 4 with the sample.
TEST_P(RenderVideoTest, EncodesEveryFrameAtItsBeatWithTheMix) {
    pack_tone_demo();
    const std::string video = "tone." + GetParam().extension;
    const RunResult r = run_on_terminal({"render", "tone.pkg", "-o", video, "--from", "2", "--to",
                                         "6", "--fps", "30", "--size", "320x180"},
                                        root_);
    ASSERT_TRUE(r.exited && r.status == 0) << r;
    EXPECT_NE(r.out.find("60/60 frames"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("frames/s"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("left"), std::string::npos) << r.out;
    const RunResult png =
        run({"render", "tone.pkg", "-o", "f30.png", "--beat", "4", "--size", "320x180"});
    ASSERT_TRUE(png.exited && png.status == 0) << png;

    const Decoded d = decode(root_ / video, 30);
    EXPECT_EQ(d.video_codec, GetParam().video_codec);
    EXPECT_EQ(d.audio_codec, GetParam().audio_codec);
    EXPECT_EQ(d.sample_rate, GetParam().sample_rate);
    EXPECT_EQ(d.frames, 60);
    EXPECT_NEAR(d.seconds, 2.0, 1.0 / 30);
    ASSERT_TRUE(d.kept);
    EXPECT_EQ(d.kept->colorspace, AVCOL_SPC_BT709);
    const Decoded drawn = decode(root_ / "f30.png", 0);
    ASSERT_TRUE(drawn.kept);
    for (const auto& [x, y] : {std::pair{5, 5}, {160, 90}, {300, 20}, {40, 170}}) {
        const Rgb want{127.5, 255.0 * (x + 0.5) / 320, 255.0 * (179.5 - y) / 180};
        const Rgb got = rgb_at(d.kept.get(), x, y);
        const Rgb still = rgb_at(drawn.kept.get(), x, y);
        for (const auto& [a, b, c] : {std::tuple{got.r, still.r, want.r},
                                      {got.g, still.g, want.g},
                                      {got.b, still.b, want.b}}) {
            EXPECT_NEAR(a, b, 6.0) << "pixel " << x << "," << y;
            EXPECT_NEAR(b, c, 1.0) << "pixel " << x << "," << y;
        }
    }
    // The sample sounds from 1 s into the video (within half a frame), over the music.
    const int rate = d.sample_rate;
    EXPECT_GT(tone(d.left, rate, 0.5 - d.sound_start, 0.4, 220), 0.2);
    double onset = 0.0;
    for (double t = 0.5; t < 1.5 && onset == 0.0; t += 0.005) {
        if (tone(d.left, rate, t - d.sound_start, 0.01, 1000) > 0.2)
            onset = t;
    }
    EXPECT_NEAR(onset, 1.0, 0.015);
}

INSTANTIATE_TEST_SUITE_P(Containers, RenderVideoTest,
                         testing::Values(VideoCase{"mp4", "h264", "aac", 44100},
                                         VideoCase{"mkv", "h264", "aac", 44100},
                                         VideoCase{"webm", "vp9", "opus", 48000}),
                         [](const auto& info) { return info.param.extension; });

TEST_F(DemotoolTest, RenderRefusesWhatCannotBeAVideoAndLeavesNoFile) {
    pack_sample_raw();
    const std::set<std::string> before = entries_of(root_);
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--from", "0", "--to", "1", "-o", "odd.mp4", "--size", "321x180"},
         "even width and height"},
        {{"--from", "0", "--to", "1", "-o", "missing/out.mkv"}, "No such file or directory"},
        {{"--from", "0", "--to", "1", "-o", "clip.avi"}, ".mp4, .mkv, .webm"},
        {{"--beat", "1", "-o", "still.mp4"}, "--beat writes one PNG"},
    };
    for (const auto& c : cases) {
        // The first --size counts, so a case's own comes before the common one.
        std::vector<std::string> args = {"render", "sample.pkg"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        args.insert(args.end(), {"--size", "320x180"});
        const RunResult r = run(args);
        EXPECT_TRUE(r.exited && r.status != 0) << r;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r;
        EXPECT_EQ(entries_of(root_), before) << r;
    }
}

// Stopped during an export (SIGTERM here: a background test run may ignore Ctrl-C), render
// ends at the next frame and removes the temporary file.
TEST_F(DemotoolTest, AnInterruptedVideoLeavesNoFile) {
    pack_sample_raw();
    const std::set<std::string> before = entries_of(root_);
    const pid_t pid = start({"render", "sample.pkg", "-o", "long.mp4", "--from", "0", "--to",
                             "10000", "--size", "64x36"},
                            root_);
    for (int i = 0; i < 1200 && entries_of(root_) == before; ++i)
        usleep(25000);
    kill(pid, SIGTERM);
    const RunResult r = wait_for(pid, "", "");
    EXPECT_TRUE(r.exited && r.status == 1) << r;
    EXPECT_EQ(entries_of(root_), before);
}

}  // namespace
}  // namespace demo
