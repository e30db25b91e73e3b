// Text rendered into font textures: re-rendering only on change, centring, cutting at the
// bottom. SDL2_ttf's own rendering of the same text is the reference for the glyph pixels.
#include <SDL.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "render/font.h"
#include "render/font_texture.h"
#include "render/gl_fixture.h"
#include "render/text_rendering.h"

namespace demo {
namespace {

using gl_test::GlTest;
using gl_test::kFontPath;
using gl_test::read_texture;
using gl_test::Rgba;
using gl_test::texel;

std::unique_ptr<Font> dejavu(int ptsize) {
    return gl_test::dejavu_font(ptsize);
}

std::unique_ptr<FontTexture> font_texture(Font& font, int width, int height, bool center) {
    auto texture = std::make_unique<FontTexture>();
    texture->name = "title";
    texture->width = width;
    texture->height = height;
    texture->font.object = &font;
    texture->center = center;
    create_surface(*texture);
    return texture;
}

// SDL2_ttf's wrapped rendering of `text`, as the font texture asks for it.
SDL_Surface* reference_rendering(Font& font, const std::string& text, int wrap) {
    SDL_Surface* rendered = TTF_RenderText_Blended_Wrapped(
        font.ttf_font, text.c_str(), SDL_Color{255, 255, 255, 255}, static_cast<Uint32>(wrap));
    if (rendered == nullptr)
        return nullptr;
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ABGR8888, 0);
    SDL_FreeSurface(rendered);
    return rgba;
}

uint8_t alpha_at(const SDL_Surface* surface, int x, int y) {
    const auto* row = static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch;
    return row[x * 4 + 3];
}

int leftmost_inked_column(const SDL_Surface* surface) {
    for (int x = 0; x < surface->w; ++x) {
        for (int y = 0; y < surface->h; ++y) {
            if (alpha_at(surface, x, y) != 0)
                return x;
        }
    }
    return -1;
}

int leftmost_inked_column(const std::vector<uint8_t>& bytes, int width, int height) {
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            if (texel(bytes, width, x, y).a != 0)
                return x;
        }
    }
    return -1;
}

bool all_zero(const std::vector<uint8_t>& bytes) {
    for (uint8_t b : bytes) {
        if (b != 0)
            return false;
    }
    return true;
}

// Writes one marker texel into the GL texture, so a later upload shows by overwriting it.
void put_marker(uint32_t texture) {
    const uint8_t marker[4] = {1, 2, 3, 4};
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, marker);
    glBindTexture(GL_TEXTURE_2D, 0);
}

bool has_marker(uint32_t texture, int width, int height) {
    const Rgba first = texel(read_texture(texture, width, height), width, 0, 0);
    return first.r == 1 && first.g == 2 && first.b == 3 && first.a == 4;
}

class TextTexture : public GlTest {};

TEST_F(TextTexture, RendersAndUploadsOnlyWhenTheTextChanges) {
    auto font = dejavu(24);
    ASSERT_NE(font->ttf_font, nullptr);
    auto text = font_texture(*font, 256, 32, false);
    ASSERT_NE(text->texture_id, 0u);
    EXPECT_TRUE(all_zero(read_texture(text->texture_id, 256, 32)));  // transparent at first

    set_text(*text, "");  // nothing shown yet: nothing to do
    EXPECT_EQ(text->render_count, 0u);

    set_text(*text, "Hello");
    EXPECT_EQ(text->render_count, 1u);
    EXPECT_EQ(text->text, "Hello");
    EXPECT_FALSE(all_zero(read_texture(text->texture_id, 256, 32)));

    put_marker(text->texture_id);
    set_text(*text, "Hello");
    EXPECT_EQ(text->render_count, 1u);
    EXPECT_TRUE(has_marker(text->texture_id, 256, 32)) << "the same text was uploaded again";

    set_text(*text, "");  // clears to transparent, with one upload
    EXPECT_EQ(text->render_count, 2u);
    EXPECT_TRUE(all_zero(read_texture(text->texture_id, 256, 32)));

    put_marker(text->texture_id);
    set_text(*text, "");
    EXPECT_EQ(text->render_count, 2u);
    EXPECT_TRUE(has_marker(text->texture_id, 256, 32)) << "the empty text was uploaded again";
}

