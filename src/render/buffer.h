// The CPU side of an effect's screen copy, at the render size, rows bottom-up. Its zeros give
// the capture texture its first contents; the screen copies themselves stay on the GPU.
#pragma once

#include <cstdint>
#include <vector>

namespace demo {

struct Buffer {
    std::vector<uint8_t> pixels;  // width * height * 4 bytes, RGBA, zero-filled at first
    int32_t size = 0;
    int32_t width = 0;
    int32_t height = 0;

    // Sized from the render size at the moment of creation.
    Buffer();
    virtual ~Buffer() = default;
};

}  // namespace demo
