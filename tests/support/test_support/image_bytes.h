// Test images written byte by byte: PNGs (one stored zlib block) and BMP headers.
#pragma once

#include <cstdint>
#include <vector>

namespace demo::image_test {

inline void put_u32_be(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(v >> shift));
}

// A chunk: length, type, data and the CRC-32 of type and data.
inline void put_chunk(std::vector<uint8_t>& png, const char type[4],
                      const std::vector<uint8_t>& data) {
    put_u32_be(png, static_cast<uint32_t>(data.size()));
    const size_t typed = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    uint32_t crc = ~0u;
    for (size_t i = typed; i < png.size(); ++i) {
        crc ^= png[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    put_u32_be(png, ~crc);
}

// A PNG of `rows`, the unfiltered scanlines (bytes per pixel as depth and colour type need).
inline std::vector<uint8_t> png(int width, int height, uint8_t depth, uint8_t colour_type,
                                const std::vector<std::vector<uint8_t>>& rows,
                                const std::vector<uint8_t>& palette = {}) {
    std::vector<uint8_t> file = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put_u32_be(header, static_cast<uint32_t>(width));
    put_u32_be(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {depth, colour_type, 0, 0, 0});  // no interlace
    put_chunk(file, "IHDR", header);
    if (!palette.empty())
        put_chunk(file, "PLTE", palette);
    std::vector<uint8_t> raw;
    for (const auto& row : rows) {
        raw.push_back(0);  // filter: none
        raw.insert(raw.end(), row.begin(), row.end());
    }
    // One final stored block, length and its complement: the test images stay under 64 KiB.
    const size_t n = raw.size();
    std::vector<uint8_t> zlib = {
        0x78, 0x01, 1, uint8_t(n), uint8_t(n >> 8), uint8_t(~n), uint8_t(~n >> 8)};
    zlib.insert(zlib.end(), raw.begin(), raw.end());
    uint32_t a = 1, b = 0;  // Adler-32
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    put_u32_be(zlib, (b << 16) | a);
    put_chunk(file, "IDAT", zlib);
    put_chunk(file, "IEND", {});
    return file;
}

// A BMP header (24 bits per pixel) that claims `width` x `height` pixels, followed by nothing.
inline std::vector<uint8_t> bmp_header(uint32_t width, uint32_t height) {
    std::vector<uint8_t> bmp = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0};
    for (uint32_t v : {width, height, 0x00180001u, 0u, 0u, 0u, 0u, 0u, 0u})  // planes and bpp
        bmp.insert(bmp.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)});
    return bmp;
}

}  // namespace demo::image_test
