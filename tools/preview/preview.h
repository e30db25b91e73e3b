// demotool play: the demo of a project (read in place) or a package, live in a window, on the
// player's own loading, frame walk and sound. Playback pauses, seeks and loops; a shader file
// saved is rebuilt alone (the last good build stays when it fails); any other file saved
// reloads the whole demo at the beat it was at.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "demo/demo.h"
#include "file_watcher.h"
#include "playback_control.h"
#include "player/media_window.h"

namespace demo {

struct PreviewOptions {
    std::string input;
    std::optional<float> from;                    // where playback starts and Home goes
    std::optional<std::pair<float, float>> loop;  // looping from the start when given
    int32_t width = 1280;
    int32_t height = 720;
    bool watch = true;
};

class Preview {
public:
    // Opens the window and the sound, loads the input and plays from `from` (or the music's
    // start) at `now`. Throws std::runtime_error when either cannot be done.
    Preview(const PreviewOptions& options, uint32_t now);
    ~Preview();
    Preview(const Preview&) = delete;
    Preview& operator=(const Preview&) = delete;

    // Frames until Escape or the window is closed.
    void run();

    // One iteration at `now` (SDL ticks): SDL events, files saved, the clock, then the frame
    // drawn into the back buffer. False once the preview should end.
    bool frame(uint32_t now);
    void present();

    // Reads the whole demo again and goes on at the beat of `now`; a demo that does not load
    // leaves the current one playing.
    void reload(uint32_t now);

    PlaybackControl& playback() { return playback_; }
    Demo& demo() { return *demo_; }
    // The window's title: beat, bar, frame rate, state, active events and the latest problem.
    const std::string& title() const { return title_; }
    // The back buffer as RGBA rows, top row first, at the render size.
    std::vector<uint8_t> read_pixels() const;

private:
    std::unique_ptr<Demo> load();
    void adopt(uint32_t now, std::unique_ptr<Demo> fresh, std::optional<float> beat);
    void report_builds(Demo& fresh, Demo* previous);
    void report_build(const ShaderProgram& program, const std::vector<std::string>& problems,
                      bool kept_previous);
    void rebuild_shaders(const std::set<std::string>& files);
    void apply_file_changes(uint32_t now);
    void watch_files();
    void handle_event(const SDL_Event& event, uint32_t now);
    void resize();
    void update_title(uint32_t now, float beat);

    PreviewOptions options_;
    std::filesystem::path input_path_;  // absolute
    std::filesystem::path folder_;      // where side files are named from
    MediaWindow session_;               // closed when the preview ends or fails to start
    std::unique_ptr<Demo> demo_;
    PlaybackControl playback_;
    std::unique_ptr<FileWatcher> watcher_;
    std::map<std::string, std::string> watched_names_;  // absolute path -> name in the project
    std::set<std::string> shader_files_;                // read from files by the project
    std::map<std::string, std::string> broken_;         // program -> its first compile message
    std::map<const ShaderProgram*, std::string> failed_texts_;  // expanded texts that failed
    std::string status_;                                        // the latest reload problem
    bool without_music_ = false;  // the project's music file is not there
    bool quit_ = false;
    std::string title_;
    uint32_t title_ticks_ = 0;
    int32_t frames_ = 0;
    double fps_ = 0.0;
};

}  // namespace demo
