#include "serialization/data.h"

#include "serialization/json_fields.h"
#include "serialization/stored_string.h"

namespace demo {

Json Data::to_json(bool export_files) const {
    Json value = Json::object();
    value["name"] = name;
    buffer_to_json(value, "data_buffer", buffer, export_files, name);
    return value;
}

void Data::write_binary(OutputStream& out) const {
    write_string(name, out);
    write_buffer_or_empty(out, buffer);
}

void Data::from_json(const Json& value) {
    name = json_string(value, "name");
    buffer = buffer_from_json(value, "data_buffer", name);
}

void Data::read_binary(InputStream& in) {
    name = read_string(in, "a data blob's name");
    buffer = std::make_unique<ByteBuffer>(in);
}

}  // namespace demo
