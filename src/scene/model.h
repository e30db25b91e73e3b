// One glTF 2.0 asset of a demo: its file bytes, the parsed document, and what the GPU and the
// animation sampling make of it.
#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <glm/glm.hpp>
#include <memory>
#include <string>
#include <vector>

#include "render/texture.h"
#include "scene/model_animation.h"
#include "scene/model_check.h"
#include "scene/node_anim_state.h"
#include "scene/node_walk.h"
#include "scene/skeleton.h"
#include "serialization/byte_buffer.h"
#include "serialization/serializable.h"

namespace demo {

// Where one mesh's vertex arrays start in `Model::vaos`, and how many it has.
struct MeshVaoRange {
    int32_t first = 0;
    int32_t count = 0;
};

class Model : public ISerializable {
public:
    tinygltf::Model gltf;
    std::unique_ptr<ByteBuffer> buffer;  // the asset's bytes as parsed
    std::vector<MeshVaoRange> mesh_vao_ranges;
    std::vector<uint32_t> vaos;        // one per primitive, meshes in order
    std::vector<uint32_t> gl_buffers;  // one per glTF buffer, read by the vertex arrays
    std::string filename;              // with its extension; the key nodes use in a project
    int32_t pass_count = 1;
    std::vector<std::unique_ptr<Texture>> textures;  // one per glTF image
    std::shared_ptr<Animation::Skeleton> skeleton;
    std::shared_ptr<Animation::Animations> animations;
    std::vector<NodeAnimState> node_anim_states;
    std::vector<bool> animated_nodes;
    std::vector<glm::mat4> node_anim_matrices;
    bool has_animations = false;
    uint32_t matrices_ubo = 0;
    // What the scene walk reads of every glTF node, worked out once at load.
    std::vector<glm::mat4> node_local_matrices;
    std::vector<NodeExtras> node_extras;

    // What loading found: the library's verdict and messages, and the validation pass.
    bool parsed = false;
    std::string parse_warnings;
    std::string parse_errors;
    ModelCheck check;

    Model() = default;
    explicit Model(InputStream& in) { read_binary(in); }
    explicit Model(const Json& value) { from_json(value); }

    // With `export_files` the bytes go to the file `filename` and only "filename" is kept;
    // otherwise "filename" and "buffer".
    Json to_json(bool export_files) const override;
    // The name and the GLB bytes; a text asset (".gltf") is stored as "<name>.glb" with GLB
    // bytes written from the parsed document.
    void write_binary(OutputStream& out) const override;
    // "buffer" when present, parsed by the name's extension; else the file `filename`.
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;

    // One line per thing that will not show as authored, for reports ("mesh 0 ...").
    std::vector<std::string> problems() const;

private:
    // Reports the parse, checks the document and builds the animations.
    void finish_load();
};

// True when the name has an extension and its first four characters from the last dot are
// ".glb" or ".GLB": the bytes are then GLB, otherwise glTF text.
bool is_binary_gltf_name(const std::string& name);

}  // namespace demo
