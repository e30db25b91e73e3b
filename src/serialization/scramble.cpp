#include "serialization/scramble.h"

namespace demo {

namespace {
// The Collatz walk from this seed reaches 1 after 218 steps and peaks below 2^20, so the
// 32-bit state never overflows; on reaching 1 the walk starts over from the seed.
constexpr int32_t kScrambleSeed = 70937;
constexpr uint8_t kResetKey = 0xB5;
}  // namespace

void scramble(uint8_t* bytes, size_t length) {
    int32_t state = kScrambleSeed;
    for (size_t i = 0; i < length; ++i) {
        const int32_t next = (state % 2 != 0) ? 3 * state + 1 : state / 2;
        uint8_t key;
        if (next == 1) {
            key = kResetKey;
            state = kScrambleSeed;
        } else {
            key = static_cast<uint8_t>(next & 0xFF);
            state = next;
        }
        bytes[i] ^= key;
    }
}

}  // namespace demo
