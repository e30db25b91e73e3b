// A bounds-checked window onto the elements of one glTF accessor. A view exists only when the
// accessor's buffer view and buffer exist and every element it describes lies inside the
// buffer's bytes, so reads through it never leave the buffer.
#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <optional>
#include <string>

namespace demo {

struct AccessorView {
    const uint8_t* data = nullptr;  // the first element
    uint64_t count = 0;
    uint64_t stride = 0;        // bytes from one element to the next
    uint64_t element_size = 0;  // bytes of one element, all components
    int component_type = 0;
    int components = 0;
    bool normalized = false;

    // Component `c` of element `i` as a float. Integer components are mapped to [0, 1] or
    // [-1, 1] as glTF defines for normalised data; floats are read as they are.
    float normalized_component(uint64_t i, int c) const;
    // Element `i` of a scalar accessor of unsigned integers (index data).
    uint32_t unsigned_value(uint64_t i) const;
};

// The view of accessor `index`. When it cannot be read, `why` (when given) says what is wrong.
// With `packed`, elements are taken as tightly packed whatever the buffer view's stride: the
// way index data and matrices are read.
std::optional<AccessorView> view_accessor(const tinygltf::Model& gltf, int index,
                                          std::string* why = nullptr, bool packed = false);

// Size in bytes of one component of a glTF component type, or 0 for an unknown type.
int component_size(int component_type);

}  // namespace demo
