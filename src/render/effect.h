// One draw of a shader program over the screen (or of a 3D scene), with its inputs: images,
// texts, other effects' outputs and copies of the screen.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/buffer.h"
#include "serialization/id_registry.h"
#include "serialization/json_key_maps.h"
#include "serialization/object_ref.h"
#include "serialization/serializable.h"

namespace demo {

class Effect : public ISerializable {
public:
    std::vector<ObjectRef<Texture>> textures;           // image inputs
    std::vector<ObjectRef<Effect>> effects;             // input effects
    std::vector<ObjectRef<FontTexture>> font_textures;  // text inputs
    ObjectRef<ShaderProgram> program;                   // without one nothing is drawn
    ObjectRef<Scene> scene;                             // draws the scene instead of the quad
    std::string name;
    bool feedback = false;        // the last capture is the first input
    bool screen_texture = false;  // a copy of the screen just before drawing is the last input
    bool has_scene_key = false;   // the project named a scene

    uint32_t quad_vbo = 0;
    uint32_t quad_vao = 0;
    std::unique_ptr<Buffer> capture_buffer;
    uint32_t capture_texture = 0;
    uint32_t target_framebuffer = 0;
    uint32_t target_texture = 0;

    Effect() = default;
    explicit Effect(InputStream& in) { read_binary(in); }
    explicit Effect(const Json& value) { from_json(value); }
    ~Effect() override = default;

    Json to_json(bool export_files) const override;
    void write_binary(OutputStream& out) const override;
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;

    void resolve_references(const IdRegistry& registry);
    void resolve_references(const JsonKeyMaps& keys);

    // One line per input that names nothing ("effect 'x': texture id 12 names nothing").
    std::vector<std::string> dangling_references() const;
};

}  // namespace demo
