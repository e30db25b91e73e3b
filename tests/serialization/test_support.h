// Helpers shared by the serialization tests: the library's binary forms, seeded sample data and
// exact-message exception checks (bytes laid out independently of the library: package_bytes.h).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <typeinfo>
#include <vector>

#include "package_bytes.h"
#include "serialization/data.h"
#include "serialization/output_stream.h"

namespace demo::test_util {

using package_bytes::Bytes;

// The binary form the library writes for `object`.
inline Bytes binary_form(const ISerializable& object) {
    Bytes bytes;
    OutputStream out(bytes);
    object.write_binary(out);
    return bytes;
}

// A data blob named `name` holding a copy of `bytes`.
inline std::unique_ptr<Data> make_data(const std::string& name, const Bytes& bytes) {
    auto data = std::make_unique<Data>();
    data->name = name;
    data->buffer = std::make_unique<ByteBuffer>(bytes.data(), bytes.size());
    return data;
}

enum class Shape { Runs, Text, Noise, Mixture };
inline constexpr Shape kShapes[] = {Shape::Runs, Shape::Text, Shape::Noise, Shape::Mixture};

// `size` bytes of the given shape, fully determined by `seed`: runs of one value, words of
// shader text, noise, or a mixture of those with repeats of what came before.
inline Bytes sample_data(Shape shape, size_t size, uint32_t seed) {
    static const char* const kWords[] = {"uniform", "float",  "vec3", "the",  "beat", "void",
                                         "main",    "of",     "sin",  "demo", "a",    "music",
                                         "scene",   "camera", "(",    ")",    ";",    "\n"};
    std::mt19937 rng(seed);
    auto uniform = [&rng](uint32_t lo, uint32_t hi) {
        return std::uniform_int_distribution<uint32_t>(lo, hi)(rng);
    };
    Bytes out;
    while (out.size() < size) {
        const uint32_t kind =
            shape == Shape::Mixture ? uniform(0, 3) : static_cast<uint32_t>(shape);
        const size_t n = uniform(1, 300);
        if (kind == 0) {
            out.insert(out.end(), n, static_cast<uint8_t>(uniform(0, 255)));
        } else if (kind == 1) {
            for (size_t k = 0; k < n / 8 + 1; ++k) {
                for (const char* c = kWords[uniform(0, std::size(kWords) - 1)]; *c; ++c)
                    out.push_back(static_cast<uint8_t>(*c));
                out.push_back(' ');
            }
        } else if (kind == 2) {
            for (size_t k = 0; k < n; ++k)
                out.push_back(static_cast<uint8_t>(uniform(0, 255)));
        } else if (!out.empty()) {  // a repeat of something already written, near or far back
            const size_t from = uniform(0, static_cast<uint32_t>(out.size() - 1));
            for (size_t k = 0; k < n; ++k)
                out.push_back(out[from + k]);
        }
    }
    out.resize(size);
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
