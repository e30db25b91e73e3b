#include "player/frame_drawing.h"

#include <GL/glew.h>

#include <cstring>

#include "base/player_state.h"
#include "player/player_media.h"
#include "render/float_texture.h"
#include "timeline/render_frame.h"

namespace demo {

MediaHooks* offscreen_media() {
    static PlayerMedia media(false);
    return &media;
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

void read_back_rows(int32_t width, int32_t height, uint8_t* rows) {
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rows);
}

std::vector<uint8_t> read_back_buffer(int32_t width, int32_t height) {
    std::vector<uint8_t> rows(static_cast<size_t>(width) * height * 4);
    read_back_rows(width, height, rows.data());
    // GL delivers the bottom row first; images start at the top.
    std::vector<uint8_t> flipped(rows.size());
    const size_t stride = static_cast<size_t>(width) * 4;
    for (int32_t y = 0; y < height; ++y) {
        std::memcpy(flipped.data() + y * stride, rows.data() + (height - 1 - y) * stride, stride);
    }
    return flipped;
}

}  // namespace demo
