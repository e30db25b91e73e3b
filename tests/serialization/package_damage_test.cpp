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
#include <vector>

#include "serialization/demo.h"
#include "serialization/input_stream.h"
#include "serialization/package_error.h"
#include "test_support.h"

// The largest single allocation made while a package is read, seen by replacing the global
// allocation functions (the one portable way to see the containers' requests too). A request
// above the limit is refused, so a reader that trusts a damaged size fails at once.
namespace allocation_watch {
namespace {
std::atomic<bool> watching{false};
std::atomic<size_t> largest{0};
std::atomic<size_t> limit{0};
}  // namespace
}  // namespace allocation_watch

void* operator new(std::size_t size) {
    using namespace allocation_watch;
    if (watching.load(std::memory_order_relaxed)) {
        size_t seen = largest.load(std::memory_order_relaxed);
        while (size > seen && !largest.compare_exchange_weak(seen, size)) {
        }
        if (size > limit.load(std::memory_order_relaxed))
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

Bytes pattern(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes bytes(size);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng() % 7 == 0 ? rng() : rng() % 4);
    return bytes;
}

// A valid package of about 2 kB: blobs with names that compress with copies, an empty name,
// an empty buffer, one past the keystream's restart; and music.
Bytes sample_package() {
    Demo demo;
    const std::pair<const char*, size_t> blobs[] = {{"textures/textures/textures/noise.raw", 300},
                                                    {"", 17},
                                                    {"empty.bin", 0},
                                                    {"shaders/common/common/common.glsl", 600},
                                                    {"a", 1}};
    uint32_t seed = 0;
    for (const auto& [name, size] : blobs)
        demo.datas.push_back(test_util::make_data(name, pattern(size, ++seed)));
    demo.music = std::make_unique<ByteBuffer>(pattern(700, 5).data(), 700);
    return test_util::binary_form(demo);
}

// Largest allocation allowed, whatever the input: the string decoder reserves up to 64 KiB.
constexpr size_t kAllocationAllowance = size_t{1} << 20;

// Reads `bytes` as a package; true when it loads. A PackageError is a refusal; anything else
// is a problem recorded in `problems`, as is a demo that loads without music or a blob's buffer.
bool loads(const Bytes& bytes, const std::string& label, std::vector<std::string>& problems) {
    const size_t allowed = std::max(bytes.size(), kAllocationAllowance);
    allocation_watch::largest.store(0);
    allocation_watch::limit.store(allowed);
    bool loaded = false;
    try {
        InputStream in(bytes.data(), bytes.size());
        allocation_watch::watching.store(true);
        Demo demo(in);
        allocation_watch::watching.store(false);
        loaded = true;
        bool whole = demo.music != nullptr && in.offset() <= bytes.size();
        for (const auto& data : demo.datas)
            whole = whole && data->buffer != nullptr;
        if (!whole)
            problems.push_back(label + ": loaded a demo that does not hold together");
    } catch (const PackageError& e) {
        if (e.offset() > bytes.size())
            problems.push_back(label + ": error offset past the end: " + e.what());
    } catch (const std::exception& e) {
        problems.push_back(label + ": not a PackageError: " + e.what());
    }
    allocation_watch::watching.store(false);
    if (allocation_watch::largest.load() > allowed)
        problems.push_back(label + ": allocated " + std::to_string(allocation_watch::largest));
    return loaded;
}

TEST(PackageDamage, CutsFlipsAndExtremeValues) {
    const Bytes bytes = sample_package();
    std::vector<std::string> problems;
    // Every proper prefix lacks at least the timing values: only the whole package loads.
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        const std::string label = "cut at " + std::to_string(cut);
        if (loads(Bytes(bytes.begin(), bytes.begin() + cut), label, problems) !=
            (cut == bytes.size()))
            problems.push_back(label + ": wrong outcome");
    }
    std::mt19937 rng(20240611);
    int refused = 0;
    constexpr int kCases = 100000;
    for (int c = 0; c < kCases; ++c) {
        Bytes damaged = bytes;
        std::string label = "case " + std::to_string(c) + " flips";
        for (int f = 1 + static_cast<int>(rng() % 4); f > 0; --f) {
            const size_t at = rng() % damaged.size();
            const uint8_t mask = static_cast<uint8_t>(1 + rng() % 255);
            damaged[at] ^= mask;
            label += " " + std::to_string(at) + "^" + std::to_string(mask);
        }
        refused += loads(damaged, label, problems) ? 0 : 1;
    }
    // Flips in the scrambled contents go unnoticed, but many hit counts, sizes and names.
    EXPECT_GT(refused, kCases / 10);
    // Counts, sizes and string lengths replaced by extreme values.
    for (uint64_t value : {~uint64_t{0}, uint64_t{1} << 63, uint64_t{0xFFFFFFFF}, uint64_t{1} << 31,
                           uint64_t{1} << 30, uint64_t{bytes.size()}, uint64_t{0}, uint64_t{64}}) {
        const Bytes field = u64(value);
        for (size_t at = 0; at + 8 <= bytes.size(); ++at) {
            Bytes damaged = bytes;
            std::copy(field.begin(), field.end(), damaged.begin() + static_cast<ptrdiff_t>(at));
            loads(damaged, "value " + std::to_string(value) + " at " + std::to_string(at),
                  problems);
        }
    }
    EXPECT_EQ(problems, std::vector<std::string>{});
    // The watch itself sees container allocations and refuses those above its limit.
    allocation_watch::limit.store(size_t{8} << 20);
    allocation_watch::watching.store(true);
    EXPECT_THROW(Bytes(size_t{9} << 20), std::bad_alloc);
    allocation_watch::watching.store(false);
    EXPECT_EQ(allocation_watch::largest.load(), size_t{9} << 20);
}

// Stored strings whose compressed block claims far more text than it carries.
TEST(PackageDamage, StringsClaimingHugeLengthsAreRefused) {
    Bytes cut_short = varint(uint64_t{1} << 29);  // 512 MiB declared, one literal byte given
    append(cut_short, {0x03, 'x'});
    Bytes long_copy = varint(100);  // a copy that would run past the declared length
    append(long_copy, {0x03, 'x', 16});
    append(long_copy, varint(200));
    const Bytes blocks[] = {cut_short, varint((uint64_t{1} << 30) + 1), varint(~uint64_t{0}),
                            long_copy, Bytes(20, 0xFF)};  // the last: a varint that never ends
    std::vector<std::string> problems;
    for (const Bytes& block : blocks) {
        Bytes datas = u64(1);
        append(datas, record(block));
        append(datas, stored_buffer({1, 2, 3}));
        const std::string label = ::testing::PrintToString(block);
        if (loads(package_of_datas(1, 1, datas, {}, 1.0f, 1.0f, 1.0f), label, problems))
            problems.push_back(label + ": loaded");
    }
    EXPECT_EQ(problems, std::vector<std::string>{});
}

}  // namespace
}  // namespace demo
