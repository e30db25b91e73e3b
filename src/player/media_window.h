// The media libraries and an OpenGL window, opened the same way by every window of the system
// (the player's, the offscreen renderer's hidden one and the preview's) and closed together.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace demo {

// What could not be opened, and SDL's or the mixer's reason.
struct MediaStartError : std::runtime_error {
    enum class Step { Sdl, Audio, Window };
    MediaStartError(Step step, const std::string& reason);
    Step step;
    std::string reason;
};

class MediaWindow {
public:
    // Starts SDL (timer, audio, video, events), the audio device at the system's output format
    // (`open_audio_device`), then the font library; on SDL's `audio_driver` when one is named
    // (the offscreen renderer's "dummy"). Throws MediaStartError at the first step that fails.
    explicit MediaWindow(const char* audio_driver = nullptr);
    // Closes the window, the audio device and SDL.
    ~MediaWindow();
    MediaWindow(const MediaWindow&) = delete;
    MediaWindow& operator=(const MediaWindow&) = delete;

    // Opens a window of the given size and flags with the system's OpenGL context, made
    // current, GLEW's entry points loaded and the state every frame is drawn from set (black
    // clear colour, alpha blending over what is there). Throws MediaStartError.
    void open(const char* title, int width, int height, uint32_t flags);

    SDL_Window* window() const { return window_; }
    SDL_GLContext context() const { return context_; }
    void swap() { SDL_GL_SwapWindow(window_); }

private:
    SDL_Window* window_ = nullptr;
    SDL_GLContext context_ = nullptr;
};

}  // namespace demo
