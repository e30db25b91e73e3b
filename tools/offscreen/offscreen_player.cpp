#include "offscreen_player.h"

#include <GL/glew.h>
#include <SDL_image.h>

#include <cmath>
#include <stdexcept>

#include "audio/sound_analysis.h"
#include "base/player_state.h"
#include "demo/offline_mix.h"
#include "timeline/beat_timing.h"

namespace demo {

OffscreenPlayer::OffscreenPlayer(int32_t width, int32_t height)
    : media_("dummy"), width_(width), height_(height) {
    media_.open("demotool", width, height, SDL_WINDOW_HIDDEN);
    SDL_GL_SetSwapInterval(0);
    resolution[0] = resolution[2] = width;
    resolution[1] = resolution[3] = height;
}

OffscreenPlayer::~OffscreenPlayer() {
    current_demo = nullptr;
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
    read_back_rows(width_, height_, rows);
}

std::vector<uint8_t> OffscreenPlayer::read_pixels() const {
    return read_back_buffer(width_, height_);
}

void OffscreenPlayer::swap() {
    media_.swap();
}

std::unique_ptr<Demo> load_demo(const PackageBytes& input, bool prime) {
    return finish_loading(read_demo(input, offscreen_media()), prime);
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
