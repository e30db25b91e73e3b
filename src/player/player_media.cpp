#include "player/player_media.h"

#include <cstdio>

#include "audio/analysis_exchange.h"
#include "audio/sample_playback.h"
#include "demo/demo.h"
#include "render/effect_renderer.h"
#include "render/shader_compiler.h"
#include "render/text_rendering.h"
#include "render/texture_upload.h"
#include "scene/model_upload.h"
#include "scene/scene_renderer.h"
#include "timeline/timeline_check.h"

namespace demo {

void PlayerMedia::shader_program_loaded(ShaderProgram& program) {
    if (build_while_loading_)
        build_program(program);
}

void PlayerMedia::texture_loaded(Texture& texture) {
    decode_texture(texture, package);
}

void PlayerMedia::audio_sample_loaded(AudioSample& sample) {
    decode_audio_sample(sample);
}

void PlayerMedia::font_loaded(Font& font) {
    open_font(font);
}

void PlayerMedia::font_texture_resolved(FontTexture& texture) {
    create_surface(texture);
}

void PlayerMedia::model_loaded(Model& model) {
    upload_to_gpu(model);
}

void PlayerMedia::scene_loaded(Scene& scene) {
    create_shadow_resources(scene);
}

void PlayerMedia::effect_resolved(Effect& effect) {
    // Inputs that name nothing are drawn as texture 0 on their unit; say which ones once.
    for (const std::string& line : effect.dangling_references())
        std::printf("%s\n", line.c_str());
    if (build_while_loading_)
        prepare(effect);
}

void PlayerMedia::demo_loaded(Demo& demo) {
    demo.sound_texture = create_blank_texture(kSoundTextureWidth, kSoundTextureHeight);
    for (const std::string& line : find_timeline_problems(demo))
        std::printf("%s\n", line.c_str());
}

}  // namespace demo
