#include "player/run_player.h"

#include <GL/glew.h>
#include <SDL.h>

#include <cstdio>
#include <optional>
#include <string>

#include "audio/music.h"
#include "audio/sound_analysis.h"
#include "base/fatal_error.h"
#include "base/player_state.h"
#include "demo/demo.h"
#include "player/background_watch.h"
#include "player/check_gl_errors.h"
#include "player/crash_handler.h"
#include "player/frame_drawing.h"
#include "player/locate_package.h"
#include "player/media_window.h"
#include "timeline/beat_clock.h"

namespace demo {

namespace {

constexpr const char* kProductName = "Quenvale";
constexpr const char* kVersion = "0.11";

BeatClock beat_clock;

// ---------------------------------------------------------------------------------------------
// Start-up helpers
// ---------------------------------------------------------------------------------------------

// Window and render size: the desktop width at 16:9, in truncating 32-bit arithmetic.
void set_resolution(int32_t desktop_width) {
    const int32_t height = desktop_width * 9 / 16;
    resolution[0] = desktop_width;
    resolution[1] = height;
    resolution[2] = desktop_width;
    resolution[3] = height;
}

void print_gl_diagnostics() {
    std::printf("OpenGL version: %s\n", glGetString(GL_VERSION));
    std::printf("GLSL version: %s\n", glGetString(GL_SHADING_LANGUAGE_VERSION));
    std::printf("Vendor: %s\n", glGetString(GL_VENDOR));
    std::printf("Renderer: %s\n", glGetString(GL_RENDERER));
}

// Shows one black frame before loading, so the window is not left undrawn while it lasts.
void present_blank_frame(MediaWindow& media) {
    SDL_ShowCursor(SDL_DISABLE);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    SDL_GL_MakeCurrent(media.window(), media.context());
    SDL_GL_SetSwapInterval(1);
    glViewport(0, 0, 1920, 1080);
    media.swap();
}

// Two seconds from `since`, in small steps, letting the window settle before the music starts.
void settle(uint32_t since) {
    while (SDL_GetTicks() - since < 2000)
        SDL_Delay(20);
}

// ---------------------------------------------------------------------------------------------
// Main loop
// ---------------------------------------------------------------------------------------------

// Quit on a window close, or when Escape is released (holding it does nothing).
void poll_events() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) {
            quit_requested = true;
        } else if (event.type == SDL_KEYUP && event.key.keysym.sym == SDLK_ESCAPE) {
            quit_requested = true;
        }
    }
}

void run_main_loop(MediaWindow& media) {
    do {
        const float beat = beat_clock.beat(SDL_GetTicks());
        // The frame past the end beat is still drawn; an end beat of 10000 or more never ends.
        if (beat > current_demo->end_beat && beat < 10000.0f) {
            quit_requested = true;
        }
        poll_events();
        draw_demo_frame(*current_demo, beat);
        media.swap();
        SDL_Delay(2);
    } while (!quit_requested);
}

}  // namespace

int run_player(int /*argc*/, char** argv) {
    install_crash_handler();
    std::optional<MediaWindow> media;
    try {
        media.emplace();
    } catch (const MediaStartError& e) {
        if (e.step == MediaStartError::Step::Audio)
            return -1;
        SDL_Log("Failed to initialize SDL: %s", e.reason.c_str());
        return 1;
    }

    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        SDL_Log("SDL_GetDesktopDisplayMode failed: %s", SDL_GetError());
        return 1;
    }
    set_resolution(mode.w);

    const std::string title = std::string(kProductName) + " :: " + kVersion;
    try {
        media->open(title.c_str(), resolution[0], resolution[1], SDL_WINDOW_BORDERLESS);
    } catch (const MediaStartError& e) {
        // Nothing can be drawn without them; going on would only crash later.
        SDL_Log("Failed to create the window: %s", e.reason.c_str());
        return 1;
    }
    print_gl_diagnostics();

    present_blank_frame(*media);
    try {
        current_demo = finish_loading(locate_package(argv[0]), false).release();
    } catch (const PackageUnreadable& e) {
        report_package_error(e);
        return 1;
    } catch (const FatalError& e) {
        report_fatal_error(e);
        return 1;
    }

    // Every effect is drawn once as the show will draw it while the window settles, so the
    // driver's first-use work is done before the music starts and adds nothing to the wait.
    const uint32_t settle_start = SDL_GetTicks();
    current_demo->prime_effects();
    settle(settle_start);
    create_fft_configuration();
    start_music(current_demo->music.get());
    start_ticks = SDL_GetTicks();
    // Beat -offset at the music's start: elapsed * bpm / 60000 - offset from then on.
    beat_clock.start(start_ticks, -current_demo->beat_offset, current_demo->bpm);
    SDL_AddEventWatch(background_watch, nullptr);
    check_gl_errors("flushing");

    if (!quit_requested)
        run_main_loop(*media);
    SDL_DelEventWatch(background_watch, nullptr);
    return 0;
}

}  // namespace demo
