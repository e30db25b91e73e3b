#include "render/texture.h"

#include "serialization/json_fields.h"
#include "serialization/stored_string.h"

namespace demo {

Json Texture::to_json(bool export_files) const {
    Json value = Json::object();
    value["name"] = name;
    buffer_to_json(value, "image_buffer", image_buffer, export_files, name);
    return value;
}

void Texture::write_binary(OutputStream& out) const {
    // Without image bytes an empty image is written: leaving the buffer out would make every
    // later object of the package misread.
    write_string(name, out);
    write_buffer_or_empty(out, image_buffer);
}

void Texture::from_json(const Json& value) {
    name = json_string(value, "name");
    image_buffer = buffer_from_json(value, "image_buffer", name);
}

void Texture::read_binary(InputStream& in) {
    name = read_string(in, "a texture name");
    image_buffer = std::make_unique<ByteBuffer>(in);
}

}  // namespace demo
