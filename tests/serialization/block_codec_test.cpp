#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
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

using test_util::bytes_of;
using test_util::expect_throw_with_message;
using test_util::sample_data;
using test_util::sample_sizes;
using test_util::Shape;

const std::string kMalformed = "Malformed data while uncompressing";
const std::string kTooLarge = "Uncompressed data in message deemed too large";

std::vector<uint8_t> compress(const std::vector<uint8_t>& data, size_t depth = kStringChainDepth,
                              size_t buckets = kStringBucketCount) {
    return compress_block(data.data(), data.size(), depth, buckets);
}

std::vector<uint8_t> compress(const std::string& s) {
    return compress(bytes_of(s));
}

std::vector<uint8_t> varint(uint64_t value) {
    std::vector<uint8_t> out;
    append_varint(out, value);
    return out;
}

// Decodes `block` as one piece with both decoders, expects them to agree, and returns that.
test_util::DecodeOutcome decode_both(const std::vector<uint8_t>& block, uint64_t limit = 0) {
    const test_util::DecodeOutcome incremental =
        test_util::incremental_outcome(block.data(), block.size(), limit);
    const test_util::DecodeOutcome whole =
        test_util::whole_outcome(block.data(), block.size(), limit);
    EXPECT_EQ(whole.error, incremental.error);
    EXPECT_EQ(whole.done, incremental.done);
    EXPECT_EQ(whole.output, incremental.output);
    EXPECT_EQ(whole.left_over, incremental.left_over);
    return incremental;
}

// Decodes a block fed as one piece; the block must be complete and fill the piece.
std::vector<uint8_t> decode(const std::vector<uint8_t>& block, uint64_t limit = 0) {
    const test_util::DecodeOutcome outcome = decode_both(block, limit);
    EXPECT_TRUE(outcome.done);
    EXPECT_EQ(outcome.left_over, 0u);
    return outcome.output;
}

// A block whose header, literal token, copy token and copy length are all two-byte varints:
// 300 bytes = 100 literal bytes, then a long copy from 100 back of 200 bytes (overlapping).
std::vector<uint8_t> wide_block() {
    std::vector<uint8_t> block = {0xAC, 0x02, 0xC9, 0x01};  // U = 300, literal run of 100
    for (int k = 0; k < 100; ++k)
        block.push_back(static_cast<uint8_t>(k * 7 + 3));
    block.insert(block.end(), {0xC0, 0x0C, 0xC4, 0x01});  // d = 100 (token 1600), M = 196
    return block;
}

std::vector<uint8_t> wide_block_output() {
    std::vector<uint8_t> out;
    for (int k = 0; k < 300; ++k)
        out.push_back(static_cast<uint8_t>((k % 100) * 7 + 3));
    return out;
}

// ---------------------------------------------------------------------------------------------
// Varints
// ---------------------------------------------------------------------------------------------

TEST(Varint, KnownEncodings) {
    EXPECT_EQ(varint(0), (std::vector<uint8_t>{0x00}));
    EXPECT_EQ(varint(1), (std::vector<uint8_t>{0x01}));
    EXPECT_EQ(varint(127), (std::vector<uint8_t>{0x7F}));
    EXPECT_EQ(varint(128), (std::vector<uint8_t>{0x80, 0x01}));
    EXPECT_EQ(varint(300), (std::vector<uint8_t>{0xAC, 0x02}));
    EXPECT_EQ(varint(16383), (std::vector<uint8_t>{0xFF, 0x7F}));
    EXPECT_EQ(varint(16384), (std::vector<uint8_t>{0x80, 0x80, 0x01}));
    std::vector<uint8_t> max(9, 0xFF);
    max.push_back(0x01);
    EXPECT_EQ(varint(UINT64_MAX), max);
}

