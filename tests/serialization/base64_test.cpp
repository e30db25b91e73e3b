#include "serialization/base64.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "test_support.h"

namespace demo {
namespace {

using test_util::bytes_of;
using test_util::expect_throw_with_message;

const std::string kInvalid = "Input is not valid base64-encoded data.";

std::string encode(const std::vector<uint8_t>& bytes) {
    return base64_encode(bytes.data(), bytes.size());
}

struct Vector {
    const char* plain;
    const char* encoded;
};

// RFC 4648, section 10.
const Vector kRfcVectors[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

TEST(Base64, EncodesRfcVectors) {
    for (const Vector& v : kRfcVectors) {
        EXPECT_EQ(encode(bytes_of(v.plain)), v.encoded) << v.plain;
    }
}

TEST(Base64, DecodesRfcVectors) {
    for (const Vector& v : kRfcVectors) {
        EXPECT_EQ(base64_decode(v.encoded), bytes_of(v.plain)) << v.encoded;
    }
}

TEST(Base64, EncodesWithTheStandardAlphabet) {
    // 0xFB 0xFF 0xBF is 111110 111111 111110 111111: values 62, 63, 62, 63.
    EXPECT_EQ(encode({0xFB, 0xFF, 0xBF}), "+/+/");
    EXPECT_EQ(encode({0x00, 0x00, 0x00}), "AAAA");
    EXPECT_EQ(encode({0xFF}), "/w==");
}

TEST(Base64, DecodesUrlSafeCharacters) {
    const std::vector<uint8_t> expected = {0xFB, 0xFF, 0xBF};
    EXPECT_EQ(base64_decode("-_-_"), expected);
    EXPECT_EQ(base64_decode("+/+/"), expected);
    EXPECT_EQ(base64_decode("-/+_"), expected);
    EXPECT_EQ(base64_decode("_w=="), (std::vector<uint8_t>{0xFF}));
}

TEST(Base64, DotIsPadding) {
    EXPECT_EQ(base64_decode("Zg.."), bytes_of("f"));
    EXPECT_EQ(base64_decode("Zm8."), bytes_of("fo"));
    EXPECT_EQ(base64_decode("Zg=."), bytes_of("f"));
    EXPECT_EQ(base64_decode("Zm9vYg.."), bytes_of("foob"));
}

TEST(Base64, UnpaddedTailIsDecoded) {
    EXPECT_EQ(base64_decode("Zg"), bytes_of("f"));
    EXPECT_EQ(base64_decode("Zm8"), bytes_of("fo"));
    EXPECT_EQ(base64_decode("Zm9vYmE"), bytes_of("fooba"));
}

TEST(Base64, RejectsCharactersOutsideBothAlphabets) {
    for (const char* text : {"Zm9v YmFy", " Zm9v", "Zm9v\nYmFy", "Zm9vYmFy\n", "Zm9v\r\nYmFy",
                             "Zm9v\tYmFy", "Zm9*", "Zm9v!mFy", "Zm,v", "Zm9v\xC3\xA9mFy"}) {
        SCOPED_TRACE(::testing::PrintToString(std::string(text)));
        expect_throw_with_message<std::runtime_error>([&] { base64_decode(text); }, kInvalid);
    }
    // A NUL inside the text is just another invalid character.
    expect_throw_with_message<std::runtime_error>([] { base64_decode(std::string("Zm\0v", 4)); },
                                                  kInvalid);
}

TEST(Base64, EveryByteValueRoundTrips) {
    std::vector<uint8_t> all;
    for (int k = 0; k < 256; ++k)
        all.push_back(static_cast<uint8_t>(k));
    for (size_t offset = 0; offset < 3; ++offset) {
        const std::vector<uint8_t> bytes(all.begin() + offset, all.end());
        EXPECT_EQ(base64_decode(encode(bytes)), bytes);
    }
}

TEST(Base64, RoundTripsShapesAndSizes) {
    uint32_t seed = 300;
    for (test_util::Shape shape : {test_util::Shape::Noise, test_util::Shape::Mixture}) {
        for (size_t size : test_util::sample_sizes()) {
            const std::vector<uint8_t> bytes = test_util::sample_data(shape, size, ++seed);
            const std::string text = encode(bytes);
            SCOPED_TRACE(std::to_string(size));
            ASSERT_EQ(text.size(), (size + 2) / 3 * 4);
            ASSERT_EQ(text.find_first_not_of(
                          "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="),
                      std::string::npos);
            // Padding only at the end, as many as the last group lacks.
            const size_t pad = (3 - size % 3) % 3;
            EXPECT_EQ(text.find('='), pad == 0 ? std::string::npos : text.size() - pad);
            EXPECT_EQ(base64_decode(text), bytes);
        }
    }
}

}  // namespace
}  // namespace demo
