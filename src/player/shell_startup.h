// Start-up steps every window of the system shares: the player, the offscreen renderer and
// the authoring tool's preview open SDL, the mixer, the font library and an OpenGL window the
// same way.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace demo {

enum class MediaStart { Started, NoSdl, NoAudio };

// SDL (timer, audio, video, events), the audio device at the system's output format
// (`open_audio_device`), then the font library. Stops at the first step that fails; SDL's
// error tells why.
MediaStart start_media_libraries();

// A window of the given size and flags (SDL_WINDOW_OPENGL is added) with the system's OpenGL
// context, made current, and GLEW's entry points loaded. Null, with no context, when the window
// or the context cannot be created.
SDL_Window* create_gl_window(const char* title, int width, int height, uint32_t flags,
                             SDL_GLContext& context);

// The state every frame is drawn from: black clear colour, alpha blending over what is there.
void set_default_gl_state();

}  // namespace demo
