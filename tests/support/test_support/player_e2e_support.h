// The player-run harness: scratch folders, packed players, and commands run in a process group
// of their own with their output captured, under a virtual X server when they need a screen.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "test_support/package_bytes.h"

namespace demo::e2e {

namespace fs = std::filesystem;
using package_bytes::Bytes;
using Clock = std::chrono::steady_clock;

// A fresh folder under the system temp directory, removed with everything in it at the end.
struct TempDir : package_bytes::ScopedWorkDir {
    TempDir() : ScopedWorkDir(false) {}
};

constexpr auto& read_bytes = package_bytes::read_file_bytes;

inline std::string read_text(const fs::path& path) {
    const Bytes bytes = read_bytes(path);
    return {bytes.begin(), bytes.end()};
}

inline void write_text(const fs::path& path, const std::string& text) {
    package_bytes::write_file_bytes(path, package_bytes::bytes_of(text));
}

// The eight bytes that close a packed player: package size, then the four-byte magic.
inline Bytes trailer(uint32_t package_size) {
    Bytes out = package_bytes::u64(package_size, 4);
    package_bytes::append(out, package_bytes::bytes_of("DEMO"));
    return out;
}

// Writes folder/player: a copy of the player followed by `appended` (package and trailer).
inline void pack_player(const fs::path& folder, const Bytes& appended) {
    fs::copy_file(DEMOPLAYER_PATH, folder / "player");
    std::ofstream(folder / "player", std::ios::binary | std::ios::app)
        .write(reinterpret_cast<const char*>(appended.data()),
               static_cast<std::streamsize>(appended.size()));
}

struct RunResult {
    int exit_code = -1;  // the exit status, or 128 + N for a process ended by signal N
    double seconds = 0.0;
    std::string out, err;

    bool ok() const { return exit_code == 0; }
};

inline std::ostream& operator<<(std::ostream& os, const RunResult& r) {
    return os << "exit code " << r.exit_code << " after " << r.seconds << " s\n--- stdout:\n"
              << r.out << "--- stderr:\n"
              << r.err;
}

// Where output is captured: one folder per test process, outside the folders tests look into.
inline const fs::path& capture_dir() {
    static const TempDir dir;
    return dir.path;
}

// Starts `args` in `folder` in a process group of its own, stdin empty, output captured.
inline pid_t start_in(const fs::path& folder, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const std::string out = capture_dir() / "stdout";
    const std::string err = capture_dir() / "stderr";
    const pid_t pid = fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        setpgid(0, 0);
        const int in_fd = open("/dev/null", O_RDONLY);
        const int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err_fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (chdir(folder.c_str()) != 0 || in_fd < 0 || out_fd < 0 || err_fd < 0)
            _exit(126);
        dup2(in_fd, STDIN_FILENO);
        dup2(out_fd, STDOUT_FILENO);
        dup2(err_fd, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    setpgid(pid, pid);  // as the child does: whichever runs first wins
    return pid;
}

// Waits for the group `pid` up to `timeout`, then stops whatever is left of it (an X server, a
// player): SIGTERM first, so an X server can remove its lock file, SIGKILL five seconds later.
inline RunResult finish(pid_t pid, std::chrono::seconds timeout = std::chrono::seconds(60)) {
    const Clock::time_point start = Clock::now();
    int status = 0;
    bool reaped = false;
    while (!(reaped = waitpid(pid, &status, WNOHANG) == pid) && Clock::now() - start < timeout)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    if (kill(-pid, SIGTERM) == 0) {
        for (const auto stop = Clock::now(); Clock::now() - stop < std::chrono::seconds(5);) {
            reaped = reaped || waitpid(pid, &status, WNOHANG) == pid;
            if (reaped && kill(-pid, 0) != 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(-pid, SIGKILL);
        if (!reaped)
            waitpid(pid, &status, 0);
    }
    const int code = WIFEXITED(status)     ? WEXITSTATUS(status)
                     : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                                           : -1;
    return {code, std::chrono::duration<double>(Clock::now() - start).count(),
            read_text(capture_dir() / "stdout"), read_text(capture_dir() / "stderr")};
}

// Runs `command` in `folder` under `xvfb-run -a` with a `width` x `height` screen, disk audio to
// folder/audio.raw and software OpenGL; repeated when xvfb-run itself fails (a display race).
inline RunResult run_under_xvfb(const fs::path& folder, int width, int height,
                                const std::vector<std::string>& command,
                                std::chrono::seconds timeout = std::chrono::seconds(120)) {
    fs::create_directories(folder / "tmp");  // for xvfb-run's authority file, shared with none
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    std::vector<std::string> args = {"env", "TMPDIR=" + (folder / "tmp").string(),
                                     "SDL_DISKAUDIOFILE=" + (folder / "audio.raw").string()};
    args.insert(args.end(), {"SDL_AUDIODRIVER=disk", "LIBGL_ALWAYS_SOFTWARE=1", "xvfb-run", "-a",
                             "-s", "-screen 0 " + screen});
    args.insert(args.end(), command.begin(), command.end());
    RunResult result;
    for (int attempt = 0; attempt < 3; ++attempt) {
        result = finish(start_in(folder, args), timeout);
        if (result.err.find("xvfb-run: error:") == std::string::npos)
            break;
    }
    return result;
}

// After a failed playback, keeps what the run left (crash.txt, error.log and its output) in
// TEST_FAILURES_DIR/<suite>.<test>/, where a crash in CI can still be read when the scratch
// folder is gone.
inline void keep_if_failed(const fs::path& folder, const RunResult& run) {
    if (!testing::Test::HasFailure())
        return;
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const fs::path kept =
        fs::path(TEST_FAILURES_DIR) / (std::string(test->test_suite_name()) + "." + test->name());
    fs::create_directories(kept);
    for (const char* name : {"crash.txt", "error.log"}) {
        if (fs::exists(folder / name))
            fs::copy_file(folder / name, kept / name, fs::copy_options::overwrite_existing);
    }
    std::ostringstream output;
    output << run;
    write_text(kept / "output.txt", output.str());
    ADD_FAILURE() << "kept in " << kept.string() << "; crash.txt: "
                  << (fs::exists(folder / "crash.txt") ? read_text(folder / "crash.txt") : "none");
}

}  // namespace demo::e2e
