// The LZ77-style block compressor every stored string goes through.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace demo {

// Chain depth and bucket count used for the strings of a package.
inline constexpr size_t kStringChainDepth = 12;
inline constexpr size_t kStringBucketCount = 4096;

// Compresses blocks one after another. The match search is greedy and bounded: at most
// `chain_depth` candidates per position, found through a hash table of `bucket_count` rows.
// The table is kept between blocks and only the rows a block touched are cleared before the
// next one, so that many short strings do not each pay for clearing the whole table.
class BlockCompressor {
public:
    // Throws std::invalid_argument when either parameter is 0.
    explicit BlockCompressor(size_t chain_depth = kStringChainDepth,
                             size_t bucket_count = kStringBucketCount);

    // Compresses `length` bytes into one block: the varint length, then literal runs and
    // copies. The returned bytes stay valid until the next call.
    std::span<uint8_t> compress(const uint8_t* input, size_t length);

private:
    // The match search over `table`; with `track_rows`, notes each row it first writes.
    template <typename Shape, typename Cell>
    void compress_with(const uint8_t* input, size_t length, Shape shape, Cell* table,
                       bool track_rows);
    // Clears the rows the last block wrote, or the whole table when it wrote many.
    void clear_touched_rows();
    // Makes room for `n` more output bytes.
    uint8_t* reserve_output(uint8_t* op, size_t n);

    size_t chain_depth_;
    size_t bucket_count_;
    size_t row_count_;               // rows the hash can reach: at most 2^16
    std::vector<uint32_t> table_;    // row_count_ rows of chain_depth_ + 1 cells
    std::vector<uint32_t> touched_;  // rows written since the table was last clear
    std::vector<uint8_t> output_;
    size_t output_size_ = 0;
};

// Compresses `length` bytes into one block with a table of its own.
std::vector<uint8_t> compress_block(const uint8_t* input, size_t length, size_t chain_depth,
                                    size_t bucket_count);

}  // namespace demo