TEST(Varint, SizeMatchesEncodingAtEveryGroupBoundary) {
    for (unsigned bits = 0; bits <= 64; ++bits) {
        const uint64_t top = bits == 64 ? UINT64_MAX : (uint64_t{1} << bits) - 1;
        for (uint64_t v : {top, top + 1}) {
            if (bits == 64 && v == 0)
                continue;  // wrapped
            const size_t expected = v == 0 ? 1 : (std::bit_width(v) + 6) / 7;
            EXPECT_EQ(varint_size(v), expected) << v;
            EXPECT_EQ(varint(v).size(), expected) << v;
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Compressor output, worked out by hand from the matching rules
// ---------------------------------------------------------------------------------------------

TEST(BlockCompressor, EmptyInputIsOneZeroByte) {
    EXPECT_EQ(compress(""), std::vector<uint8_t>{0x00});
}

TEST(BlockCompressor, ShortInputIsOneLiteralRun) {
    EXPECT_EQ(compress("abc"), (std::vector<uint8_t>{0x03, 0x07, 'a', 'b', 'c'}));
    EXPECT_EQ(compress("abcd"), (std::vector<uint8_t>{0x04, 0x09, 'a', 'b', 'c', 'd'}));
    // Five equal bytes: the only position that could match has fewer than five bytes left.
    EXPECT_EQ(compress("zzzzz"), (std::vector<uint8_t>{0x05, 0x0B, 'z', 'z', 'z', 'z', 'z'}));
}

TEST(BlockCompressor, TwentyEqualBytes) {
    // One literal, then a long copy from distance 1 (token 16) with M = 15.
    const std::vector<uint8_t> expected = {20, 0x03, 'x', 16, 15};
    EXPECT_EQ(compress(std::string(20, 'x')), expected);
}

TEST(BlockCompressor, RunsOfEqualBytes) {
    // A run of n bytes is one literal and a copy of n - 1 bytes from distance 1: a short copy
    // (token (8 + m) * 2 with m = n - 5) up to n = 12, a long one (16, then M = n - 5) beyond.
    for (size_t n : {6, 7, 11, 12, 13, 14, 20, 132, 133, 1000, 16388, 100000}) {
        std::vector<uint8_t> expected = varint(n);
        expected.push_back(0x03);
        expected.push_back(0x5A);
        if (n - 5 < 8) {
            expected.push_back(static_cast<uint8_t>((8 + (n - 5)) * 2));
        } else {
            expected.push_back(16);
            const std::vector<uint8_t> m = varint(n - 5);
            expected.insert(expected.end(), m.begin(), m.end());
        }
        EXPECT_EQ(compress(std::vector<uint8_t>(n, 0x5A)), expected) << "n = " << n;
    }
}

TEST(BlockCompressor, RepeatedWordBecomesShortCopy) {
    // "abcde" again at distance 5: literal run of five, then (5 * 8 + 1) * 2 = 82.
    EXPECT_EQ(compress("abcdeabcde"),
              (std::vector<uint8_t>{10, 0x0B, 'a', 'b', 'c', 'd', 'e', 82}));
}

TEST(BlockCompressor, LongLiteralRunHasTwoByteToken) {
    std::vector<uint8_t> data;
    for (int k = 0; k < 200; ++k)
        data.push_back(static_cast<uint8_t>(k));
    std::vector<uint8_t> expected = {0xC8, 0x01, 0x91, 0x03};  // U = 200, token 401
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(compress(data), expected);
}

TEST(BlockCompressor, EqualGainsPreferTheMostRecentPosition) {
    // At 14, "abcde" could come from 8 (distance 6, five bytes, cost 1, gain 4) or from 0
    // (distance 14, six bytes "abcdef", cost 2, gain 4): the more recent one wins.
    const std::string text = "abcdefXYabcdeQabcdef!";
    const std::vector<uint8_t> expected = {21,   0x11, 'a', 'b', 'c',
                                           'd',  'e',  'f', 'X', 'Y',  // eight literals
                                           0x82, 0x01,                 // (8 * 8 + 1) * 2 = 130
                                           0x03, 'Q',                  // one literal
                                           98,                         // (6 * 8 + 1) * 2
                                           0x05, 'f',  '!'};           // the tail
    EXPECT_EQ(compress(text), expected);
}

TEST(BlockCompressor, LengthIsPricedFromEightBytes) {
    // At 17, the recent source (distance 7) matches six bytes: gain 6 - 1 = 5. The older one
    // (distance 17) matches eight: cost 2 for the distance plus 1 for the length, gain 5. The
    // tie goes to the recent one; without pricing the length the older would win with 6.
    const std::string text = "abcdefghXYabcdefQabcdefgh!";
    const std::vector<uint8_t> expected = {26,   0x15, 'a', 'b', 'c', 'd',
                                           'e',  'f',  'g', 'h', 'X', 'Y',  // ten literals
                                           0xA4, 0x01,                      // (10 * 8 + 2) * 2
                                           0x03, 'Q',                       //
                                           116,                             // (7 * 8 + 2) * 2
                                           0x07, 'g',  'h', '!'};
    EXPECT_EQ(compress(text), expected);
}

TEST(BlockCompressor, CompressesRepetitiveData) {
    for (Shape shape : {Shape::Runs, Shape::Text}) {
        const std::vector<uint8_t> data = sample_data(shape, 65536, 7);
        const size_t limit = shape == Shape::Runs ? data.size() / 8 : data.size() / 2;
        EXPECT_LT(compress(data).size(), limit) << test_util::shape_name(shape);
    }
}

// ---------------------------------------------------------------------------------------------
// The fast compressor gives the bytes of the plain one
// ---------------------------------------------------------------------------------------------

// Compresses with `compressor` and with the plain reference; both must give the same bytes.
void expect_reference_bytes(BlockCompressor& compressor, const std::vector<uint8_t>& data,
                            size_t depth, size_t buckets) {
    const std::span<uint8_t> fast = compressor.compress(data.data(), data.size());
    ASSERT_EQ(std::vector<uint8_t>(fast.begin(), fast.end()),
              test_util::reference_compress(data.data(), data.size(), depth, buckets))
        << data.size() << " bytes, D = " << depth << ", B = " << buckets;
}

TEST(BlockCompressorSameBytes, CorpusThroughOneCompressorPerTableShape) {
    // Each compressor keeps its table from one block to the next, so a row left uncleared
    // would show in a later block.
    uint32_t seed = 900;
    BlockCompressor strings;
    for (Shape shape : {Shape::Runs, Shape::Text, Shape::Noise, Shape::Mixture}) {
        for (size_t size : sample_sizes())
            expect_reference_bytes(strings, sample_data(shape, size, ++seed), 12, 4096);
    }
    // Other shapes, with a few sizes: the plain compressor sets up its whole table every time.
    for (auto [depth, buckets] :
         {std::pair<size_t, size_t>{1, 1}, {1, 4096}, {12, 1}, {3, 7}, {64, 65536}, {12, 100000}}) {
        BlockCompressor compressor(depth, buckets);
        for (size_t size : {0, 5, 13, 4097, 30011, 100000})
            expect_reference_bytes(compressor, sample_data(Shape::Mixture, size, ++seed), depth,
                                   buckets);
    }
    EXPECT_THROW(BlockCompressor(0, 4096), std::invalid_argument);
    EXPECT_THROW(BlockCompressor(12, 0), std::invalid_argument);
}

TEST(BlockCompressorSameBytes, RandomInputs) {
    // Bytes from alphabets of 1 to 256 symbols: small ones fill every row and make long,
    // overlapping matches; large ones leave most candidates to the one-compare rejection.
    std::mt19937 rng(2024);
    auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    BlockCompressor compressor;
    for (int round = 0; round < 1500; ++round) {
        const size_t alphabet = 1 + pick(pick(2) == 0 ? 4 : 256);
        std::vector<uint8_t> data(pick(3000));
        for (uint8_t& byte : data)
            byte = static_cast<uint8_t>(pick(alphabet));
        expect_reference_bytes(compressor, data, kStringChainDepth, kStringBucketCount);
    }
}

// ---------------------------------------------------------------------------------------------
// Decoder on well-formed blocks
// ---------------------------------------------------------------------------------------------

TEST(BlockDecoder, KnownBlocks) {
    EXPECT_EQ(decode({0x00}), std::vector<uint8_t>{});
    EXPECT_EQ(decode({0x03, 0x07, 'a', 'b', 'c'}), bytes_of("abc"));
    EXPECT_EQ(decode({20, 0x03, 'x', 16, 15}), std::vector<uint8_t>(20, 'x'));
    EXPECT_EQ(decode(wide_block()), wide_block_output());
}

TEST(BlockDecoder, OverlappingCopyRepeatsTheLastBytes) {
    // "ab", then a short copy of 7 bytes from distance 2: (2 * 8 + 3) * 2 = 38.
    EXPECT_EQ(decode({9, 0x05, 'a', 'b', 38}), bytes_of("ababababa"));
    // A long copy with M = 0 copies four bytes.
    EXPECT_EQ(decode({7, 0x07, 'x', 'y', 'z', 48, 0}), bytes_of("xyzxyzx"));
}

TEST(BlockDecoder, ReportsBytesAfterTheBlock) {
    const std::vector<uint8_t> piece = {0x03, 0x07, 'a', 'b', 'c', 0xEE, 0xFF, 0x00};
    EXPECT_EQ(decode_both(piece).left_over, 3u);
    EXPECT_EQ(decode_both({0x00, 0x42}).left_over, 1u);
    BlockDecoder decoder;
    size_t left_over = 0;
    EXPECT_TRUE(decoder.decompress_block(piece.data(), piece.size(), &left_over));
    EXPECT_EQ(left_over, 3u);
    EXPECT_EQ(decoder.output(), bytes_of("abc"));

    // An empty block is complete right after its header.
    const std::vector<uint8_t> empty = {0x00, 0x42};
    EXPECT_TRUE(decoder.decompress_block(empty.data(), empty.size(), &left_over));
    EXPECT_EQ(left_over, 1u);
    EXPECT_TRUE(decoder.output().empty());
}

TEST(BlockDecoder, DecodesConsecutiveBlocks) {
    std::vector<uint8_t> stream = compress("first block, first block");
    const std::vector<uint8_t> second = compress(std::string(50, 'q'));
    stream.insert(stream.end(), second.begin(), second.end());

    BlockDecoder decoder;
    size_t left_over = 0;
    ASSERT_TRUE(decoder.decompress_block(stream.data(), stream.size(), &left_over));
    EXPECT_EQ(decoder.output(), bytes_of("first block, first block"));
    ASSERT_EQ(left_over, second.size());
    ASSERT_TRUE(
        decoder.decompress_block(stream.data() + stream.size() - left_over, left_over, &left_over));
    EXPECT_EQ(left_over, 0u);
    EXPECT_EQ(decoder.output(), std::vector<uint8_t>(50, 'q'));
}

TEST(BlockDecoder, NotDoneBeforeTheLastByte) {
    const std::vector<uint8_t> block = wide_block();
    for (size_t n = 0; n < block.size(); ++n) {
        BlockDecoder decoder;
        EXPECT_FALSE(decoder.decompress_block(block.data(), n)) << "prefix " << n;
        std::string out;
        EXPECT_FALSE(decode_whole_block(block.data(), n, 0, out)) << "prefix " << n;
    }
}

TEST(BlockDecoder, SizeLimit) {
    BlockDecoder at_limit(10);
    const std::vector<uint8_t> ten = compress(std::string(10, 'k'));
    EXPECT_TRUE(at_limit.decompress_block(ten.data(), ten.size()));
    EXPECT_EQ(at_limit.output(), std::vector<uint8_t>(10, 'k'));

    const std::vector<uint8_t> eleven = compress(std::string(11, 'k'));
    expect_throw_with_message<std::length_error>(
        [&] {
            BlockDecoder decoder(10);
            decoder.decompress_block(eleven.data(), eleven.size());
        },
        kTooLarge);

    // The largest header a varint can carry is still read as a number and refused.
    std::vector<uint8_t> huge(9, 0xFF);
    huge.push_back(0x01);
    expect_throw_with_message<std::length_error>(
        [&] {
            BlockDecoder decoder(1 << 20);
            decoder.decompress_block(huge.data(), huge.size());
        },
        kTooLarge);

    // Without a limit the same header is accepted and simply waits for more input.
    BlockDecoder unlimited;
    EXPECT_FALSE(unlimited.decompress_block(huge.data(), huge.size()));

    // The whole-block decoder takes the same limit.
    EXPECT_EQ(decode(ten, 10), std::vector<uint8_t>(10, 'k'));
    EXPECT_NE(decode_both(eleven, 10).error.find(kTooLarge), std::string::npos);
    EXPECT_NE(decode_both(huge, 1 << 20).error.find(kTooLarge), std::string::npos);
    EXPECT_FALSE(decode_both(huge).done);
}

// ---------------------------------------------------------------------------------------------
// Feeding in pieces
// ---------------------------------------------------------------------------------------------

// Feeds `block` in pieces ending at `cuts` and checks that only the last piece completes it.
void expect_pieces_decode(const std::vector<uint8_t>& block, const std::vector<size_t>& cuts,
                          const std::vector<uint8_t>& expected) {
    BlockDecoder decoder;
    size_t begin = 0;
    for (size_t k = 0; k <= cuts.size(); ++k) {
        const size_t end = k < cuts.size() ? cuts[k] : block.size();
        size_t left_over = 99;
        const bool done = decoder.decompress_block(block.data() + begin, end - begin, &left_over);
        if (k < cuts.size()) {
            ASSERT_FALSE(done) << "piece ending at " << end;
        } else {
            ASSERT_TRUE(done);
            EXPECT_EQ(left_over, 0u);
        }
        begin = end;
    }
    EXPECT_EQ(decoder.output(), expected);
}

TEST(BlockDecoderPieces, EverySplitPointOfAWideBlock) {
    const std::vector<uint8_t> block = wide_block();
    for (size_t cut = 0; cut < block.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        expect_pieces_decode(block, {cut}, wide_block_output());
    }
}

TEST(BlockDecoderPieces, EveryPairOfSplitPointsOfAWideBlock) {
    const std::vector<uint8_t> block = wide_block();
    for (size_t a = 0; a < block.size(); ++a) {
        for (size_t b = a; b < block.size(); ++b) {
            SCOPED_TRACE("cuts at " + std::to_string(a) + ", " + std::to_string(b));
            expect_pieces_decode(block, {a, b}, wide_block_output());
        }
    }
}

TEST(BlockDecoderPieces, OneBytePieces) {
    for (uint32_t seed = 1; seed <= 4; ++seed) {
        const std::vector<uint8_t> data = sample_data(Shape::Mixture, 3000 * seed, seed);
        const std::vector<uint8_t> block = compress(data);
        std::vector<size_t> cuts;
        for (size_t k = 1; k < block.size(); ++k)
            cuts.push_back(k);
        expect_pieces_decode(block, cuts, data);
    }
}

TEST(BlockDecoderPieces, EverySplitPointOfACompressedMixture) {
    const std::vector<uint8_t> data = sample_data(Shape::Mixture, 2500, 11);
    const std::vector<uint8_t> block = compress(data);
    for (size_t cut = 0; cut < block.size(); ++cut) {
        SCOPED_TRACE("cut at " + std::to_string(cut));
        expect_pieces_decode(block, {cut}, data);
    }
}

TEST(BlockDecoderPieces, LeftOverInTheLastPiece) {
    std::vector<uint8_t> stream = wide_block();
    const size_t block_size = stream.size();
    stream.insert(stream.end(), {0xEE, 0xEE, 0xEE});
    for (size_t cut = 0; cut < stream.size(); ++cut) {
        BlockDecoder decoder;
        size_t left_over = 99;
        const bool first = decoder.decompress_block(stream.data(), cut, &left_over);
        if (cut >= block_size) {
            ASSERT_TRUE(first);
            EXPECT_EQ(left_over, cut - block_size);
        } else {
            ASSERT_FALSE(first);
            ASSERT_TRUE(
                decoder.decompress_block(stream.data() + cut, stream.size() - cut, &left_over));
            EXPECT_EQ(left_over, 3u);
        }
        EXPECT_EQ(decoder.output(), wide_block_output());
    }
}

// ---------------------------------------------------------------------------------------------
// Malformed blocks
// ---------------------------------------------------------------------------------------------

void expect_malformed(const std::vector<uint8_t>& block) {
    expect_throw_with_message<std::runtime_error>(
        [&] {
            BlockDecoder decoder;
            decoder.decompress_block(block.data(), block.size());
        },
        kMalformed);
    // Fed a byte at a time the same block fails too.
    expect_throw_with_message<std::runtime_error>(
        [&] {
            BlockDecoder decoder;
            for (uint8_t byte : block)
                decoder.decompress_block(&byte, 1);
        },
        kMalformed);
    expect_throw_with_message<std::runtime_error>(
        [&] {
            std::string out;
            decode_whole_block(block.data(), block.size(), 0, out);
        },
        kMalformed);
}

TEST(BlockDecoderMalformed, LiteralRunPastDeclaredLength) {
    expect_malformed({5, 13, 'a', 'b', 'c', 'd', 'e', 'f'});          // six literals into five
    expect_malformed({5, 0x05, 'a', 'b', 0x09, 'c', 'd', 'e', 'f'});  // 2 + 4 into five
}

TEST(BlockDecoderMalformed, CopySourceBeforeOutputStart) {
    expect_malformed({10, 0x05, 'a', 'b', 50});  // distance 3 after two bytes: (3*8+1)*2
    expect_malformed({10, 18});                  // distance 1 with no output yet
    expect_malformed({40, 0x03, 'a', 32, 30});   // long copy, distance 2 after one byte
}

TEST(BlockDecoderMalformed, CopyPastDeclaredLength) {
    // One literal, then distance 1: a length of 5 fits in six bytes, a length of 6 does not.
    EXPECT_EQ(decode({6, 0x03, 'a', 18}), std::vector<uint8_t>(6, 'a'));
    expect_malformed({6, 0x03, 'a', 20});
    expect_malformed({20, 0x03, 'a', 16, 16});  // long copy of 20 after one byte
    // A copy length whose + 4 would wrap around 64 bits.
    std::vector<uint8_t> wrap = {20, 0x03, 'a', 16};
    wrap.insert(wrap.end(), 9, 0xFF);
    wrap.push_back(0x01);
    expect_malformed(wrap);
    std::vector<uint8_t> near_wrap = {20, 0x03, 'a', 16};
    const std::vector<uint8_t> m = varint(UINT64_MAX - 4);
    near_wrap.insert(near_wrap.end(), m.begin(), m.end());
    expect_malformed(near_wrap);
}

TEST(BlockDecoderMalformed, ZeroDistance) {
    // Distance 0 would read the byte about to be written; the encoder never produces it.
    expect_malformed({10, 0x03, 'a', 2});     // short copy, m = 1
    expect_malformed({20, 0x03, 'a', 0, 8});  // long copy
}

TEST(BlockDecoderMalformed, VarintLongerThanSixtyFourBits) {
    std::vector<uint8_t> eleven_groups(10, 0x80);
    eleven_groups.push_back(0x00);
    expect_malformed(eleven_groups);
    std::vector<uint8_t> sixty_five_bits(9, 0xFF);
    sixty_five_bits.push_back(0x02);
    expect_malformed(sixty_five_bits);
    // Also in a token, not just the header.
    std::vector<uint8_t> long_token = {5};
    long_token.insert(long_token.end(), 10, 0x81);
    long_token.push_back(0x00);
    expect_malformed(long_token);
}

TEST(BlockDecoderMalformed, DamagedBlocksGetTheSameAnswerFromBothDecoders) {
    // Blocks with bytes overwritten, cut short or extended: each decoder must come to the same
    // result, or throw the same error.
    std::mt19937 rng(77);
    auto pick = [&rng](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); };
    for (int round = 0; round < 3000; ++round) {
        const std::vector<uint8_t> data = sample_data(Shape::Mixture, 1 + pick(600), round);
        std::vector<uint8_t> block = compress(data);
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

// ---------------------------------------------------------------------------------------------
// Round trips
// ---------------------------------------------------------------------------------------------

TEST(BlockCodecRoundTrip, ShapesAndSizes) {
    uint32_t seed = 100;
    for (Shape shape : {Shape::Runs, Shape::Text, Shape::Noise, Shape::Mixture}) {
        for (size_t size : sample_sizes()) {
            const std::vector<uint8_t> data = sample_data(shape, size, ++seed);
            SCOPED_TRACE(std::string(test_util::shape_name(shape)) + " " + std::to_string(size));
            EXPECT_EQ(decode(compress(data)), data);
        }
    }
}

TEST(BlockCodecRoundTrip, OtherTableShapes) {
    // One bucket puts every position in the same row; a depth of one keeps only the newest.
    const std::vector<uint8_t> data = sample_data(Shape::Mixture, 40000, 5);
    for (auto [depth, buckets] :
         {std::pair<size_t, size_t>{1, 1}, {1, 4096}, {12, 1}, {3, 7}, {64, 65536}, {12, 100000}}) {
        SCOPED_TRACE("D = " + std::to_string(depth) + ", B = " + std::to_string(buckets));
        EXPECT_EQ(decode(compress(data, depth, buckets)), data);
    }
}

TEST(BlockCodecRoundTrip, FarCopies) {
    // A chunk of text repeated after 20 kB of noise: the copy's distance takes a three-byte
    // varint, and the repeat costs next to nothing.
    const std::vector<uint8_t> text = sample_data(Shape::Text, 3000, 21);
    const std::vector<uint8_t> noise = sample_data(Shape::Noise, 20000, 22);
    std::vector<uint8_t> once = text;
    once.insert(once.end(), noise.begin(), noise.end());
    std::vector<uint8_t> twice = once;
    twice.insert(twice.end(), text.begin(), text.end());
    const std::vector<uint8_t> block = compress(twice);
    EXPECT_LT(block.size(), compress(once).size() + 16);
    EXPECT_EQ(decode(block), twice);
}

}  // namespace
}  // namespace demo
