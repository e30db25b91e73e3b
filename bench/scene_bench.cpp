// CPU time of the per-frame work of 3D scenes, without GL: sampling a 100-joint skeleton (linear
// and cubic-spline keys side by side) and updating its joint matrices, and the node walk with
// every drawn node's matrices for a tree of 1,000 nodes; beside the baseline of a frame's scene
// work with nothing to animate or walk.
//
// Usage: build/scene_bench
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <vector>

#include "gltf_builder.h"
#include "scene/gltf_io.h"
#include "scene/model.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/stored_string.h"

namespace {

namespace gb = demo::gltf_builder;

std::unique_ptr<demo::Model> load(const tinygltf::Model& asset) {
    std::vector<uint8_t> bytes;
    demo::OutputStream out(bytes);
    demo::write_string("bench.glb", out);
    const std::vector<uint8_t> glb = demo::write_glb(asset);
    demo::ByteBuffer(glb.data(), glb.size()).write_binary(out);
    demo::InputStream in(bytes.data(), bytes.size());
    return std::make_unique<demo::Model>(in);
}

// A chain of `joints` joints, each turning about z over 30 keys, as a character rig would;
// with `cubic`, the same turns as a cubic spline (in-tangent, value, out-tangent per key).
std::unique_ptr<demo::Model> skinned_chain(int joints, bool cubic = false) {
    tinygltf::Model asset;
    std::vector<int> nodes(static_cast<size_t>(joints));
    for (int j = joints - 1; j >= 0; --j) {
        const std::vector<int> children = j + 1 < joints
                                              ? std::vector<int>{nodes[static_cast<size_t>(j) + 1]}
                                              : std::vector<int>{};
        nodes[static_cast<size_t>(j)] = gb::add_node(asset, "j" + std::to_string(j), -1, children);
        asset.nodes.back().translation = {0, 0.1, 0};
    }
    tinygltf::Skin skin;
    skin.joints = nodes;
    std::vector<float> matrices;
    for (int j = 0; j < joints; ++j)
        matrices.insert(matrices.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -0.1f * j, 0, 1});
    skin.inverseBindMatrices = gb::add_floats(asset, matrices, 16);
    asset.skins.push_back(skin);
    std::vector<float> times;
    std::vector<float> turns;
    for (int k = 0; k < 30; ++k) {
        times.push_back(static_cast<float>(k) / 29.0f);
        const float half = 0.2f * std::sin(static_cast<float>(k));
        if (cubic)
            turns.insert(turns.end(), {0, 0, 0.1f, 0});
        turns.insert(turns.end(), {0, 0, std::sin(half), std::cos(half)});
        if (cubic)
            turns.insert(turns.end(), {0, 0, -0.1f, 0});
    }
    int animation = -1;
    for (int j = 0; j < joints; ++j)
        animation = gb::add_channel(asset, animation, "sway", nodes[static_cast<size_t>(j)],
                                    "rotation", times, turns, cubic ? "CUBICSPLINE" : "LINEAR");
    gb::set_scene(asset, {nodes[0]});
    return load(asset);
}

// A tree of `count` nodes, ten children each, every node holding one mesh.
std::unique_ptr<demo::Model> node_tree(int count) {
    tinygltf::Model asset;
    const int mesh =
        gb::add_mesh(asset, {{"POSITION", gb::add_floats(asset, {0, 0, 0, 1, 0, 0, 0, 1, 0}, 3)}});
    for (int n = 0; n < count; ++n) {
        gb::add_node(asset, "n" + std::to_string(n), mesh);
        asset.nodes.back().translation = {0.1, 0, 0};
        asset.nodes.back().rotation = {0, 0.0998, 0, 0.995};
        if (n > 0)
            asset.nodes[static_cast<size_t>((n - 1) / 10)].children.push_back(n);
    }
    gb::set_scene(asset, {0});
    return load(asset);
}

void walk_and_place(const demo::Model& model, std::vector<demo::NodeDraw>& draws) {
    demo::walk_nodes(model, draws);
    const glm::mat4 view(1.0f);
    const glm::mat4 projection(1.0f);
    for (const demo::NodeDraw& draw : draws)
        benchmark::DoNotOptimize(demo::node_matrices(draw.world, view, projection, projection));
}

void BM_EmptyFrameBaseline(benchmark::State& state) {
    tinygltf::Model empty;
    gb::set_scene(empty, {});
    auto model = load(empty);
    std::vector<demo::NodeDraw> draws;
    float t = 0.0f;
    for (auto _ : state) {
        demo::animate_nodes(*model, 1, t += 0.01f);
        walk_and_place(*model, draws);
    }
}

// Argument 0: joints; argument 1: 1 for cubic-spline keys, 0 for linear ones.
void BM_SkeletonSampleAndUpdate(benchmark::State& state) {
    auto model = skinned_chain(static_cast<int>(state.range(0)), state.range(1) != 0);
    float t = 0.0f;
    for (auto _ : state) {
        demo::Animation::sample_skinned(*model->animations, 0, t += 0.01f, *model->skeleton);
        demo::Animation::update_skeleton(*model->skeleton);
        benchmark::DoNotOptimize(model->skeleton->joint_matrices.data());
    }
}

void BM_NodeWalkMatrices(benchmark::State& state) {
    auto model = node_tree(static_cast<int>(state.range(0)));
    std::vector<demo::NodeDraw> draws;
    for (auto _ : state)
        walk_and_place(*model, draws);
    state.counters["nodes"] = static_cast<double>(draws.size());
}

}  // namespace

BENCHMARK(BM_EmptyFrameBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SkeletonSampleAndUpdate)
    ->Args({100, 0})
    ->Args({100, 1})
    ->ArgNames({"joints", "cubic"})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_NodeWalkMatrices)->Arg(1000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
