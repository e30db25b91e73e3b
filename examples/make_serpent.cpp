// Makes the example demo's 3D model, examples' own work from first principles: a striped
// serpent skinned to a chain of twelve joints, with two animations ("slither": a wave running
// down the body; "rise": the head lifting and looking around), lying on a ground among six
// standing stones. Written as GLB to the path given.
//
// Node extras tell the example's scene shader what it draws: tag 0 the skinned body, tag 2 its
// eyes, tag 1 the static ground and stones; the ground casts no shadow.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <vector>

#include "gltf_builder.h"
#include "scene/gltf_io.h"

namespace gb = demo::gltf_builder;

namespace {

constexpr float kPi = 3.14159265f;
constexpr int kJoints = 12;
constexpr float kLength = 8.0f;           // along x, from the tail at -4 to the head at +4
constexpr float kChain = kLength - 0.9f;  // the last joint is the neck: the head turns as one
constexpr int kRings = 60;
constexpr int kSides = 18;

struct Geometry {
    std::vector<float> positions, normals, uvs, weights;
    std::vector<uint16_t> joints, indices;

    void vertex(float x, float y, float z, float nx, float ny, float nz, float u, float v, int j0,
                int j1, float w1) {
        positions.insert(positions.end(), {x, y, z});
        normals.insert(normals.end(), {nx, ny, nz});
        uvs.insert(uvs.end(), {u, v});
        joints.insert(joints.end(), {uint16_t(j0), uint16_t(j1), 0, 0});
        weights.insert(weights.end(), {1.0f - w1, w1, 0.0f, 0.0f});
    }
    uint16_t count() const { return uint16_t(positions.size() / 3); }
};

// Radius of the body at u in [0, 1], tail to head: a thin tail, a full body, a rounded head.
float radius(float u) {
    if (u > 0.88f) {
        const float d = (u - 0.88f) / 0.12f;
        return 0.55f * std::sqrt(std::max(0.0f, 1.0f - d * d));
    }
    return 0.04f + 0.51f * std::pow(u / 0.88f, 0.55f);
}

// Height of the body's axis: the belly rests on the ground all along.
float centre_height(float u) {
    return 0.05f + 0.95f * radius(u);
}

// The joint pair and blend of a point `x` along the chain.
void blend(float x, int& j0, int& j1, float& w1) {
    const float spacing = kChain / (kJoints - 1);
    const float at = std::min(std::max((x + kLength / 2) / spacing, 0.0f), kJoints - 1.001f);
    j0 = static_cast<int>(at);
    j1 = j0 + 1;
    w1 = at - j0;
}

void add_body(Geometry& g) {
    for (int r = 0; r < kRings; ++r) {
        const float u = static_cast<float>(r) / (kRings - 1);
        const float x = u * kLength - kLength / 2;
        const float rad = radius(u);
        int j0, j1;
        float w1;
        blend(x, j0, j1, w1);
        for (int s = 0; s <= kSides; ++s) {
            const float a = 2 * kPi * s / kSides;
            const float ny = std::cos(a), nz = std::sin(a);
            g.vertex(x, centre_height(u) + rad * ny, rad * nz, 0, ny, nz, u,
                     static_cast<float>(s) / kSides, j0, j1, w1);
        }
    }
    for (int r = 0; r + 1 < kRings; ++r) {
        for (int s = 0; s < kSides; ++s) {
            const uint16_t a = uint16_t(r * (kSides + 1) + s), b = uint16_t(a + kSides + 1);
            g.indices.insert(g.indices.end(),
                             {a, b, uint16_t(a + 1), uint16_t(a + 1), b, uint16_t(b + 1)});
        }
    }
}

// A small sphere on the head, skinned wholly to the last joint.
void add_eye(Geometry& g, float x, float y, float z, float rad) {
    const uint16_t base = g.count();
    const int rows = 8, cols = 12;
    for (int i = 0; i <= rows; ++i) {
        const float p = kPi * i / rows;
        for (int k = 0; k <= cols; ++k) {
            const float t = 2 * kPi * k / cols;
            const float nx = std::sin(p) * std::cos(t), ny = std::cos(p),
                        nz = std::sin(p) * std::sin(t);
            g.vertex(x + rad * nx, y + rad * ny, z + rad * nz, nx, ny, nz, 0.5f, 0.5f, kJoints - 1,
                     kJoints - 1, 0.0f);
        }
    }
    for (int i = 0; i < rows; ++i) {
        for (int k = 0; k < cols; ++k) {
            const uint16_t a = uint16_t(base + i * (cols + 1) + k), b = uint16_t(a + cols + 1);
            g.indices.insert(g.indices.end(),
                             {a, uint16_t(a + 1), b, uint16_t(a + 1), uint16_t(b + 1), b});
        }
    }
}

int skinned_primitive(tinygltf::Model& m, const Geometry& g) {
    return gb::add_mesh(m,
                        {{"POSITION", gb::add_floats(m, g.positions, 3)},
                         {"NORMAL", gb::add_floats(m, g.normals, 3)},
                         {"TEXCOORD_0", gb::add_floats(m, g.uvs, 2)},
                         {"JOINTS_0", gb::add_shorts(m, g.joints, 4)},
                         {"WEIGHTS_0", gb::add_floats(m, g.weights, 4)}},
                        gb::add_shorts(m, g.indices, 1));
}

// An axis-aligned box from (-1, 0, -1) to (1, 2, 1) with flat faces.
int box_mesh(tinygltf::Model& m, int material) {
    std::vector<float> p, n, uv;
    std::vector<uint16_t> idx;
    const float faces[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& f : faces) {
        const int axis = f[0] != 0 ? 0 : f[1] != 0 ? 1 : 2;
        const int a1 = (axis + 1) % 3, a2 = (axis + 2) % 3;
        const uint16_t base = uint16_t(p.size() / 3);
        for (int c = 0; c < 4; ++c) {
            float v[3];
            v[axis] = f[axis];
            v[a1] = (c == 1 || c == 2) ? 1.0f : -1.0f;
            v[a2] = (c >= 2) ? 1.0f : -1.0f;
            p.insert(p.end(), {v[0], v[1] + 1.0f, v[2]});
            n.insert(n.end(), {f[0], f[1], f[2]});
            uv.insert(uv.end(), {(v[a1] + 1) / 2, (v[a2] + 1) / 2});
        }
        // Wind counter-clockwise seen from outside.
        const bool flip = (f[axis] < 0) != (axis == 1);
        if (flip)
            idx.insert(idx.end(), {base, uint16_t(base + 2), uint16_t(base + 1), base,
                                   uint16_t(base + 3), uint16_t(base + 2)});
        else
            idx.insert(idx.end(), {base, uint16_t(base + 1), uint16_t(base + 2), base,
                                   uint16_t(base + 2), uint16_t(base + 3)});
    }
    return gb::add_mesh(m,
                        {{"POSITION", gb::add_floats(m, p, 3)},
                         {"NORMAL", gb::add_floats(m, n, 3)},
                         {"TEXCOORD_0", gb::add_floats(m, uv, 2)}},
                        gb::add_shorts(m, idx, 1), material);
}

int ground_mesh(tinygltf::Model& m, int material) {
    const float s = 40.0f;
    return gb::add_mesh(
        m,
        {{"POSITION", gb::add_floats(m, {-s, 0, -s, -s, 0, s, s, 0, s, s, 0, -s}, 3)},
         {"NORMAL", gb::add_floats(m, {0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0}, 3)},
         {"TEXCOORD_0", gb::add_floats(m, {0, 0, 0, 1, 1, 1, 1, 0}, 2)}},
        gb::add_shorts(m, {0, 1, 2, 0, 2, 3}, 1), material);
}

// Bands along the body, darker on the back, in the colours of a coral snake gone pastel.
std::vector<uint8_t> stripes(int width, int height) {
    std::vector<uint8_t> rgba;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const float u = static_cast<float>(x) / width;
            const float band = std::fmod(u * 14.0f, 1.0f);
            const float belly = 0.75f + 0.25f * std::cos(2 * kPi * y / height);
            float r = 0.95f, g = 0.55f, b = 0.25f;
            if (band < 0.18f) {
                r = 0.12f;
                g = 0.1f;
                b = 0.16f;
            } else if (band < 0.3f) {
                r = 0.98f;
                g = 0.92f;
                b = 0.55f;
            }
            rgba.insert(rgba.end(), {uint8_t(255 * r * belly), uint8_t(255 * g * belly),
                                     uint8_t(255 * b * belly), 255});
        }
    }
    return rgba;
}

