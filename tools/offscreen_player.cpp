#include "offscreen_player.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "audio/sound_analysis.h"
#include "base/player_state.h"
#include "demo/offline_mix.h"
#include "player/player_media.h"
#include "player/shell_startup.h"
#include "render/float_texture.h"
#include "timeline/beat_timing.h"
#include "timeline/render_frame.h"

namespace demo {

OffscreenPlayer::OffscreenPlayer(int32_t width, int32_t height) : width_(width), height_(height) {
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    switch (start_media_libraries()) {
        case MediaStart::NoSdl:
            throw std::runtime_error(std::string("cannot start SDL (is there a display?): ") +
                                     SDL_GetError());
        case MediaStart::NoAudio:
            throw std::runtime_error(std::string("cannot open the audio mixer: ") + Mix_GetError());
        case MediaStart::Started:
            break;
    }
    SDL_GLContext context = nullptr;
    window_ = create_gl_window("demotool", width, height, SDL_WINDOW_HIDDEN, context);
    if (window_ == nullptr) {
        throw std::runtime_error(
            std::string("cannot open an OpenGL window (is there a display?): ") + SDL_GetError());
    }
    context_ = context;
    glGetError();  // GLEW's probing may leave an error behind
    set_default_gl_state();
    SDL_GL_SetSwapInterval(0);
    resolution[0] = resolution[2] = width;
    resolution[1] = resolution[3] = height;
}

OffscreenPlayer::~OffscreenPlayer() {
    current_demo = nullptr;
    if (context_ != nullptr)
        SDL_GL_DeleteContext(static_cast<SDL_GLContext>(context_));
    if (window_ != nullptr)
        SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
    Mix_CloseAudio();
    SDL_Quit();
}

Demo& OffscreenPlayer::load(const PackageBytes& input) {
    return adopt(load_demo(input));
}

Demo& OffscreenPlayer::adopt(std::unique_ptr<Demo> demo) {
    demo_ = std::move(demo);
    return *demo_;
}

void OffscreenPlayer::render(float beat) {
    draw_demo_frame(*demo_, beat);
    glFinish();
}

void OffscreenPlayer::render(float beat, const OfflineMix& mix) {
    const double seconds = music_seconds_at(beat, demo_->bpm, demo_->beat_offset);
    const int64_t end_frame =
        checked_frame(std::round(seconds * OfflineMix::kFrequency), "a rendered frame");
    if (mix.has_music() && end_frame > 0) {
        analysed_.resize(static_cast<size_t>(kFftSize) * OfflineMix::kChannels);
        mix.frames_into(end_frame - kFftSize, kFftSize, analysed_.data());
        analyse_output(0, analysed_.data(), static_cast<int>(analysed_.size() * 2), nullptr);
    }
    render(beat);
}

void OffscreenPlayer::read_back(uint8_t* rows) const {
    glReadBuffer(GL_BACK);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rows);
}

std::vector<uint8_t> OffscreenPlayer::read_pixels() const {
    return read_back_buffer(width_, height_);
}

void OffscreenPlayer::swap() {
    SDL_GL_SwapWindow(static_cast<SDL_Window*>(window_));
}

MediaHooks* offscreen_media() {
    static PlayerMedia media(false);
    return &media;
}

std::unique_ptr<Demo> load_demo(const PackageBytes& input, bool prime) {
    return finish_loading(read_demo(input, offscreen_media()), prime);
}

std::unique_ptr<Demo> finish_loading(std::unique_ptr<Demo> demo, bool prime) {
    current_demo = demo.get();
    demo->prepare_after_load();
    if (white_texture == 0)
        white_texture = create_float_texture_1x1(1.0f, 1.0f, 1.0f, 1.0f);
    if (prime)
        demo->prime_effects();
    return demo;
}

void draw_demo_frame(Demo& demo, float beat) {
    current_beat = beat;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, resolution[2], resolution[3]);
    render_frame(demo, beat);
}

std::vector<uint8_t> read_back_buffer(int32_t width, int32_t height) {
    std::vector<uint8_t> rows(static_cast<size_t>(width) * height * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    // GL delivers the bottom row first; images start at the top.
    std::vector<uint8_t> flipped(rows.size());
    const size_t stride = static_cast<size_t>(width) * 4;
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(flipped.data() + y * stride, rows.data() + (height - 1 - y) * stride, stride);
    }
    return flipped;
}

void write_png(const std::string& path, const std::vector<uint8_t>& rgba, int32_t width,
               int32_t height) {
    SDL_Surface* surface =
        SDL_CreateRGBSurfaceFrom(const_cast<uint8_t*>(rgba.data()), width, height, 32, width * 4,
                                 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
    if (surface == nullptr)
        throw std::runtime_error("cannot write " + path);
    const int result = IMG_SavePNG(surface, path.c_str());
    SDL_FreeSurface(surface);
    if (result != 0)
        throw std::runtime_error("cannot write " + path + ": " + IMG_GetError());
}

}  // namespace demo
