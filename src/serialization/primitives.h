// Fixed-width values of the binary form: little-endian, written as their in-memory bytes,
// one field after the other with no header, alignment or padding.
#pragma once

#include <cstdint>

#include "serialization/input_stream.h"
#include "serialization/output_stream.h"

namespace demo {

// ---------------------------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------------------------

void write_bool(OutputStream& out, bool value);
void write_i32(OutputStream& out, int32_t value);
void write_u32(OutputStream& out, uint32_t value);
void write_f32(OutputStream& out, float value);
void write_u64(OutputStream& out, uint64_t value);

// ---------------------------------------------------------------------------------------------
// Reading: each throws PackageError when the package ends before the value. `what` names the
// field in that message.
// ---------------------------------------------------------------------------------------------

// Any non-zero byte reads as true.
bool read_bool(InputStream& in, const char* what = "a flag");
int32_t read_i32(InputStream& in, const char* what = "a 32-bit integer");
uint32_t read_u32(InputStream& in, const char* what = "a 32-bit integer");
float read_f32(InputStream& in, const char* what = "a 32-bit float");
uint64_t read_u64(InputStream& in, const char* what = "a 64-bit value");

// Reads an element count and rejects one that could not fit in what is left, given that
// each element takes at least `min_element_size` bytes (at least one).
uint64_t read_count(InputStream& in, uint64_t min_element_size, const char* what);

}  // namespace demo
