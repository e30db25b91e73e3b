// A named raw resource of a demo; the name is also its side file's path in the project.
#pragma once

#include <memory>
#include <string>

#include "serialization/byte_buffer.h"
#include "serialization/serializable.h"

namespace demo {

class Data : public ISerializable {
public:
    std::unique_ptr<ByteBuffer> buffer;
    std::string name;

    Data() = default;
    explicit Data(InputStream& in) { read_binary(in); }
    explicit Data(const Json& value) { from_json(value); }

    // Embedded: {"name", "data_buffer"}; exported: {"name"} with the bytes in the file `name`.
    Json to_json(bool export_files) const override;
    // `name` as a stored string, then the buffer (an empty one when there is none).
    void write_binary(OutputStream& out) const override;
    // "data_buffer" wins over the side file; a missing side file is fatal.
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;
};

}  // namespace demo
