// Whether an encoded image may be decoded: its size is read from its header first, so a few
// hundred bytes claiming 30000 x 30000 pixels never reach a decoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace demo {

// Texture side used when no OpenGL context is current: what every GL 4.x driver offers.
inline constexpr int32_t kFallbackMaxTextureSide = 16384;

struct ImageSize {
    int64_t width = 0;
    int64_t height = 0;
};

// The pixel size SDL2_image would decode `bytes` to, read from the header alone. Only PNG,
// JPEG, BMP, GIF and PNM are sized (with stb_image's info call and a scan of the GIF's first
// frame); bytes that look like any other format, or like several, give nothing.
std::optional<ImageSize> read_image_size(const uint8_t* bytes, size_t size);

// The largest texture side of the current OpenGL context, or kFallbackMaxTextureSide.
int32_t max_texture_side();

// Why an image of `size` must not be decoded: a side above `max_side`, or RGBA bytes beyond
// `budget`. Empty when it may be decoded.
std::string image_size_refusal(ImageSize size, int32_t max_side, uint64_t budget);

// True when some SDL2_image loader claims `bytes` by their signature: bytes that are no image
// at all fail to decode without a word, while a known format that cannot be sized is refused.
bool has_image_signature(const uint8_t* bytes, size_t size);

}  // namespace demo
