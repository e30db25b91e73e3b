// Drawing a scene with an effect's program: the shadow depth target, the walk over the
// model's nodes in render-pass order, and the per-node and per-material uniforms.
#pragma once

namespace demo {

class Model;
class Scene;
class ShaderProgram;

// The light camera's depth target: a depth texture as large as the scene asks for, or as
// the GL implementation allows when it asks for more (said once).
void create_shadow_resources(Scene& scene);

// Writes the skeleton's joint matrices into the model's uniform buffer at binding point 0.
// Only the first 100 fit; more are left out (and were reported at load).
void upload_joint_matrices(Model& model);

// Draws the scene's model with `program`, which is current and has its scene texture units
// assigned. In the shadow pass (the scene's `shadow_pass` set) the light camera views it and
// nodes that ignore shadows are left out. Draws nothing without a model or a camera.
void render_scene(Scene& scene, const ShaderProgram& program);

}  // namespace demo
