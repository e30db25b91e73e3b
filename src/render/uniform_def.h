// A float uniform the author can tune, driven by the event track of the same name.
#pragma once

#include <cstdint>
#include <string>

#include "serialization/serializable.h"

namespace demo {

class UniformDef : public ISerializable {
public:
    std::string name;  // GLSL name, and the name of the track that drives it
    float min_val = 0.0f;
    float max_val = 1.0f;
    float default_val = 0.0f;  // used whenever no control point drives the uniform
    int32_t location = -1;     // in the linked program; not stored

    UniformDef() = default;

    Json to_json(bool export_files) const override;
    void write_binary(OutputStream& out) const override;
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;
};

}  // namespace demo
