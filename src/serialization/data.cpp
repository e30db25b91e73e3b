#include "serialization/data.h"

#include "serialization/file_io.h"
#include "serialization/json_fields.h"
#include "serialization/stored_string.h"

namespace demo {

Data::Data(InputStream& in) { read_binary(in); }

Data::Data(const Json& value) { from_json(value); }

Json Data::to_json(bool export_files) const {
    Json value = Json::object();
    value["name"] = name;
    if (export_files) {
        if (buffer) write_file(name, buffer->data.data(), buffer->size());
    } else {
        value["data_buffer"] = buffer ? buffer->to_json(false) : Json("");
    }
    return value;
}

void Data::write_binary(OutputStream& out) const {
    write_string(name, out);
    // The package has no per-object lengths: a blob without bytes is still written as an empty
    // buffer, or every object after it would be misread.
    if (buffer) {
        buffer->write_binary(out);
    } else {
        ByteBuffer().write_binary(out);
    }
}

void Data::from_json(const Json& value) {
    name = json_string(value, "name");
    if (value.is_object() && value.contains("data_buffer")) {
        buffer = std::make_unique<ByteBuffer>(value["data_buffer"]);
    } else {
        buffer = std::make_unique<ByteBuffer>(name);
    }
}

void Data::read_binary(InputStream& in) {
    name = read_string(in, "a data blob's name");
    buffer = std::make_unique<ByteBuffer>(in);
}

}  // namespace demo
