// Bounded reader over a package: a stdio file (from its current position) or a memory span.
// Every read is checked against the bytes left, so a truncated or corrupt package ends in a
// PackageError and never in a read past the data or an allocation larger than it.
#pragma once

#include <cstdint>
#include <cstdio>

namespace demo {

class InputStream {
public:
    // Reads at most `limit` bytes of `file`, starting at its current position. The file stays
    // owned by the caller.
    InputStream(std::FILE* file, uint64_t limit);
    // Reads the `size` bytes at `data`, which must outlive the stream.
    InputStream(const uint8_t* data, uint64_t size);

    // Copies the next `size` bytes to `out`, or throws PackageError naming `what`.
    void read_bytes(void* out, uint64_t size, const char* what);
    // Throws PackageError naming `what` unless `size` bytes are left.
    void require(uint64_t size, const char* what) const;

    uint64_t offset() const { return offset_; }
    uint64_t remaining() const { return limit_ - offset_; }

private:
    std::FILE* file_ = nullptr;
    const uint8_t* data_ = nullptr;
    uint64_t limit_ = 0;
    uint64_t offset_ = 0;
};

}  // namespace demo
