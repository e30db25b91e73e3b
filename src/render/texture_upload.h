// Decoding images and creating the RGBA textures every image, text and screen copy uses.
#pragma once

#include <cstdint>
#include <memory>

#include "render/texture.h"
#include "serialization/input_stream.h"

struct SDL_Surface;

namespace demo {

// A texture of w x h RGBA bytes (R, G, B, A in memory), linear filtering, no mipmaps, the
// given wrap mode. Stays bound on the active unit.
uint32_t create_rgba_texture(int32_t width, int32_t height, const void* pixels, int32_t wrap);

// A zero-filled 32-bit surface whose bytes are R, G, B, A in memory.
SDL_Surface* create_rgba_surface(int32_t width, int32_t height);

// Decodes the texture's image into RGBA and uploads it. Bytes that are not an image leave
// texture 0 and a size of 0 x 0; loading goes on. So does an image larger than a texture can
// be or than what `package` (the package being read, if any) may still unpack, which is
// named on standard output; a decoded image's RGBA bytes are charged to `package`.
void decode_texture(Texture& texture, InputStream* package = nullptr);

// Deletes the texture's GL texture.
void release(Texture& texture);

// A blank texture of the given size, all bytes zero, named "Texture <address> (w x h)".
std::unique_ptr<Texture> create_blank_texture(int32_t width, int32_t height);

}  // namespace demo

namespace demo {

// Replaces the whole texture's contents with `pixels` (RGBA bytes at its own size), on the
// active unit.
void upload_texture_pixels(const Texture& texture, const void* pixels);

// Makes `unit` active and binds `texture_id` there.
void bind_texture_unit(int unit, uint32_t texture_id);

}  // namespace demo
