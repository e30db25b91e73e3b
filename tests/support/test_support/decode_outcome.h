// What each block decoder makes of a whole block: done, output and bytes left over, or the type
// and message of what it threw; the tests and the fuzz target compare the two decoders by it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <typeinfo>
#include <vector>

#include "serialization/block_decoder.h"
#include "serialization/whole_block_decoder.h"

namespace demo::test_util {

struct DecodeOutcome {
    bool done = false;
    std::vector<uint8_t> output;
    size_t left_over = 0;
    std::string error;
    bool operator==(const DecodeOutcome&) const = default;
};

template <typename Decode>
DecodeOutcome outcome_of(Decode decode) {
    DecodeOutcome outcome;
    try {
        decode(outcome);
    } catch (const std::exception& e) {
        outcome = DecodeOutcome{};
        outcome.error = std::string(typeid(e).name()) + ": " + e.what();
    }
    return outcome;
}

inline DecodeOutcome incremental_outcome(const uint8_t* block, size_t length, uint64_t limit) {
    return outcome_of([&](DecodeOutcome& o) {
        BlockDecoder decoder(limit);
        o.done = decoder.decompress_block(block, length, &o.left_over);
        if (o.done)
            o.output = decoder.output();
    });
}

inline DecodeOutcome whole_outcome(const uint8_t* block, size_t length, uint64_t limit) {
    return outcome_of([&](DecodeOutcome& o) {
        std::string out = "stale";  // must be replaced, not appended to
        o.done = decode_whole_block(block, length, limit, out, &o.left_over);
        if (o.done)
            o.output.assign(out.begin(), out.end());
    });
}

}  // namespace demo::test_util
