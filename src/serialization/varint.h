// Little-endian base-128 integers, the building block of the compressed block format.
#pragma once

#include <cstdint>
#include <vector>

namespace demo {

// Appends the varint form of `value` to `out`.
void append_varint(std::vector<uint8_t>& out, uint64_t value);

}  // namespace demo
