// The player's loading hooks: decode, compile and upload as the demo loads.
#pragma once

#include "serialization/media_hooks.h"

namespace demo {

class PlayerMedia : public MediaHooks {
public:
    // The player compiles every program and prepares every effect as soon as it is read, and
    // once more after loading, when includes can be expanded. The authoring tool passes false:
    // it builds them only after loading, so it reports no errors of includes that cannot be
    // expanded yet, and compiles each program once.
    explicit PlayerMedia(bool build_while_loading = true)
        : build_while_loading_(build_while_loading) {}

    void shader_program_loaded(ShaderProgram& program) override;
    void texture_loaded(Texture& texture) override;
    void audio_sample_loaded(AudioSample& sample) override;
    void font_loaded(Font& font) override;
    void font_texture_resolved(FontTexture& texture) override;
    void model_loaded(Model& model) override;
    void scene_loaded(Scene& scene) override;
    void effect_resolved(Effect& effect) override;
    void demo_loaded(Demo& demo) override;

private:
    bool build_while_loading_;
};

}  // namespace demo
