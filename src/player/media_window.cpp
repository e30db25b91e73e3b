#include "player/media_window.h"

#include <GL/glew.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include "audio/audio_device.h"
#include "player/gl_attributes.h"

namespace demo {

namespace {

std::string describe(MediaStartError::Step step, const std::string& reason) {
    switch (step) {
        case MediaStartError::Step::Sdl:
            return "cannot start SDL (is there a display?): " + reason;
        case MediaStartError::Step::Audio:
            // Only the preview opens the system's device: the others name the dummy driver.
            return "cannot open the audio device: " + reason +
                   " (SDL_AUDIODRIVER=dummy previews without sound)";
        case MediaStartError::Step::Window:
            break;
    }
    return "cannot open an OpenGL window (is there a display?): " + reason;
}

}  // namespace

MediaStartError::MediaStartError(Step step, const std::string& reason)
    : std::runtime_error(describe(step, reason)), step(step), reason(reason) {}

MediaWindow::MediaWindow(const char* audio_driver) {
    if (audio_driver != nullptr)
        SDL_setenv("SDL_AUDIODRIVER", audio_driver, 1);
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
        throw MediaStartError(MediaStartError::Step::Sdl, SDL_GetError());
    if (!open_audio_device()) {
        const std::string reason = Mix_GetError();
        SDL_Quit();
        throw MediaStartError(MediaStartError::Step::Audio, reason);
    }
    TTF_Init();
}

MediaWindow::~MediaWindow() {
    if (context_ != nullptr)
        SDL_GL_DeleteContext(context_);
    if (window_ != nullptr)
        SDL_DestroyWindow(window_);
    Mix_CloseAudio();
    SDL_Quit();
}

void MediaWindow::open(const char* title, int width, int height, uint32_t flags) {
    set_gl_attributes();
    window_ = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                               height, flags | SDL_WINDOW_OPENGL);
    if (window_ != nullptr)
        context_ = SDL_GL_CreateContext(window_);
    if (context_ == nullptr)
        throw MediaStartError(MediaStartError::Step::Window, SDL_GetError());
    // Core profiles need GLEW's experimental mode to load every entry point.
    glewExperimental = GL_TRUE;
    glewInit();
    glGetError();  // GLEW's probing may leave an error behind
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

}  // namespace demo
