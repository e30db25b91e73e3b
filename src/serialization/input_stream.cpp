#include "serialization/input_stream.h"

#include <cstring>
#include <string>

#include "serialization/package_error.h"

namespace demo {

namespace {

// The allowance plus 256 bytes per package byte, saturating instead of wrapping.
uint64_t unpack_budget_for(uint64_t package_size, uint64_t allowance) {
    if (package_size > (UINT64_MAX - allowance) / kUnpackPerPackageByte)
        return UINT64_MAX;
    return allowance + package_size * kUnpackPerPackageByte;
}

}  // namespace

InputStream::InputStream(std::FILE* file, uint64_t limit, uint64_t allowance)
    : file_(file), limit_(limit), unpack_budget_(unpack_budget_for(limit, allowance)) {}

InputStream::InputStream(const uint8_t* data, uint64_t size, uint64_t allowance)
    : data_(data), limit_(size), unpack_budget_(unpack_budget_for(size, allowance)) {}

void InputStream::charge_unpacked(uint64_t size, const char* what, uint64_t offset) {
    if (size > unpack_budget_) {
        throw PackageError("package is corrupt: " + std::string(what) + " would unpack past the " +
                               std::to_string(unpack_budget_) + " bytes left to this package",
                           offset);
    }
    unpack_budget_ -= size;
}

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
