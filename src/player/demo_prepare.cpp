// The GPU side of a loaded demo, kept apart from its stored forms so that the authoring tool
// reads and writes packages without an OpenGL context.
#include "audio/sample_playback.h"
#include "demo/demo.h"
#include "render/effect_renderer.h"
#include "render/shader_compiler.h"
#include "render/text_rendering.h"
#include "render/texture_upload.h"
#include "scene/model_upload.h"

namespace demo {

void Demo::prepare_after_load() {
    // The second compile is the one that expands includes: the demo is complete now.
    for (auto& program : shaders)
        recompile(*program);
    for (auto& effect : effects)
        prepare(*effect);
}

void Demo::prime_effects() {
    for (auto& effect : effects)
        prime(*effect);
    // A feedback effect's first frame in the show starts from an empty copy, primed or not.
    for (auto& effect : effects)
        clear_capture(*effect);
}

void Demo::release_media() {
    for (auto& effect : effects)
        release(*effect);
    for (auto& program : shaders)
        release(*program);
    for (auto& texture : textures)
        release(*texture);
    for (auto& texture : font_textures)
        release(*texture);
    for (auto& font : fonts)
        close_font(*font);
    for (auto& model : models)
        release(*model);
    // Scenes draw into depth targets shared by size, which the next demo uses again.
    if (sound_texture)
        release(*sound_texture);
    retire_samples(std::move(audio_samples));
    audio_samples.clear();
}

}  // namespace demo