// A text shows the characters it was written with, whether typed into a project (UTF-8) or
// stored by an older package (Latin-1): both give the same pixels.
TEST_F(TextTexture, UtfEightAndLatinOneTextsShowTheSameCharacters) {
    auto font = dejavu(24);
    auto utf8 = font_texture(*font, 256, 32, false);
    auto latin1 = font_texture(*font, 256, 32, false);
    set_text(*utf8, "Gr\xC3\xBC\xC3\x9F\x65");
    set_text(*latin1, "Gr\xFC\xDF\x65");
    const std::vector<uint8_t> pixels = read_texture(utf8->texture_id, 256, 32);
    EXPECT_FALSE(all_zero(pixels));
    EXPECT_EQ(pixels, read_texture(latin1->texture_id, 256, 32));
}

// A point size and text whose wrapped rendering at `wrap` is exactly `width` pixels wide.
bool find_rendering_of_width(int width, int wrap, int& ptsize, std::string& text) {
    static const char* const candidates[] = {"Demo",   "Hello", "Title", "Beat",  "Credits",
                                             "Greets", "Intro", "Scene", "Music", "Outro"};
    for (int size = 8; size <= 48; ++size) {
        TTF_Font* font = TTF_OpenFont(kFontPath, size);
        if (font == nullptr)
            return false;
        for (const char* candidate : candidates) {
            SDL_Surface* r = TTF_RenderText_Blended_Wrapped(
                font, candidate, SDL_Color{255, 255, 255, 255}, static_cast<Uint32>(wrap));
            const bool match = r != nullptr && r->w == width;
            SDL_FreeSurface(r);
            if (match) {
                TTF_CloseFont(font);
                ptsize = size;
                text = candidate;
                return true;
            }
        }
        TTF_CloseFont(font);
    }
    return false;
}

TEST_F(TextTexture, CentredTextStartsAtHalfTheSpareWidthTruncated) {
    // A rendering w pixels wide starts at (512 - w) / 2: 206 for 100 and 205 for 101.
    for (const auto& [width, start] : {std::pair{100, 206}, std::pair{101, 205}}) {
        int ptsize = 0;
        std::string s;
        ASSERT_TRUE(find_rendering_of_width(width, 512, ptsize, s))
            << "no text " << width << " wide";
        auto font = dejavu(ptsize);
        auto text = font_texture(*font, 512, 64, true);
        set_text(*text, s);
        const std::vector<uint8_t> bytes = read_texture(text->texture_id, 512, 64);

        SDL_Surface* reference = reference_rendering(*font, s, 512);
        ASSERT_NE(reference, nullptr);
        ASSERT_EQ(reference->w, width);
        const int bearing = leftmost_inked_column(reference);
        EXPECT_EQ(leftmost_inked_column(bytes, 512, 64), start + bearing)
            << "'" << s << "' at " << ptsize << " pt";

        // The glyphs land unchanged at that offset: alpha is the coverage, and the colour is
        // white scaled by it.
        int mismatches = 0;
        for (int y = 0; y < std::min(64, reference->h); ++y) {
            for (int x = 0; x < width; ++x) {
                const Rgba t = texel(bytes, 512, start + x, y);
                if (t.a != alpha_at(reference, x, y) || std::abs(t.r - t.a) > 1 || t.g != t.r ||
                    t.b != t.r) {
                    ++mismatches;
                }
            }
        }
        EXPECT_EQ(mismatches, 0);
        SDL_FreeSurface(reference);
    }
}

TEST_F(TextTexture, TextTallerThanTheTextureIsCutAtTheBottom) {
    auto font = dejavu(16);
    const std::string s = "Top\nMiddle\nBottom";
    auto text = font_texture(*font, 128, 20, false);
    set_text(*text, s);
    const std::vector<uint8_t> bytes = read_texture(text->texture_id, 128, 20);

    SDL_Surface* reference = reference_rendering(*font, s, 128);
    ASSERT_NE(reference, nullptr);
    ASSERT_GT(reference->h, 20);
    ASSERT_LE(reference->w, 128);
    // Rows 0 .. 19 are the top 20 rows of the rendering, top-aligned and unscaled.
    int mismatches = 0;
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 128; ++x) {
            const int expected = x < reference->w ? alpha_at(reference, x, y) : 0;
            if (texel(bytes, 128, x, y).a != expected)
                ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_FALSE(all_zero(bytes));
    SDL_FreeSurface(reference);
}

}  // namespace
}  // namespace demo
