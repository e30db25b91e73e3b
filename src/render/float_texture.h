// One-texel textures of a fixed colour.
#pragma once

#include <cstdint>

namespace demo {

// A 1 x 1 RGBA float texture holding (r, g, b, a), linear filtering, repeat wrapping.
uint32_t create_float_texture_1x1(float r, float g, float b, float a);

}  // namespace demo
