// Helpers shared by the serialization tests: an independent model of the scramble keystream,
// seeded sample data of several shapes, and exception checks that compare the exact message.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

namespace demo::test_util {

// The keystream worked out from its definition with 64-bit arithmetic: a Collatz walk from
// 70937; each step's key is the low byte of the new value, or 0xB5 when the walk reaches 1,
// which also restarts it from the seed.
inline std::vector<uint8_t> reference_keystream(size_t length) {
    std::vector<uint8_t> keys;
    keys.reserve(length);
    int64_t state = 70937;
    for (size_t i = 0; i < length; ++i) {
        const int64_t next = (state % 2 != 0) ? 3 * state + 1 : state / 2;
        if (next == 1) {
            keys.push_back(0xB5);
            state = 70937;
        } else {
            keys.push_back(static_cast<uint8_t>(next & 0xFF));
            state = next;
        }
    }
    return keys;
}

inline std::vector<uint8_t> xor_with_keystream(std::vector<uint8_t> bytes) {
    const std::vector<uint8_t> keys = reference_keystream(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] ^= keys[i];
    return bytes;
}

inline std::vector<uint8_t> bytes_of(const std::string& s) {
    return std::vector<uint8_t>(s.begin(), s.end());
}

// Little-endian bytes of a 64-bit value.
inline std::vector<uint8_t> u64_bytes(uint64_t v) {
    std::vector<uint8_t> out;
    for (int k = 0; k < 8; ++k)
        out.push_back(static_cast<uint8_t>(v >> (8 * k)));
    return out;
}

inline std::vector<uint8_t> concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

enum class Shape { Runs, Text, Noise, Mixture };

inline const char* shape_name(Shape shape) {
    switch (shape) {
        case Shape::Runs:
            return "runs";
        case Shape::Text:
            return "text";
        case Shape::Noise:
            return "noise";
        case Shape::Mixture:
            return "mixture";
    }
    return "?";
}

// `size` bytes of the given shape, fully determined by `seed`.
inline std::vector<uint8_t> sample_data(Shape shape, size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out;
    out.reserve(size);
    auto uniform = [&rng](uint32_t lo, uint32_t hi) {
        return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
    };
    static const char* const kWords[] = {
        "uniform", "float",   "vec3", "the",    "beat", "void", "main", "gl_FragColor",
        "of",      "texture", "and",  "return", "sin",  "demo", "a",    "resolution",
        "music",   "scene",   "for",  "camera", "(",    ")",    ";",    "\n",
    };
    constexpr size_t kWordCount = sizeof kWords / sizeof kWords[0];

    auto append_run = [&] {
        const uint8_t value = static_cast<uint8_t>(uniform(0, 255));
        const size_t n = uniform(1, 300);
        for (size_t k = 0; k < n && out.size() < size; ++k)
            out.push_back(value);
    };
    auto append_text = [&] {
        const size_t words = uniform(1, 40);
        for (size_t k = 0; k < words && out.size() < size; ++k) {
            for (const char* c = kWords[uniform(0, kWordCount - 1)]; *c && out.size() < size; ++c) {
                out.push_back(static_cast<uint8_t>(*c));
            }
            if (out.size() < size)
                out.push_back(' ');
        }
    };
    auto append_noise = [&] {
        const size_t n = uniform(1, 500);
        for (size_t k = 0; k < n && out.size() < size; ++k) {
            out.push_back(static_cast<uint8_t>(uniform(0, 255)));
        }
    };
    auto append_echo = [&] {
        // A repeat of something already written, near or far back.
        if (out.empty())
            return;
        const size_t from = uniform(0, static_cast<uint32_t>(out.size() - 1));
        const size_t n = uniform(1, 200);
        for (size_t k = 0; k < n && out.size() < size; ++k)
            out.push_back(out[from + k]);
    };

    while (out.size() < size) {
        switch (shape) {
            case Shape::Runs:
                append_run();
                break;
            case Shape::Text:
                append_text();
                break;
            case Shape::Noise:
                append_noise();
                break;
            case Shape::Mixture:
                switch (uniform(0, 3)) {
                    case 0:
                        append_run();
                        break;
                    case 1:
                        append_text();
                        break;
                    case 2:
                        append_noise();
                        break;
                    default:
                        append_echo();
                        break;
                }
                break;
        }
    }
    return out;
}

// Sizes that cross the edges the formats care about (the five-byte match minimum, varint
// group boundaries, the 3-byte base64 group), up to about 100 kB.
inline std::vector<size_t> sample_sizes() {
    return {0,    1,    2,    3,     4,     5,     6,     7,     8,     11,    12,     13,
            17,   63,   64,   127,   128,   129,   255,   256,   1000,  4095,  4096,   4097,
            8191, 8192, 8193, 16383, 16384, 16385, 30011, 65535, 65536, 65537, 100000, 102400};
}

// Runs `body` and expects it to throw exactly `Exception` (not a subclass) with `message`.
template <typename Exception, typename Body>
void expect_throw_with_message(Body&& body, const std::string& message) {
    try {
        body();
        ADD_FAILURE() << "expected an exception with message \"" << message << "\"";
    } catch (const Exception& e) {
        EXPECT_EQ(typeid(e), typeid(Exception));
        EXPECT_EQ(std::string(e.what()), message);
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected exception type with message \"" << e.what() << "\"";
    }
}

}  // namespace demo::test_util
