// Base64 text form of byte buffers in the project document.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace demo {

// Standard alphabet with "=" padding (RFC 4648); output length is 4 * ceil(length / 3).
std::string base64_encode(const uint8_t* bytes, size_t length);

// Accepts the standard and the URL-safe alphabets and "=" or "." as padding. Any other
// character, whitespace and line breaks included, throws
// std::runtime_error("Input is not valid base64-encoded data.").
std::vector<uint8_t> base64_decode(std::string_view text);

}  // namespace demo
