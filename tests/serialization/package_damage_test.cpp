// Damaged packages must end in a PackageError or a demo that holds together: never a crash, a
// read past the data (the sanitizer build checks that), a hang or an allocation too large.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <string>

#include "demo/demo.h"
#include "serialization/input_stream.h"
#include "serialization/package_error.h"
#include "test_support/serialization_support.h"

// Allocations are watched by replacing the global allocation functions (the one portable way to
// see the containers' requests too); one above the limit is recorded and refused.
namespace allocation_watch {
namespace {
std::atomic<bool> watching{false};
std::atomic<size_t> limit{0};
std::atomic<size_t> refused{0};
}  // namespace
}  // namespace allocation_watch

void* operator new(std::size_t size) {
    using namespace allocation_watch;
    if (watching.load(std::memory_order_relaxed) && size > limit.load(std::memory_order_relaxed)) {
        refused.store(size);
        throw std::bad_alloc();
    }
    void* p = std::malloc(size == 0 ? 1 : size);
    if (p == nullptr)
        throw std::bad_alloc();
    return p;
}
// Kept out of line so the compiler does not pair a visible malloc with operator delete.
[[gnu::noinline]] void operator delete(void* p) noexcept {
    std::free(p);
}
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

namespace demo {
namespace {

using namespace package_bytes;

// A valid package of about 2 kB: music and blobs of 20 times their names' lengths (names that
// compress with copies, an empty blob without a name, one past the keystream's restart).
Bytes sample_package() {
    using test_util::sample_data;
    Demo demo;
    uint32_t seed = 0;
    for (std::string name : {"textures/textures/textures/noise.raw", "", "a", "common/common.glsl"})
        demo.datas.push_back(test_util::make_data(
            name, sample_data(test_util::Shape::Noise, 20 * name.size(), ++seed)));
    demo.music =
        std::make_unique<ByteBuffer>(sample_data(test_util::Shape::Noise, 700, 9).data(), 700);
    return test_util::binary_form(demo);
}

// Reads `bytes` as a package under the watch; true when it loads. Only a PackageError inside
// the bytes may stop it, and a demo that loads must have music and every blob's buffer.
bool loads(const Bytes& bytes, const std::string& label) {
    allocation_watch::refused.store(0);
    // Whatever the input, 1 MiB is allowed: the string decoder reserves up to 64 KiB.
    allocation_watch::limit.store(std::max(bytes.size(), size_t{1} << 20));
    bool loaded = false;
    try {
        InputStream in(bytes.data(), bytes.size());
        allocation_watch::watching.store(true);
        Demo demo(in);
        allocation_watch::watching.store(false);
        loaded = true;
        EXPECT_NE(demo.music, nullptr) << label;
        for (const auto& data : demo.datas)
            EXPECT_NE(data->buffer, nullptr) << label;
    } catch (const PackageError& e) {
        EXPECT_LE(e.offset(), bytes.size()) << label << ": " << e.what();
    } catch (const std::exception& e) {
        ADD_FAILURE() << label << ": not a PackageError: " << e.what();
    }
    allocation_watch::watching.store(false);
    EXPECT_EQ(allocation_watch::refused.load(), 0u) << label << ": a request too large";
    return loaded;
}

TEST(PackageDamage, CutsFlipsAndHugeStringsAreRefusedWithinBounds) {
    const Bytes bytes = sample_package();
    // Every proper prefix lacks at least the timing values: only the whole package loads.
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        const std::string label = "cut at " + std::to_string(cut);
        EXPECT_EQ(loads(Bytes(bytes.begin(), bytes.begin() + cut), label), cut == bytes.size());
    }
    std::mt19937 rng(20240611);
    int not_loaded = 0;
    constexpr int kCases = 100000;
    for (int c = 0; c < kCases; ++c) {
        Bytes damaged = bytes;  // one to four bytes flipped
        for (int f = 1 + static_cast<int>(rng() % 4); f > 0; --f)
            damaged[rng() % damaged.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
        not_loaded += loads(damaged, "flip case " + std::to_string(c)) ? 0 : 1;
    }
    // Flips in the scrambled contents go unnoticed, but many hit counts, sizes and names.
    EXPECT_GT(not_loaded, kCases / 10);
    // Stored strings whose block claims far more text than it carries or than a string may hold.
    for (const Bytes& block :
         {concat({varint(uint64_t{1} << 29), {0x03, 'x'}}),  // 512 MiB declared, one byte given
          varint((uint64_t{1} << 30) + 1), varint(~uint64_t{0}),
          concat({varint(100), {0x03, 'x', 16}, varint(200)}),  // a copy past the length
          Bytes(20, 0xFF)}) {                                   // a varint without end
        const Bytes datas = concat({u64(1), record(block), stored_buffer({1, 2, 3})});
        EXPECT_FALSE(loads(package_of_datas(1, 1, datas, {}, 1.0f, 1.0f, 1.0f),
                           ::testing::PrintToString(block)));
    }
    // The watch itself sees container allocations and refuses those above its limit.
    allocation_watch::limit.store(size_t{8} << 20);
    allocation_watch::watching.store(true);
    EXPECT_THROW(Bytes(size_t{9} << 20), std::bad_alloc);
    allocation_watch::watching.store(false);
    EXPECT_EQ(allocation_watch::refused.load(), size_t{9} << 20);
}

}  // namespace
}  // namespace demo
