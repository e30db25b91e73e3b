// Incremental decoder of compressed blocks: it can be fed its input in pieces, and a varint
// or a literal run cut at the end of one piece continues with the next.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace demo {

// Checks shared by the incremental and the whole-block decoder, so that both reject the same
// blocks with the same messages.

// Throws std::runtime_error("Malformed data while uncompressing").
[[noreturn]] void fail_malformed_block();

// Throws std::length_error when `declared` exceeds a non-zero `size_limit`.
void check_declared_length(uint64_t declared, uint64_t size_limit);

// True when `byte`, arriving at bit `shift` of a varint, would carry it past 64 bits: a 64-bit
// value needs at most ten groups, and the tenth holds only its lowest bit.
inline bool varint_overflows(unsigned shift, uint8_t byte) {
    return shift >= 64 || (shift == 63 && (byte & 0x7E) != 0);
}

class BlockDecoder {
public:
    // `size_limit` caps the declared uncompressed length; 0 means no cap.
    explicit BlockDecoder(uint64_t size_limit = 0) : size_limit_(size_limit) {}

    // Feeds one piece of input. Returns true once a whole block has been produced; `output()`
    // then holds it and `*left_over` (when given) counts the piece's bytes after the block.
    // Throws std::length_error when the declared length exceeds the limit and
    // std::runtime_error("Malformed data while uncompressing") on inconsistent data.
    bool decompress_block(const uint8_t* piece, size_t length, size_t* left_over = nullptr);

    // The block produced by the last call that returned true.
    const std::vector<uint8_t>& output() const { return output_; }
    std::vector<uint8_t> take_output() { return std::move(output_); }

private:
    enum class State { ExpectHeader, ExpectToken, InLiteralRun, InCopy };

    // Continues the pending varint with the piece's bytes; true once it is complete.
    bool feed_varint(const uint8_t*& p, const uint8_t* end, uint64_t& value);
    // Copies `length` bytes from `distance` bytes back; validates both against the block.
    void copy_match(uint64_t distance, uint64_t length);

    uint64_t size_limit_;
    std::vector<uint8_t> output_;
    uint64_t declared_length_ = 0;
    State state_ = State::ExpectHeader;
    uint64_t pending_ = 0;       // token value shifted right by one, or literal bytes still due
    uint64_t varint_value_ = 0;  // partial varint accumulated so far
    unsigned varint_shift_ = 0;
};

}  // namespace demo
