// Helpers for the end-to-end tests of the player executable: a scratch folder per test, the
// package bytes written out by hand, packing them onto a copy of the player, and running a
// command under its own virtual X server with a time limit.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace demo::e2e {

namespace fs = std::filesystem;

// A fresh folder under the system temp directory, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "player_e2e_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline std::vector<uint8_t> read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::string read_text(const fs::path& path) {
    const std::vector<uint8_t> bytes = read_file(path);
    return {bytes.begin(), bytes.end()};
}

inline void write_file(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path.string());
    }
}

inline void write_text(const fs::path& path, const std::string& text) {
    write_file(path, std::vector<uint8_t>(text.begin(), text.end()));
}

// ---------------------------------------------------------------------------------------------
// Package bytes
// ---------------------------------------------------------------------------------------------

// Little-endian byte sequence built field by field, independent of the player's own writer.
class Bytes {
public:
    Bytes& u32(uint32_t value) { return little_endian(value, 4); }
    Bytes& u64(uint64_t value) { return little_endian(value, 8); }
    Bytes& f32(float value) { return u32(std::bit_cast<uint32_t>(value)); }
    Bytes& text(const std::string& value) {
        data_.insert(data_.end(), value.begin(), value.end());
        return *this;
    }
    const std::vector<uint8_t>& data() const { return data_; }

private:
    Bytes& little_endian(uint64_t value, int size) {
        for (int i = 0; i < size; ++i)
            data_.push_back(static_cast<uint8_t>(value >> (8 * i)));
        return *this;
    }
    std::vector<uint8_t> data_;
};

// The fields of a package with no objects: the eleven collection counts are all that stands
// between the object total and the music, as long as every count is 0.
struct EmptyPackage {
    uint64_t total_objects = 0;
    std::array<uint64_t, 11> counts{};
    uint64_t music_size = 0;  // no music bytes follow, whatever the size says
    float end_beat = 4.0f;
    float bpm = 120.0f;
    float beat_offset = 0.0f;

    std::vector<uint8_t> bytes() const {
        Bytes out;
        out.u64(total_objects);
        for (uint64_t count : counts)
            out.u64(count);
        out.u64(music_size).f32(end_beat).f32(bpm).f32(beat_offset);
        return out.data();
    }
};

// Offsets inside the bytes of an EmptyPackage.
inline constexpr size_t kFirstCountOffset = 8;
inline constexpr size_t kFloatsOffset = 8 + 11 * 8 + 8;
inline constexpr size_t kEmptyPackageSize = kFloatsOffset + 3 * 4;

// The eight bytes that close a packed player: package size, then the four-byte magic.
inline std::vector<uint8_t> trailer(uint32_t package_size, const std::string& magic = "DEMO") {
    return Bytes().u32(package_size).text(magic).data();
}

// Path of the player built alongside these tests.
inline fs::path player_binary() {
    return DEMOPLAYER_PATH;
}

// Writes an executable copy of the player followed by `appended` (package and trailer).
inline fs::path pack_player(const fs::path& folder, const std::vector<uint8_t>& appended,
                            const std::string& name = "player") {
    std::vector<uint8_t> bytes = read_file(player_binary());
    if (bytes.empty()) {
        throw std::runtime_error("cannot read " + player_binary().string());
    }
    bytes.insert(bytes.end(), appended.begin(), appended.end());
    const fs::path path = folder / name;
    write_file(path, bytes);
    fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    return path;
}

inline std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// ---------------------------------------------------------------------------------------------
// Running under a virtual X server
// ---------------------------------------------------------------------------------------------

struct RunResult {
    bool timed_out = false;
    // Exit status of xvfb-run, which is the command's; a command killed by signal N shows as
    // 128 + N. -1 when xvfb-run itself was killed by a signal.
    int exit_code = -1;
    double seconds = 0.0;
    std::string output;  // standard output and error of xvfb-run and the command

