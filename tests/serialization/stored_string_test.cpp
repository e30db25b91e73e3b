#include "serialization/stored_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "serialization/byte_buffer.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/package_error.h"
#include "serialization/primitives.h"
#include "test_support.h"

namespace demo {
namespace {

using Bytes = std::vector<uint8_t>;
using test_util::concat;
using test_util::u64_bytes;
using test_util::xor_with_keystream;

Bytes stored(const std::string& text) {
    Bytes bytes;
    OutputStream out(bytes);
    write_string(text, out);
    return bytes;
}

// A stored string record around a hand-made block: length, then the scrambled block.
Bytes record(const Bytes& block) {
    return concat(u64_bytes(block.size()), xor_with_keystream(block));
}

// Reads one string from `bytes` and expects a PackageError at `offset` mentioning `part`.
void expect_damage(const Bytes& bytes, const std::string& part = "", uint64_t offset = 0,
                   uint64_t skip = 0) {
    InputStream in(bytes.data(), bytes.size());
    for (uint64_t k = 0; k < skip; ++k)
        read_bool(in);
    try {
        const std::string text = read_string(in, "the effect name");
        FAIL() << "expected a PackageError, read " << text.size() << " bytes";
    } catch (const PackageError& e) {
        EXPECT_EQ(e.offset(), offset);
        const std::string what = e.what();
        EXPECT_NE(what.find("the effect name"), std::string::npos) << what;
        EXPECT_NE(what.find(part), std::string::npos) << what;
    }
}

TEST(StoredStringForm, EmptyStringIsOneScrambledZero) {
    const Bytes expected = {1, 0, 0, 0, 0, 0, 0, 0, (3 * 70937 + 1) & 0xFF};
    EXPECT_EQ(stored(""), expected);
}

TEST(StoredStringForm, LengthThenScrambledBlock) {
    EXPECT_EQ(stored("abc"), concat(u64_bytes(5), xor_with_keystream({0x03, 0x07, 'a', 'b', 'c'})));
    EXPECT_EQ(stored(std::string(20, 'x')),
              concat(u64_bytes(5), xor_with_keystream({20, 0x03, 'x', 16, 15})));
}

TEST(StoredStringForm, EqualTextsGiveEqualBytes) {
    std::string a = "uniform float beat;";
    std::string b;
    b.reserve(1000);
    b += "uniform float ";
    b += "beat;";
    EXPECT_EQ(stored(a), stored(b));

    // Written one after the other, the second record repeats the first exactly.
    Bytes both;
    OutputStream out(both);
    write_string(a, out);
    write_string(b, out);
    const Bytes one = stored(a);
    EXPECT_EQ(both, concat(one, one));
}

TEST(StoredStringRead, ReadsRecordsInOrder) {
    Bytes bytes;
    OutputStream out(bytes);
    const std::vector<std::string> texts = {"", "main", std::string("a\0b", 3), "",
                                            "beat beat beat"};
    for (const std::string& t : texts)
        write_string(t, out);
    write_u32(out, 0xFEEDu);

    InputStream in(bytes.data(), bytes.size());
    for (const std::string& t : texts)
        EXPECT_EQ(read_string(in), t);
    EXPECT_EQ(read_u32(in), 0xFEEDu);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(StoredStringRead, IgnoresBytesAfterTheBlock) {
    const Bytes bytes = concat(record({0x03, 0x07, 'a', 'b', 'c', 0xEE, 0xEE}), {0x2A});
    InputStream in(bytes.data(), bytes.size());
    EXPECT_EQ(read_string(in), "abc");
    EXPECT_EQ(in.offset(), 8u + 7u);
    EXPECT_EQ(read_bool(in), true);
}

TEST(StoredStringRead, RoundTripsShapesAndSizes) {
    uint32_t seed = 500;
    for (test_util::Shape shape : {test_util::Shape::Runs, test_util::Shape::Text,
                                   test_util::Shape::Noise, test_util::Shape::Mixture}) {
        for (size_t size : test_util::sample_sizes()) {
            const Bytes data = test_util::sample_data(shape, size, ++seed);
            const std::string text(data.begin(), data.end());
            const Bytes bytes = stored(text);
            SCOPED_TRACE(std::string(test_util::shape_name(shape)) + " " + std::to_string(size));
            InputStream in(bytes.data(), bytes.size());
            ASSERT_EQ(read_string(in), text);
            EXPECT_EQ(in.remaining(), 0u);
        }
    }
}

TEST(StoredStringDamage, BlockEndingBeforeItsDeclaredLength) {
    // Ten bytes declared, three produced: the tail is missing, not zeros.
    expect_damage(record({10, 0x07, 'a', 'b', 'c'}), "ends before its declared length");
    // A literal run cut by the end of the record.
    expect_damage(record({5, 0x0B, 'a', 'b'}), "ends before its declared length");
    // A header cut in the middle of its varint.
    expect_damage(record({0xAC}), "ends before its declared length");
    // No block at all.
    expect_damage(u64_bytes(0), "ends before its declared length");
}

TEST(StoredStringDamage, LengthLargerThanWhatIsLeft) {
    // Reading stops right after the length, at the bytes that are missing.
    expect_damage(concat(u64_bytes(6), xor_with_keystream({0x03, 0x07, 'a', 'b', 'c'})), "", 8);
    expect_damage(u64_bytes(uint64_t{1} << 60), "", 8);
    expect_damage(u64_bytes(UINT64_MAX), "", 8);
    expect_damage(Bytes{1, 0, 0});  // the length itself is cut
}

TEST(StoredStringDamage, MalformedBlock) {
    expect_damage(record({6, 0x03, 'a', 20}), "Malformed data while uncompressing");
    expect_damage(record({10, 18}), "Malformed data while uncompressing");
}

TEST(StoredStringDamage, DeclaredLengthBeyondTheTextLimit) {
    Bytes block;
    uint64_t v = kMaxStoredStringLength + 1;
    while (v >= 0x80) {
        block.push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    block.push_back(static_cast<uint8_t>(v));
    expect_damage(record(block), "Uncompressed data in message deemed too large");
}

TEST(StoredStringDamage, ErrorNamesTheRecordOffset) {
    const Bytes bytes = concat({7, 7, 7}, record({10, 18}));
    expect_damage(bytes, "Malformed", 3, 3);
}

// A block of `length` bytes 'x' in seven bytes: one literal, then one long copy at distance 1.
Bytes run_block(uint64_t length) {
    Bytes block;
    for (uint64_t v : {length, uint64_t{3}, uint64_t{16}, length - 5}) {
        for (; v >= 0x80; v >>= 7)
            block.push_back(static_cast<uint8_t>(v | 0x80));
        block.push_back(static_cast<uint8_t>(v));
    }
    block.insert(block.begin() + 2 + (length >= 128), 'x');
    return block;
}

// Every package byte may unpack to 256 bytes, on top of a fixed allowance (none here), and
// all strings and buffers of one read draw on that one budget. Two 15-byte run records make a
// 30-byte package: 7680 bytes in all.
TEST(UnpackBudget, StringsAndBuffersOfOneReadShareIt) {
    struct Case {
        uint64_t first, second;  // lengths the two runs declare
        int64_t fails_at;        // offset of the refused record, or -1
    };
    for (const Case& c : {Case{3000, 3000, -1}, Case{3000, 4680, -1}, Case{3000, 4681, 15},
                          Case{7681, 133, 0}, Case{4000, 4000, 15}}) {
        const Bytes package = concat(record(run_block(c.first)), record(run_block(c.second)));
        ASSERT_EQ(package.size(), 30u);
        InputStream in(package.data(), package.size(), 0);
        try {
            EXPECT_EQ(read_string(in), std::string(c.first, 'x'));
            EXPECT_EQ(read_string(in), std::string(c.second, 'x'));
            EXPECT_EQ(c.fails_at, -1) << c.first << " + " << c.second;
            EXPECT_EQ(in.unpack_budget(), 7680 - c.first - c.second);
        } catch (const PackageError& e) {
            EXPECT_EQ(static_cast<int64_t>(e.offset()), c.fails_at) << e.what();
            EXPECT_NE(std::string(e.what()).find("past the"), std::string::npos) << e.what();
        }
    }
    // A buffer's bytes count as well: 30 bytes of package, 7680 - 7 left for the string.
    for (uint64_t text : {7673u, 7674u}) {
        const Bytes package = concat(concat(u64_bytes(7), Bytes(7, 0)), record(run_block(text)));
        InputStream in(package.data(), package.size(), 0);
        ByteBuffer buffer(in);
        if (text == 7673u) {
            EXPECT_EQ(read_string(in).size(), text);
        } else {
            EXPECT_THROW(read_string(in), PackageError);
        }
    }
}

}  // namespace
}  // namespace demo
