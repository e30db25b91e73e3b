// Image textures decoded from image bytes written here byte by byte, read back from the GPU.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "test_support/gl_fixture.h"
#include "test_support/image_bytes.h"

namespace demo::gl_test {
namespace {

using image_test::png;

using TextureDecode = GlTest;

// Images are sized from their header before decoding: too large for a texture or for what the
// package may still unpack, they are named and not decoded. Decoded: RGBA, alpha-scaled colours.
TEST_F(TextureDecode, ImagesBecomeRgbaTexturesOrTextureZeroWithinTheirLimits) {
    // A 1 x 1 screen whose first frame claims 30000 x 30000.
    const std::vector<uint8_t> gif = {'G',  'I',  'F',  '8',  '9',  'a', 1, 0,   1,
                                      0,    0,    0,    0,    0x2C, 0,   0, 0,   0,
                                      0x30, 0x75, 0x30, 0x75, 0,    2,   0, 0x3B};
    const auto grey = [](int w, int h) {
        return png(w, h, 8, 0, std::vector<std::vector<uint8_t>>(h, std::vector<uint8_t>(w, 200)));
    };
    const std::vector<uint8_t> palette = {255, 0,  0,  0,   255, 0,  0, 0, 255,
                                          10,  20, 30, 200, 100, 50, 1, 2, 3};
    const std::vector<Rgba> paletted = {{255, 0, 0},  {0, 255, 0},    {0, 0, 255},
                                        {10, 20, 30}, {200, 100, 50}, {1, 2, 3}};
    // Half-transparent (colours times 128 / 255), opaque and fully transparent pixels.
    const auto rgba = png(3, 1, 8, 6, {{200, 100, 50, 128, 10, 20, 30, 255, 200, 100, 50, 0}});
    const std::vector<Rgba> scaled = {{100, 50, 25, 128}, {10, 20, 30}, {0, 0, 0, 0}};
    std::vector<uint8_t> cut = png(2, 2, 8, 2, {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}});
    cut.resize(33);  // cut short after its header
    struct Case {
        const char* label;
        std::vector<uint8_t> bytes;
        uint64_t package_size;     // none when 0; the budget is 256 bytes per byte (no allowance)
        int width, height;         // 0 when refused
        std::vector<Rgba> texels;  // row by row
    };
    const Case cases[] = {
        {"palette png", png(3, 2, 8, 3, {{0, 1, 2}, {3, 4, 5}}, palette), 0, 3, 2, paletted},
        {"rgba png", rgba, 0, 3, 1, scaled},
        {"not an image", {'n', 'o', ' ', 'i', 'm', 'a', 'g', 'e'}, 0, 0, 0, {}},
        {"cut png", cut, 0, 0, 0, {}},
        {"no bytes", {}, 0, 0, 0, {}},
        {"bmp 30000 x 30000", image_test::bmp_header(30000, 30000), 1 << 20, 0, 0, {}},
        {"gif frame 30000 x 30000", gif, 1 << 20, 0, 0, {}},
        {"png 16385 x 1", grey(16385, 1), 1 << 20, 0, 0, {}},
        {"png 1 x 16385", grey(1, 16385), 1 << 20, 0, 0, {}},
        {"png 8 x 8 in 256 bytes", grey(8, 8), 1, 8, 8, {{200, 200, 200}}},
        {"png 9 x 8 in 256 bytes", grey(9, 8), 1, 0, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        const std::vector<uint8_t> package(c.package_size);
        InputStream in(package.data(), package.size(), 0);
        Texture texture;
        texture.name = c.label;
        texture.image_buffer = std::make_unique<ByteBuffer>(c.bytes.data(), c.bytes.size());
        testing::internal::CaptureStdout();
        decode_texture(texture, c.package_size != 0 ? &in : nullptr);
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(std::make_pair(texture.width, texture.height), std::make_pair(c.width, c.height));
        EXPECT_EQ(texture.texture_id != 0, c.width != 0);
        if (c.width != 0) {
            EXPECT_EQ(texture_size(texture.texture_id), std::make_pair(c.width, c.height));
            const std::vector<uint8_t> bytes = read_texture(texture.texture_id, c.width, c.height);
            for (size_t i = 0; i < c.texels.size(); ++i) {
                const Rgba t = texel(bytes, c.width, static_cast<int>(i) % c.width,
                                     static_cast<int>(i) / c.width);
                EXPECT_TRUE(rgb_near(t, c.texels[i], 1, true)) << "texel " << i;
            }
        }
        if (c.package_size != 0) {
            EXPECT_EQ(out.find(std::string("Texture ") + c.label + " is not decoded"),
                      c.width != 0 ? std::string::npos : 0u)
                << out;
            // A decoded image's RGBA bytes are charged: all 256 of them here.
            EXPECT_EQ(in.unpack_budget(), c.width != 0 ? 0u : 256u * c.package_size);
        }
    }
}

}  // namespace
}  // namespace demo::gl_test
