#include "scene/accessor_view.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace demo {

namespace {

template <typename T>
T load(const uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// a + b, or false when it does not fit in 64 bits.
bool add(uint64_t a, uint64_t b, uint64_t& sum) {
    return !__builtin_add_overflow(a, b, &sum);
}

bool multiply(uint64_t a, uint64_t b, uint64_t& product) {
    return !__builtin_mul_overflow(a, b, &product);
}

// The `count` elements of `size` bytes, `stride` apart from `offset` on, end within `length`
// bytes; no sum may overflow.
bool span_fits(uint64_t offset, uint64_t count, uint64_t stride, uint64_t size, uint64_t length) {
    uint64_t end = offset;
    if (count > 0) {
        uint64_t span = 0;
        if (!multiply(count - 1, stride, span) || !add(offset, span, end) || !add(end, size, end))
            return false;
    }
    return end <= length;
}

// Buffer view `index`, with the bytes of its buffer in `bytes`; null, and why, when either
// does not exist.
const tinygltf::BufferView* find_view(const tinygltf::Model& gltf, int index,
                                      const std::vector<unsigned char>*& bytes, std::string& why) {
    if (index < 0 || static_cast<size_t>(index) >= gltf.bufferViews.size()) {
        why = "buffer view " + std::to_string(index) + " does not exist";
        return nullptr;
    }
    const tinygltf::BufferView& view = gltf.bufferViews[static_cast<size_t>(index)];
    if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= gltf.buffers.size()) {
        why = "buffer " + std::to_string(view.buffer) + " does not exist";
        return nullptr;
    }
    bytes = &gltf.buffers[static_cast<size_t>(view.buffer)].data;
    return &view;
}

// Where `count` packed elements of `size` bytes start in a buffer view, after `byte_offset`;
// null, and why, when they do not lie inside its buffer.
const uint8_t* find_packed(const tinygltf::Model& gltf, int view_index, int byte_offset,
                           uint64_t count, uint64_t size, std::string& why) {
    const std::vector<unsigned char>* bytes = nullptr;
    const tinygltf::BufferView* view = find_view(gltf, view_index, bytes, why);
    if (view == nullptr)
        return nullptr;
    uint64_t offset = 0;
    if (byte_offset < 0 || !add(view->byteOffset, static_cast<uint64_t>(byte_offset), offset) ||
        !span_fits(offset, count, size, size, bytes->size())) {
        why = "lie outside buffer " + std::to_string(view->buffer);
        return nullptr;
    }
    return bytes->data() + offset;
}

// Makes a packed copy of the view's elements (zeros when it has none) and writes the sparse
// values over the elements their indices name.
bool substitute(const tinygltf::Model& gltf, const decltype(tinygltf::Accessor::sparse)& sparse,
                AccessorView& view, std::string& why) {
    if (sparse.count < 1 || static_cast<uint64_t>(sparse.count) > view.count) {
        why = "count " + std::to_string(sparse.count) + " is not within 1 to the " +
              std::to_string(view.count) + " elements";
        return false;
    }
    const auto count = static_cast<uint64_t>(sparse.count);
    AccessorView indices;
    indices.component_type = sparse.indices.componentType;
    indices.components = 1;
    indices.count = count;
    indices.stride = indices.element_size =
        static_cast<uint64_t>(component_size(indices.component_type));
    if (!is_unsigned_integer(indices.component_type)) {
        why = "indices are not unsigned integers";
        return false;
    }
    indices.data = find_packed(gltf, sparse.indices.bufferView, sparse.indices.byteOffset, count,
                               indices.element_size, why);
    if (indices.data == nullptr) {
        why = "indices: " + why;
        return false;
    }
    const uint64_t size = view.element_size;
    const uint8_t* values =
        find_packed(gltf, sparse.values.bufferView, sparse.values.byteOffset, count, size, why);
    if (values == nullptr) {
        why = "values: " + why;
        return false;
    }
    uint64_t total = 0;
    if (!multiply(view.count, size, total) ||
        (view.data == nullptr && total > kMaxSparseZeroBytes)) {
        why = "elements without a buffer view would take more than " +
              std::to_string(kMaxSparseZeroBytes >> 20) + " MiB";
        return false;
    }
    auto copy = std::make_shared<std::vector<uint8_t>>(total, 0);
    for (uint64_t i = 0; view.data != nullptr && i < view.count; ++i)
        std::memcpy(copy->data() + i * size, view.data + i * view.stride, size);
    for (uint64_t k = 0; k < count; ++k) {
        const uint64_t target = indices.unsigned_value(k);
        if (target >= view.count) {
            why = "index " + std::to_string(target) + " at " + std::to_string(k) + " is past the " +
                  std::to_string(view.count) + " elements";
            return false;
        }
        std::memcpy(copy->data() + target * size, values + k * size, size);
    }
    view.data = copy->data();
    view.stride = size;
    view.substituted = std::move(copy);
    return true;
}

}  // namespace

