#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <typeinfo>

#include "serialization/block_compressor.h"
#include "serialization/block_decoder.h"
#include "serialization/varint.h"
#include "serialization/whole_block_decoder.h"
#include "test_support/decode_outcome.h"
#include "test_support/reference_compressor.h"
#include "test_support/serialization_support.h"

namespace demo {
namespace {

using namespace package_bytes;
using test_util::sample_data;
using test_util::Shape;

Bytes compress(const Bytes& data) {
    return compress_block(data.data(), data.size(), kStringChainDepth, kStringBucketCount);
}

// Decodes `block` as one piece with both decoders, expects them to agree, and returns that.
test_util::DecodeOutcome decode_both(const Bytes& block, uint64_t limit = 0) {
    const auto incremental = test_util::incremental_outcome(block.data(), block.size(), limit);
    EXPECT_EQ(test_util::whole_outcome(block.data(), block.size(), limit), incremental);
    return incremental;
}

// Decodes a block fed as one piece; the block must be complete and fill the piece.
Bytes decode(const Bytes& block, uint64_t limit = 0) {
    const test_util::DecodeOutcome outcome = decode_both(block, limit);
    EXPECT_TRUE(outcome.done) << outcome.error;
    EXPECT_EQ(outcome.left_over, 0u);
    return outcome.output;
}

TEST(Varint, KnownEncodings) {
    const std::pair<uint64_t, Bytes> known[] = {
        {0, {0x00}},
        {1, {0x01}},
        {127, {0x7F}},
        {128, {0x80, 0x01}},
        {300, {0xAC, 0x02}},
        {16383, {0xFF, 0x7F}},
        {16384, {0x80, 0x80, 0x01}},
        {UINT64_MAX, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}}};
    for (const auto& [value, bytes] : known) {
        Bytes out = {0x42};  // appended after what is there
        append_varint(out, value);
        EXPECT_EQ(Bytes(out.begin() + 1, out.end()), bytes) << value;
    }
}

// Compressor output worked out by hand from the matching rules (each block also decodes).
TEST(BlockCompressor, HandWorkedBlocks) {
    const std::pair<std::string, Bytes> cases[] = {
        {"", {0x00}},
        {"abcd", {0x04, 0x09, 'a', 'b', 'c', 'd'}},
        // The only position that could match has fewer than five bytes left.
        {"zzzzz", {0x05, 0x0B, 'z', 'z', 'z', 'z', 'z'}},
        // A run is one literal and a copy from distance 1: short (token (8 + m) * 2, m = n - 5)
        // up to 12 bytes, long (token 16, then M = n - 5) from 13 on.
        {std::string(12, 'x'), {12, 0x03, 'x', 30}},
        {std::string(13, 'x'), {13, 0x03, 'x', 16, 8}},
        {std::string(20, 'x'), {20, 0x03, 'x', 16, 15}},
        // "abcde" again at distance 5: (5 * 8 + 1) * 2 = 82.
        {"abcdeabcde", {10, 0x0B, 'a', 'b', 'c', 'd', 'e', 82}},
        // At 14, "abcde" from 8 (distance 6, five bytes, gain 4) or "abcdef" from 0 (distance
        // 14, cost 2, gain 4): equal gains prefer the most recent position.
        {"abcdefXYabcdeQabcdef!",
         {21, 0x11, 'a', 'b', 'c', 'd', 'e', 'f', 'X', 'Y', 0x82, 0x01, 0x03, 'Q', 98, 0x05, 'f',
          '!'}},
        // At 17, distance 7 matches six bytes (gain 5); distance 17 matches eight, but costs 2
        // for the distance plus 1 for the length (gain 5): without pricing the length it wins.
        {"abcdefghXYabcdefQabcdefgh!", {26,  0x15, 'a',  'b',  'c', 'd', 'e',  'f', 'g', 'h', 'X',
                                        'Y', 0xA4, 0x01, 0x03, 'Q', 116, 0x07, 'g', 'h', '!'}},
    };
    for (const auto& [text, block] : cases) {
        EXPECT_EQ(compress(bytes_of(text)), block) << text;
        EXPECT_EQ(decode(block), bytes_of(text)) << text;
    }
}

// The fast compressor must give the plain one's bytes, which must decode: with the one table
// shape strings use (the fuzz target tries others), kept from block to block as write_string
// keeps it, so a row left uncleared would show. Runs of over 16 kB make three-byte lengths.
TEST(BlockCompressorSameBytes, EveryShapeAndSize) {
    BlockCompressor compressor;
    uint32_t seed = 900;
    for (Shape shape : {Shape::Runs, Shape::Noise, Shape::Mixture}) {
        for (size_t size : {0, 1, 4, 5, 6, 13, 129, 4097, 16389, 30011, 100000}) {
            const Bytes data = sample_data(shape, size, ++seed);
            const std::span<uint8_t> fast = compressor.compress(data.data(), data.size());
            const Bytes block(fast.begin(), fast.end());
            ASSERT_EQ(block, test_util::reference_compress(data.data(), size, kStringChainDepth,
                                                           kStringBucketCount))
                << size << " bytes";
            ASSERT_EQ(decode(block), data) << size << " bytes";
        }
    }
    EXPECT_THROW(BlockCompressor(0, 4096), std::invalid_argument);
    EXPECT_THROW(BlockCompressor(12, 0), std::invalid_argument);
}

// Blocks decoded by hand: both decoders give the output and the bytes left after it, or the same
// error. A block may make exactly its limit, not more; without a limit a huge one waits.
TEST(BlockDecoder, KnownMalformedAndTooLargeBlocks) {
    using test_util::DecodeOutcome;
    auto made = [](const std::string& output, size_t left_over = 0) {
        return DecodeOutcome{true, bytes_of(output), left_over, ""};
    };
    const std::string runtime_error = typeid(std::runtime_error).name();
    const std::string length_error = typeid(std::length_error).name();
    const DecodeOutcome malformed{
        false, {}, 0, runtime_error + ": Malformed data while uncompressing"};
    const DecodeOutcome too_large{
        false, {}, 0, length_error + ": Uncompressed data in message deemed too large"};
    const struct {
        Bytes block;
        DecodeOutcome expected;
        uint64_t limit = 0;
    } cases[] = {
        {{9, 0x05, 'a', 'b', 38}, made("ababababa")},  // short copy of 7 from 2: (2 * 8 + 3) * 2
        {{7, 0x07, 'x', 'y', 'z', 48, 0}, made("xyzxyzx")},  // a long copy with M = 0: four
        {{6, 0x03, 'a', 18}, made("aaaaaa")},                // a copy that just fills the length
        {{0x03, 0x07, 'a', 'b', 'c', 0xEE, 0xFF, 0x00}, made("abc", 3)},
        {{0x00, 0x42}, made("", 1)},
        {compress(Bytes(10, 'k')), made("kkkkkkkkkk"), 10},
        {compress(Bytes(11, 'k')), too_large, 10},
        {varint(UINT64_MAX), too_large, 1 << 20},
        {varint(UINT64_MAX), DecodeOutcome{}},
        {{5, 13, 'a', 'b', 'c', 'd', 'e', 'f'}, malformed},          // six literals into five
        {{5, 0x05, 'a', 'b', 0x09, 'c', 'd', 'e', 'f'}, malformed},  // 2 + 4 literals into five
        {{10, 0x05, 'a', 'b', 50}, malformed},                       // distance 3 after two bytes
        {{10, 18}, malformed},                                       // distance 1 with no output
        {{40, 0x03, 'a', 32, 30}, malformed},  // long copy, distance 2 after one byte
        {{6, 0x03, 'a', 20}, malformed},       // copy of six after one byte into six
        {{20, 0x03, 'a', 16, 16}, malformed},  // long copy of 20 after one byte
        {{10, 0x03, 'a', 2}, malformed},       // distance 0 would read the byte about to be written
        {{20, 0x03, 'a', 0, 8}, malformed},    // the same in a long copy
        {concat({{20, 0x03, 'a', 16}, varint(UINT64_MAX)}), malformed},  // a length whose + 4 wraps
        {concat({{20, 0x03, 'a', 16}, varint(UINT64_MAX - 4)}), malformed},
        {concat({Bytes(10, 0x80), {0}}), malformed},  // varints of over 64 bits: in the header,
        {concat({Bytes(9, 0xFF), {0x02}}), malformed},
        {concat({{5}, Bytes(10, 0x81), {0}}), malformed},  // in a token
    };
    for (const auto& c : cases)
        EXPECT_EQ(decode_both(c.block, c.limit), c.expected) << ::testing::PrintToString(c.block);
}

}  // namespace
}  // namespace demo
