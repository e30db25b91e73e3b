// The block compressor written plainly, as the format defines it (a fresh table for every block,
// every candidate measured byte by byte): the tests and the fuzz target hold the fast one to it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "serialization/varint.h"

namespace demo::test_util {

inline std::vector<uint8_t> reference_compress(const uint8_t* input, size_t length,
                                               size_t chain_depth, size_t bucket_count) {
    // Size estimate of a varint: 1 below 2^7, 2 below 2^14, 3 below 2^21, 4 otherwise.
    auto estimate_size = [](uint64_t x) -> uint64_t {
        return x < (1u << 7) ? 1 : x < (1u << 14) ? 2 : x < (1u << 21) ? 3 : 4;
    };
    std::vector<uint8_t> out;
    std::vector<uint8_t> pending;
    auto flush_literals = [&] {
        if (pending.empty())
            return;
        append_varint(out, static_cast<uint64_t>(pending.size()) * 2 + 1);
        out.insert(out.end(), pending.begin(), pending.end());
        pending.clear();
    };
    append_varint(out, length);
    // Row layout: cell 0 is the head (next slot to write), cells 1..D hold position + 1.
    const size_t row_size = chain_depth + 1;
    std::vector<uint64_t> table(row_size * bucket_count, 0);
    size_t i = 0;
    while (i < length) {
        if (length - i < 5) {
            pending.push_back(input[i++]);
            continue;
        }
        uint32_t hash = 0x811C9DC5u;  // FNV-1a over five bytes
        for (int k = 0; k < 5; ++k)
            hash = (hash ^ input[i + k]) * 16777619u;
        uint64_t* cells = &table[static_cast<uint16_t>(hash % bucket_count) * row_size];
        const uint64_t head = cells[0];
        uint64_t best_gain = 0;
        uint64_t best_length = 0;
        uint64_t best_distance = 0;
        for (size_t visited = 0; visited < chain_depth; ++visited) {
            const uint64_t stored = cells[1 + (head + chain_depth - 1 - visited) % chain_depth];
            if (stored == 0)
                break;
            const size_t p = stored - 1;
            uint64_t match = 0;
            while (i + match < length && input[p + match] == input[i + match])
                ++match;
            uint64_t cost = estimate_size((i - p) * 16);
            if (match >= 8)
                cost += estimate_size(match - 4);
            const uint64_t gain = match >= cost ? match - cost : 0;
            if (gain > best_gain) {
                best_gain = gain;
                best_length = match;
                best_distance = i - p;
            }
        }
        cells[1 + head] = i + 1;
        cells[0] = (head + 1) % chain_depth;
        if (best_length >= 5) {
            flush_literals();
            i += best_length;
            const uint64_t m = best_length - 4;
            if (m >= 8) {
                append_varint(out, best_distance * 16);
                append_varint(out, m);
            } else {
                append_varint(out, (best_distance * 8 + m) * 2);
            }
        } else {
            pending.push_back(input[i++]);
        }
    }
    flush_literals();
    return out;
}

}  // namespace demo::test_util
