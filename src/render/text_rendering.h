// Opening fonts and rendering texts into font textures with SDL2_ttf.
#pragma once

#include <string>

#include "render/font.h"
#include "render/font_texture.h"

namespace demo {

// Opens the font from its bytes at its point size; bytes that are not a font leave none.
void open_font(Font& font);

// Creates the transparent surface and its texture at the font texture's size.
void create_surface(FontTexture& texture);

// Closes the font (its texts can no longer be rendered).
void close_font(Font& font);

// Frees the surface and deletes the texture.
void release(FontTexture& texture);

// Renders `text` (Latin-1, wrapped at the texture's width, top-aligned, centred when asked)
// and uploads it, unless it is the text already shown.
void set_text(FontTexture& texture, const std::string& text);

}  // namespace demo
