#include "render/text_rendering.h"

#include <GL/glew.h>
#include <SDL.h>
#include <SDL_ttf.h>

#include "render/texture_upload.h"
#include "serialization/text_encoding.h"

namespace demo {

void open_font(Font& font) {
    font.ttf_font = nullptr;
    if (!font.font_buffer || font.font_buffer->size() == 0 ||
        font.font_buffer->size() > INT32_MAX) {
        return;
    }
    SDL_RWops* stream = SDL_RWFromConstMem(font.font_buffer->data.data(),
                                           static_cast<int>(font.font_buffer->size()));
    font.ttf_font = TTF_OpenFontRW(stream, 1, font.ptsize);
}

void create_surface(FontTexture& texture) {
    if (texture.width <= 0 || texture.height <= 0)
        return;
    texture.surface = create_rgba_surface(texture.width, texture.height);
    if (texture.surface == nullptr)
        return;
    SDL_FillRect(texture.surface, nullptr, 0);
    texture.texture_id = create_rgba_texture(texture.surface->w, texture.surface->h,
                                             texture.surface->pixels, GL_CLAMP_TO_EDGE);
}

void close_font(Font& font) {
    if (font.ttf_font != nullptr)
        TTF_CloseFont(font.ttf_font);
    font.ttf_font = nullptr;
}

void release(FontTexture& texture) {
    SDL_FreeSurface(texture.surface);
    texture.surface = nullptr;
    glDeleteTextures(1, &texture.texture_id);
    texture.texture_id = 0;
}

void set_text(FontTexture& texture, const std::string& text) {
    if (text == texture.text)
        return;
    texture.text = text;
    SDL_Surface* surface = texture.surface;
    if (surface == nullptr)
        return;
    ++texture.render_count;
    SDL_FillRect(surface, nullptr, 0);

    TTF_Font* font = texture.font.object != nullptr ? texture.font.object->ttf_font : nullptr;
    SDL_Surface* rendered = nullptr;
    if (font != nullptr && !text.empty()) {
        // Texts typed into a project are UTF-8; older packages hold Latin-1 bytes, which are
        // rarely valid UTF-8. Each is drawn with the characters it was written with.
        const SDL_Color white{255, 255, 255, 255};
        const Uint32 wrap = static_cast<Uint32>(texture.width);
        rendered = is_valid_utf8(text)
                       ? TTF_RenderUTF8_Blended_Wrapped(font, text.c_str(), white, wrap)
                       : TTF_RenderText_Blended_Wrapped(font, text.c_str(), white, wrap);
    }
    if (rendered != nullptr) {
        SDL_Rect source{0, 0, surface->w, surface->h};
        SDL_Rect destination{texture.center ? (surface->w - rendered->w) / 2 : 0, 0, 0, 0};
        SDL_UpperBlit(rendered, &source, surface, &destination);
        SDL_FreeSurface(rendered);
    }

    glBindTexture(GL_TEXTURE_2D, texture.texture_id);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, texture.width, texture.height, 0, GL_RGBA,
                 GL_UNSIGNED_BYTE, surface->pixels);
}

}  // namespace demo
