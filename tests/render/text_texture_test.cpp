// Text rendered into font textures: re-rendering only on change, both encodings, and centring
// against SDL2_ttf's own rendering of the same text.
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

bool all_zero(const std::vector<uint8_t>& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

using TextTexture = GlTest;

// A project's font texture without a typing rate shows its whole text at once.
TEST(FontTextureJson, WithoutATypingRateShowsTheWholeText) {
    EXPECT_EQ(FontTexture(Json::parse(R"({"name": "t"})")).chars_per_beat, -1);
    EXPECT_EQ(FontTexture(Json::parse(R"({"chars_per_beat": 4})")).chars_per_beat, 4);
}

TEST_F(TextTexture, RendersOnlyWhenTheTextChanges) {
    auto font = dejavu_font(24);
    ASSERT_NE(font->ttf_font, nullptr);
    auto text = font_texture(*font, 256, 32, false);
    ASSERT_NE(text->texture_id, 0u);
    EXPECT_TRUE(all_zero(read_texture(text->texture_id, 256, 32)));  // transparent at first
    // Nothing shown yet, rendered, the same text, cleared to transparent, the same again.
    const std::pair<const char*, unsigned> steps[] = {
        {"", 0}, {"Hello", 1}, {"Hello", 1}, {"", 2}, {"", 2}};
    for (const auto& [s, renders] : steps) {
        set_text(*text, s);
        EXPECT_EQ(text->render_count, renders) << s;
        EXPECT_EQ(text->text, s);
        EXPECT_EQ(all_zero(read_texture(text->texture_id, 256, 32)), *s == 0) << s;
    }
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

// A text shows the characters it was written with, typed into a project (UTF-8) or stored by
// an older package (Latin-1); the reference is rendered from Latin-1.
TEST_F(TextTexture, CentredTextStartsAtHalfTheSpareWidthTruncated) {
    auto font = dejavu_font(24);
    auto text = font_texture(*font, 512, 64, true);
    const std::pair<const char*, const char*> texts[] = {
        {"Demo", "Demo"},
        {"Hello", "Hello"},
        {"Credits", "Credits"},
        {"Gr\xC3\xBC\xC3\x9F\x65", "Gr\xFC\xDF\x65"},
        {"Gr\xFC\xDF\x65", "Gr\xFC\xDF\x65"}};
    for (const auto& [shown, latin1] : texts) {
        set_text(*text, shown);
        const Reference ref = reference_rendering(font->ttf_font, latin1, 512);
        SCOPED_TRACE(testing::Message() << shown << " is " << ref.w << " wide");
        ASSERT_GT(ref.w, 0);
        const std::vector<uint8_t> bytes = read_texture(text->texture_id, 512, 64);
        EXPECT_EQ(mismatches(bytes, 512, 64, ref, (512 - ref.w) / 2), 0);
    }
}

}  // namespace
}  // namespace demo::gl_test
