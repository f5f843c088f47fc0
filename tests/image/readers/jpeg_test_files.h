#pragma once

// Test JPEG files written with the library's compression side.
#include <jpeglib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace kalder::image::jpegtest {

struct JpegOptions {
    int quality = 90;
    bool progressive = false;
    int restartRows = 0;
    J_COLOR_SPACE space = JCS_RGB;  // JCS_RGB, JCS_GRAYSCALE, JCS_CMYK or JCS_YCCK (from CMYK)
    int lumaH = 2, lumaV = 2;
    int densityUnit = 0, xDensity = 1, yDensity = 1;
    std::vector<std::pair<int, std::vector<std::uint8_t>>> markers{};
    std::vector<std::uint8_t> icc{};
    const std::vector<std::uint8_t>* pixels = nullptr;  // instead of the pattern
    bool arithmetic = false;
    bool rgbCoded = false;       // red, green, blue stored as they are (an Adobe marker says so)
    bool separateScans = false;  // one sequential scan per colour component
};

// A smooth picture with some detail: red across, green down, a checker in blue.
inline std::vector<std::uint8_t> pattern(int w, int h, int components) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(w) * h * components);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            std::uint8_t* px = &p[(static_cast<std::size_t>(y) * w + x) * components];
            const std::uint8_t v[4] = {static_cast<std::uint8_t>(x * 255 / std::max(1, w - 1)),
                                       static_cast<std::uint8_t>(y * 255 / std::max(1, h - 1)),
                                       static_cast<std::uint8_t>(((x / 8 + y / 8) & 1) ? 200 : 40),
                                       static_cast<std::uint8_t>((x + y) & 0xff)};
            for (int c = 0; c < components; ++c) px[c] = v[c];
        }
    return p;
}

inline std::vector<std::uint8_t> encodeJpeg(int w, int h, const JpegOptions& o) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buffer, &size);
    c.image_width = static_cast<JDIMENSION>(w);
    c.image_height = static_cast<JDIMENSION>(h);
    const bool cmyk = o.space == JCS_CMYK || o.space == JCS_YCCK;
    c.input_components = o.space == JCS_GRAYSCALE ? 1 : cmyk ? 4 : 3;
    c.in_color_space = cmyk ? JCS_CMYK : o.space;
    jpeg_set_defaults(&c);
    if (cmyk) jpeg_set_colorspace(&c, o.space);
    jpeg_set_quality(&c, o.quality, TRUE);
    if (o.space == JCS_RGB || o.space == JCS_YCCK) {
        c.comp_info[0].h_samp_factor = o.lumaH;
        c.comp_info[0].v_samp_factor = o.lumaV;
        if (o.space == JCS_YCCK) {
            c.comp_info[3].h_samp_factor = o.lumaH;
            c.comp_info[3].v_samp_factor = o.lumaV;
        }
    }
    if (o.progressive) jpeg_simple_progression(&c);
    if (o.rgbCoded) jpeg_set_colorspace(&c, JCS_RGB);
    c.arith_code = o.arithmetic ? TRUE : FALSE;
    static const jpeg_scan_info kSeparate[3] = {
        {1, {0}, 0, 63, 0, 0}, {1, {1}, 0, 63, 0, 0}, {1, {2}, 0, 63, 0, 0}};
    if (o.separateScans) {
        c.scan_info = kSeparate;
        c.num_scans = 3;
    }
    c.restart_in_rows = o.restartRows;
    c.density_unit = static_cast<UINT8>(o.densityUnit);
    c.X_density = static_cast<UINT16>(o.xDensity);
    c.Y_density = static_cast<UINT16>(o.yDensity);
    jpeg_start_compress(&c, TRUE);
    for (const auto& [marker, data] : o.markers)
        jpeg_write_marker(&c, marker, data.data(), static_cast<unsigned int>(data.size()));
    if (!o.icc.empty())
        jpeg_write_icc_profile(&c, o.icc.data(), static_cast<unsigned int>(o.icc.size()));
    const auto pixels = o.pixels ? *o.pixels : pattern(w, h, c.input_components);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(
            &pixels[static_cast<std::size_t>(c.next_scanline) * w * c.input_components]);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

}  // namespace kalder::image::jpegtest
