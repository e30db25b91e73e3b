#include "serialization/stored_string.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "serialization/input_stream.h"
#include "serialization/package_error.h"
#include "serialization/primitives.h"
#include "test_support/serialization_support.h"

namespace demo {
namespace {

using namespace package_bytes;

TEST(StoredString, DamageIsAPackageErrorAtTheRecordNamingTheField) {
    // Undamaged, a record may hold bytes after its block: the read skips them.
    const Bytes padded = concat({record({0x03, 0x07, 'a', 'b', 'c', 0xEE, 0xEE}), {1}});
    InputStream padded_in(padded.data(), padded.size());
    EXPECT_EQ(read_string(padded_in), "abc");
    EXPECT_TRUE(read_bool(padded_in));
    const std::string short_block = "ends before its declared length";
    struct Case {
        Bytes bytes;
        std::string part;
        uint64_t offset;  // from the record's start
    };
    const Case cases[] = {
        {record({10, 0x07, 'a', 'b', 'c'}), short_block, 0},  // the tail is missing, not zeros
        {record({5, 0x0B, 'a', 'b'}), short_block, 0},        // a literal run cut by the end
        {record({0xAC}), short_block, 0},                     // a header cut inside its varint
        {u64(0), short_block, 0},                             // no block at all
        {concat({u64(6), scrambled({0x03, 0x07, 'a', 'b', 'c'})}), "", 8},  // bytes missing
        {u64(UINT64_MAX), "", 8},
        {Bytes{1, 0, 0}, "", 0},  // the length itself is cut
        {record({6, 0x03, 'a', 20}), "Malformed data while uncompressing", 0},
        {record(varint(kMaxStoredStringLength + 1)),
         "Uncompressed data in message deemed too large", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.bytes));
        const Bytes bytes = concat({{7, 7, 7}, c.bytes});  // errors name the record's own offset
        InputStream in(bytes.data(), bytes.size());
        for (int k = 0; k < 3; ++k)
            read_bool(in);
        try {
            const std::string text = read_string(in, "the effect name");
            ADD_FAILURE() << "expected a PackageError, read " << text.size() << " bytes";
        } catch (const PackageError& e) {
            EXPECT_EQ(e.offset(), 3 + c.offset);
            EXPECT_NE(std::string(e.what()).find("the effect name"), std::string::npos);
            EXPECT_NE(std::string(e.what()).find(c.part), std::string::npos) << e.what();
        }
    }
}

// A block of `length` bytes 'x' in seven bytes: one literal, then one long copy at distance 1.
Bytes run_block(uint64_t length) {
    return concat({varint(length), {0x03, 'x', 16}, varint(length - 5)});
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
        const Bytes package = concat({record(run_block(c.first)), record(run_block(c.second))});
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
