// An owned run of opaque bytes: an encoded image, a font file, a sound file, a model, the
// music or a raw data blob.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "serialization/serializable.h"

namespace demo {

class ByteBuffer : public ISerializable {
public:
    std::vector<uint8_t> data;

    ByteBuffer() = default;
    // From a JSON string holding base64 text; any other JSON value gives an empty buffer.
    explicit ByteBuffer(const Json& value);
    // From the binary form at the stream's position.
    explicit ByteBuffer(InputStream& in);
    // From a whole file; a file that cannot be opened is fatal ("File not found: %s").
    explicit ByteBuffer(const std::string& path);
    // A copy of `size` bytes at `bytes`.
    ByteBuffer(const uint8_t* bytes, uint64_t size);

    uint64_t size() const { return data.size(); }

    // Base64 text of the bytes; `export_files` does not apply to a bare buffer.
    Json to_json(bool export_files) const override;
    // 64-bit size, then the scrambled bytes; the buffer itself is left unchanged.
    void write_binary(OutputStream& out) const override;
    void from_json(const Json& value) override;
    void read_binary(InputStream& in) override;
};

}  // namespace demo
