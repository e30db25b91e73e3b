#include "render/image_limits.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>
#include <stb_image.h>

#include <algorithm>
#include <array>
#include <utility>

namespace demo {

namespace {

enum class Format { Png, Jpeg, Bmp, Gif, Pnm, Other };

// SDL2_image picks the first loader whose test accepts the bytes. Requiring exactly one test
// to accept them makes the pick independent of the loaders' order.
std::optional<Format> sdl_image_format(const uint8_t* bytes, size_t size, int* matches) {
    using Test = int (*)(SDL_RWops*);
    const std::array<std::pair<Test, Format>, 18> tests = {{
        {IMG_isPNG, Format::Png},
        {IMG_isJPG, Format::Jpeg},
        {IMG_isBMP, Format::Bmp},
        {IMG_isGIF, Format::Gif},
        {IMG_isPNM, Format::Pnm},
        {IMG_isAVIF, Format::Other},
        {IMG_isCUR, Format::Other},
        {IMG_isICO, Format::Other},
        {IMG_isJXL, Format::Other},
        {IMG_isLBM, Format::Other},
        {IMG_isPCX, Format::Other},
        {IMG_isSVG, Format::Other},
        {IMG_isTIF, Format::Other},
        {IMG_isXCF, Format::Other},
        {IMG_isXPM, Format::Other},
        {IMG_isXV, Format::Other},
        {IMG_isWEBP, Format::Other},
        {IMG_isQOI, Format::Other},
    }};
    SDL_RWops* stream = SDL_RWFromConstMem(bytes, static_cast<int>(size));
    if (stream == nullptr)
        return std::nullopt;
    std::optional<Format> found;
    *matches = 0;
    for (const auto& [test, format] : tests) {
        if (test(stream) != 0) {
            found = format;
            ++*matches;
        }
    }
    SDL_RWclose(stream);
    return *matches == 1 ? found : std::nullopt;
}

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

// The first frame's size of a GIF, which the decoder allocates whatever the screen claims.
std::optional<ImageSize> gif_first_frame(const uint8_t* bytes, size_t size) {
    size_t at = 13;
    if (size < at)
        return std::nullopt;
    if (bytes[10] & 0x80)
        at += 3 * (size_t{2} << (bytes[10] & 7));  // global colour table
    while (at < size) {
        if (bytes[at] == 0x2C) {  // image descriptor: left, top, width, height
            if (size - at < 9)
                return std::nullopt;
            return ImageSize{le16(bytes + at + 5), le16(bytes + at + 7)};
        }
        if (bytes[at] != 0x21 || size - at < 2)  // anything but an extension ends the scan
            return std::nullopt;
        at += 2;
        while (at < size && bytes[at] != 0)  // the extension's sub-blocks
            at += 1 + bytes[at];
        ++at;
    }
    return std::nullopt;
}

}  // namespace

std::optional<ImageSize> read_image_size(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || size == 0 || size > INT32_MAX)
        return std::nullopt;
    int matches = 0;
    const std::optional<Format> format = sdl_image_format(bytes, size, &matches);
    if (!format || *format == Format::Other)
        return std::nullopt;
    int width = 0;
    int height = 0;
    int channels = 0;
    if (stbi_info_from_memory(bytes, static_cast<int>(size), &width, &height, &channels) == 0)
        return std::nullopt;
    ImageSize image{width, height};
    if (*format == Format::Gif) {
        const std::optional<ImageSize> frame = gif_first_frame(bytes, size);
        if (!frame)
            return std::nullopt;
        image.width = std::max(image.width, frame->width);
        image.height = std::max(image.height, frame->height);
    }
    return image;
}

int32_t max_texture_side() {
    if (SDL_GL_GetCurrentContext() == nullptr)
        return kFallbackMaxTextureSide;
    GLint side = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &side);
    return side > 0 ? side : kFallbackMaxTextureSide;
}

std::string image_size_refusal(ImageSize size, int32_t max_side, uint64_t budget) {
    const std::string dimensions = std::to_string(size.width) + " x " + std::to_string(size.height);
    if (size.width <= 0 || size.height <= 0)
        return "its header gives no size";
    if (size.width > max_side || size.height > max_side) {
        return "its " + dimensions + " pixels exceed the largest texture, " +
               std::to_string(max_side) + " pixels a side";
    }
    const uint64_t rgba =
        static_cast<uint64_t>(size.width) * static_cast<uint64_t>(size.height) * 4;
    if (rgba > budget) {
        return "its " + dimensions + " pixels need " + std::to_string(rgba) +
               " bytes, more than the " + std::to_string(budget) + " left to this package";
    }
    return std::string();
}

bool has_image_signature(const uint8_t* bytes, size_t size) {
    int matches = 0;
    return bytes != nullptr && size > 0 && size <= INT32_MAX &&
           (sdl_image_format(bytes, size, &matches), matches > 0);
}

}  // namespace demo
