// Whole-file helpers for the side files of a project.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace demo {

// Opens `path` for binary reading when it names a regular file (not a folder, device or
// pipe); otherwise, or when it cannot be opened, returns null.
std::FILE* open_regular_file(const std::string& path);

// The whole file as bytes. A file that cannot be opened (or is not a regular file) prints
// "File <path> not found! Returning empty string, with possibly bad outcomes..." and gives
// an empty result; callers carry on with it.
std::string read_whole_file(const std::string& path);

// Creates or truncates `path` (and any missing parent folders) and writes the bytes.
// Throws std::runtime_error when the file cannot be written, so an export never reports
// success with a side file missing.
void write_file(const std::string& path, const uint8_t* bytes, uint64_t length);

}  // namespace demo
