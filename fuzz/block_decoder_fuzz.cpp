// libFuzzer entry point for the block decoder alone. The first byte picks a piece size; the
// rest is fed once whole and once in pieces of that size, and both feeds must agree: same
// block, same error, never more output than the cap allows.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "serialization/block_decoder.h"

namespace {

constexpr uint64_t kLimit = uint64_t{1} << 20;

struct Outcome {
    bool done = false;
    std::string error;
    std::vector<uint8_t> output;
};

// Feeds `input` in pieces of `piece` bytes until the block completes, fails or the input ends.
Outcome decode(const uint8_t* input, size_t size, size_t piece) {
    Outcome outcome;
    demo::BlockDecoder decoder(kLimit);
    try {
        for (size_t at = 0; at < size && !outcome.done; at += piece) {
            outcome.done = decoder.decompress_block(input + at, std::min(piece, size - at));
        }
        if (size == 0)
            outcome.done = decoder.decompress_block(input, 0);
    } catch (const std::exception& e) {
        outcome.error = e.what();
    }
    if (outcome.done)
        outcome.output = decoder.take_output();
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const size_t piece = 1 + data[0] % 16;
    const Outcome whole = decode(data + 1, size - 1, size);
    const Outcome pieces = decode(data + 1, size - 1, piece);
    if (whole.done != pieces.done || whole.error != pieces.error || whole.output != pieces.output ||
        whole.output.size() > kLimit)
        std::abort();
    return 0;
}
