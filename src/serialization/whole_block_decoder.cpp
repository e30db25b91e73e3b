#include "serialization/whole_block_decoder.h"

#include <algorithm>
#include <cstring>

#include "serialization/block_decoder.h"

namespace demo {

namespace {

// A fast copy writes whole words and may run up to this many bytes past its end; it is used
// only where the output already holds that many bytes more, which later tokens overwrite.
constexpr uint64_t kSlack = 16;

// The output is first sized to the declared length, unless that is more than this many times
// the input left after the header (and more than kMinFirstSize): a damaged header must not
// make the decoder allocate more than the data can plausibly yield. Past that the output
// grows by doubling as tokens need it, never beyond the declared length.
constexpr uint64_t kPlausibleRatio = 16;
constexpr uint64_t kMinFirstSize = uint64_t{1} << 16;

// Reads one varint; false when the input ends first.
inline bool read_varint(const uint8_t*& p, const uint8_t* end, uint64_t& value) {
    // Tokens and lengths take one to three bytes: read those without a bound check per byte.
    if (end - p >= 3) [[likely]] {
        const uint64_t b0 = p[0];
        if (b0 < 0x80) {
            value = b0;
            p += 1;
            return true;
        }
        const uint64_t b1 = p[1];
        if (b1 < 0x80) {
            value = (b0 & 0x7F) | (b1 << 7);
            p += 2;
            return true;
        }
        const uint64_t b2 = p[2];
        if (b2 < 0x80) {
            value = (b0 & 0x7F) | ((b1 & 0x7F) << 7) | (b2 << 14);
            p += 3;
            return true;
        }
    }
    uint64_t accumulated = 0;
    for (unsigned shift = 0; p < end; shift += 7) {
        const uint8_t byte = *p++;
        if (varint_overflows(shift, byte))
            fail_malformed_block();
        accumulated |= static_cast<uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            value = accumulated;
            return true;
        }
    }
    return false;
}

// Copies `length` bytes from `distance` back exactly as a forward byte-by-byte copy would, a
// word at a time; may write up to kSlack bytes past the end.
inline void copy_match_fast(uint8_t* op, uint64_t distance, uint64_t length) {
    const uint8_t* src = op - distance;
    if (distance < 8) {
        // A short distance repeats a pattern of `distance` bytes. Spread it byte by byte until
        // a whole multiple of it, at least 8 bytes long, lies behind the copy; from there each
        // word reads only bytes that are already written.
        const uint64_t stride = (8 + distance - 1) / distance * distance;
        const uint64_t lead = std::min(length, stride - distance);
        for (uint64_t k = 0; k < lead; ++k)
            op[k] = src[k];
        op += lead;
        length -= lead;
        src = op - stride;
    } else if (distance >= 16) {
        for (uint64_t k = 0; k < length; k += 16)
            std::memcpy(op + k, src + k, 16);
        return;
    }
    for (uint64_t k = 0; k < length; k += 8)
        std::memcpy(op + k, src + k, 8);
}

// Copies `length` bytes from `distance` back without writing past the end.
inline void copy_match_exact(uint8_t* op, uint64_t distance, uint64_t length) {
    const uint8_t* src = op - distance;
    if (distance >= length) {
        std::memcpy(op, src, length);
    } else {
        for (uint64_t k = 0; k < length; ++k)
            op[k] = src[k];
    }
}

}  // namespace

bool decode_whole_block(const uint8_t* block, size_t length, uint64_t size_limit, std::string& out,
                        size_t* left_over) {
    const uint8_t* ip = block;
    const uint8_t* const end = block + length;
    if (left_over)
        *left_over = 0;

    uint64_t declared = 0;
    if (!read_varint(ip, end, declared))
        return false;
    check_declared_length(declared, size_limit);
    const uint64_t plausible =
        std::max(kMinFirstSize, static_cast<uint64_t>(end - ip) * kPlausibleRatio);
    out.resize(std::min(declared, plausible));
    uint8_t* base = reinterpret_cast<uint8_t*>(out.data());
    uint8_t* op = base;
    uint8_t* room_end = base + out.size();
    uint64_t left = declared;  // bytes still to produce

    // Grows the output so that `n` more bytes fit at `op`; `n` never exceeds `left`.
    auto grow = [&](uint64_t n) {
        const uint64_t pos = static_cast<uint64_t>(op - base);
        out.resize(std::min(declared, std::max(pos + n, 2 * static_cast<uint64_t>(out.size()))));
        base = reinterpret_cast<uint8_t*>(out.data());
        op = base + pos;
        room_end = base + out.size();
    };

    while (left != 0) {
        uint64_t token = 0;
        if (!read_varint(ip, end, token))
            return false;
        const uint64_t value = token >> 1;
        const uint64_t room = static_cast<uint64_t>(room_end - op);
        uint64_t n = 0;  // bytes this token produces
        if (token & 1) {
            // Literal run of `value` bytes.
            n = value;
            if (n > left)
                fail_malformed_block();
            const uint64_t available = static_cast<uint64_t>(end - ip);
            if (n > available)
                return false;
            if (n <= 16 && room >= 16 + kSlack && available >= 16) {
                std::memcpy(op, ip, 16);
            } else {
                if (n > room)
                    grow(n);
                std::memcpy(op, ip, n);
            }
            ip += n;
        } else {
            // Copy: the length sits in the token's low three bits, or in a varint after it.
            uint64_t m = value & 7;
            if (m == 0 && !read_varint(ip, end, m))
                return false;
            if (m > UINT64_MAX - 4)
                fail_malformed_block();
            n = m + 4;
            const uint64_t distance = value >> 3;
            // A zero distance would read the byte being written; the encoder never makes one.
            if (distance == 0 || distance > static_cast<uint64_t>(op - base) || n > left)
                fail_malformed_block();
            if (n <= room && room - n >= kSlack) {
                copy_match_fast(op, distance, n);
            } else {
                if (n > room)
                    grow(n);
                copy_match_exact(op, distance, n);
            }
        }
        op += n;
        left -= n;
    }
    if (left_over)
        *left_over = static_cast<size_t>(end - ip);
    return true;
}

}  // namespace demo
