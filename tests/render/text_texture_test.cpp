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

#include "render/font_texture.h"
#include "render/gl_fixture.h"

namespace demo::gl_test {
namespace {

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

// SDL2_ttf's wrapped rendering of `text` as RGBA bytes, as the font texture asks for it.
struct Reference {
    int w = 0;
    int h = 0;
    std::vector<uint8_t> bytes;
};

Reference reference_rendering(TTF_Font* font, const std::string& text, int wrap) {
    Reference ref;
    SDL_Surface* rendered = TTF_RenderText_Blended_Wrapped(
        font, text.c_str(), SDL_Color{255, 255, 255, 255}, static_cast<Uint32>(wrap));
    if (rendered == nullptr)
        return ref;
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ABGR8888, 0);
    SDL_FreeSurface(rendered);
    ref.w = rgba->w;
    ref.h = rgba->h;
    for (int y = 0; y < rgba->h; ++y) {
        const auto* row = static_cast<const uint8_t*>(rgba->pixels) + y * rgba->pitch;
        ref.bytes.insert(ref.bytes.end(), row, row + rgba->w * 4);
    }
    SDL_FreeSurface(rgba);
    return ref;
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
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

using TextTexture = GlTest;

TEST_F(TextTexture, RendersAndUploadsOnlyWhenTheTextChanges) {
    auto font = dejavu_font(24);
    ASSERT_NE(font->ttf_font, nullptr);
    auto text = font_texture(*font, 256, 32, false);
    ASSERT_NE(text->texture_id, 0u);
    const auto pixels = [&] { return read_texture(text->texture_id, 256, 32); };
    EXPECT_TRUE(all_zero(pixels()));  // transparent at first
    // A marker texel written before each step shows whether the step uploaded.
    const uint8_t marker[4] = {1, 2, 3, 4};
    const struct {
        const char* text;
        unsigned renders;
        bool uploads;
        bool blank;
    } steps[] = {
        {"", 0, false, true},        // nothing shown yet: nothing to do
        {"Hello", 1, true, false},   // rendered
        {"Hello", 1, false, false},  // the same text again
        {"", 2, true, true},         // cleared to transparent, with one upload
        {"", 2, false, true},        // the empty text again
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(testing::Message() << "'" << s.text << "' for render " << s.renders);
        const std::vector<uint8_t> before = pixels();
        glBindTexture(GL_TEXTURE_2D, text->texture_id);
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, marker);
        glBindTexture(GL_TEXTURE_2D, 0);
        set_text(*text, s.text);
        EXPECT_EQ(text->render_count, s.renders);
        EXPECT_EQ(text->text, s.text);
        std::vector<uint8_t> after = pixels();
        const Rgba first = texel(after, 256, 0, 0);
        EXPECT_EQ(first.r == 1 && first.g == 2 && first.b == 3 && first.a == 4, !s.uploads);
        if (s.uploads) {
            EXPECT_EQ(all_zero(after), s.blank);
        } else {
            std::copy(before.begin(), before.begin() + 4, after.begin());
            EXPECT_EQ(after, before);
        }
    }
}

// A text shows the characters it was written with, whether typed into a project (UTF-8) or
// stored by an older package (Latin-1): both give the same pixels.
TEST_F(TextTexture, UtfEightAndLatinOneTextsShowTheSameCharacters) {
    auto font = dejavu_font(24);
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
        for (const char* candidate : candidates) {
            if (font != nullptr && reference_rendering(font, candidate, wrap).w == width) {
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

// Texels of the texture from (x0, 0) on that differ from the reference: alpha is the coverage
// and the colour is white scaled by it; the texture's texels past the reference are clear.
int mismatches(const std::vector<uint8_t>& bytes, int width, int height, const Reference& ref,
               int x0) {
    int count = 0;
    for (int y = 0; y < std::min(height, ref.h); ++y) {
        for (int x = 0; x + x0 < width; ++x) {
            const Rgba t = texel(bytes, width, x0 + x, y);
            const int alpha = x < ref.w ? texel(ref.bytes, ref.w, x, y).a : 0;
            if (t.a != alpha || std::abs(t.r - t.a) > 1 || t.g != t.r || t.b != t.r)
                ++count;
        }
    }
    return count;
}

TEST_F(TextTexture, CentredTextStartsAtHalfTheSpareWidthTruncated) {
    // A rendering w pixels wide starts at (512 - w) / 2: 206 for 100 and 205 for 101.
    for (const auto& [width, start] : {std::pair{100, 206}, std::pair{101, 205}}) {
        int ptsize = 0;
        std::string s;
        ASSERT_TRUE(find_rendering_of_width(width, 512, ptsize, s)) << "no text " << width;
        SCOPED_TRACE(testing::Message() << "'" << s << "' at " << ptsize << " pt");
        auto font = dejavu_font(ptsize);
        auto text = font_texture(*font, 512, 64, true);
        set_text(*text, s);
        const std::vector<uint8_t> bytes = read_texture(text->texture_id, 512, 64);
        const Reference ref = reference_rendering(font->ttf_font, s, 512);
        ASSERT_EQ(ref.w, width);
        EXPECT_EQ(leftmost_inked_column(bytes, 512, 64),
                  start + leftmost_inked_column(ref.bytes, ref.w, ref.h));
        EXPECT_EQ(mismatches(bytes, 512, 64, ref, start), 0);
    }
}

TEST_F(TextTexture, TextTallerThanTheTextureIsCutAtTheBottom) {
    auto font = dejavu_font(16);
    const std::string s = "Top\nMiddle\nBottom";
    auto text = font_texture(*font, 128, 20, false);
    set_text(*text, s);
    const std::vector<uint8_t> bytes = read_texture(text->texture_id, 128, 20);
    const Reference ref = reference_rendering(font->ttf_font, s, 128);
    ASSERT_GT(ref.h, 20);
    ASSERT_LE(ref.w, 128);
    // Rows 0 .. 19 are the top 20 rows of the rendering, top-aligned and unscaled.
    EXPECT_EQ(mismatches(bytes, 128, 20, ref, 0), 0);
    EXPECT_FALSE(all_zero(bytes));
}

}  // namespace
}  // namespace demo::gl_test
