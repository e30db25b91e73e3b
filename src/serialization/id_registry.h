// Object identifiers and the two-phase resolution of references between objects.
//
// While a package is read, every reference is kept as the raw identifier it was stored as;
// once the whole package is in memory each one is looked up in the registry of that read.
// Identifiers are opaque keys: the writer may use any distinct non-zero values.
#pragma once

#include <cstdint>
#include <map>

#include "serialization/serializable.h"

namespace demo {

// Identifier -> object, for one package read. A repeated identifier points at the later object.
using IdRegistry = std::map<uint64_t, ISerializable*>;

}  // namespace demo
