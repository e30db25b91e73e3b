// Writer of the binary form: appends to a stdio file or to a byte vector in memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <unordered_map>
#include <vector>

namespace demo {

class OutputStream {
public:
    // Appends at the file's current position; the file stays owned by the caller.
    explicit OutputStream(std::FILE* file) : file_(file) {}
    // Appends to `bytes`, which must outlive the stream.
    explicit OutputStream(std::vector<uint8_t>& bytes) : bytes_(&bytes) {}

    // Appends `size` bytes; a failed file write is remembered and reported by `ok`.
    void write_bytes(const void* data, uint64_t size);

    // Identifier written for `object` (0 for none). With an identifier table set, objects get
    // the identifiers it assigns, so equal demos give equal packages; without one, or for an
    // object the table lacks, the object's address serves, which is distinct and non-zero.
    uint64_t id_of(const void* object) const;
    void set_id_table(const std::unordered_map<const void*, uint64_t>* table) { ids_ = table; }

    bool ok() const { return ok_; }
    uint64_t written() const { return written_; }

private:
    std::FILE* file_ = nullptr;
    std::vector<uint8_t>* bytes_ = nullptr;
    const std::unordered_map<const void*, uint64_t>* ids_ = nullptr;
    uint64_t written_ = 0;
    bool ok_ = true;
};

}  // namespace demo
