// Drawing effects: the full-screen quad, render targets for chained effects, the texture-unit
// layout of their inputs, and copies of the screen.
#pragma once

#include <functional>

#include "render/effect.h"

namespace demo {

// Called after the built-in uniforms are set and before the geometry is drawn; the argument
// is always null, so a hook works on the program it captured itself.
using ProgramHook = std::function<void(ShaderProgram*)>;

// Creates the quad and the render target, releasing any made before. An effect without a
// program is not prepared.
void prepare(Effect& effect);

// Points the quad's vertices at the program's `vp` attribute (after the program was rebuilt).
void attach_quad(Effect& effect);

// Deletes the quad, the render target and the capture texture.
void release(Effect& effect);

// Draws the effect into the bound framebuffer; with `render_inputs`, its input effects are
// first rendered into their own targets. Without a program nothing happens.
void draw(Effect& effect, const ProgramHook& hook, bool render_inputs);

// Binds the inputs on units 0, 1, ... in the fixed order (feedback, images, texts, input
// effects, screen copy, and for a scene its shadow map and three material units, recorded in
// the program) and returns the number of units used. An input that names nothing
// keeps its unit with texture 0 bound, so the others stay where the shader expects them.
int bind_inputs(Effect& effect, ShaderProgram& program, bool render_inputs);

// Copies the screen (or the bound render target) into the effect's capture texture.
void capture_screen(Effect& effect);

// Draws the effect once as the show will, without a hook: its inputs into their render targets
// and onto the screen, its screen copies read. Every program then has met the framebuffers and
// formats it draws into, and every target and copy exists, so no first compile or first large
// allocation falls in the middle of the show.
void prime(Effect& effect);

// Gives the capture texture back its first contents (zeros), as if it had never been drawn.
void clear_capture(Effect& effect);

// Makes sure the capture buffer and texture exist at the current render size.
void ensure_capture_target(Effect& effect);

// Binds texture 0 on units 0 .. count - 1.
void unbind_units(int count);

}  // namespace demo