std::vector<float> quaternion(float ax, float ay, float az) {
    // Rotation about z by az after y by ay after x by ax, as x, y, z, w.
    const float cx = std::cos(ax / 2), sx = std::sin(ax / 2);
    const float cy = std::cos(ay / 2), sy = std::sin(ay / 2);
    const float cz = std::cos(az / 2), sz = std::sin(az / 2);
    return {sx * cy * cz - cx * sy * sz, cx * sy * cz + sx * cy * sz, cx * cy * sz - sx * sy * cz,
            cx * cy * cz + sx * sy * sz};
}

void add_animations(tinygltf::Model& m, const std::vector<int>& joints) {
    const int keys = 25;
    std::vector<float> times;
    for (int k = 0; k < keys; ++k)
        times.push_back(static_cast<float>(k) / (keys - 1));
    int slither = -1, rise = -1;
    for (int j = 1; j < kJoints; ++j) {
        std::vector<float> wave, lift;
        for (int k = 0; k < keys; ++k) {
            const float phase = 2 * kPi * times[static_cast<size_t>(k)];
            const float amplitude = 0.12f + 0.2f * static_cast<float>(j) / kJoints;
            const float sway = amplitude * std::sin(phase - 0.75f * j);
            for (float q : quaternion(0, sway, 0))
                wave.push_back(q);
            // The front third rears up and the head looks around; the rest keeps a gentle wave.
            const float front = std::max(0.0f, static_cast<float>(j - 5)) / 6.0f;
            const float up = front * (0.35f + 0.1f * std::sin(phase));
            const float look = j == kJoints - 1 ? 0.6f * std::sin(2 * phase) : 0.4f * sway;
            for (float q : quaternion(0, look, up))
                lift.push_back(q);
        }
        slither = gb::add_channel(m, slither, "slither", joints[static_cast<size_t>(j)], "rotation",
                                  times, wave);
        rise = gb::add_channel(m, rise, "rise", joints[static_cast<size_t>(j)], "rotation", times,
                               lift);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_serpent OUT.glb\n");
        return 2;
    }
    tinygltf::Model m;
    const int skin_material = gb::add_material(m, {1, 1, 1, 1}, stripes(256, 32), 256, 32);
    const int eye_material = gb::add_material(m, {0.05, 0.05, 0.08, 1});
    const int stone_material = gb::add_material(m, {0.55, 0.6, 0.7, 1});
    const int ground_material = gb::add_material(m, {0.35, 0.42, 0.3, 1});

    Geometry body, eyes;
    add_body(body);
    const float head = kLength / 2 - 0.4f;
    const float eye_height = centre_height((head + kLength / 2) / kLength) + 0.2f;
    add_eye(eyes, head, eye_height + 0.1f, 0.3f, 0.11f);
    add_eye(eyes, head, eye_height + 0.1f, -0.3f, 0.11f);
    const int body_mesh = skinned_primitive(m, body);
    m.meshes[static_cast<size_t>(body_mesh)].primitives[0].material = skin_material;
    const int eye_mesh = skinned_primitive(m, eyes);
    m.meshes[static_cast<size_t>(eye_mesh)].primitives[0].material = eye_material;

    // The joint chain, tail first, and the inverse of each joint's rest transform.
    std::vector<int> joints(kJoints);
    const float spacing = kChain / (kJoints - 1);
    for (int j = kJoints - 1; j >= 0; --j) {
        const std::vector<int> child = j + 1 < kJoints
                                           ? std::vector<int>{joints[static_cast<size_t>(j) + 1]}
                                           : std::vector<int>{};
        joints[static_cast<size_t>(j)] = gb::add_node(m, "joint" + std::to_string(j), -1, child);
        m.nodes.back().translation = {j == 0 ? -kLength / 2 : spacing, 0, 0};
    }
    std::vector<float> inverse_bind;
    for (int j = 0; j < kJoints; ++j)
        inverse_bind.insert(inverse_bind.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0,
                                                 kLength / 2 - j * spacing, 0, 0, 1});
    tinygltf::Skin skin;
    skin.name = "serpent";
    skin.joints = joints;
    skin.inverseBindMatrices = gb::add_floats(m, inverse_bind, 16);
    m.skins.push_back(skin);
    const int serpent = gb::add_node(m, "serpent", body_mesh);
    m.nodes.back().skin = 0;
    gb::set_extras(m.nodes.back(), 1, 0, false);
    const int eye_node = gb::add_node(m, "eyes", eye_mesh);
    m.nodes.back().skin = 0;
    gb::set_extras(m.nodes.back(), 1, 2, false);
    add_animations(m, joints);

    const int ground = gb::add_node(m, "ground", ground_mesh(m, ground_material));
    gb::set_extras(m.nodes.back(), 1, 1, true);
    const int box = box_mesh(m, stone_material);
    std::vector<int> stones;
    for (int i = 0; i < 6; ++i) {
        stones.push_back(gb::add_node(m, "stone" + std::to_string(i), box));
        const float a = 2 * kPi * (i + 0.5f) / 6;  // between the camera's usual views
        m.nodes.back().translation = {8.0 * std::cos(a), 0, 8.0 * std::sin(a)};
        m.nodes.back().scale = {0.45, 0.8 + 0.35 * (i % 3), 0.45};
        const std::vector<float> q = quaternion(0, a, 0);
        m.nodes.back().rotation = {q[0], q[1], q[2], q[3]};
        gb::set_extras(m.nodes.back(), 1, 1, false);
    }
    const int circle = gb::add_node(m, "stones", -1, stones);
    gb::set_scene(m, {joints[0], serpent, eye_node, ground, circle});

    const std::vector<uint8_t> glb = demo::write_glb(m);
    std::ofstream out(argv[1], std::ios::binary);
    out.write(reinterpret_cast<const char*>(glb.data()), static_cast<std::streamsize>(glb.size()));
    return out ? 0 : 1;
}
