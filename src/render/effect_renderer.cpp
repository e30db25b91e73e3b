#include "render/effect_renderer.h"

#include <GL/glew.h>

#include <cstdio>

#include "base/player_state.h"
#include "render/font_texture.h"
#include "render/shader_compiler.h"
#include "render/shader_program.h"
#include "render/texture.h"
#include "render/texture_upload.h"
#include "scene/model.h"
#include "scene/scene.h"
#include "scene/scene_renderer.h"

namespace demo {

namespace {

// Two triangles covering clip space.
constexpr float kQuad[18] = {-1, -1, 0, -1, 1, 0, 1, 1, 0, 1, 1, 0, 1, -1, 0, -1, -1, 0};

// Reads from the window's back buffer, or from the colour attachment of the render target
// that is bound: the back buffer is no valid read buffer for a framebuffer object.
void select_read_buffer() {
    GLint bound = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &bound);
    glReadBuffer(bound == 0 ? GL_BACK : GL_COLOR_ATTACHMENT0);
}

// Copies the render-size screen into the capture texture, bound on the active unit. The copy
// stays on the GPU: reading the pixels back and uploading them again would move the whole
// screen across the bus twice, and nothing reads the CPU buffer.
void read_screen_into_capture(Effect& effect) {
    ensure_capture_target(effect);
    const Buffer& buffer = *effect.capture_buffer;
    select_read_buffer();
    glBindTexture(GL_TEXTURE_2D, effect.capture_texture);
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, buffer.width, buffer.height);
}

void bind_unit(int unit, uint32_t texture) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, texture);
}

// Renders an input effect into its own target at the window size, without its own inputs.
void render_into_target(Effect& input) {
    // An input never prepared (it has no program) has no target; binding 0 would clear the
    // window, so it is skipped and its unit samples an empty texture.
    if (input.target_framebuffer == 0)
        return;
    glBindFramebuffer(GL_FRAMEBUFFER, input.target_framebuffer);
    glViewport(0, 0, resolution[0], resolution[1]);
    glClear(GL_COLOR_BUFFER_BIT);
    draw(input, nullptr, false);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, resolution[2], resolution[3]);
}

// Renders each input effect into its own target, in order.
void render_inputs_into_targets(Effect& effect) {
    for (auto& input : effect.effects) {
        if (input.object != nullptr)
            render_into_target(*input.object);
    }
}

// One pass of a scene effect into the bound framebuffer: inputs, built-in uniforms, the pass
// switch, the hook (which steers the camera, the light and the pose), then the scene.
void draw_scene_pass(Effect& effect, ShaderProgram& program, const ProgramHook& hook, int units,
                     bool shadow_pass) {
    Scene& scene = *effect.scene.object;
    upload_builtin_uniforms(program);
    if (program.locations.is_shadow_render_pass != -1)
        glUniform1i(program.locations.is_shadow_render_pass, shadow_pass ? 1 : 0);
    if (hook)
        hook(nullptr);
    // After the hook, so both passes draw the pose of this frame's beat.
    if (scene.root_node && scene.root_node->model.object != nullptr)
        upload_joint_matrices(*scene.root_node->model.object);
    scene.shadow_pass = shadow_pass;
    render_scene(scene, program);
    scene.shadow_pass = false;
    unbind_units(units);
}

// A scene effect: its input effects into their targets, the shadow pass into the scene's
// depth target, then the visible pass into the framebuffer the caller had bound (the window,
// or an input effect's target). Scenes of one size share a depth target, so nothing may draw
// between a scene's two passes: an input drawing a scene would overwrite the depth map
// before the visible pass reads it.
void draw_scene_passes(Effect& effect, ShaderProgram& program, const ProgramHook& hook,
                       bool render_inputs) {
    Scene& scene = *effect.scene.object;
    GLint caller_framebuffer = 0;
    GLint viewport[4] = {};
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &caller_framebuffer);
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (render_inputs) {
        render_inputs_into_targets(effect);
        glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(caller_framebuffer));
        glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    }

    // Inputs are bound before the depth target is, so a screen copy reads the screen and not
    // a target without colour.
    int units = bind_inputs(effect, program, false);
    glBindFramebuffer(GL_FRAMEBUFFER, scene.shadow_fbo);
    glViewport(0, 0, scene.shadow_width, scene.shadow_height);
    glClear(GL_DEPTH_BUFFER_BIT);
    draw_scene_pass(effect, program, hook, units, true);

    glBindFramebuffer(GL_FRAMEBUFFER, static_cast<GLuint>(caller_framebuffer));
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    units = bind_inputs(effect, program, false);
    draw_scene_pass(effect, program, hook, units, false);
}

}  // namespace

