#include "render/texture_upload.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_image.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "base/fatal_error.h"
#include "render/image_limits.h"

namespace demo {

namespace {

// 32-bit surfaces whose bytes in memory are R, G, B, A on a little-endian machine.
constexpr Uint32 kRedMask = 0x000000FF;
constexpr Uint32 kGreenMask = 0x0000FF00;
constexpr Uint32 kBlueMask = 0x00FF0000;
constexpr Uint32 kAlphaMask = 0xFF000000;

}  // namespace

SDL_Surface* create_rgba_surface(int32_t width, int32_t height) {
    return SDL_CreateRGBSurface(0, width, height, 32, kRedMask, kGreenMask, kBlueMask, kAlphaMask);
}

uint32_t create_rgba_texture(int32_t width, int32_t height, const void* pixels, int32_t wrap) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels);
    return texture;
}

void decode_texture(Texture& texture, InputStream* package) {
    texture.texture_id = 0;
    texture.width = 0;
    texture.height = 0;
    if (!texture.image_buffer || texture.image_buffer->size() == 0 ||
        texture.image_buffer->size() > INT32_MAX) {
        return;
    }
    // The header's size decides before any decoder allocates: an image larger than a texture
    // can be, or than the package may unpack to, is not decoded.
    const uint8_t* bytes = texture.image_buffer->data.data();
    const size_t size = texture.image_buffer->size();
    const std::optional<ImageSize> image = read_image_size(bytes, size);
    if (!image) {
        if (has_image_signature(bytes, size)) {
            std::printf(
                "Texture %s is not decoded: its format is not one whose size can be read "
                "before decoding (PNG, JPEG, BMP, GIF, PNM)\n",
                texture.name.c_str());
        }
        return;
    }
    const uint64_t budget = package != nullptr ? package->unpack_budget() : UINT64_MAX;
    const std::string refusal = image_size_refusal(*image, max_texture_side(), budget);
    if (!refusal.empty()) {
        std::printf("Texture %s is not decoded: %s\n", texture.name.c_str(), refusal.c_str());
        return;
    }
    if (package != nullptr)
        package->charge_unpacked(static_cast<uint64_t>(image->width) * image->height * 4,
                                 "an image", package->offset());
    SDL_RWops* stream = SDL_RWFromConstMem(texture.image_buffer->data.data(),
                                           static_cast<int>(texture.image_buffer->size()));
    SDL_Surface* decoded = IMG_Load_RW(stream, 1);
    if (decoded == nullptr)
        return;
    // Blitting onto a fixed layout turns palette, grey and RGB images into RGBA; an image with
    // alpha is blended onto the zero surface, so its colours end up scaled by alpha.
    SDL_Surface* rgba = create_rgba_surface(decoded->w, decoded->h);
    if (rgba != nullptr) {
        SDL_UpperBlit(decoded, nullptr, rgba, nullptr);
        texture.width = decoded->w;
        texture.height = decoded->h;
        SDL_LockSurface(rgba);
        if (rgba->pitch == rgba->w * 4) {
            texture.texture_id =
                create_rgba_texture(rgba->w, rgba->h, rgba->pixels, GL_CLAMP_TO_EDGE);
        } else {
            std::vector<uint8_t> packed(static_cast<size_t>(rgba->w) * rgba->h * 4);
            for (int y = 0; y < rgba->h; ++y) {
                std::memcpy(
                    packed.data() + static_cast<size_t>(y) * rgba->w * 4,
                    static_cast<uint8_t*>(rgba->pixels) + static_cast<size_t>(y) * rgba->pitch,
                    static_cast<size_t>(rgba->w) * 4);
            }
            texture.texture_id =
                create_rgba_texture(rgba->w, rgba->h, packed.data(), GL_CLAMP_TO_EDGE);
        }
        SDL_UnlockSurface(rgba);
        SDL_FreeSurface(rgba);
    }
    SDL_FreeSurface(decoded);
}

void release(Texture& texture) {
    glDeleteTextures(1, &texture.texture_id);
    texture.texture_id = 0;
}

std::unique_ptr<Texture> create_blank_texture(int32_t width, int32_t height) {
    auto texture = std::make_unique<Texture>();
    texture->name =
        format_message("Texture %p (%d x %d)", static_cast<void*>(texture.get()), width, height);
    const std::vector<uint8_t> zeros(static_cast<size_t>(width) * height * 4, 0);
    texture->texture_id = create_rgba_texture(width, height, zeros.data(), GL_CLAMP_TO_EDGE);
    texture->width = width;
    texture->height = height;
    return texture;
}

}  // namespace demo

namespace demo {

void upload_texture_pixels(const Texture& texture, const void* pixels) {
    glBindTexture(GL_TEXTURE_2D, texture.texture_id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texture.width, texture.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, pixels);
}

void bind_texture_unit(int unit, uint32_t texture_id) {
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, texture_id);
}

}  // namespace demo
