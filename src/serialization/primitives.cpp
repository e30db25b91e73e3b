#include "serialization/primitives.h"

#include <bit>
#include <cstring>
#include <string>

#include "serialization/package_error.h"

namespace demo {

static_assert(std::endian::native == std::endian::little,
              "the binary form stores values as little-endian in-memory bytes");

namespace {

template <typename T>
void write_value(OutputStream& out, T value) {
    out.write_bytes(&value, sizeof value);
}

template <typename T>
T read_value(InputStream& in, const char* what) {
    T value;
    in.read_bytes(&value, sizeof value, what);
    return value;
}

}  // namespace

void write_bool(OutputStream& out, bool value) {
    write_value<uint8_t>(out, value ? 1 : 0);
}
void write_i32(OutputStream& out, int32_t value) {
    write_value(out, value);
}
void write_u32(OutputStream& out, uint32_t value) {
    write_value(out, value);
}
void write_f32(OutputStream& out, float value) {
    write_value(out, value);
}
void write_u64(OutputStream& out, uint64_t value) {
    write_value(out, value);
}

bool read_bool(InputStream& in, const char* what) {
    return read_value<uint8_t>(in, what) != 0;
}
int32_t read_i32(InputStream& in, const char* what) {
    return read_value<int32_t>(in, what);
}
uint32_t read_u32(InputStream& in, const char* what) {
    return read_value<uint32_t>(in, what);
}
float read_f32(InputStream& in, const char* what) {
    return read_value<float>(in, what);
}
uint64_t read_u64(InputStream& in, const char* what) {
    return read_value<uint64_t>(in, what);
}

uint64_t read_count(InputStream& in, uint64_t min_element_size, const char* what) {
    const uint64_t start = in.offset();
    const uint64_t count = read_u64(in, what);
    const uint64_t unit = min_element_size == 0 ? 1 : min_element_size;
    if (count > in.remaining() / unit) {
        throw PackageError("package is corrupt: " + std::string(what) + " is " +
                               std::to_string(count) + " but only " +
                               std::to_string(in.remaining()) + " bytes remain",
                           start);
    }
    return count;
}

}  // namespace demo
