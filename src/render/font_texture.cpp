#include "render/font_texture.h"

#include "render/font.h"
#include "serialization/json_fields.h"
#include "serialization/primitives.h"
#include "serialization/stored_string.h"

namespace demo {

// The surface and GL texture are released by the rendering side; font textures live until
// the process ends.
FontTexture::~FontTexture() = default;

Json FontTexture::to_json(bool /*export_files*/) const {
    Json value = Json::object();
    value["name"] = name;
    value["width"] = width;
    value["height"] = height;
    value["font"] = font.object != nullptr ? font.object->name : font.key;
    value["center"] = center;
    value["chars_per_beat"] = chars_per_beat;
    return value;
}

void FontTexture::write_binary(OutputStream& out) const {
    write_string(name, out);
    write_i32(out, width);
    write_i32(out, height);
    write_u64(out, out.id_of(font.object));
    write_bool(out, center);
    write_i32(out, chars_per_beat);
}

void FontTexture::from_json(const Json& value) {
    name = json_string(value, "name");
    width = static_cast<int32_t>(json_int(value, "width", 0));
    height = static_cast<int32_t>(json_int(value, "height", 0));
    font.key = json_string(value, "font");
    center = json_bool(value, "center", false);
    chars_per_beat = value.is_object() && value.contains("chars_per_beat")
                         ? static_cast<int32_t>(json_int(value, "chars_per_beat", 0))
                         : -1;
}

void FontTexture::read_binary(InputStream& in) {
    name = read_string(in, "a font texture name");
    width = read_i32(in, "a font texture width");
    height = read_i32(in, "a font texture height");
    font.id = read_u64(in, "a font texture's font");
    center = read_bool(in, "a font texture's centre flag");
    chars_per_beat = read_i32(in, "a font texture's typing rate");
}

void FontTexture::resolve_references(const IdRegistry& registry) {
    font.resolve(registry);
}

void FontTexture::resolve_references(const JsonKeyMaps& keys) {
    font.resolve(keys.fonts);
}

}  // namespace demo
