// Bounded reader over a package: a stdio file (from its current position) or a memory span.
// Every read is checked against the bytes left, so a truncated or corrupt package ends in a
// PackageError and never in a read past the data or an allocation larger than it.
#pragma once

#include <cstdint>
#include <cstdio>

namespace demo {

// What one package read may unpack in all, beyond the 256 bytes allowed per package byte.
inline constexpr uint64_t kUnpackAllowance = uint64_t{1} << 30;
// What each package byte may unpack to, across all its strings, buffers and images.
inline constexpr uint64_t kUnpackPerPackageByte = 256;

class InputStream {
public:
    // Reads at most `limit` bytes of `file`, starting at its current position. The file stays
    // owned by the caller.
    InputStream(std::FILE* file, uint64_t limit, uint64_t allowance = kUnpackAllowance);
    // Reads the `size` bytes at `data`, which must outlive the stream.
    InputStream(const uint8_t* data, uint64_t size, uint64_t allowance = kUnpackAllowance);

    // Copies the next `size` bytes to `out`, or throws PackageError naming `what`.
    void read_bytes(void* out, uint64_t size, const char* what);
    // Throws PackageError naming `what` unless `size` bytes are left.
    void require(uint64_t size, const char* what) const;

    uint64_t offset() const { return offset_; }
    uint64_t remaining() const { return limit_ - offset_; }

    // Bytes this read may still unpack: a package of a few bytes must not be able to demand
    // gigabytes through strings that expand or images that decode to far more than they hold.
    uint64_t unpack_budget() const { return unpack_budget_; }
    // Takes `size` unpacked bytes from the budget, or throws PackageError naming `what` at
    // `offset` when they do not fit.
    void charge_unpacked(uint64_t size, const char* what, uint64_t offset);

private:
    std::FILE* file_ = nullptr;
    const uint8_t* data_ = nullptr;
    uint64_t limit_ = 0;
    uint64_t offset_ = 0;
    uint64_t unpack_budget_ = 0;
};

}  // namespace demo
