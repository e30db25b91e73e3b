// Image textures decoded from PNG bytes written here byte by byte, and blank textures. The
// texture contents are read back from the GPU.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "render/gl_fixture.h"

namespace demo {
namespace {

using gl_test::GlTest;
using gl_test::read_texture;
using gl_test::Rgba;
using gl_test::rgba_near;
using gl_test::texel;

// ---------------------------------------------------------------------------------------------
// A minimal PNG writer: one IDAT holding a zlib stream of stored (uncompressed) blocks.
// ---------------------------------------------------------------------------------------------

uint32_t crc32(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void put_u32_be(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

void put_chunk(std::vector<uint8_t>& png, const char type[4], const std::vector<uint8_t>& data) {
    put_u32_be(png, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), data.begin(), data.end());
    png.insert(png.end(), typed.begin(), typed.end());
    put_u32_be(png, crc32(typed.data(), typed.size()));
}

std::vector<uint8_t> zlib_stored(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> out = {0x78, 0x01};
    size_t at = 0;
    do {
        const size_t n = std::min<size_t>(raw.size() - at, 65535);
        const bool last = at + n == raw.size();
        out.push_back(last ? 1 : 0);
        out.push_back(static_cast<uint8_t>(n));
        out.push_back(static_cast<uint8_t>(n >> 8));
        out.push_back(static_cast<uint8_t>(~n));
        out.push_back(static_cast<uint8_t>(~n >> 8));
        out.insert(out.end(), raw.begin() + at, raw.begin() + at + n);
        at += n;
    } while (at < raw.size());
    uint32_t a = 1;
    uint32_t b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put_u32_be(out, (b << 16) | a);
    return out;
}

// `rows` are the unfiltered scanlines (bytes per pixel as the colour type needs).
std::vector<uint8_t> png(int width, int height, uint8_t colour_type,
                         const std::vector<std::vector<uint8_t>>& rows,
                         const std::vector<uint8_t>& palette = {}) {
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put_u32_be(header, static_cast<uint32_t>(width));
    put_u32_be(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, colour_type, 0, 0, 0});  // depth 8, no interlace
    put_chunk(file, "IHDR", header);
    if (!palette.empty())
        put_chunk(file, "PLTE", palette);
    std::vector<uint8_t> raw;
    for (const auto& row : rows) {
        raw.push_back(0);  // filter: none
        raw.insert(raw.end(), row.begin(), row.end());
    }
    put_chunk(file, "IDAT", zlib_stored(raw));
    put_chunk(file, "IEND", {});
    return file;
}

Texture decoded(const std::vector<uint8_t>& bytes) {
    Texture texture;
    texture.name = "image.png";
    texture.image_buffer = std::make_unique<ByteBuffer>(bytes.data(), bytes.size());
    decode_texture(texture);
    return texture;
}

class TextureDecode : public GlTest {};

TEST_F(TextureDecode, PalettePngBecomesOpaqueRgbaTopRowFirst) {
    const std::array<Rgba, 6> colours = {Rgba{255, 0, 0},  Rgba{0, 255, 0},    Rgba{0, 0, 255},
                                         Rgba{10, 20, 30}, Rgba{200, 100, 50}, Rgba{1, 2, 3}};
    std::vector<uint8_t> palette;
    for (const Rgba& c : colours) {
        palette.insert(palette.end(), {static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g),
                                       static_cast<uint8_t>(c.b)});
    }
    // Top row: entries 0, 1, 2; bottom row: 3, 4, 5.
    Texture texture = decoded(png(3, 2, 3, {{0, 1, 2}, {3, 4, 5}}, palette));
    ASSERT_NE(texture.texture_id, 0u);
    EXPECT_EQ(texture.width, 3);
    EXPECT_EQ(texture.height, 2);
    EXPECT_EQ(gl_test::texture_size(texture.texture_id), std::make_pair(3, 2));
    const std::vector<uint8_t> bytes = read_texture(texture.texture_id, 3, 2);
    for (int i = 0; i < 6; ++i) {
        EXPECT_TRUE(rgba_near(texel(bytes, 3, i % 3, i / 3), colours[i], 0)) << "pixel " << i;
    }
}

TEST_F(TextureDecode, RgbaPngColoursAreScaledByTheirAlpha) {
    // Half-transparent, opaque and fully transparent pixels.
    Texture texture =
        decoded(png(3, 1, 6, {{200, 100, 50, 128, 10, 20, 30, 255, 200, 100, 50, 0}}));
    ASSERT_NE(texture.texture_id, 0u);
    const std::vector<uint8_t> bytes = read_texture(texture.texture_id, 3, 1);
    EXPECT_TRUE(rgba_near(texel(bytes, 3, 0, 0),
                          Rgba{200 * 128 / 255, 100 * 128 / 255, 50 * 128 / 255, 128}, 1));
    EXPECT_TRUE(rgba_near(texel(bytes, 3, 1, 0), Rgba{10, 20, 30, 255}, 0));
    EXPECT_TRUE(rgba_near(texel(bytes, 3, 2, 0), Rgba{0, 0, 0, 0}, 0));
}

TEST_F(TextureDecode, BytesThatAreNoImageGiveTextureZeroAndNoSize) {
    const std::string text = "this is not an image at all";
    Texture garbage = decoded(std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(garbage.texture_id, 0u);
    EXPECT_EQ(garbage.width, 0);
    EXPECT_EQ(garbage.height, 0);

    // A PNG cut short after its header.
    std::vector<uint8_t> cut = png(2, 2, 2, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
    cut.resize(33);
    Texture truncated = decoded(cut);
    EXPECT_EQ(truncated.texture_id, 0u);
    EXPECT_EQ(truncated.width, 0);
    EXPECT_EQ(truncated.height, 0);

    Texture empty = decoded({});
    EXPECT_EQ(empty.texture_id, 0u);
    EXPECT_EQ(empty.width, 0);
}

TEST_F(TextureDecode, BlankTextureIsNamedFromItsAddressAndStartsAtZero) {
    auto blank = create_blank_texture(1024, 2);
    char expected[64];
    std::snprintf(expected, sizeof expected, "Texture %p (%d x %d)",
                  static_cast<void*>(blank.get()), 1024, 2);
    EXPECT_EQ(blank->name, expected);
    EXPECT_EQ(blank->width, 1024);
    EXPECT_EQ(blank->height, 2);
    EXPECT_EQ(blank->image_buffer, nullptr);
    ASSERT_NE(blank->texture_id, 0u);
    EXPECT_EQ(gl_test::texture_size(blank->texture_id), std::make_pair(1024, 2));
    const std::vector<uint8_t> bytes = read_texture(blank->texture_id, 1024, 2);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), 0), static_cast<long>(bytes.size()));
}

