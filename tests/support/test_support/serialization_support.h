// Serialization test helpers: the library's binary forms, seeded sample data, what a call threw.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <random>
#include <string>
#include <typeinfo>
#include <unordered_map>

#include "serialization/data.h"
#include "serialization/output_stream.h"
#include "test_support/package_bytes.h"

namespace demo::test_util {

using package_bytes::Bytes;

// The binary form the library writes for `object`, references numbered by `ids` if given.
inline Bytes binary_form(const ISerializable& object,
                         const std::unordered_map<const void*, uint64_t>* ids = nullptr) {
    Bytes bytes;
    OutputStream out(bytes);
    out.set_id_table(ids);
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

enum class Shape { Runs, Noise, Mixture };

// `size` bytes of the given shape, fully determined by `seed`: runs of one value, noise, or a
// mixture of those with repeats of what came before, near or far back.
inline Bytes sample_data(Shape shape, size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes out;
    while (out.size() < size) {
        const uint32_t kind = shape == Shape::Mixture ? rng() % 3 : static_cast<uint32_t>(shape);
        const size_t n = 1 + rng() % 300;
        const bool repeat = kind == 2 && !out.empty();
        const size_t from = repeat ? rng() % out.size() : 0;
        const uint8_t value = static_cast<uint8_t>(rng());
        for (size_t k = 0; k < n; ++k) {
            if (repeat)
                out.push_back(uint8_t{out[from + k]});
            else
                out.push_back(kind == 0 ? value : static_cast<uint8_t>(rng()));
        }
    }
    out.resize(size);
    return out;
}

// The message of the `Exception` (that very type) `body` throws, or what happened instead.
template <typename Exception, typename Body>
std::string thrown(Body&& body) {
    try {
        body();
    } catch (const std::exception& e) {
        return (typeid(e) == typeid(Exception) ? "" : "another exception: ") +
               std::string(e.what());
    }
    return "nothing thrown";
}

}  // namespace demo::test_util
