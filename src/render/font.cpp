#include "render/font.h"

#include "serialization/json_fields.h"
#include "serialization/primitives.h"
#include "serialization/stored_string.h"

namespace demo {

Json Font::to_json(bool export_files) const {
    Json value = Json::object();
    value["name"] = name;
    value["ptsize"] = ptsize;
    buffer_to_json(value, "font_buffer", font_buffer, export_files, filename);
    value["filename"] = filename;
    return value;
}

void Font::write_binary(OutputStream& out) const {
    write_string(name, out);
    write_string(filename, out);
    write_i32(out, ptsize);
    write_buffer_or_empty(out, font_buffer);
}

void Font::from_json(const Json& value) {
    name = json_string(value, "name");
    filename = json_string(value, "filename");
    ptsize = static_cast<int32_t>(json_int(value, "ptsize", 0));
    font_buffer = buffer_from_json(value, "font_buffer", filename);
}

void Font::read_binary(InputStream& in) {
    name = read_string(in, "a font name");
    filename = read_string(in, "a font file name");
    ptsize = read_i32(in, "a font size");
    font_buffer = std::make_unique<ByteBuffer>(in);
}

}  // namespace demo
