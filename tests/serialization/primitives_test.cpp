#include "serialization/primitives.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "serialization/input_stream.h"
#include "serialization/package_error.h"
#include "test_support/package_bytes.h"

namespace demo {
namespace {

using package_bytes::Bytes;

// Refusals name the field and its offset, and a failed read consumes nothing.
TEST(Primitives, ValuesAndCountsThatDoNotFitAreRefused) {
    // A count of n elements of at least k bytes needs n * k of the bytes after it; an element
    // size of 0 is taken as 1. The first row is a u64 cut short.
    struct Case {
        uint64_t count, element_size, available;
        bool fits;
    };
    for (const Case& c :
         {Case{0x0706050403020100, 4, 0, false}, Case{3, 4, 12, true}, Case{4, 4, 12, false},
          Case{uint64_t{1} << 40, 4, 12, false}, Case{UINT64_MAX, 4, 12, false},
          Case{13, 0, 12, false}, Case{13, 0, 13, true}}) {
        Bytes bytes = package_bytes::u64(c.count);
        bytes.resize(c.available == 0 ? 7 : 8 + c.available);
        InputStream in(bytes.data(), bytes.size());
        try {
            EXPECT_EQ(read_count(in, c.element_size, "effects"), c.count);
            EXPECT_TRUE(c.fits);
        } catch (const PackageError& e) {
            EXPECT_FALSE(c.fits) << c.count;
            EXPECT_EQ(e.offset(), 0u);
            EXPECT_NE(std::string(e.what()).find("effects"), std::string::npos) << e.what();
        }
        EXPECT_EQ(in.offset(), c.available == 0 ? 0u : 8u);
    }
    // A file stream stops at its limit, not at the file's end: the trailer follows the package.
    std::FILE* file = std::tmpfile();
    std::fputs("\x02TRAILER", file);
    std::rewind(file);
    InputStream from_file(file, 1);
    EXPECT_TRUE(read_bool(from_file));  // any non-zero byte is true
    EXPECT_THROW(read_bool(from_file), PackageError);
    std::fclose(file);
}

}  // namespace
}  // namespace demo
