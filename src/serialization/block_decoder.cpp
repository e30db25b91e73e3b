#include "serialization/block_decoder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace demo {

namespace {

// Output is grown as tokens produce it rather than sized to the declared length up front, so
// a damaged header cannot make the decoder allocate more than the data really yields.
constexpr uint64_t kInitialReserve = 1 << 16;

}  // namespace

void fail_malformed_block() {
    throw std::runtime_error("Malformed data while uncompressing");
}

void check_declared_length(uint64_t declared, uint64_t size_limit) {
    if (size_limit != 0 && declared > size_limit)
        throw std::length_error("Uncompressed data in message deemed too large");
}

bool BlockDecoder::feed_varint(const uint8_t*& p, const uint8_t* end, uint64_t& value) {
    while (p < end) {
        const uint8_t byte = *p++;
        if (varint_overflows(varint_shift_, byte))
            fail_malformed_block();
        varint_value_ |= static_cast<uint64_t>(byte & 0x7F) << varint_shift_;
        varint_shift_ += 7;
        if ((byte & 0x80) == 0) {
            value = varint_value_;
            varint_value_ = 0;
            varint_shift_ = 0;
            return true;
        }
    }
    return false;
}

void BlockDecoder::copy_match(uint64_t distance, uint64_t length) {
    const uint64_t position = output_.size();
    // A zero distance would read the byte being written, which the encoder never produces.
    if (distance == 0 || distance > position)
        fail_malformed_block();
    const uint64_t source = position - distance;
    if (source >= declared_length_)
        fail_malformed_block();
    if (length > declared_length_ - position)
        fail_malformed_block();
    output_.resize(position + length);
    uint8_t* out = output_.data();
    if (distance >= length) {
        std::memcpy(out + position, out + source, length);
    } else {
        // Overlapping copy: byte by byte from the lowest address repeats the last d bytes.
        for (uint64_t k = 0; k < length; ++k)
            out[position + k] = out[source + k];
    }
}

bool BlockDecoder::decompress_block(const uint8_t* piece, size_t length, size_t* left_over) {
    const uint8_t* p = piece;
    const uint8_t* end = piece + length;
    if (left_over)
        *left_over = 0;

    for (;;) {
        // The block is complete as soon as the declared length has been produced; whatever
        // follows in the piece belongs to the caller.
        if (state_ == State::ExpectToken && output_.size() == declared_length_) {
            state_ = State::ExpectHeader;
            if (left_over)
                *left_over = static_cast<size_t>(end - p);
            return true;
        }
        switch (state_) {
            case State::ExpectHeader: {
                uint64_t declared = 0;
                if (!feed_varint(p, end, declared))
                    return false;
                check_declared_length(declared, size_limit_);
                declared_length_ = declared;
                output_.clear();
                output_.reserve(std::min<uint64_t>(declared, kInitialReserve));
                state_ = State::ExpectToken;
                break;
            }
            case State::ExpectToken: {
                uint64_t token = 0;
                if (!feed_varint(p, end, token))
                    return false;
                pending_ = token >> 1;
                if (token & 1) {
                    if (pending_ > declared_length_ - output_.size())
                        fail_malformed_block();
                    state_ = State::InLiteralRun;
                } else {
                    state_ = State::InCopy;
                }
                break;
            }
            case State::InLiteralRun: {
                const uint64_t available = static_cast<uint64_t>(end - p);
                const uint64_t take = std::min(pending_, available);
                output_.insert(output_.end(), p, p + take);
                p += take;
                pending_ -= take;
                if (pending_ != 0)
                    return false;
                state_ = State::ExpectToken;
                break;
            }
            case State::InCopy: {
                uint64_t m = pending_ % 8;
                if (m == 0 && !feed_varint(p, end, m))
                    return false;
                if (m > UINT64_MAX - 4)
                    fail_malformed_block();
                copy_match(pending_ >> 3, m + 4);
                state_ = State::ExpectToken;
                break;
            }
        }
    }
}

}  // namespace demo
