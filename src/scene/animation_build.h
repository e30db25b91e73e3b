// Turns a model's glTF skin and animations into the structures sampled every frame. Runs once,
// at the end of loading, over what the validation pass let through.
#pragma once

namespace demo {

class Model;

// Skeleton (from the first skin), animations, node animation states of a skinless model, and
// the per-node animation outputs. The joint-matrix buffer on the GPU comes with the upload.
void build_animations(Model& model);

}  // namespace demo
