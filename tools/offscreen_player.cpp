#include "offscreen_player.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <cmath>
#include <cstring>
#include <stdexcept>

#include "audio/audio_device.h"
#include "audio/offline_mix.h"
#include "audio/sound_analysis.h"
#include "player/gl_attributes.h"
#include "player/player_media.h"
#include "player/player_state.h"
#include "render/float_texture.h"
#include "serialization/input_stream.h"
#include "timeline/render_frame.h"

namespace demo {

OffscreenPlayer::OffscreenPlayer(int32_t width, int32_t height) : width_(width), height_(height) {
    SDL_setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (SDL_Init(SDL_INIT_TIMER | SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        throw std::runtime_error(std::string("cannot start SDL (is there a display?): ") +
                                 SDL_GetError());
    }
    if (!open_audio_device()) {
        throw std::runtime_error(std::string("cannot open the audio mixer: ") + Mix_GetError());
    }
    TTF_Init();

    set_gl_attributes();
    SDL_Window* window =
        SDL_CreateWindow("demotool", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width,
                         height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window == nullptr) {
        throw std::runtime_error(std::string("cannot create a window (is there a display?): ") +
                                 SDL_GetError());
    }
    window_ = window;
    SDL_GLContext context = SDL_GL_CreateContext(window);
    if (context == nullptr) {
        throw std::runtime_error(std::string("cannot create an OpenGL context: ") + SDL_GetError());
    }
    context_ = context;
    glewExperimental = GL_TRUE;
    glewInit();
    glGetError();  // GLEW's probing may leave an error behind
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
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

Demo& OffscreenPlayer::load(const PackageBytes& package) {
    static PlayerMedia media;
    demo_ = std::make_unique<Demo>();
    demo_->media = &media;
    InputStream in(package.file.data() + package.offset, package.size);
    demo_->read_binary(in);
    current_demo = demo_.get();
    demo_->prepare_after_load();
    white_texture = create_float_texture_1x1(1.0f, 1.0f, 1.0f, 1.0f);
    demo_->prime_effects();
    return *demo_;
}

void OffscreenPlayer::render(float beat) {
    current_beat = beat;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, resolution[2], resolution[3]);
    render_frame(*demo_, beat);
    glFinish();
}

void OffscreenPlayer::render(float beat, const OfflineMix& mix) {
    const double seconds = (static_cast<double>(beat) + demo_->beat_offset) * 60.0 / demo_->bpm;
    const int64_t end_frame = static_cast<int64_t>(std::llround(seconds * OfflineMix::kFrequency));
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
    std::vector<uint8_t> rows(static_cast<size_t>(width_) * height_ * 4);
    read_back(rows.data());
    // GL delivers the bottom row first; images start at the top.
    std::vector<uint8_t> flipped(rows.size());
    const size_t stride = static_cast<size_t>(width_) * 4;
    for (int32_t y = 0; y < height_; ++y) {
        std::memcpy(flipped.data() + y * stride, rows.data() + (height_ - 1 - y) * stride, stride);
    }
    return flipped;
}

void OffscreenPlayer::swap() {
    SDL_GL_SwapWindow(static_cast<SDL_Window*>(window_));
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
