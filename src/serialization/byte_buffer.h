// An owned run of opaque bytes: an encoded image, a font file, a sound file, a model, the
// music or a raw data blob.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "serialization/serializable.h"

namespace demo {

class ByteBuffer : public ISerializable {
public:
    std::vector<uint8_t> data;

    ByteBuffer() = default;
    // From a JSON string holding base64 text; any other JSON value gives an empty buffer.
    explicit ByteBuffer(const Json& value) { from_json(value); }
    // From the binary form at the stream's position.
    explicit ByteBuffer(InputStream& in) { read_binary(in); }
    // From the side file `path`; one that cannot be opened throws FatalError ("File not
    // found: %s").
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

namespace demo {

// ---------------------------------------------------------------------------------------------
// Buffers that belong to a named resource, with a side file in the project form
// ---------------------------------------------------------------------------------------------

// Writes the buffer's binary form, or an empty buffer when there is none: the package has no
// per-object lengths, so leaving it out would make everything after it misread.
void write_buffer_or_empty(OutputStream& out, const std::unique_ptr<ByteBuffer>& buffer);

// Embeds the buffer under `key`, or with `export_files` writes it to `side_file` instead.
void buffer_to_json(Json& object, const char* key, const std::unique_ptr<ByteBuffer>& buffer,
                    bool export_files, const std::string& side_file);

// The buffer embedded under `key` when the object has that member, otherwise the contents of
// `side_file` (a missing file is fatal).
std::unique_ptr<ByteBuffer> buffer_from_json(const Json& object, const char* key,
                                             const std::string& side_file);

}  // namespace demo