// Images are sized from their header before any decoder runs: one larger than a texture can
// be, or whose RGBA bytes exceed what the package may still unpack, is named and not decoded.
TEST_F(TextureDecode, ImagesBeyondTheLimitsAreNotDecoded) {
    std::vector<uint8_t> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0};
    for (uint32_t v : {30000u, 30000u, 0x00180001u, 0u, 0u, 0u, 0u, 0u, 0u})  // w, h, planes+bpp
        bmp.insert(bmp.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    // A 1 x 1 screen whose first frame claims 30000 x 30000.
    const std::vector<uint8_t> gif = {'G',  'I',  'F',  '8',  '9',  'a', 1, 0,   1,
                                      0,    0,    0,    0,    0x2C, 0,   0, 0,   0,
                                      0x30, 0x75, 0x30, 0x75, 0,    2,   0, 0x3B};
    const auto grey = [](int w, int h) {
        return png(w, h, 0, std::vector<std::vector<uint8_t>>(h, std::vector<uint8_t>(w, 200)));
    };
    struct Case {
        const char* label;
        std::vector<uint8_t> bytes;
        uint64_t package_size;  // the package budget is 256 bytes per byte (no allowance)
        int decoded_width;      // 0 when refused
    };
    for (const Case& c : {Case{"bmp 30000 x 30000", bmp, 1 << 20, 0},
                          Case{"gif frame 30000 x 30000", gif, 1 << 20, 0},
                          Case{"png 16385 x 1", grey(16385, 1), 1 << 20, 0},
                          Case{"png 8 x 8 in 256 bytes", grey(8, 8), 1, 8},
                          Case{"png 9 x 8 in 256 bytes", grey(9, 8), 1, 0}}) {
        SCOPED_TRACE(c.label);
        const std::vector<uint8_t> package(c.package_size);
        InputStream in(package.data(), package.size(), 0);
        Texture texture;
        texture.name = c.label;
        texture.image_buffer = std::make_unique<ByteBuffer>(c.bytes.data(), c.bytes.size());
        testing::internal::CaptureStdout();
        decode_texture(texture, &in);
        std::fflush(stdout);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(texture.width, c.decoded_width);
        EXPECT_EQ(texture.texture_id != 0, c.decoded_width != 0);
        EXPECT_EQ(out.find(std::string("Texture ") + c.label + " is not decoded"),
                  c.decoded_width != 0 ? std::string::npos : 0u)
            << out;
        // A decoded image's RGBA bytes are charged: all 256 of them here.
        EXPECT_EQ(in.unpack_budget(), c.decoded_width != 0 ? 0u : 256u * c.package_size);
    }
}

}  // namespace
}  // namespace demo
