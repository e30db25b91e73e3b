#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <random>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "decode_outcome.h"
#include "reference_compressor.h"
#include "serialization/block_compressor.h"
#include "serialization/block_decoder.h"
#include "serialization/varint.h"
#include "serialization/whole_block_decoder.h"
#include "test_support.h"

namespace demo {
namespace {

using namespace package_bytes;
using test_util::expect_throw_with_message;
using test_util::sample_data;
using test_util::Shape;

const std::string kMalformed = "Malformed data while uncompressing";
const std::string kTooLarge = "Uncompressed data in message deemed too large";

Bytes compress(const Bytes& data, size_t depth = kStringChainDepth,
               size_t buckets = kStringBucketCount) {
    return compress_block(data.data(), data.size(), depth, buckets);
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

// A block whose header, literal token, copy token and copy length are all two-byte varints:
// 300 bytes = 100 literal bytes, then a long copy from 100 back of 200 bytes (overlapping).
Bytes wide_block() {
    Bytes block = {0xAC, 0x02, 0xC9, 0x01};  // U = 300, literal run of 100
    for (int k = 0; k < 100; ++k)
        block.push_back(static_cast<uint8_t>(k * 7 + 3));
    append(block, {0xC0, 0x0C, 0xC4, 0x01});  // d = 100 (token 1600), M = 196
    return block;
}

Bytes wide_block_output() {
    Bytes out;
    for (int k = 0; k < 300; ++k)
        out.push_back(static_cast<uint8_t>((k % 100) * 7 + 3));
    return out;
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

// The fast compressor must give the bytes of the plain one, and they must decode.
void expect_reference_bytes(BlockCompressor& compressor, const Bytes& data, size_t depth,
                            size_t buckets) {
    const std::span<uint8_t> fast = compressor.compress(data.data(), data.size());
    const Bytes block(fast.begin(), fast.end());
    ASSERT_EQ(block, test_util::reference_compress(data.data(), data.size(), depth, buckets))
        << data.size() << " bytes, D = " << depth << ", B = " << buckets;
    ASSERT_EQ(decode(block), data) << data.size() << " bytes, D = " << depth;
}

TEST(BlockCompressorSameBytes, CorpusAndRandomInputs) {
    // Each compressor keeps its table from one block to the next, so a row left uncleared
    // would show in a later block.
    uint32_t seed = 900;
    BlockCompressor strings;
    for (Shape shape : test_util::kShapes) {
        for (size_t size : test_util::sample_sizes())
            expect_reference_bytes(strings, sample_data(shape, size, ++seed), 12, 4096);
    }
    // One bucket puts every position in the same row; a depth of one keeps only the newest.
    for (auto [depth, buckets] :
         {std::pair<size_t, size_t>{1, 1}, {1, 4096}, {12, 1}, {3, 7}, {64, 65536}, {12, 100000}}) {
        BlockCompressor compressor(depth, buckets);
        for (size_t size : {0, 5, 13, 4097, 30011, 100000})
            expect_reference_bytes(compressor, sample_data(Shape::Mixture, size, ++seed), depth,
                                   buckets);
    }
    // Bytes from alphabets of 1 to 256 symbols: small ones fill every row and make long,
    // overlapping matches; large ones leave most candidates to the one-compare rejection.
    std::mt19937 rng(2024);
    auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    BlockCompressor compressor;
    for (int round = 0; round < 1500; ++round) {
        const size_t alphabet = 1 + pick(pick(2) == 0 ? 4 : 256);
        Bytes data(pick(3000));
        for (uint8_t& byte : data)
            byte = static_cast<uint8_t>(pick(alphabet));
        expect_reference_bytes(compressor, data, kStringChainDepth, kStringBucketCount);
    }
    EXPECT_THROW(BlockCompressor(0, 4096), std::invalid_argument);
    EXPECT_THROW(BlockCompressor(12, 0), std::invalid_argument);
}

TEST(BlockDecoder, KnownBlocksAndTheBytesAfterThem) {
    const std::pair<Bytes, Bytes> cases[] = {
        {wide_block(), wide_block_output()},
        // Overlapping short copy of 7 from distance 2: (2 * 8 + 3) * 2 = 38.
        {{9, 0x05, 'a', 'b', 38}, bytes_of("ababababa")},
        {{7, 0x07, 'x', 'y', 'z', 48, 0}, bytes_of("xyzxyzx")},  // a long copy with M = 0: four
        {{6, 0x03, 'a', 18}, bytes_of("aaaaaa")},  // a copy that just fills the length
        {{0x00}, {}},
    };
    for (const auto& [block, output] : cases)
        EXPECT_EQ(decode(block), output);
    const std::pair<Bytes, size_t> left_overs[] = {
        {{0x03, 0x07, 'a', 'b', 'c', 0xEE, 0xFF, 0x00}, 3}, {{0x00, 0x42}, 1}};
    for (const auto& [piece, left_over] : left_overs)
        EXPECT_EQ(decode_both(piece).left_over, left_over);
    // One decoder takes consecutive blocks: each output replaces the one before.
    BlockDecoder decoder;
    for (const auto& [block, output] : cases) {
        ASSERT_TRUE(decoder.decompress_block(block.data(), block.size()));
        EXPECT_EQ(decoder.output(), output);
    }
}

TEST(BlockDecoder, SizeLimit) {
    EXPECT_EQ(decode(compress(Bytes(10, 'k')), 10), Bytes(10, 'k'));
    // The largest header a varint can carry is still read as a number and refused.
    Bytes huge(9, 0xFF);
    huge.push_back(0x01);
    for (const auto& [block, limit] :
         {std::pair<Bytes, uint64_t>{compress(Bytes(11, 'k')), 10}, {huge, 1 << 20}}) {
        expect_throw_with_message<std::length_error>(
            [&, &block = block, limit = limit] {
                BlockDecoder(limit).decompress_block(block.data(), block.size());
            },
            kTooLarge);
        EXPECT_NE(decode_both(block, limit).error.find(kTooLarge), std::string::npos);
    }
    // Without a limit the same header is accepted and simply waits for more input.
    EXPECT_FALSE(decode_both(huge).done);
}

// Feeds `block` and three bytes after it in pieces ending at `cuts` (all inside the block):
// only the last piece completes it, and the bytes after it are left over.
void expect_pieces_decode(const Bytes& block, const std::vector<size_t>& cuts,
                          const Bytes& expected) {
    Bytes stream = block;
    append(stream, {0xEE, 0xEE, 0xEE});
    BlockDecoder decoder;
    size_t begin = 0;
    for (size_t k = 0; k <= cuts.size(); ++k) {
        const size_t end = k < cuts.size() ? cuts[k] : stream.size();
        size_t left_over = 99;
        const bool done = decoder.decompress_block(stream.data() + begin, end - begin, &left_over);
        ASSERT_EQ(done, k == cuts.size()) << "piece ending at " << end;
        EXPECT_EQ(left_over, done ? 3u : 0u);
        begin = end;
    }
    EXPECT_EQ(decoder.output(), expected);
}

// A compressed mixture (two-byte varints, literal runs, short and long copies) in one-byte
// pieces and split at every byte.
TEST(BlockDecoderPieces, SplitAnywhere) {
    const Bytes data = sample_data(Shape::Mixture, 6000, 11);
    const Bytes block = compress(data);
    std::vector<size_t> every;
    for (size_t cut = 1; cut < block.size(); ++cut) {
        every.push_back(cut);
        SCOPED_TRACE("cut at " + std::to_string(cut));
        expect_pieces_decode(block, {cut}, data);
    }
    expect_pieces_decode(block, every, data);
}

TEST(BlockDecoder, MalformedBlocksAreRefusedWholeAndByteByByte) {
    Bytes eleven_groups(10, 0x80);
    eleven_groups.push_back(0x00);
    Bytes sixty_five_bits(9, 0xFF);
    sixty_five_bits.push_back(0x02);
    Bytes long_token = {5};
    long_token.insert(long_token.end(), 10, 0x81);
    long_token.push_back(0x00);
    Bytes wrap = {20, 0x03, 'a', 16};  // a copy length whose + 4 wraps around 64 bits
    append(wrap, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01});
    Bytes near_wrap = {20, 0x03, 'a', 16};
    append(near_wrap, varint(UINT64_MAX - 4));
    const Bytes blocks[] = {
        {5, 13, 'a', 'b', 'c', 'd', 'e', 'f'},          // six literals into five
        {5, 0x05, 'a', 'b', 0x09, 'c', 'd', 'e', 'f'},  // 2 + 4 literals into five
        {10, 0x05, 'a', 'b', 50},                       // distance 3 after two bytes
        {10, 18},                                       // distance 1 with no output yet
        {40, 0x03, 'a', 32, 30},                        // long copy, distance 2 after one byte
        {6, 0x03, 'a', 20},                             // copy of six after one byte into six
        {20, 0x03, 'a', 16, 16},                        // long copy of 20 after one byte
        {10, 0x03, 'a', 2},     // distance 0 would read the byte about to be written
        {20, 0x03, 'a', 0, 8},  // the same in a long copy
        wrap,
        near_wrap,
        eleven_groups,  // varints longer than 64 bits, in the header and in a token
        sixty_five_bits,
        long_token,
    };
    for (const Bytes& block : blocks) {
        SCOPED_TRACE(::testing::PrintToString(block));
        // Whole, byte by byte, and by the whole-block decoder.
        const std::function<void()> decoders[] = {
            [&] { BlockDecoder().decompress_block(block.data(), block.size()); },
            [&] {
                BlockDecoder decoder;
                for (uint8_t byte : block)
                    decoder.decompress_block(&byte, 1);
            },
            [&] {
                std::string out;
                decode_whole_block(block.data(), block.size(), 0, out);
            }};
        for (const auto& decode : decoders)
            expect_throw_with_message<std::runtime_error>(decode, kMalformed);
    }
}

TEST(BlockDecoder, DamagedBlocksGetTheSameAnswerFromBothDecoders) {
    // Blocks with bytes overwritten, cut short or extended.
    std::mt19937 rng(77);
    auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    for (int round = 0; round < 3000; ++round) {
        const Bytes data = sample_data(Shape::Mixture, 1 + pick(600), round);
        Bytes block = compress(data);
        for (size_t k = pick(4); k > 0; --k)
            block[pick(block.size())] = static_cast<uint8_t>(pick(256));
        if (pick(4) == 0)
            block.resize(pick(block.size()));
        if (pick(4) == 0)
            block.push_back(static_cast<uint8_t>(pick(256)));
        SCOPED_TRACE("round " + std::to_string(round));
        decode_both(block, pick(2) == 0 ? 0 : data.size());
    }
}

}  // namespace
}  // namespace demo
