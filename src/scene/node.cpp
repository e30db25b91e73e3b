#include "scene/node.h"

#include "scene/model.h"
#include "serialization/json_fields.h"
#include "serialization/primitives.h"
#include "serialization/stored_string.h"

namespace demo {

Json Node::to_json(bool /*export_files*/) const {
    Json value = Json::object();
    value["name"] = name;
    if (model.object != nullptr)
        value["model"] = model.object->filename;
    else if (!model.key.empty())
        value["model"] = model.key;  // unresolved: written back as it was read
    return value;
}

void Node::write_binary(OutputStream& out) const {
    write_string(name, out);
    write_u64(out, out.id_of(model.object));
}

void Node::from_json(const Json& value) {
    name = json_string(value, "name");
    model.key = json_string(value, "model");
}

void Node::read_binary(InputStream& in) {
    name = read_string(in, "a node name");
    model.id = read_u64(in, "a node's model");
}

}  // namespace demo
