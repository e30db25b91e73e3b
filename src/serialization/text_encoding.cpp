#include "serialization/text_encoding.h"

#include <cstdint>

namespace demo {

namespace {

bool is_continuation(uint8_t byte) {
    return (byte & 0xC0) == 0x80;
}

}  // namespace

bool is_valid_utf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const uint8_t lead = static_cast<uint8_t>(text[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // Sequence length and the range the second byte must fall in, which rules out
        // overlong forms (E0, F0), surrogates (ED) and values past U+10FFFF (F4).
        size_t length = 0;
        uint8_t low = 0x80;
        uint8_t high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (text.size() - i < length)
            return false;
        const uint8_t second = static_cast<uint8_t>(text[i + 1]);
        if (second < low || second > high)
            return false;
        for (size_t k = 2; k < length; ++k) {
            if (!is_continuation(static_cast<uint8_t>(text[i + k])))
                return false;
        }
        i += length;
    }
    return true;
}

std::string latin1_to_utf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const uint8_t byte = static_cast<uint8_t>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return out;
}

std::string as_utf8(std::string_view text) {
    return is_valid_utf8(text) ? std::string(text) : latin1_to_utf8(text);
}

size_t utf8_cut_point(std::string_view text, size_t length) {
    while (length < text.size() && is_continuation(static_cast<uint8_t>(text[length])))
        ++length;
    return length;
}

}  // namespace demo
