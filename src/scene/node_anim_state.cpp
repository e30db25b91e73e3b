#include "scene/node_anim_state.h"

#include "scene/model.h"

namespace demo {

namespace {

// Samples one state from its own animation at normalised time t.
void sample_state(Animation::ModelAnimation& animation, float t, NodeAnimState& state) {
    animation.current_time = Animation::local_time(animation, t);
    for (int32_t c : state.channels) {
        if (c < 0 || static_cast<size_t>(c) >= animation.channels.size())
            continue;
        Animation::apply_channel(animation, animation.channels[static_cast<size_t>(c)],
                                 animation.current_time, state.translation, state.rotation,
                                 state.scale);
    }
}

}  // namespace

glm::mat4 compose(const NodeAnimState& state) {
    return Animation::trs_matrix(state.translation, state.rotation, state.scale) * state.matrix;
}

void animate_nodes(Model& model, int64_t mask, float t) {
    std::fill(model.animated_nodes.begin(), model.animated_nodes.end(), false);
    if (!model.animations)
        return;
    const size_t count = model.animations->list.size();
    // In 64 bits, so that 31 or more animations give the right upper bound.
    const int64_t highest = count >= 63 ? INT64_MAX : (int64_t{1} << count) - 1;
    if (mask < 1 || mask > highest)
        return;
    for (NodeAnimState& state : model.node_anim_states) {
        if (state.animation < 0 || state.animation >= 63 || ((mask >> state.animation) & 1) == 0)
            continue;
        if (static_cast<size_t>(state.animation) >= count)
            continue;
        Animation::ModelAnimation& animation =
            *model.animations->list[static_cast<size_t>(state.animation)];
        model.animations->current = &animation;
        sample_state(animation, t, state);
        const auto node = static_cast<size_t>(state.node);
        if (node < model.node_anim_matrices.size()) {
            model.node_anim_matrices[node] = compose(state);
            model.animated_nodes[node] = true;
        }
    }
}

}  // namespace demo
