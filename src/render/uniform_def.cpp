#include "render/uniform_def.h"

#include "serialization/json_fields.h"
#include "serialization/primitives.h"
#include "serialization/stored_string.h"

namespace demo {

Json UniformDef::to_json(bool /*export_files*/) const {
    Json value = Json::object();
    value["name"] = name;
    value["min_val"] = static_cast<double>(min_val);
    value["max_val"] = static_cast<double>(max_val);
    value["default_val"] = static_cast<double>(default_val);
    return value;
}

void UniformDef::write_binary(OutputStream& out) const {
    write_string(name, out);
    write_f32(out, min_val);
    write_f32(out, max_val);
    write_f32(out, default_val);
}

void UniformDef::from_json(const Json& value) {
    name = json_string(value, "name");
    min_val = json_float(value, "min_val");
    max_val = json_float(value, "max_val");
    default_val = json_float(value, "default_val");
}

void UniformDef::read_binary(InputStream& in) {
    name = read_string(in, "a uniform name");
    min_val = read_f32(in, "a uniform's minimum");
    max_val = read_f32(in, "a uniform's maximum");
    default_val = read_f32(in, "a uniform's default");
}

}  // namespace demo
