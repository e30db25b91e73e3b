// Stored strings are bytes with no character-set marker: texts typed into a project are
// UTF-8, texts from older packages are often Latin-1. These helpers tell them apart.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace demo {

// True when `text` is well-formed UTF-8: no stray continuation bytes, cut sequences, overlong
// forms, surrogates or code points above U+10FFFF. Plain ASCII is valid.
bool is_valid_utf8(std::string_view text);

// Each byte of `text` taken as a Latin-1 character, written in UTF-8.
std::string latin1_to_utf8(std::string_view text);

// `text` itself when it is valid UTF-8, otherwise its Latin-1 reading in UTF-8: always valid.
std::string as_utf8(std::string_view text);

// The smallest cut at or after `length` that keeps whole characters of the valid UTF-8 `text`.
size_t utf8_cut_point(std::string_view text, size_t length);

}  // namespace demo
