#include "scene/accessor_view.h"

#include <algorithm>
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
    const uint8_t* at = data + i * stride;
    switch (component_type) {
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
            return load<uint8_t>(at);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
            return load<uint16_t>(at);
        case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
            return load<uint32_t>(at);
        default:
            return 0;
    }
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
    if (accessor.bufferView < 0 ||
        static_cast<size_t>(accessor.bufferView) >= gltf.bufferViews.size()) {
        return fail(label + ": buffer view " + std::to_string(accessor.bufferView) +
                    " does not exist");
    }
    const tinygltf::BufferView& view = gltf.bufferViews[static_cast<size_t>(accessor.bufferView)];
    if (view.buffer < 0 || static_cast<size_t>(view.buffer) >= gltf.buffers.size())
        return fail(label + ": buffer " + std::to_string(view.buffer) + " does not exist");
    const std::vector<unsigned char>& bytes = gltf.buffers[static_cast<size_t>(view.buffer)].data;

    AccessorView result;
    result.component_type = accessor.componentType;
    result.components = tinygltf::GetNumComponentsInType(static_cast<uint32_t>(accessor.type));
    result.normalized = accessor.normalized;
    const int size = component_size(accessor.componentType);
    if (size == 0 || result.components <= 0)
        return fail(label + ": unknown component or element type");
    result.element_size = static_cast<uint64_t>(size) * static_cast<uint64_t>(result.components);
    result.stride = packed || view.byteStride == 0 ? result.element_size : view.byteStride;
    result.count = accessor.count;

    // offset + (count - 1) * stride + element size <= buffer length, without overflow.
    uint64_t offset = 0;
    uint64_t end = 0;
    bool fits = add(view.byteOffset, accessor.byteOffset, offset);
    if (fits && result.count > 0) {
        uint64_t span = 0;
        fits = multiply(result.count - 1, result.stride, span) && add(offset, span, end) &&
               add(end, result.element_size, end);
    } else {
        end = offset;
    }
    if (!fits || end > bytes.size()) {
        return fail(label + ": its " + std::to_string(result.count) +
                    " elements lie outside buffer " + std::to_string(view.buffer) + " (" +
                    std::to_string(bytes.size()) + " bytes)");
    }
    result.data = bytes.data() + offset;
    return result;
}

}  // namespace demo
