// The keystream XOR that every stored string and byte buffer passes through.
#pragma once

#include <cstddef>
#include <cstdint>

namespace demo {

// XORs `length` bytes in place with a keystream that starts afresh at its seed on every
// call; applying it twice restores the bytes. Counts with a 64-bit index, so any size works.
void scramble(uint8_t* bytes, size_t length);

}  // namespace demo
