#include "player/run_player.h"

#include <GL/glew.h>
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "audio/music.h"
#include "audio/sound_analysis.h"
#include "base/fatal_error.h"
#include "base/player_state.h"
#include "demo/demo.h"
#include "player/background_watch.h"
#include "player/check_gl_errors.h"
#include "player/crash_handler.h"
#include "player/locate_package.h"
#include "player/shell_startup.h"
#include "render/float_texture.h"
#include "timeline/beat_clock.h"
#include "timeline/render_frame.h"

namespace demo {

namespace {

constexpr const char* kProductName = "Quenvale";
constexpr const char* kVersion = "0.11";

SDL_Window* window = nullptr;
SDL_GLContext gl_context = nullptr;
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
void present_blank_frame() {
    SDL_ShowCursor(SDL_DISABLE);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
    }
    SDL_GL_MakeCurrent(window, gl_context);
    SDL_GL_SetSwapInterval(1);
    glViewport(0, 0, 1920, 1080);
    SDL_GL_SwapWindow(window);
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

void run_main_loop() {
    do {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        current_beat = beat_clock.beat(SDL_GetTicks());
        // The frame past the end beat is still drawn; an end beat of 10000 or more never ends.
        if (current_beat > current_demo->end_beat && current_beat < 10000.0f) {
            quit_requested = true;
        }
        poll_events();
        glViewport(0, 0, resolution[2], resolution[3]);
        render_frame(*current_demo, current_beat);
        SDL_GL_SwapWindow(window);
        SDL_Delay(2);
    } while (!quit_requested);
}

[[noreturn]] void shut_down() {
    SDL_DelEventWatch(background_watch, nullptr);
    SDL_GL_DeleteContext(gl_context);
    SDL_DestroyWindow(window);
    SDL_Quit();
    std::exit(0);
}

}  // namespace

int run_player(int /*argc*/, char** argv) {
    install_crash_handler();
    switch (start_media_libraries()) {
        case MediaStart::NoSdl:
            SDL_Log("Failed to initialize SDL: %s", SDL_GetError());
            return 1;
        case MediaStart::NoAudio:
            return -1;
        case MediaStart::Started:
            break;
    }

    SDL_DisplayMode mode;
    if (SDL_GetDesktopDisplayMode(0, &mode) != 0) {
        SDL_Log("SDL_GetDesktopDisplayMode failed: %s", SDL_GetError());
        return 1;
    }
    set_resolution(mode.w);

    const std::string title = std::string(kProductName) + " :: " + kVersion;
    window = create_gl_window(title.c_str(), resolution[0], resolution[1], SDL_WINDOW_BORDERLESS,
                              gl_context);
    if (window == nullptr) {
        // Nothing can be drawn without them; going on would only crash later.
        SDL_Log("Failed to create the window: %s", SDL_GetError());
        return 1;
    }
    print_gl_diagnostics();
    set_default_gl_state();

    present_blank_frame();
    try {
        locate_package(argv[0]);
    } catch (const PackageUnreadable& e) {
        report_package_error(e);
        return 1;
    } catch (const FatalError& e) {
        report_fatal_error(e);
        return 1;
    }
    white_texture = create_float_texture_1x1(1.0f, 1.0f, 1.0f, 1.0f);

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
        run_main_loop();
    shut_down();
}

}  // namespace demo
