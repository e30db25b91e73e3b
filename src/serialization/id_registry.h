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

// A non-owning reference to another object of the same demo.
template <typename T>
struct ObjectRef {
    uint64_t id = 0;       // as stored in the package; 0 means no object
    T* object = nullptr;   // set by `resolve`

    // Looks the identifier up; an unknown identifier, 0 included, or an object of another
    // class resolves to no object.
    void resolve(const IdRegistry& registry) {
        object = nullptr;
        if (id == 0) return;
        auto it = registry.find(id);
        if (it != registry.end()) object = dynamic_cast<T*>(it->second);
    }
};

}  // namespace demo