    std::string describe() const {
        return "exit code " + std::to_string(exit_code) + (timed_out ? " (timed out)" : "") +
               " after " + std::to_string(seconds) + " s; output:\n" + output;
    }
};

namespace detail {

using Clock = std::chrono::steady_clock;

inline bool group_alive(pid_t group) {
    return kill(-group, 0) == 0;
}

// Stops whatever is left of the process group `group` (the X server, a player left running):
// asks politely, waits up to five seconds so the X server can remove its lock file, then
// kills. `reaped` says whether the group leader has been waited for; it is reaped here
// otherwise, with its status stored in `status`.
inline void stop_group(pid_t group, bool reaped, int& status) {
    kill(-group, SIGTERM);
    const Clock::time_point start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(5)) {
        if (!reaped && waitpid(group, &status, WNOHANG) == group) {
            reaped = true;
        }
        if (reaped && !group_alive(group)) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    kill(-group, SIGKILL);
    if (!reaped) {
        waitpid(group, &status, 0);
    }
}

// One attempt: runs `args` in its own process group inside `folder`, with stdout and stderr
// captured in `log`, and stops the whole group once `timeout` has passed.
inline RunResult run_once(const fs::path& folder, const std::vector<std::string>& args,
                          const fs::path& log, std::chrono::seconds timeout) {
    // xvfb-run keeps its authority file in a folder of its own under TMPDIR; keeping that
    // inside the test's folder leaves nothing behind and shares nothing with other runs.
    const fs::path tmp = folder / "tmp";
    fs::create_directories(tmp);
    const std::string audio_file = (folder / "audio.raw").string();

    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        setpgid(0, 0);
        if (chdir(folder.c_str()) != 0) {
            _exit(126);
        }
        const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            _exit(126);
        }
        dup2(fd, STDOUT_FILENO);
        dup2(fd, STDERR_FILENO);
        close(fd);
        const int null_fd = open("/dev/null", O_RDONLY);
        if (null_fd >= 0) {
            dup2(null_fd, STDIN_FILENO);
        }
        setenv("TMPDIR", tmp.c_str(), 1);
        // Headless: software OpenGL on the virtual X server, and audio written to a file.
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", audio_file.c_str(), 1);
        setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    setpgid(pid, pid);  // also done by the child; whichever runs first wins the race

    RunResult result;
    int status = 0;
    while (true) {
        if (waitpid(pid, &status, WNOHANG) == pid) {
            // Normally nothing is left; an X server or player that outlived xvfb-run is not
            // allowed to linger into the next test.
            if (group_alive(pid)) {
                stop_group(pid, true, status);
            }
            break;
        }
        if (Clock::now() - start > timeout) {
            result.timed_out = true;
            stop_group(pid, false, status);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
    }
    result.output = read_text(log);
    return result;
}

}  // namespace detail

// Runs `command` (relative paths resolve in `folder`, which is also the working directory)
// under `xvfb-run -a` with a screen of `width` x `height`. When xvfb-run itself fails (it
// could not start the X server, which parallel runs can provoke by racing for a display, or
// could not clean up after it) the command's own status is lost, so the run is repeated.
inline RunResult run_under_xvfb(const fs::path& folder, int width, int height,
                                const std::vector<std::string>& command,
                                std::chrono::seconds timeout = std::chrono::seconds(120)) {
    std::vector<std::string> args = {
        "xvfb-run", "-a", "-s",
        "-screen 0 " + std::to_string(width) + "x" + std::to_string(height) + "x24"};
    args.insert(args.end(), command.begin(), command.end());
    RunResult result;
    for (int attempt = 0; attempt < 3; ++attempt) {
        result = detail::run_once(folder, args, folder / "xvfb-run.log", timeout);
        if (result.output.find("xvfb-run: error:") == std::string::npos) {
            break;
        }
    }
    return result;
}

}  // namespace demo::e2e
