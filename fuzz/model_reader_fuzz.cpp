// libFuzzer entry point for the glTF model reader: parse, the validation pass, the animation
// build, and one frame of what the player does with a model (node walk, skeleton and node
// animation), all without GL; then the GLB the packer would write, read back. The first byte
// picks GLB (even) or glTF text (odd).
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "scene/gltf_io.h"
#include "scene/model.h"
#include "scene/node_walk.h"
#include "serialization/base64.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/stored_string.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const bool text = (data[0] & 1) != 0;
    const uint8_t* asset = data + 1;
    const size_t length = size - 1;
    std::unique_ptr<demo::Model> model;
    try {
        if (text) {
            model = std::make_unique<demo::Model>(demo::Json{
                {"filename", "fuzz.gltf"}, {"buffer", demo::base64_encode(asset, length)}});
        } else {
            std::vector<uint8_t> stored;
            demo::OutputStream out(stored);
            demo::write_string("fuzz.glb", out);
            demo::ByteBuffer(asset, length).write_binary(out);
            demo::InputStream in(stored.data(), stored.size());
            model = std::make_unique<demo::Model>(in);
        }
    } catch (const std::runtime_error&) {
        return 0;  // refused with its reason: a document nested too deep to parse
    }
    std::vector<demo::NodeDraw> draws;
    demo::walk_nodes(*model, draws);
    for (const float t : {0.0f, 0.37f, 1.0f}) {
        if (model->skeleton && !model->skeleton->joints.empty()) {
            demo::Animation::sample_skinned(*model->animations, static_cast<int32_t>(size), t,
                                            *model->skeleton);
            demo::Animation::update_skeleton(*model->skeleton);
        }
        demo::animate_nodes(*model, static_cast<int64_t>(size % 7), t);
    }
    model->problems();
    if (text) {
        // A text asset is packed as GLB written from its document; that must read again.
        const std::vector<uint8_t> glb = demo::write_glb(model->gltf);
        tinygltf::Model again;
        demo::parse_gltf(again, glb.data(), glb.size(), true, "");
    }
    return 0;
}
