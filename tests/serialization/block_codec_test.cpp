#include <gtest/gtest.h>

#include "serialization/block_compressor.h"
#include "serialization/block_decoder.h"

namespace demo {
namespace {

std::vector<uint8_t> compress(const std::string& s) {
    return compress_block(reinterpret_cast<const uint8_t*>(s.data()), s.size(), 12, 4096);
}

TEST(BlockCodec, EmptyInputIsOneZeroByte) {
    EXPECT_EQ(compress(""), std::vector<uint8_t>{0x00});
}

TEST(BlockCodec, TwentyEqualBytes) {
    std::vector<uint8_t> expected = {20, 0x03, 'x', 16, 15};
    EXPECT_EQ(compress(std::string(20, 'x')), expected);
}

}  // namespace
}  // namespace demo
