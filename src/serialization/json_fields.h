// Tolerant readers of JSON members for the project document.
//
// Numbers are read by value whatever their JSON form: a float field written as 130 reads
// 130.0, and an integer field written as 3.0 reads 3. Hand-edited projects need this.
#pragma once

#include <cstdint>
#include <string>

#include "serialization/json.h"

namespace demo {

// Member `key` of `object` as a float; a missing member or a non-number gives `fallback`.
float json_float(const Json& object, const char* key, float fallback = 0.0f);

// Member `key` as an integer: an integer number, or a float with an integral value.
// Anything else gives `fallback`.
int64_t json_int(const Json& object, const char* key, int64_t fallback = 0);

// Member `key` as a boolean; anything else gives `fallback`.
bool json_bool(const Json& object, const char* key, bool fallback);

// Member `key` as a string; anything else gives "".
std::string json_string(const Json& object, const char* key);

// Member `key` as an array (an empty one when missing or of another type).
const Json& json_array(const Json& object, const char* key);

}  // namespace demo
