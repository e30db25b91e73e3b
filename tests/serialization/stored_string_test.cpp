#include "serialization/stored_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/package_error.h"
#include "serialization/primitives.h"
#include "test_support.h"

namespace demo {
namespace {

using namespace package_bytes;

// The u64 length of the compressed block, then the block scrambled; records read back in order
// and each read stops at the end of its block.
TEST(StoredString, WrittenBytesAndRecordsReadInOrder) {
    Bytes bytes;
    OutputStream out(bytes);
    const Bytes mixture = test_util::sample_data(test_util::Shape::Mixture, 100000, 500);
    const std::string texts[] = {"",     std::string(20, 'x'),
                                 "abc",  std::string("a\0b", 3),
                                 "main", std::string(mixture.begin(), mixture.end())};
    for (const std::string& t : texts)
        write_string(t, out);
    Bytes expected = {1, 0, 0, 0, 0, 0, 0, 0, (3 * 70937 + 1) & 0xFF};
    append(expected, record({20, 0x03, 'x', 16, 15}));
    append(expected, record({0x03, 0x07, 'a', 'b', 'c'}));
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + expected.size()), expected);
    append(bytes, record({0x03, 0x07, 'a', 'b', 'c', 0xEE, 0xEE}));  // bytes after the block
    write_u32(out, 0xFEEDu);
    InputStream in(bytes.data(), bytes.size());
    for (const std::string& t : texts)
        EXPECT_EQ(read_string(in), t);
    EXPECT_EQ(read_string(in), "abc");
    EXPECT_EQ(read_u32(in), 0xFEEDu);
    EXPECT_EQ(in.remaining(), 0u);
}

TEST(StoredString, DamageIsAPackageErrorAtTheRecordNamingTheField) {
    const std::string short_block = "ends before its declared length";
    const std::string malformed = "Malformed data while uncompressing";
    Bytes prefixed = {7, 7, 7};  // the error names the record's own offset
    append(prefixed, record({10, 18}));
    Bytes too_long = u64(6);  // reading stops right after the length, at the missing bytes
    append(too_long, scrambled({0x03, 0x07, 'a', 'b', 'c'}));
    struct Case {
        Bytes bytes;
        std::string part;
        uint64_t offset;
        uint64_t skip = 0;
    };
    const Case cases[] = {
        {record({10, 0x07, 'a', 'b', 'c'}), short_block, 0},  // the tail is missing, not zeros
        {record({5, 0x0B, 'a', 'b'}), short_block, 0},        // a literal run cut by the end
        {record({0xAC}), short_block, 0},                     // a header cut inside its varint
        {u64(0), short_block, 0},                             // no block at all
        {too_long, "", 8},
        {u64(uint64_t{1} << 60), "", 8},
        {u64(UINT64_MAX), "", 8},
        {Bytes{1, 0, 0}, "", 0},  // the length itself is cut
        {record({6, 0x03, 'a', 20}), malformed, 0},
        {record({10, 18}), malformed, 0},
        {record(varint(kMaxStoredStringLength + 1)),
         "Uncompressed data in message deemed too large", 0},
        {prefixed, malformed, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        InputStream in(c.bytes.data(), c.bytes.size());
        for (uint64_t k = 0; k < c.skip; ++k)
            read_bool(in);
        try {
            const std::string text = read_string(in, "the effect name");
            ADD_FAILURE() << "expected a PackageError, read " << text.size() << " bytes";
        } catch (const PackageError& e) {
            EXPECT_EQ(e.offset(), c.offset);
            EXPECT_NE(std::string(e.what()).find("the effect name"), std::string::npos);
            EXPECT_NE(std::string(e.what()).find(c.part), std::string::npos) << e.what();
        }
    }
}

// A block of `length` bytes 'x' in seven bytes: one literal, then one long copy at distance 1.
Bytes run_block(uint64_t length) {
    Bytes block = varint(length);
    append(block, {0x03, 'x', 16});
    append(block, varint(length - 5));
    return block;
}

// Every package byte may unpack to 256 bytes, on top of a fixed allowance (none here), and
// all strings of one read draw on that one budget: two 15-byte run records make 7680 bytes.
TEST(UnpackBudget, StringsOfOneReadShareIt) {
    struct Case {
        uint64_t first, second;  // lengths the two runs declare
        int64_t fails_at;        // offset of the refused record, or -1
    };
    for (const Case& c : {Case{3000, 3000, -1}, Case{3000, 4680, -1}, Case{3000, 4681, 15},
                          Case{7681, 133, 0}, Case{4000, 4000, 15}}) {
        Bytes package = record(run_block(c.first));
        append(package, record(run_block(c.second)));
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
}

}  // namespace
}  // namespace demo
