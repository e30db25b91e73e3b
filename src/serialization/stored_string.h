// Stored strings: a 64-bit length, then the text compressed into one block and scrambled.
// Names, paths, shader sources and texts all use this form.
#pragma once

#include <cstdint>
#include <string>

#include "serialization/input_stream.h"
#include "serialization/output_stream.h"

namespace demo {

// Longest text a stored string may unpack to. The block format can describe far more in a
// few bytes, so a damaged length field must not be able to demand gigabytes of output.
inline constexpr uint64_t kMaxStoredStringLength = uint64_t{1} << 30;

// Writes `text` compressed (chain depth 12, 4096 buckets) and scrambled, after its length.
void write_string(const std::string& text, OutputStream& out);

// Reads one stored string. A block that is malformed or that ends before its declared length
// is reported as a PackageError at the string's offset; bytes after the block are ignored.
std::string read_string(InputStream& in, const char* what = "a string");

}  // namespace demo
