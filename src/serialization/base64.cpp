#include "serialization/base64.h"

#include <stdexcept>

namespace demo {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

bool is_padding(char c) {
    return c == '=' || c == '.';
}

// Value of one character of either alphabet.
uint32_t decode_char(char c) {
    if (c >= 'A' && c <= 'Z')
        return static_cast<uint32_t>(c - 'A');
    if (c >= 'a' && c <= 'z')
        return static_cast<uint32_t>(c - 'a' + 26);
    if (c >= '0' && c <= '9')
        return static_cast<uint32_t>(c - '0' + 52);
    if (c == '+' || c == '-')
        return 62;
    if (c == '/' || c == '_')
        return 63;
    throw std::runtime_error("Input is not valid base64-encoded data.");
}

}  // namespace

std::string base64_encode(const uint8_t* bytes, size_t length) {
    std::string out;
    out.reserve((length + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const uint32_t v =
            (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const size_t rest = length - i;
    if (rest == 1) {
        const uint32_t v = uint32_t{bytes[i]} << 16;
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        const uint32_t v = (uint32_t{bytes[i]} << 16) | (uint32_t{bytes[i + 1]} << 8);
        out += kAlphabet[(v >> 18) & 63];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::vector<uint8_t> base64_decode(std::string_view text) {
    std::vector<uint8_t> out;
    out.reserve(text.size() / 4 * 3 + 3);
    for (size_t g = 0; g < text.size(); g += 4) {
        const size_t n = std::min<size_t>(4, text.size() - g);
        const char* c = text.data() + g;
        // A lone trailing character carries fewer than eight bits; it is still checked
        // against the alphabet, and its group yields one byte with a zero second value.
        const uint32_t a = decode_char(c[0]);
        const uint32_t b = n > 1 ? (is_padding(c[1]) ? 0 : decode_char(c[1])) : 0;
        out.push_back(static_cast<uint8_t>((a << 2) | (b >> 4)));
        if (n > 2 && !is_padding(c[2])) {
            const uint32_t v3 = decode_char(c[2]);
            out.push_back(static_cast<uint8_t>(((b & 0x0F) << 4) | (v3 >> 2)));
            if (n > 3 && !is_padding(c[3])) {
                const uint32_t v4 = decode_char(c[3]);
                out.push_back(static_cast<uint8_t>(((v3 & 0x03) << 6) | v4));
            }
        } else if (n > 3 && !is_padding(c[3])) {
            decode_char(c[3]);
        }
    }
    return out;
}

}  // namespace demo
