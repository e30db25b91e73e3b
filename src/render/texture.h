// An image that shaders sample: the encoded file, decoded once to RGBA and uploaded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "serialization/byte_buffer.h"
#include "serialization/serializable.h"

namespace demo {

class Texture : public ISerializable {
public:
    uint32_t texture_id = 0;                   // 0 when decoding failed or not yet decoded
    std::unique_ptr<ByteBuffer> image_buffer;  // none for blank textures
    std::string name;                          // also the image file's path in a project
    int32_t width = 0;
    int32_t height = 0;

    Texture() = default;
    explicit Texture(InputStream& in) { read_binary(in); }
    explicit Texture(const Json& value) { from_json(value); }

    // Embedded: {"name", "image_buffer"}; exported: {"name"} with the image in the file `name`.
    Json to_json(bool export_files) const override;
    // `name`, then the image bytes; a texture without them writes an empty image.
    void write_binary(OutputStream& out) const override;
    // "image_buffer" wins over the image file; a missing image file is fatal.
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;
};

}  // namespace demo
