// Text in font textures: rendered only on change, both encodings, centred as SDL2_ttf renders it.
#include <SDL.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <tuple>
#include <vector>

#include "render/font_texture.h"
#include "test_support/gl_fixture.h"

namespace demo::gl_test {
namespace {

// SDL2_ttf's wrapped rendering of `text` as RGBA bytes, as the font texture asks for it.
SDL_Surface* reference_rendering(TTF_Font* font, const std::string& text, int wrap) {
    SDL_Surface* rendered = TTF_RenderText_Blended_Wrapped(
        font, text.c_str(), SDL_Color{255, 255, 255, 255}, static_cast<Uint32>(wrap));
    SDL_Surface* rgba = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ABGR8888, 0);
    SDL_FreeSurface(rendered);
    return rgba;
}

using TextTexture = GlTest;

// A project's font texture without a typing rate shows its whole text at once.
TEST(FontTextureJson, WithoutATypingRateShowsTheWholeText) {
    EXPECT_EQ(FontTexture(Json::parse(R"({"name": "t"})")).chars_per_beat, -1);
    EXPECT_EQ(FontTexture(Json::parse(R"({"chars_per_beat": 4})")).chars_per_beat, 4);
}

// Texels from (x0, 0) on unlike the reference: alpha = coverage, white scaled by it, then clear.
int mismatches(const std::vector<uint8_t>& bytes, int width, int height, const SDL_Surface& ref,
               int x0) {
    int count = 0;
    for (int y = 0; y < std::min(height, ref.h); ++y) {
        const auto* row = static_cast<const uint8_t*>(ref.pixels) + y * ref.pitch;
        for (int x = 0; x + x0 < width; ++x) {
            const Rgba t = texel(bytes, width, x0 + x, y);
            const int alpha = x < ref.w ? row[x * 4 + 3] : 0;
            if (t.a != alpha || std::abs(t.r - t.a) > 1 || t.g != t.r || t.b != t.r)
                ++count;
        }
    }
    return count;
}

// Rendered only on change; centred at half the spare width, truncated ("Demo" is 71 pixels),
// in the characters typed into a project (UTF-8) or stored by an older package (Latin-1).
TEST_F(TextTexture, RendersOnlyWhenTheTextChangesCentredAtHalfTheSpareWidthTruncated) {
    FontTexture* text = add_font_texture(demo, 24, 512, 64, true);
    TTF_Font* font = text->font.object->ttf_font;
    ASSERT_NE(font, nullptr);
    const char* latin1 = "Gr\xFC\xDF\x65";
    // Nothing shown yet, rendered, the same text, both encodings, cleared, the same again.
    const std::tuple<const char*, const char*, unsigned> steps[] = {
        {"", "", 0},         {"Demo", "Demo", 1},
        {"Demo", "Demo", 1}, {"Gr\xC3\xBC\xC3\x9F\x65", latin1, 2},
        {latin1, latin1, 3}, {"", "", 4},
        {"", "", 4}};
    for (const auto& [shown, reference, renders] : steps) {
        set_text(*text, shown);
        SCOPED_TRACE(shown);
        EXPECT_EQ(text->render_count, renders);
        EXPECT_EQ(text->text, shown);
        const std::vector<uint8_t> bytes = read_texture(text->texture_id, 512, 64);
        if (*shown == 0) {
            EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0),
                      static_cast<ptrdiff_t>(bytes.size()));
            continue;
        }
        SDL_Surface* ref = reference_rendering(font, reference, 512);
        ASSERT_NE(ref, nullptr);
        EXPECT_EQ(mismatches(bytes, 512, 64, *ref, (512 - ref->w) / 2), 0) << ref->w << " wide";
        SDL_FreeSurface(ref);
    }
}

}  // namespace
}  // namespace demo::gl_test