void prepare(Effect& effect) {
    if (effect.program.object == nullptr)
        return;
    // Effects are prepared when their references resolve and again after loading.
    release(effect);

    glGenVertexArrays(1, &effect.quad_vao);
    glGenBuffers(1, &effect.quad_vbo);
    glBindVertexArray(effect.quad_vao);
    glBindBuffer(GL_ARRAY_BUFFER, effect.quad_vbo);
    glBufferData(GL_ARRAY_BUFFER, sizeof kQuad, kQuad, GL_STATIC_DRAW);
    attach_quad(effect);

    glGenFramebuffers(1, &effect.target_framebuffer);
    glGenTextures(1, &effect.target_texture);
    glBindTexture(GL_TEXTURE_2D, effect.target_texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, resolution[2], resolution[3], 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindFramebuffer(GL_FRAMEBUFFER, effect.target_framebuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D,
                           effect.target_texture, 0);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    const GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status != GL_FRAMEBUFFER_COMPLETE)
        std::printf("FB Error! Status: 0x%x\n", status);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void attach_quad(Effect& effect) {
    if (effect.program.object == nullptr || effect.quad_vao == 0)
        return;
    const int32_t location = effect.program.object->vertex_position_attribute;
    if (location < 0)
        return;
    glBindVertexArray(effect.quad_vao);
    glBindBuffer(GL_ARRAY_BUFFER, effect.quad_vbo);
    glEnableVertexAttribArray(static_cast<GLuint>(location));
    glVertexAttribPointer(static_cast<GLuint>(location), 3, GL_FLOAT, GL_FALSE, 0, nullptr);
}

void release(Effect& effect) {
    glDeleteVertexArrays(1, &effect.quad_vao);
    glDeleteBuffers(1, &effect.quad_vbo);
    glDeleteFramebuffers(1, &effect.target_framebuffer);
    glDeleteTextures(1, &effect.target_texture);
    glDeleteTextures(1, &effect.capture_texture);
    effect.quad_vao = effect.quad_vbo = 0;
    effect.target_framebuffer = effect.target_texture = effect.capture_texture = 0;
    effect.capture_buffer.reset();
}

int bind_inputs(Effect& effect, ShaderProgram& program, bool render_inputs) {
    if (render_inputs)
        render_inputs_into_targets(effect);
    glUseProgram(program.program_id);
    int unit = 0;
    if (effect.feedback) {
        glActiveTexture(GL_TEXTURE0);
        ensure_capture_target(effect);
        glBindTexture(GL_TEXTURE_2D, effect.capture_texture);
        unit = 1;
    }
    for (const auto& texture : effect.textures) {
        bind_unit(unit++, texture.object != nullptr ? texture.object->texture_id : 0);
    }
    for (const auto& text : effect.font_textures) {
        bind_unit(unit++, text.object != nullptr ? text.object->texture_id : 0);
    }
    for (const auto& input : effect.effects) {
        bind_unit(unit++, input.object != nullptr ? input.object->target_texture : 0);
    }
    if (effect.screen_texture) {
        glActiveTexture(GL_TEXTURE0 + unit);
        read_screen_into_capture(effect);
        ++unit;
    }
    if (effect.scene.object != nullptr) {
        // The shadow map, then three units the material upload binds its textures on.
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, effect.scene.object->shadow_depth_texture);
        program.shadow_map_unit = GL_TEXTURE0 + unit;
        ++unit;
        for (uint32_t& material_unit : program.material_units) {
            glActiveTexture(GL_TEXTURE0 + unit);
            glBindTexture(GL_TEXTURE_2D, 0);
            material_unit = GL_TEXTURE0 + unit;
            ++unit;
        }
    }
    return unit;
}

void draw(Effect& effect, const ProgramHook& hook, bool render_inputs) {
    if (effect.program.object == nullptr)
        return;
    ShaderProgram& program = *effect.program.object;
    if (effect.scene.object != nullptr) {
        draw_scene_passes(effect, program, hook, render_inputs);
        return;
    }
    const int units = bind_inputs(effect, program, render_inputs);
    upload_builtin_uniforms(program);
    if (hook)
        hook(nullptr);
    glBindVertexArray(effect.quad_vao);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    unbind_units(units);
}

void capture_screen(Effect& effect) {
    read_screen_into_capture(effect);
}

void prime(Effect& effect) {
    if (effect.program.object == nullptr)
        return;
    draw(effect, nullptr, true);
    // As the frame walk's update pass draws an effect's inputs: onto the screen, then copied.
    for (auto& input : effect.effects) {
        Effect* x = input.object;
        if (x == nullptr || x->program.object == nullptr)
            continue;
        draw(*x, nullptr, true);
        capture_screen(*x);
    }
}

void clear_capture(Effect& effect) {
    if (effect.capture_texture == 0 || !effect.capture_buffer)
        return;
    const Buffer& buffer = *effect.capture_buffer;
    glBindTexture(GL_TEXTURE_2D, effect.capture_texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, buffer.width, buffer.height, GL_RGBA, GL_UNSIGNED_BYTE,
                    buffer.pixels.data());
    glBindTexture(GL_TEXTURE_2D, 0);
}

void ensure_capture_target(Effect& effect) {
    if (effect.capture_buffer && (effect.capture_buffer->width != resolution[2] ||
                                  effect.capture_buffer->height != resolution[3])) {
        effect.capture_buffer.reset();
        if (effect.capture_texture != 0) {
            glDeleteTextures(1, &effect.capture_texture);
            effect.capture_texture = 0;
        }
    }
    if (!effect.capture_buffer)
        effect.capture_buffer = std::make_unique<Buffer>();
    if (effect.capture_texture == 0) {
        const Buffer& buffer = *effect.capture_buffer;
        effect.capture_texture = create_rgba_texture(buffer.width, buffer.height,
                                                     buffer.pixels.data(), GL_CLAMP_TO_EDGE);
    }
}

void unbind_units(int count) {
    for (int unit = 0; unit < count; ++unit)
        bind_unit(unit, 0);
}

}  // namespace demo
