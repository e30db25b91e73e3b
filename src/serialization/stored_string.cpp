#include "serialization/stored_string.h"

#include <algorithm>
#include <span>
#include <stdexcept>
#include <vector>

#include "serialization/block_compressor.h"
#include "serialization/package_error.h"
#include "serialization/primitives.h"
#include "serialization/scramble.h"
#include "serialization/whole_block_decoder.h"

namespace demo {

void write_string(const std::string& text, OutputStream& out) {
    // One compressor per thread, so its table is set up once rather than for every string.
    thread_local BlockCompressor compressor;
    const std::span<uint8_t> stored =
        compressor.compress(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    scramble(stored.data(), stored.size());
    write_u64(out, stored.size());
    out.write_bytes(stored.data(), stored.size());
}

std::string read_string(InputStream& in, const char* what) {
    const uint64_t start = in.offset();
    const uint64_t length = read_u64(in, what);
    in.require(length, what);
    std::vector<uint8_t> stored(length);
    in.read_bytes(stored.data(), length, what);
    scramble(stored.data(), stored.size());

    // The decoder's cap carries what is left of the package's budget, so a declared length
    // beyond it is refused before anything is produced.
    const uint64_t budget = in.unpack_budget();
    const uint64_t cap = std::max<uint64_t>(1, std::min(kMaxStoredStringLength, budget));
    std::string text;
    bool done = false;
    try {
        done = decode_whole_block(stored.data(), stored.size(), cap, text);
    } catch (const std::exception& e) {
        if (dynamic_cast<const std::length_error*>(&e) != nullptr &&
            budget < kMaxStoredStringLength)
            in.charge_unpacked(budget + 1, what, start);
        throw PackageError(
            "package is corrupt: " + std::string(what) + " does not decompress (" + e.what() + ")",
            start);
    }
    // A block cut short would leave the text's tail missing; that is damage, not zeros.
    if (!done) {
        throw PackageError(
            "package is corrupt: " + std::string(what) + " ends before its declared length", start);
    }
    in.charge_unpacked(text.size(), what, start);
    return text;
}

}  // namespace demo
