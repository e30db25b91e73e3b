// Damaged packages: cut short, bytes flipped, fields overwritten with extreme values. Every
// case must end in a PackageError or a demo that holds together; never a crash, a read past
// the data (the sanitizer build checks that), a hang or an allocation the input cannot back
// (watched below).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "package_bytes.h"
#include "serialization/demo.h"
#include "serialization/input_stream.h"
#include "serialization/output_stream.h"
#include "serialization/package_error.h"

// The largest single allocation made while a damaged package is read. Replacing the global
// allocation functions is the one portable way to see every request, including those inside
// the standard containers; outside a watch they only forward to malloc and free. A request
// above the watch's limit is refused with bad_alloc, so a reader that trusts a damaged size
// fails at once instead of zero-filling gigabytes.
namespace allocation_watch {
namespace {
std::atomic<bool> watching{false};
std::atomic<size_t> largest{0};
std::atomic<size_t> limit{0};
}  // namespace

void start(size_t refuse_above) {
    largest.store(0);
    limit.store(refuse_above);
    watching.store(true);
}

size_t stop() {
    watching.store(false);
    return largest.load();
}

}  // namespace allocation_watch

void* operator new(std::size_t size) {
    if (allocation_watch::watching.load(std::memory_order_relaxed)) {
        size_t seen = allocation_watch::largest.load(std::memory_order_relaxed);
        while (size > seen && !allocation_watch::largest.compare_exchange_weak(seen, size)) {
        }
        if (size > allocation_watch::limit.load(std::memory_order_relaxed))
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

std::unique_ptr<Data> make_data(const std::string& name, const Bytes& bytes) {
    auto data = std::make_unique<Data>();
    data->name = name;
    data->buffer = std::make_unique<ByteBuffer>(bytes.data(), bytes.size());
    return data;
}

Bytes pattern(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    Bytes bytes(size);
    for (auto& b : bytes)
        b = static_cast<uint8_t>(rng() % 7 == 0 ? rng() : rng() % 4);
    return bytes;
}

// A valid package of about 2 kB: several blobs (names that compress with copies, an empty
// name, an empty buffer, one past the keystream's restart) and music.
Bytes sample_package() {
    Demo demo;
    demo.datas.push_back(make_data("textures/textures/textures/noise.raw", pattern(300, 1)));
    demo.datas.push_back(make_data("", pattern(17, 2)));
    demo.datas.push_back(make_data("empty.bin", {}));
    demo.datas.push_back(make_data("shaders/common/common/common.glsl", pattern(600, 3)));
    demo.datas.push_back(make_data("a", pattern(1, 4)));
    demo.music = std::make_unique<ByteBuffer>(pattern(700, 5).data(), 700);
    demo.end_beat = 256.0f;
    demo.bpm = 140.0f;
    demo.beat_offset = 0.5f;
    Bytes bytes;
    OutputStream out(bytes);
    demo.write_binary(out);
    return bytes;
}

enum class Outcome { Loaded, Refused };

// Largest single allocation allowed while reading, whatever the input: the string decoder
// reserves up to 64 KiB ahead, and no size field may make the reader ask for more than the
// input could back beyond that.
constexpr size_t kAllocationAllowance = size_t{1} << 20;

// Reads `bytes` as a package. A PackageError is a refusal; any other exception is a failure
// recorded in `problems`. A demo that loads must be whole: music, and a buffer for each blob.
Outcome read_damaged(const Bytes& bytes, const std::string& label,
                     std::vector<std::string>& problems) {
    const size_t allowed = std::max(bytes.size(), kAllocationAllowance);
    const auto check_allocations = [&] {
        const size_t largest = allocation_watch::stop();
        if (largest > allowed) {
            problems.push_back(label + ": allocated " + std::to_string(largest) + " bytes");
        }
    };
    try {
        InputStream in(bytes.data(), bytes.size());
        allocation_watch::start(allowed);
        Demo demo(in);
        check_allocations();
        if (demo.music == nullptr) {
            problems.push_back(label + ": loaded without music");
        }
        for (const auto& data : demo.datas) {
            if (data->buffer == nullptr) {
                problems.push_back(label + ": blob without a buffer");
            }
        }
        if (in.offset() > bytes.size()) {
            problems.push_back(label + ": read past the end");
        }
        return Outcome::Loaded;
    } catch (const PackageError& e) {
        check_allocations();
        if (e.offset() > bytes.size()) {
            problems.push_back(label + ": error offset past the end: " + e.what());
        }
        return Outcome::Refused;
    } catch (const std::exception& e) {
        check_allocations();
        problems.push_back(label + ": not a PackageError: " + e.what());
        return Outcome::Refused;
    }
}

std::string summary(const std::vector<std::string>& problems) {
    std::string text = std::to_string(problems.size()) + " problems";
    for (size_t i = 0; i < problems.size() && i < 10; ++i)
        text += "\n  " + problems[i];
    return text;
}

TEST(PackageDamage, AllocationWatchSeesAndLimitsContainerAllocations) {
    allocation_watch::start(size_t{8} << 20);
    {
        Bytes big(size_t{5} << 20, 1);
        volatile uint8_t sink = big[big.size() / 2];
        (void)sink;
    }
    EXPECT_THROW(Bytes(size_t{9} << 20), std::bad_alloc);
    EXPECT_EQ(allocation_watch::stop(), size_t{9} << 20);
}

TEST(PackageDamage, SamplePackageIsValid) {
    const Bytes bytes = sample_package();
    std::vector<std::string> problems;
    EXPECT_EQ(read_damaged(bytes, "intact", problems), Outcome::Loaded);
    EXPECT_TRUE(problems.empty()) << summary(problems);
}

// Every proper prefix lacks at least the timing values, so every cut must be refused.
TEST(PackageDamage, EveryCutIsRefused) {
    const Bytes bytes = sample_package();
    std::vector<std::string> problems;
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        const Bytes prefix(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut));
        const std::string label = "cut at " + std::to_string(cut);
        if (read_damaged(prefix, label, problems) == Outcome::Loaded) {
            problems.push_back(label + ": loaded");
        }
    }
    EXPECT_TRUE(problems.empty()) << summary(problems);
}

