#include "serialization/block_compressor.h"

#include "serialization/varint.h"

namespace demo {

namespace {

// 32-bit FNV-1a over the five bytes that start a candidate match.
uint32_t hash_five(const uint8_t* p) {
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
size_t estimate_size(uint64_t x) {
    if (x < (1u << 7))
        return 1;
    if (x < (1u << 14))
        return 2;
    if (x < (1u << 21))
        return 3;
    return 4;
}

void flush_literals(std::vector<uint8_t>& out, std::vector<uint8_t>& pending) {
    if (pending.empty())
        return;
    append_varint(out, static_cast<uint64_t>(pending.size()) * 2 + 1);
    out.insert(out.end(), pending.begin(), pending.end());
    pending.clear();
}

}  // namespace

std::vector<uint8_t> compress_block(const uint8_t* input, size_t length, size_t chain_depth,
                                    size_t bucket_count) {
    std::vector<uint8_t> out;
    append_varint(out, length);
    if (length == 0)
        return out;

    // Row layout: cell 0 is the head (next slot to write), cells 1..D hold position + 1.
    const size_t row_size = chain_depth + 1;
    std::vector<uint64_t> table(row_size * bucket_count, 0);
    std::vector<uint8_t> pending;

    size_t i = 0;
    while (i < length) {
        if (length - i < 5) {
            pending.push_back(input[i]);
            ++i;
            continue;
        }
        const size_t row = static_cast<uint16_t>(hash_five(input + i) % bucket_count);
        uint64_t* cells = &table[row * row_size];
        const uint64_t head = cells[0];

        uint64_t best_gain = 0;
        uint64_t best_length = 0;
        uint64_t best_distance = 0;
        for (size_t visited = 0; visited < chain_depth; ++visited) {
            const size_t slot = (head + chain_depth - 1 - visited) % chain_depth;
            const uint64_t stored = cells[1 + slot];
            if (stored == 0)
                break;
            const size_t p = stored - 1;
            const uint64_t distance = i - p;
            uint64_t match = 0;
            while (i + match < length && input[p + match] == input[i + match])
                ++match;
            uint64_t cost = estimate_size(distance * 16);
            if (match >= 8)
                cost += estimate_size(match - 4);
            const uint64_t gain = match >= cost ? match - cost : 0;
            if (gain > best_gain) {
                best_gain = gain;
                best_length = match;
                best_distance = distance;
            }
        }

        cells[1 + head] = i + 1;
        cells[0] = (head + 1) % chain_depth;

        if (best_length >= 5) {
            flush_literals(out, pending);
            i += best_length;
            const uint64_t m = best_length - 4;
            if (m >= 8) {
                append_varint(out, best_distance * 16);
                append_varint(out, m);
            } else {
                append_varint(out, (best_distance * 8 + m) * 2);
            }
        } else {
            pending.push_back(input[i]);
            ++i;
        }
    }
    flush_literals(out, pending);
    return out;
}

}  // namespace demo
