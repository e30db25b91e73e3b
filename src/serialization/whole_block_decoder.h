// Decoder for a compressed block held whole in memory, as every stored string is: it reads the
// block front to back in one go, with no state kept between pieces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace demo {

// Decodes the block at the start of `block` into `out`. Gives the same results and the same
// rejections as a BlockDecoder with the same `size_limit` (0 = none) fed these bytes as one
// piece: true once the block is complete, with `*left_over` (when given) counting the bytes
// after it; false when the input ends first, leaving `out` unspecified. Throws
// std::length_error when the declared length exceeds the limit and
// std::runtime_error("Malformed data while uncompressing") on inconsistent data.
bool decode_whole_block(const uint8_t* block, size_t length, uint64_t size_limit, std::string& out,
                        size_t* left_over = nullptr);

}  // namespace demo