// The player reads through a stdio stream limited to the package size.
TEST(PackageDamage, CutsThroughAFileStreamAreRefused) {
    const Bytes bytes = sample_package();
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fflush(file);
    std::vector<std::string> problems;
    for (size_t cut = 0; cut < bytes.size(); cut += 7) {
        // The file itself ends at the cut, while the stream is told the whole size.
        ASSERT_EQ(ftruncate(fileno(file), static_cast<off_t>(cut)), 0);
        std::fseek(file, 0, SEEK_SET);
        try {
            InputStream in(file, bytes.size());
            Demo demo(in);
            problems.push_back("file cut at " + std::to_string(cut) + ": loaded");
        } catch (const PackageError&) {
        } catch (const std::exception& e) {
            problems.push_back("file cut at " + std::to_string(cut) + ": " + e.what());
        }
        std::fseek(file, 0, SEEK_SET);
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fflush(file);
    }
    std::fclose(file);
    EXPECT_TRUE(problems.empty()) << summary(problems);
}

TEST(PackageDamage, FlippedBytes) {
    const Bytes bytes = sample_package();
    std::mt19937 rng(20240611);
    std::vector<std::string> problems;
    int refused = 0;
    constexpr int kCases = 100000;
    for (int c = 0; c < kCases; ++c) {
        Bytes damaged = bytes;
        const int flips = 1 + static_cast<int>(rng() % 4);
        std::string label = "case " + std::to_string(c) + " flips";
        for (int f = 0; f < flips; ++f) {
            const size_t at = rng() % damaged.size();
            const uint8_t mask = static_cast<uint8_t>(1 + rng() % 255);
            damaged[at] ^= mask;
            label += " " + std::to_string(at) + "^" + std::to_string(mask);
        }
        if (read_damaged(damaged, label, problems) == Outcome::Refused)
            ++refused;
    }
    EXPECT_TRUE(problems.empty()) << summary(problems);
    // Flips in the scrambled contents go unnoticed, but many hit counts, sizes and names.
    EXPECT_GT(refused, kCases / 10);
}

// Counts, sizes and string lengths replaced by extreme values at every position.
TEST(PackageDamage, ExtremeValuesAtEveryOffset) {
    const Bytes bytes = sample_package();
    const uint64_t values[] = {~uint64_t{0},      uint64_t{1} << 63, uint64_t{0xFFFFFFFF},
                               uint64_t{1} << 31, uint64_t{1} << 30, uint64_t{bytes.size()},
                               uint64_t{0},       uint64_t{64}};
    std::vector<std::string> problems;
    for (uint64_t value : values) {
        const Bytes field = u64(value);
        for (size_t at = 0; at + 8 <= bytes.size(); ++at) {
            Bytes damaged = bytes;
            std::copy(field.begin(), field.end(), damaged.begin() + static_cast<ptrdiff_t>(at));
            read_damaged(damaged, "value " + std::to_string(value) + " at " + std::to_string(at),
                         problems);
        }
    }
    EXPECT_TRUE(problems.empty()) << summary(problems);
}

// Stored strings whose compressed block claims far more text than it carries.
TEST(PackageDamage, StringsClaimingHugeLengthsAreRefused) {
    const auto package_with_name_block = [](const Bytes& block) {
        Bytes datas = u64(1);
        append(datas, u64(block.size()));
        append(datas, scrambled(block));
        append(datas, stored_buffer({1, 2, 3}));
        return package_of_datas(1, 1, datas, {}, 1.0f, 1.0f, 1.0f);
    };
    std::vector<Bytes> blocks;
    // 512 MiB declared, one literal byte given.
    Bytes cut_short = varint(uint64_t{1} << 29);
    append(cut_short, {0x03, 'x'});
    blocks.push_back(cut_short);
    // Declared lengths beyond what a stored string may hold.
    blocks.push_back(varint((uint64_t{1} << 30) + 1));
    blocks.push_back(varint(~uint64_t{0}));
    // A copy that would run past the declared length.
    Bytes long_copy = varint(100);
    append(long_copy, {0x03, 'x'});
    append(long_copy, varint(1 * 16));
    append(long_copy, varint(200));
    blocks.push_back(long_copy);
    // A varint that never ends.
    blocks.push_back(Bytes(20, 0xFF));

    std::vector<std::string> problems;
    for (size_t i = 0; i < blocks.size(); ++i) {
        const std::string label = "block " + std::to_string(i);
        if (read_damaged(package_with_name_block(blocks[i]), label, problems) == Outcome::Loaded) {
            problems.push_back(label + ": loaded");
        }
    }
    EXPECT_TRUE(problems.empty()) << summary(problems);
}

}  // namespace
}  // namespace demo
