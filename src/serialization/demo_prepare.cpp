// The GPU side of a loaded demo, kept apart from its stored forms so that the authoring tool
// reads and writes packages without an OpenGL context.
#include "render/effect_renderer.h"
#include "render/shader_compiler.h"
#include "serialization/demo.h"

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
        draw(*effect, nullptr, false);
}

}  // namespace demo
