// A non-owning reference from one object of a demo to another.
//
// In a package the reference is the target's identifier; in a project document it is the
// target's key (usually its name). Both are kept as read until the whole demo exists, then
// resolved once; what was read stays, so a reference that resolves to nothing can be reported
// and written back unchanged.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "serialization/id_registry.h"

namespace demo {

template <typename T>
struct ObjectRef {
    uint64_t id = 0;      // identifier as stored in a package; 0 means no object
    std::string key;      // key as written in a project document
    T* object = nullptr;  // the resolved target, or none

    // Looks the identifier up; an unknown identifier, 0 included, or an object of another
    // class resolves to no object.
    void resolve(const IdRegistry& registry) {
        object = nullptr;
        if (id == 0)
            return;
        auto it = registry.find(id);
        if (it != registry.end())
            object = dynamic_cast<T*>(it->second);
    }

    // Looks the key up in the map of the target's collection.
    void resolve(const std::map<std::string, T*>& keys) {
        auto it = keys.find(key);
        object = it == keys.end() ? nullptr : it->second;
    }

    T* operator->() const { return object; }
    explicit operator bool() const { return object != nullptr; }
};

}  // namespace demo
