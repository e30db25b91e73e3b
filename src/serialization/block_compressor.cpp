#include "serialization/block_compressor.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>

namespace demo {

namespace {

// The table shape of stored strings, fixed at compile time: the bucket modulo becomes a mask
// and the walk along a row a loop of known length.
struct StringShape {
    static constexpr size_t depth() { return kStringChainDepth; }
    static constexpr size_t buckets() { return kStringBucketCount; }
};

// Any other table shape, chosen at run time.
struct AnyShape {
    size_t chain_depth;
    size_t bucket_count;
    size_t depth() const { return chain_depth; }
    size_t buckets() const { return bucket_count; }
};

// Rows the hash can reach: it is taken modulo the bucket count and truncated to 16 bits.
constexpr size_t kMaxRows = size_t{1} << 16;

// Most bytes one varint takes; a copy token is at most two of them.
constexpr size_t kMaxVarint = 10;

// 32-bit FNV-1a over the five bytes that start a candidate match.
inline uint32_t hash_five(const uint8_t* p) {
    uint32_t h = 0x811C9DC5u;
    for (int k = 0; k < 5; ++k) {
        h ^= p[k];
        h *= 16777619u;
    }
    return h;
}

// Size estimate of a varint used to price a copy: 1 below 2^7, 2 below 2^14, 3 below 2^21,
// 4 otherwise. The length varint is priced from a length of 8 on, although the long form is
// only written from 12; match choice follows this estimate exactly.
inline size_t estimate_size(uint64_t x) {
    return x < (1u << 7) ? 1 : x < (1u << 14) ? 2 : x < (1u << 21) ? 3 : 4;
}

// Loads eight bytes as one word, in memory order.
inline uint64_t load_word(const uint8_t* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    return word;
}

// Number of equal bytes at `a` and `b`, up to `limit`, compared a word at a time.
inline size_t match_length(const uint8_t* a, const uint8_t* b, size_t limit) {
    size_t length = 0;
    while (length + 8 <= limit) {
        const uint64_t diff = load_word(a + length) ^ load_word(b + length);
        if (diff != 0) {
            // The first differing byte in memory order ends the match.
            const int bits = std::endian::native == std::endian::little ? std::countr_zero(diff)
                                                                        : std::countl_zero(diff);
            return length + static_cast<size_t>(bits) / 8;
        }
        length += 8;
    }
    while (length < limit && a[length] == b[length])
        ++length;
    return length;
}

// Writes the varint form of `value` at `op` and returns the position after it.
inline uint8_t* put_varint(uint8_t* op, uint64_t value) {
    while (value >= 0x80) {
        *op++ = static_cast<uint8_t>(value | 0x80);
        value >>= 7;
    }
    *op++ = static_cast<uint8_t>(value);
    return op;
}

}  // namespace

BlockCompressor::BlockCompressor(size_t chain_depth, size_t bucket_count)
    : chain_depth_(chain_depth),
      bucket_count_(bucket_count),
      row_count_(std::min(bucket_count, kMaxRows)) {
    if (chain_depth == 0 || bucket_count == 0)
        throw std::invalid_argument("block compressor needs a chain depth and a bucket count");
    table_.assign(row_count_ * (chain_depth + 1), 0);
    // Each row is entered at most once between clears, so this never grows while compressing.
    touched_.reserve(row_count_);
}

std::span<uint8_t> BlockCompressor::compress(const uint8_t* input, size_t length) {
    clear_touched_rows();
    output_size_ = 0;
    if (length > UINT32_MAX - 1) {
        // Positions past 32 bits need wide cells: a table of its own for this block.
        std::vector<uint64_t> wide(row_count_ * (chain_depth_ + 1), 0);
        compress_with(input, length, AnyShape{chain_depth_, bucket_count_}, wide.data(), false);
    } else if (chain_depth_ == kStringChainDepth && bucket_count_ == kStringBucketCount) {
        compress_with(input, length, StringShape{}, table_.data(), true);
    } else {
        compress_with(input, length, AnyShape{chain_depth_, bucket_count_}, table_.data(), true);
    }
    return {output_.data(), output_size_};
}

template <typename Shape, typename Cell>
void BlockCompressor::compress_with(const uint8_t* input, size_t length, Shape shape, Cell* table,
                                    bool track_rows) {
    const size_t depth = shape.depth();
    const size_t row_size = depth + 1;
    uint8_t* op = reserve_output(output_.data(), length + 2 * kMaxVarint);
    op = put_varint(op, length);

    // Pending literals are always the input bytes from `literal_start` up to the position.
    size_t literal_start = 0;
    // Writes the pending literals before `end`, leaving room for `extra` more bytes after them.
    auto flush_literals = [&](size_t end, size_t extra) {
        const size_t count = end - literal_start;
        op = reserve_output(op, count + kMaxVarint + extra);
        if (count != 0) {
            op = put_varint(op, static_cast<uint64_t>(count) * 2 + 1);
            std::memcpy(op, input + literal_start, count);
            op += count;
        }
    };

    // Only positions with five bytes left are hashed; the rest are literals.
    size_t i = 0;
    while (length - i >= 5) {
        const size_t row = static_cast<uint16_t>(hash_five(input + i) % shape.buckets());
        Cell* cells = table + row * row_size;
        const size_t head = cells[0];
        if (track_rows && cells[1] == 0)
            touched_.push_back(static_cast<uint32_t>(row));  // the row's first entry

        const size_t left = length - i;
        size_t best_gain = 0;
        size_t best_length = 0;
        size_t best_distance = 0;
        size_t slot = head;
        for (size_t visited = 0; visited < depth; ++visited) {
            slot = (slot == 0 ? depth : slot) - 1;  // most recent first
            const size_t stored = cells[1 + slot];
            if (stored == 0)
                break;
            const size_t p = stored - 1;
            const size_t distance = i - p;
            const size_t distance_cost = estimate_size(static_cast<uint64_t>(distance) * 16);
            // Beating the best gain takes a match longer than best_gain + distance_cost bytes:
            // one compare of the last byte such a match needs (of the last word, once it is
            // that long) rules most candidates out.
            const size_t needed = best_gain + distance_cost + 1;
            if (needed > left)
                continue;
            if (needed >= 8 ? load_word(input + p + needed - 8) != load_word(input + i + needed - 8)
                            : input[p + needed - 1] != input[i + needed - 1])
                continue;
            const size_t match = match_length(input + p, input + i, left);
            const size_t cost = distance_cost + (match >= 8 ? estimate_size(match - 4) : 0);
            const size_t gain = match >= cost ? match - cost : 0;
            if (gain > best_gain) {  // ties keep the more recent position
                best_gain = gain;
                best_length = match;
                best_distance = distance;
            }
        }
        cells[1 + head] = static_cast<Cell>(i + 1);
        cells[0] = static_cast<Cell>(head + 1 == depth ? 0 : head + 1);

        if (best_length >= 5) {
            flush_literals(i, 2 * kMaxVarint);
            const uint64_t m = best_length - 4;
            if (m >= 8) {
                op = put_varint(op, static_cast<uint64_t>(best_distance) * 16);
                op = put_varint(op, m);
            } else {
                op = put_varint(op, (static_cast<uint64_t>(best_distance) * 8 + m) * 2);
            }
            // Positions inside the copied range are not entered into the table.
            i += best_length;
            literal_start = i;
        } else {
            ++i;
        }
    }
    flush_literals(length, 0);
    output_size_ = static_cast<size_t>(op - output_.data());
}

void BlockCompressor::clear_touched_rows() {
    const size_t row_size = chain_depth_ + 1;
    if (touched_.size() > row_count_ / 4) {
        std::fill(table_.begin(), table_.end(), 0);
    } else {
        for (uint32_t row : touched_)
            std::fill_n(table_.begin() + static_cast<ptrdiff_t>(row * row_size), row_size, 0);
    }
    touched_.clear();
}

uint8_t* BlockCompressor::reserve_output(uint8_t* op, size_t n) {
    const size_t used = static_cast<size_t>(op - output_.data());
    if (output_.size() - used < n)
        output_.resize(std::max(used + n, 2 * output_.size()));
    return output_.data() + used;
}

std::vector<uint8_t> compress_block(const uint8_t* input, size_t length, size_t chain_depth,
                                    size_t bucket_count) {
    BlockCompressor compressor(chain_depth, bucket_count);
    const std::span<uint8_t> block = compressor.compress(input, length);
    return std::vector<uint8_t>(block.begin(), block.end());
}

}  // namespace demo
