#include "serialization/scramble.h"

#include <array>
#include <cstring>

namespace demo {

namespace {

constexpr int32_t kScrambleSeed = 70937;
constexpr uint8_t kResetKey = 0xB5;

// One step of the Collatz walk. From this seed the walk peaks below 2^20, so the 32-bit state
// never overflows (a constant evaluation would refuse to compile if it did).
constexpr int32_t next_state(int32_t state) {
    return (state % 2 != 0) ? 3 * state + 1 : state / 2;
}

// Steps from the seed until the walk reaches 1 and starts over: the keystream's period.
constexpr size_t keystream_period() {
    int32_t state = kScrambleSeed;
    size_t steps = 0;
    do {
        state = next_state(state);
        ++steps;
    } while (state != 1);
    return steps;
}

constexpr size_t kPeriod = keystream_period();
static_assert(kPeriod == 218);

// Bytes XORed per round of the main loop, as whole 64-bit words.
constexpr size_t kChunk = 64;

// The keystream for one period and one chunk more, so that a chunk starting anywhere in the
// period finds all its keys in one run of the table.
constexpr std::array<uint8_t, kPeriod + kChunk> make_keys() {
    std::array<uint8_t, kPeriod + kChunk> keys{};
    int32_t state = kScrambleSeed;
    for (uint8_t& key : keys) {
        const int32_t next = next_state(state);
        key = next == 1 ? kResetKey : static_cast<uint8_t>(next & 0xFF);
        state = next == 1 ? kScrambleSeed : next;
    }
    return keys;
}

constexpr std::array<uint8_t, kPeriod + kChunk> kKeys = make_keys();

}  // namespace

void scramble(uint8_t* bytes, size_t length) {
    size_t offset = 0;  // where in the period the next byte's key is
    size_t i = 0;
    for (; i + kChunk <= length; i += kChunk) {
        for (size_t w = 0; w < kChunk; w += 8) {
            uint64_t data;
            uint64_t key;
            std::memcpy(&data, bytes + i + w, 8);
            std::memcpy(&key, kKeys.data() + offset + w, 8);
            data ^= key;
            std::memcpy(bytes + i + w, &data, 8);
        }
        offset += kChunk;
        if (offset >= kPeriod)
            offset -= kPeriod;
    }
    // Fewer than a chunk left: the table holds their keys without wrapping.
    for (; i < length; ++i)
        bytes[i] ^= kKeys[offset++];
}

}  // namespace demo
