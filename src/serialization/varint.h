// Little-endian base-128 integers, the building block of the compressed block format.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace demo {

// Number of bytes the varint form of `value` takes (1 to 10).
size_t varint_size(uint64_t value);

// Appends the varint form of `value` to `out`.
void append_varint(std::vector<uint8_t>& out, uint64_t value);

}  // namespace demo
