#include "render/font.h"

#include "serialization/file_io.h"
#include "serialization/json_fields.h"
#include "serialization/primitives.h"
#include "serialization/stored_string.h"

namespace demo {

Font::Font(InputStream& in) { read_binary(in); }

Font::Font(const Json& value) { from_json(value); }

Json Font::to_json(bool export_files) const {
    Json value = Json::object();
    value["name"] = name;
    value["ptsize"] = ptsize;
    if (export_files) {
        if (font_buffer) write_file(filename, font_buffer->data.data(), font_buffer->size());
    } else {
        value["font_buffer"] = font_buffer ? font_buffer->to_json(false) : Json("");
    }
    value["filename"] = filename;
    return value;
}

void Font::write_binary(OutputStream& out) const {
    write_string(name, out);
    write_string(filename, out);
    write_i32(out, ptsize);
    if (font_buffer) {
        font_buffer->write_binary(out);
    } else {
        ByteBuffer().write_binary(out);
    }
}

void Font::from_json(const Json& value) {
    name = json_string(value, "name");
    filename = json_string(value, "filename");
    ptsize = static_cast<int32_t>(json_int(value, "ptsize", 0));
    if (value.is_object() && value.contains("font_buffer")) {
        font_buffer = std::make_unique<ByteBuffer>(value["font_buffer"]);
    } else {
        font_buffer = std::make_unique<ByteBuffer>(filename);
    }
}

void Font::read_binary(InputStream& in) {
    name = read_string(in, "a font name");
    filename = read_string(in, "a font file name");
    ptsize = read_i32(in, "a font size");
    font_buffer = std::make_unique<ByteBuffer>(in);
}

}  // namespace demo