int component_size(int component_type) {
    switch (component_type) {
        case TINYGLTF_COMPONENT_TYPE_BYTE:
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return 1;
        case TINYGLTF_COMPONENT_TYPE_SHORT:
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
            return 2;
        case TINYGLTF_COMPONENT_TYPE_INT:
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
        case TINYGLTF_COMPONENT_TYPE_FLOAT:
            return 4;
        default:
            return 0;
    }
}

bool is_unsigned_integer(int component_type) {
    return component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE ||
           component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT ||
           component_type == TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
}

float AccessorView::normalized_component(uint64_t i, int c) const {
    const uint8_t* at =
        data + i * stride + static_cast<uint64_t>(c) * component_size(component_type);
    switch (component_type) {
        case TINYGLTF_COMPONENT_TYPE_FLOAT:
            return load<float>(at);
        case TINYGLTF_COMPONENT_TYPE_BYTE:
            return std::max(static_cast<float>(load<int8_t>(at)) / 127.0f, -1.0f);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return static_cast<float>(load<uint8_t>(at)) / 255.0f;
        case TINYGLTF_COMPONENT_TYPE_SHORT:
            return std::max(static_cast<float>(load<int16_t>(at)) / 32767.0f, -1.0f);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
            return static_cast<float>(load<uint16_t>(at)) / 65535.0f;
        case TINYGLTF_COMPONENT_TYPE_INT:
            return std::max(static_cast<float>(load<int32_t>(at)) / 2147483647.0f, -1.0f);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
            return static_cast<float>(load<uint32_t>(at)) / 4294967295.0f;
        default:
            return 0.0f;
    }
}

uint32_t AccessorView::unsigned_value(uint64_t i) const {
    return is_unsigned_integer(component_type) ? static_cast<uint32_t>(integer_component(i, 0)) : 0;
}

int64_t AccessorView::integer_component(uint64_t i, int c) const {
    const uint8_t* at =
        data + i * stride + static_cast<uint64_t>(c) * component_size(component_type);
    switch (component_type) {
        case TINYGLTF_COMPONENT_TYPE_BYTE:
            return load<int8_t>(at);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return load<uint8_t>(at);
        case TINYGLTF_COMPONENT_TYPE_SHORT:
            return load<int16_t>(at);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
            return load<uint16_t>(at);
        case TINYGLTF_COMPONENT_TYPE_INT:
            return load<int32_t>(at);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
            return load<uint32_t>(at);
        default:
            return 0;
    }
}

uint64_t first_not_finite(const AccessorView& view) {
    for (uint64_t i = 0; i < view.count; ++i) {
        for (int c = 0; c < view.components; ++c) {
            if (!std::isfinite(view.normalized_component(i, c)))
                return i;
        }
    }
    return view.count;
}

std::optional<AccessorView> view_accessor(const tinygltf::Model& gltf, int index, std::string* why,
                                          bool packed) {
    auto fail = [why](const std::string& text) -> std::optional<AccessorView> {
        if (why != nullptr)
            *why = text;
        return std::nullopt;
    };
    if (index < 0 || static_cast<size_t>(index) >= gltf.accessors.size())
        return fail("accessor " + std::to_string(index) + " does not exist");
    const tinygltf::Accessor& accessor = gltf.accessors[static_cast<size_t>(index)];
    const std::string label = "accessor " + std::to_string(index);

    AccessorView result;
    result.component_type = accessor.componentType;
    result.components = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(accessor.type));
    result.normalized = accessor.normalized;
    const int size = component_size(accessor.componentType);
    if (size == 0 || result.components <= 0)
        return fail(label + ": unknown component or element type");
    result.element_size = static_cast<uint64_t>(size) * static_cast<uint64_t>(result.components);
    result.count = accessor.count;

    // A sparse accessor without a buffer view starts from zeros.
    if (accessor.bufferView != -1 || !accessor.sparse.isSparse) {
        const std::vector<unsigned char>* bytes = nullptr;
        std::string problem;
        const tinygltf::BufferView* view = find_view(gltf, accessor.bufferView, bytes, problem);
        if (view == nullptr)
            return fail(label + ": " + problem);
        result.stride = packed || view->byteStride == 0 ? result.element_size : view->byteStride;
        uint64_t offset = 0;
        if (!add(view->byteOffset, accessor.byteOffset, offset) ||
            !span_fits(offset, result.count, result.stride, result.element_size, bytes->size())) {
            return fail(label + ": its " + std::to_string(result.count) +
                        " elements lie outside buffer " + std::to_string(view->buffer) + " (" +
                        std::to_string(bytes->size()) + " bytes)");
        }
        result.data = bytes->data() + offset;
    }
    if (accessor.sparse.isSparse) {
        std::string problem;
        if (!substitute(gltf, accessor.sparse, result, problem))
            return fail(label + ": sparse " + problem);
    }
    return result;
}

}  // namespace demo
