// The root of a scene: names the model the scene draws. A model's own node tree is not
// mirrored here; it is walked from the glTF document when the scene is drawn.
#pragma once

#include <string>

#include "serialization/json_key_maps.h"
#include "serialization/object_ref.h"
#include "serialization/serializable.h"

namespace demo {

class Model;

class Node : public ISerializable {
public:
    ObjectRef<Model> model;  // keyed by the model's file name in a project
    std::string name;

    Node() = default;
    explicit Node(InputStream& in) { read_binary(in); }
    explicit Node(const Json& value) { from_json(value); }

    // "name", and "model" (the model's file name) when a model is set.
    Json to_json(bool export_files) const override;
    // `name`, then the model's identifier (0 for none).
    void write_binary(OutputStream& out) const override;
    // Reads "name" and keeps "model" as a key until the scene links it.
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;
};

}  // namespace demo
