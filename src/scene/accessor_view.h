// A bounds-checked window onto the elements of one glTF accessor. A view exists only when the
// accessor's buffer view and buffer exist and every element it describes lies inside the
// buffer's bytes, so reads through it never leave the buffer. A sparse accessor is read with
// its substitution made: the view is then over a packed copy of its elements.
#pragma once

#include <tiny_gltf.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace demo {

struct AccessorView {
    const uint8_t* data = nullptr;  // the first element
    uint64_t count = 0;
    uint64_t stride = 0;        // bytes from one element to the next
    uint64_t element_size = 0;  // bytes of one element, all components
    int component_type = 0;
    int components = 0;
    bool normalized = false;
    // The elements of a sparse accessor with its values substituted; `data` points into it.
    std::shared_ptr<const std::vector<uint8_t>> substituted;

    // Component `c` of element `i` as a float. Integer components are mapped to [0, 1] or
    // [-1, 1] as glTF defines for normalised data; floats are read as they are.
    float normalized_component(uint64_t i, int c) const;
    // Element `i` of a scalar accessor of unsigned integers (index data).
    uint32_t unsigned_value(uint64_t i) const;
    // Component `c` of element `i` of integer data as it is stored (0 for floats).
    int64_t integer_component(uint64_t i, int c) const;
};

// Index of the first element with a component that is not a finite number, or the count.
uint64_t first_not_finite(const AccessorView& view);

// The view of accessor `index`. When it cannot be read, `why` (when given) says what is wrong.
// With `packed`, elements are taken as tightly packed whatever the buffer view's stride: the
// way index data and matrices are read.
std::optional<AccessorView> view_accessor(const tinygltf::Model& gltf, int index,
                                          std::string* why = nullptr, bool packed = false);

// Size in bytes of one component of a glTF component type, or 0 for an unknown type.
int component_size(int component_type);

// The component type is one of the three unsigned integer types (those of index data).
bool is_unsigned_integer(int component_type);

// Largest copy a sparse accessor without a buffer view may make of its elements: they are
// zeros the asset's bytes do not hold, so their count alone must not decide the allocation.
inline constexpr uint64_t kMaxSparseZeroBytes = uint64_t{64} << 20;

}  // namespace demo
