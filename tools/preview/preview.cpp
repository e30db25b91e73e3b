#include "preview.h"

#include <GL/glew.h>

#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "audio/music.h"
#include "audio/sound_analysis.h"
#include "base/fatal_error.h"
#include "base/player_state.h"
#include "common/package_file.h"
#include "offscreen/offscreen_player.h"
#include "player/frame_drawing.h"
#include "render/effect_renderer.h"
#include "render/shader_compiler.h"
#include "serialization/file_io.h"

namespace demo {

namespace {

constexpr uint32_t kTitleEveryMs = 250;
constexpr float kSeekBeats = 4.0f;
constexpr float kLongSeekBeats = 16.0f;
constexpr size_t kTitleEvents = 4;
constexpr size_t kTitleMessage = 90;

constexpr const char* kKeys =
    "Space pause | Left/Right 4 beats (Shift: 16) | Home start | L loop | R reload | Esc quit\n";

double milliseconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The shader files a project document has its programs read (not embedded sources).
std::set<std::string> shader_files_of(const std::vector<uint8_t>& document) {
    std::set<std::string> files;
    const Json doc = Json::parse(document.begin(), document.end(), nullptr, false);
    if (!doc.is_object() || !doc.contains("shaders") || !doc["shaders"].is_array())
        return files;
    for (const Json& program : doc["shaders"]) {
        if (!program.is_object() || program.contains("fragment_shader_source"))
            continue;
        for (const char* key : {"vertex_shader_filename", "fragment_shader_filename"}) {
            if (program.contains(key) && program[key].is_string())
                files.insert(program[key].get<std::string>());
        }
    }
    return files;
}

// A project that reads its music from the side file, which is not there.
bool music_missing(const PackageBytes& project) {
    const Json doc = Json::parse(project.file.begin(), project.file.end(), nullptr, false);
    std::error_code ignored;
    return doc.is_object() && !doc.contains("music") &&
           !std::filesystem::is_regular_file(
               std::filesystem::path(project.path).parent_path() / kMusicSideFile, ignored);
}

std::string first_line(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

std::string shortened(const std::string& text, size_t length) {
    return text.size() <= length ? text : text.substr(0, length - 3) + "...";
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Start and end
// ---------------------------------------------------------------------------------------------

Preview::Preview(const PreviewOptions& options, uint32_t now)
    : options_(options),
      input_path_(std::filesystem::absolute(options.input).lexically_normal()),
      folder_(input_path_.parent_path()) {
    session_.open("demotool play", options.width, options.height, SDL_WINDOW_RESIZABLE);
    SDL_GL_SetSwapInterval(1);
    resize();
    // Messages are reported here, with file and line, once the demo is loaded.
    set_compile_messages_printed(false);
    create_fft_configuration();
    register_output_analysis();
    playback_.set_home(options.from);
    if (options.loop) {
        playback_.set_loop(options.loop->first, options.loop->second);
        playback_.toggle_loop(now);
    }
    if (options.watch)
        watcher_ = std::make_unique<FileWatcher>();
    std::unique_ptr<Demo> demo;
    try {
        demo = load();
    } catch (const FatalError& e) {
        // A missing side file is said as play's other errors are, not as a crash report.
        set_compile_messages_printed(true);
        throw std::runtime_error(e.what());
    } catch (...) {
        set_compile_messages_printed(true);
        throw;
    }
    // A loop plays from its start unless told otherwise.
    const float start = options.from   ? *options.from
                        : options.loop ? options.loop->first
                                       : -demo->beat_offset;
    adopt(now, std::move(demo), start);
    std::printf("%s", kKeys);
}

Preview::~Preview() {
    playback_.detach();
    demo_->release_media();
    current_demo = nullptr;
    set_compile_messages_printed(true);
}

void Preview::run() {
    while (frame(SDL_GetTicks())) {
        present();
        SDL_Delay(2);
    }
}

void Preview::present() {
    session_.swap();
}

std::vector<uint8_t> Preview::read_pixels() const {
    return read_back_buffer(resolution[2], resolution[3]);
}

// ---------------------------------------------------------------------------------------------
// Frames
// ---------------------------------------------------------------------------------------------

bool Preview::frame(uint32_t now) {
    SDL_Event event;
    while (SDL_PollEvent(&event))
        handle_event(event, now);
    apply_file_changes(now);
    const float beat = playback_.advance(now);
    draw_demo_frame(*demo_, beat);
    ++frames_;
    update_title(now, beat);
    return !quit_;
}

void Preview::handle_event(const SDL_Event& event, uint32_t now) {
    if (event.type == SDL_QUIT) {
        quit_ = true;
        return;
    }
    if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
        resize();
        return;
    }
    if (event.type != SDL_KEYDOWN)
        return;
    const bool repeat = event.key.repeat != 0;
    const float step = (event.key.keysym.mod & KMOD_SHIFT) != 0 ? kLongSeekBeats : kSeekBeats;
    switch (event.key.keysym.sym) {
        case SDLK_ESCAPE:
            quit_ = true;
            break;
        case SDLK_SPACE:
            if (!repeat)
                playback_.toggle_pause(now);
            break;
        case SDLK_LEFT:
            playback_.seek(now, playback_.beat(now) - step);
            break;
        case SDLK_RIGHT:
            playback_.seek(now, playback_.beat(now) + step);
            break;
        case SDLK_HOME:
            playback_.seek(now, playback_.home());
            break;
        case SDLK_l:
            if (!repeat)
                playback_.toggle_loop(now);
            break;
        case SDLK_r:
            if (!repeat)
                reload(now);
            break;
        default:
            break;
    }
}

// The render size follows the window; render targets are made again at the new size.
void Preview::resize() {
    int width = 0;
    int height = 0;
    SDL_GL_GetDrawableSize(session_.window(), &width, &height);
    if (width <= 0 || height <= 0 || (width == resolution[2] && height == resolution[3]))
        return;
    resolution[0] = resolution[2] = width;
    resolution[1] = resolution[3] = height;
    if (demo_) {
        for (auto& effect : demo_->effects)
            prepare(*effect);
    }
}

void Preview::update_title(uint32_t now, float beat) {
    const uint32_t elapsed = now - title_ticks_;
    if (elapsed < kTitleEveryMs && !title_.empty())
        return;
    if (elapsed > 0)
        fps_ = frames_ * 1000.0 / elapsed;
    frames_ = 0;
    title_ticks_ = now;

    char head[96];
    std::snprintf(head, sizeof head, "beat %.2f | bar %d | %.0f fps", beat,
                  static_cast<int>(std::floor(beat / 4.0f)) + 1, fps_);
    title_ = head;
    if (playback_.at_end()) {
        title_ += " | end";
    } else if (playback_.paused()) {
        title_ += " | paused";
    }
    if (playback_.looping()) {
        char loop[64];
        std::snprintf(loop, sizeof loop, " | loop %g-%g", playback_.loop_start(),
                      playback_.loop_end());
        title_ += loop;
    }
    std::string active;
    size_t count = 0;
    for (const auto& event : demo_->events) {
        if (event->start_beat <= beat && beat < event->end_beat && !event->name.empty()) {
            if (count++ < kTitleEvents)
                active += (active.empty() ? "" : ", ") + event->name;
        }
    }
    if (count > kTitleEvents)
        active += " +" + std::to_string(count - kTitleEvents);
    if (!active.empty())
        title_ += " | " + active;
    if (without_music_)
        title_ += std::string(" | no music: ") + kMusicSideFile + " is not there";
    if (playback_.music_silenced())
        title_ += " | music silent until played from its start";
    if (!status_.empty()) {
        title_ += " | " + shortened(status_, kTitleMessage);
    } else if (!broken_.empty()) {
        title_ += " | ERROR " + shortened(broken_.begin()->second, kTitleMessage);
    }
    SDL_SetWindowTitle(session_.window(), title_.c_str());
}

// ---------------------------------------------------------------------------------------------
// Loading and reloading
// ---------------------------------------------------------------------------------------------

std::unique_ptr<Demo> Preview::load() {
    const PackageBytes input = load_package_file(input_path_.string());
    // The first load settles as the player's does; a reload is drawn at once, and warming up
    // every effect (a third of a second on a software renderer) would only delay it.
    std::unique_ptr<Demo> demo;
    const bool without_music = input.project && music_missing(input);
    if (without_music) {
        // The clock runs alone until the music file appears, which reloads the demo.
        Json document = parse_document(input.path, input.file);
        document["music"] = "";
        demo = finish_loading(read_document(input.path, document, offscreen_media()), !demo_);
    } else {
        demo = load_demo(input, !demo_);
    }
    if (without_music && !without_music_) {
        std::fprintf(stderr,
                     "demotool play: no music: %s is not there; playing on the clock alone until "
                     "it is (the music is always read from %s, whatever its format)\n",
                     (folder_ / kMusicSideFile).lexically_normal().c_str(), kMusicSideFile);
    }
    without_music_ = without_music;
    shader_files_ = input.project ? shader_files_of(input.file) : std::set<std::string>();
    watched_names_.clear();
    watched_names_[input_path_.string()] = "";
    if (input.project) {
        for (const std::string& name : demo->side_file_names())
            watched_names_[(folder_ / name).lexically_normal().string()] = name;
    }
    return demo;
}

void Preview::reload(uint32_t now) {
    const float beat = playback_.beat(now);
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<Demo> fresh;
    try {
        fresh = load();
    } catch (const std::exception& e) {
        current_demo = demo_.get();
        status_ = std::string("reload failed: ") + e.what();
        std::fprintf(stderr, "%s (the demo loaded before goes on)\n", status_.c_str());
        title_.clear();
        return;
    }
    status_.clear();
    adopt(now, std::move(fresh), beat);
    std::printf("Reloaded %s in %.0f ms\n", options_.input.c_str(), milliseconds_since(start));
    title_.clear();
}

void Preview::adopt(uint32_t now, std::unique_ptr<Demo> fresh, std::optional<float> beat) {
    report_builds(*fresh, demo_.get());
    if (demo_) {
        playback_.detach();
        demo_->release_media();
    }
    demo_ = std::move(fresh);
    current_demo = demo_.get();
    playback_.attach(now, *demo_, std::make_unique<MusicTrack>(demo_->music.get()), beat);
    watch_files();
}

// Tells what does not compile in a demo just loaded. Where the demo before had a good build
// of the same program, that build goes on in its place: when the new one failed, and when
// it was made from the very same text, since a build the driver has already used draws its
// first frame without compiling again (a software renderer takes a large part of a second).
void Preview::report_builds(Demo& fresh, Demo* previous) {
    broken_.clear();
    failed_texts_.clear();
    for (auto& program : fresh.shaders) {
        const std::vector<std::string> problems = located_diagnostics(*program);
        if (!problems.empty())
            failed_texts_[program.get()] = expand_includes(*program, fresh.shaders);
        ShaderProgram* good = nullptr;
        for (size_t i = 0; previous != nullptr && i < previous->shaders.size(); ++i) {
            ShaderProgram& old = *previous->shaders[i];
            if (old.fragment_shader_filename == program->fragment_shader_filename &&
                old.vertex_shader_filename == program->vertex_shader_filename &&
                shader_diagnostics(old).empty()) {
                good = &old;
            }
        }
        const bool same_text = good != nullptr && problems.empty() &&
                               good->vertex_shader_source == program->vertex_shader_source &&
                               good->expanded_fragment_source == program->expanded_fragment_source;
        if (good != nullptr && (!problems.empty() || same_text)) {
            swap_builds(*program, *good);
            lookup_locations(*program);
            for (auto& effect : fresh.effects) {
                if (effect->program.object == program.get())
                    attach_quad(*effect);
            }
        }
        report_build(*program, problems, good != nullptr);
    }
}

void Preview::report_build(const ShaderProgram& program, const std::vector<std::string>& problems,
                           bool kept_previous) {
    const std::string& name = program.fragment_shader_filename;
    if (problems.empty()) {
        if (broken_.erase(name) != 0)
            std::printf("%s: compiles again\n", name.c_str());
        return;
    }
    broken_[name] = first_line(problems.front().substr(problems.front().find(": ") + 2));
    std::fprintf(stderr, "%s: does not compile%s:\n", name.c_str(),
                 kept_previous ? "; the last good build stays in use" : "");
    for (const std::string& problem : problems) {
        // A link after a failed compile fails too, and says nothing new.
        if (problem.rfind("link: ", 0) == 0 && problems.size() > 1)
            continue;
        std::string text = problem.substr(problem.find(": ") + 2);
        while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
            text.pop_back();
        for (size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 1))
            text.insert(at + 1, "  ");
        std::fprintf(stderr, "  %s\n", text.c_str());
    }
}

// Rebuilds the programs read from `files`, then those whose includes bring in something new,
// each on its own.
void Preview::rebuild_shaders(const std::set<std::string>& files) {
    const auto start = std::chrono::steady_clock::now();
    std::set<const ShaderProgram*> rebuilt;
    std::string names;
    const auto rebuild = [&](ShaderProgram& program, std::string vertex, std::string fragment) {
        const std::vector<std::string> problems =
            rebuild_keeping_last_good(program, std::move(vertex), std::move(fragment));
        if (problems.empty()) {
            failed_texts_.erase(&program);
        } else {
            failed_texts_[&program] = expand_includes(program, demo_->shaders);
        }
        report_build(program, problems, true);
        rebuilt.insert(&program);
        names += (names.empty() ? "" : ", ") + program.fragment_shader_filename;
    };
    for (auto& program : demo_->shaders) {
        if (files.count(program->vertex_shader_filename) == 0 &&
            files.count(program->fragment_shader_filename) == 0) {
            continue;
        }
        const std::filesystem::path vertex = folder_ / program->vertex_shader_filename;
        const std::filesystem::path fragment = folder_ / program->fragment_shader_filename;
        // Some editors save by removing the file first; the new one is on its way.
        if (std::filesystem::exists(vertex) && std::filesystem::exists(fragment))
            rebuild(*program, read_whole_file(vertex.string()), read_whole_file(fragment.string()));
    }
    for (auto& program : demo_->shaders) {
        const std::string text = expand_includes(*program, demo_->shaders);
        const auto failed = failed_texts_.find(program.get());
        if (rebuilt.count(program.get()) != 0 || text == program->expanded_fragment_source ||
            (failed != failed_texts_.end() && failed->second == text)) {
            continue;
        }
        rebuild(*program, program->vertex_shader_source, program->fragment_shader_source);
    }
    for (auto& effect : demo_->effects) {
        if (rebuilt.count(effect->program.object) != 0)
            attach_quad(*effect);
    }
    if (!rebuilt.empty())
        std::printf("Rebuilt %s in %.0f ms\n", names.c_str(), milliseconds_since(start));
    title_.clear();
}

void Preview::apply_file_changes(uint32_t now) {
    if (!watcher_)
        return;
    const std::vector<std::string> changed = watcher_->changes(now);
    if (changed.empty())
        return;
    std::set<std::string> shaders;
    bool whole = false;
    for (const std::string& path : changed) {
        const auto name = watched_names_.find(path);
        if (name != watched_names_.end() && shader_files_.count(name->second) != 0) {
            shaders.insert(name->second);
        } else {
            whole = true;  // the document, the package, or a side file of another kind
        }
    }
    if (whole) {
        reload(now);
    } else {
        rebuild_shaders(shaders);
    }
}

void Preview::watch_files() {
    if (!watcher_)
        return;
    std::vector<std::string> paths;
    for (const auto& [path, name] : watched_names_)
        paths.push_back(path);
    watcher_->watch(paths);
}

}  // namespace demo
