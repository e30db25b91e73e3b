#include "player/shell_startup.h"

#include <GL/glew.h>
#include <SDL_ttf.h>

#include "audio/audio_device.h"
#include "player/gl_attributes.h"

namespace demo {

MediaStart start_media_libraries() {
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0)
        return MediaStart::NoSdl;
    if (!open_audio_device())
        return MediaStart::NoAudio;
    TTF_Init();
    return MediaStart::Started;
}

SDL_Window* create_gl_window(const char* title, int width, int height, uint32_t flags,
                             SDL_GLContext& context) {
    set_gl_attributes();
    SDL_Window* window = SDL_CreateWindow(title, SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                                          width, height, flags | SDL_WINDOW_OPENGL);
    context = nullptr;
    if (window == nullptr)
        return nullptr;
    context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        SDL_DestroyWindow(window);
        return nullptr;
    }
    // Core profiles need GLEW's experimental mode to load every entry point.
    glewExperimental = GL_TRUE;
    glewInit();
    return window;
}

void set_default_gl_state() {
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

}  // namespace demo
