#include "serialization/byte_buffer.h"

#include <cstdio>

#include "base/fatal_error.h"
#include "serialization/base64.h"
#include "serialization/file_io.h"
#include "serialization/primitives.h"
#include "serialization/scramble.h"

namespace demo {

ByteBuffer::ByteBuffer(const std::string& path) {
    std::FILE* file = open_regular_file(side_file_path(path));
    if (file == nullptr)
        throw FatalError(format_message("File not found: %s", path.c_str()), side_file_folder());
    std::fseek(file, 0, SEEK_END);
    const long end = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    data.resize(end > 0 ? static_cast<size_t>(end) : 0);
    data.resize(std::fread(data.data(), 1, data.size(), file));
    std::fclose(file);
}

ByteBuffer::ByteBuffer(const uint8_t* bytes, uint64_t size) : data(bytes, bytes + size) {}

Json ByteBuffer::to_json(bool /*export_files*/) const {
    return base64_encode(data.data(), data.size());
}

void ByteBuffer::write_binary(OutputStream& out) const {
    std::vector<uint8_t> stored = data;
    scramble(stored.data(), stored.size());
    write_u64(out, stored.size());
    out.write_bytes(stored.data(), stored.size());
}

void ByteBuffer::from_json(const Json& value) {
    data.clear();
    if (value.is_string())
        data = base64_decode(value.get_ref<const std::string&>());
}

void ByteBuffer::read_binary(InputStream& in) {
    const uint64_t start = in.offset();
    const uint64_t size = read_u64(in, "a byte buffer size");
    in.require(size, "a byte buffer");
    in.charge_unpacked(size, "a byte buffer", start);
    data.assign(size, 0);
    in.read_bytes(data.data(), size, "a byte buffer");
    scramble(data.data(), data.size());
}

// ---------------------------------------------------------------------------------------------
// Buffers of named resources
// ---------------------------------------------------------------------------------------------

void write_buffer_or_empty(OutputStream& out, const std::unique_ptr<ByteBuffer>& buffer) {
    if (buffer) {
        buffer->write_binary(out);
    } else {
        ByteBuffer().write_binary(out);
    }
}

void buffer_to_json(Json& object, const char* key, const std::unique_ptr<ByteBuffer>& buffer,
                    bool export_files, const std::string& side_file) {
    if (export_files) {
        // No buffer stands for an empty one, here as in the binary form: the side file must
        // exist, or the exported project could not be read back.
        write_side_file(side_file, buffer ? buffer->data.data() : nullptr,
                        buffer ? buffer->size() : 0);
    } else {
        object[key] = buffer ? buffer->to_json(false) : Json("");
    }
}

std::unique_ptr<ByteBuffer> buffer_from_json(const Json& object, const char* key,
                                             const std::string& side_file) {
    if (object.is_object() && object.contains(key))
        return std::make_unique<ByteBuffer>(object[key]);
    return std::make_unique<ByteBuffer>(side_file);
}

}  // namespace demo
