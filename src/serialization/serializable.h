// The interface every resource of a demo shares: a binary form for the package and a JSON
// form for the project document.
#pragma once

#include "serialization/input_stream.h"
#include "serialization/json.h"
#include "serialization/output_stream.h"

namespace demo {

class ISerializable {
public:
    // The object's JSON form. With `export_files`, large contents (raw bytes, shader sources,
    // the music) go to side files and are left out of the value; otherwise they are embedded.
    virtual Json to_json(bool export_files) const = 0;
    // Appends the binary form to `out`.
    virtual void write_binary(OutputStream& out) const = 0;
    // Fills the object from its JSON form.
    virtual void from_json(const Json& value) = 0;
    // Fills the object from the binary form at the stream's position.
    virtual void read_binary(InputStream& in) = 0;

    virtual ~ISerializable() = default;
};

}  // namespace demo
