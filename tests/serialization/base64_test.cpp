#include "serialization/base64.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "test_support/serialization_support.h"

namespace demo {
namespace {

using package_bytes::Bytes;
using package_bytes::bytes_of;

TEST(Base64, KnownTextsBothWays) {
    // The RFC 4648 vectors, then the two alphabets' last characters: 0xFB 0xFF 0xBF is
    // 111110 111111 111110 111111, values 62, 63, 62, 63.
    const std::pair<Bytes, std::string> both_ways[] = {{bytes_of(""), ""},
                                                       {bytes_of("f"), "Zg=="},
                                                       {bytes_of("fo"), "Zm8="},
                                                       {bytes_of("foo"), "Zm9v"},
                                                       {bytes_of("foob"), "Zm9vYg=="},
                                                       {bytes_of("fooba"), "Zm9vYmE="},
                                                       {bytes_of("foobar"), "Zm9vYmFy"},
                                                       {{0xFB, 0xFF, 0xBF}, "+/+/"},
                                                       {{0, 0, 0}, "AAAA"},
                                                       {{0xFF}, "/w=="}};
    for (const auto& [bytes, text] : both_ways) {
        EXPECT_EQ(base64_encode(bytes.data(), bytes.size()), text);
        EXPECT_EQ(base64_decode(text), bytes) << text;
    }
    // Decoding also takes the URL-safe alphabet, "." as padding, and an unpadded tail.
    const std::pair<std::string, Bytes> decode_only[] = {
        {"-_-_", {0xFB, 0xFF, 0xBF}},   {"-/+_", {0xFB, 0xFF, 0xBF}}, {"_w==", {0xFF}},
        {"Zg..", bytes_of("f")},        {"Zm8.", bytes_of("fo")},     {"Zg=.", bytes_of("f")},
        {"Zm9vYg..", bytes_of("foob")}, {"Zg", bytes_of("f")},        {"Zm8", bytes_of("fo")},
        {"Zm9vYmE", bytes_of("fooba")}};
    for (const auto& [text, bytes] : decode_only)
        EXPECT_EQ(base64_decode(text), bytes) << text;
    // Anything outside both alphabets is refused, white space included.
    for (const std::string& text : std::vector<std::string>{
             "Zm9v YmFy", " Zm9v", "Zm9v\nYmFy", "Zm9vYmFy\n", "Zm9v\r\nYmFy", "Zm9v\tYmFy", "Zm9*",
             "Zm9v!mFy", "Zm,v", "Zm9v\xC3\xA9mFy", std::string("Zm\0v", 4)})
        EXPECT_EQ(test_util::thrown<std::runtime_error>([&] { base64_decode(text); }),
                  "Input is not valid base64-encoded data.")
            << ::testing::PrintToString(text);
}

}  // namespace
}  // namespace demo
