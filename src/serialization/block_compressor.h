// The LZ77-style block compressor every stored string goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace demo {

// Chain depth and bucket count used for the strings of a package.
inline constexpr size_t kStringChainDepth = 12;
inline constexpr size_t kStringBucketCount = 4096;

// Compresses `length` bytes into one block: the varint length, then literal runs and copies.
// The match search is greedy and bounded: at most `chain_depth` candidates per position,
// found through a hash table of `bucket_count` rows.
std::vector<uint8_t> compress_block(const uint8_t* input, size_t length, size_t chain_depth,
                                    size_t bucket_count);

}  // namespace demo
