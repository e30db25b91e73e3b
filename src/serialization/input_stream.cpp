#include "serialization/input_stream.h"

#include <cstring>
#include <string>

#include "serialization/package_error.h"

namespace demo {

InputStream::InputStream(std::FILE* file, uint64_t limit) : file_(file), limit_(limit) {}

InputStream::InputStream(const uint8_t* data, uint64_t size) : data_(data), limit_(size) {}

void InputStream::require(uint64_t size, const char* what) const {
    if (size > remaining()) {
        throw PackageError("package is truncated or corrupt: " + std::string(what) + " needs " +
                               std::to_string(size) + " bytes but only " +
                               std::to_string(remaining()) + " remain",
                           offset_);
    }
}

void InputStream::read_bytes(void* out, uint64_t size, const char* what) {
    require(size, what);
    if (size == 0)
        return;
    if (data_ != nullptr) {
        std::memcpy(out, data_ + offset_, size);
    } else if (std::fread(out, 1, size, file_) != size) {
        throw PackageError(
            "package is truncated: the file ended while reading " + std::string(what), offset_);
    }
    offset_ += size;
}

}  // namespace demo
