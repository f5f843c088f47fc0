#pragma once

// JPEG files and Exif blocks for the lossless-transform tests, made by the codec module and
// assembled byte by byte.

#include <cstdint>
#include <string>
#include <vector>

#include "cdx/cdx_api.h"
#include "image/cdx_loader.h"
#include "support/test_support.h"

namespace kalder::test::jpeg {

// A w x h RGB JPEG with 2x2 sampled chroma (or 1x1) and a pattern that differs everywhere, so
// a wrong block position shows. Empty when the codec module is missing.
inline std::vector<std::uint8_t> makeJpeg(std::uint32_t w, std::uint32_t h,
                                          bool subsampled = true) {
    const CdxJpegApi* api = image::cdx::jpegApi(image::cdx::Group::Writers);
    if (!api) return {};
    struct Sink {
        std::uint32_t width;
        std::vector<std::uint8_t> out;
    } sink{w, {}};
    CdxJpegOptions o{};
    o.width = w;
    o.height = h;
    o.components = 3;
    o.quality = 90;
    o.sampling = subsampled ? 1 : 0;
    auto rows = [](void* user, std::uint32_t y, std::uint32_t, std::uint8_t* out) -> int {
        const auto* s = static_cast<Sink*>(user);
        for (std::uint32_t x = 0; x < s->width; ++x) {
            out[3 * x] = static_cast<std::uint8_t>(x * 255 / s->width);
            out[3 * x + 1] = static_cast<std::uint8_t>((x / 5 * 37) ^ (y / 3 * 11));
            out[3 * x + 2] = static_cast<std::uint8_t>(y * 3 + x / 7);
        }
        return 0;
    };
    auto bytes = [](void* user, const std::uint8_t* data, std::size_t size) -> int {
        auto* s = static_cast<Sink*>(user);
        s->out.insert(s->out.end(), data, data + size);
        return 0;
    };
    CdxMessage message{};
    if (api->compress(&o, rows, bytes, &sink, &message) != CDX_OK) return {};
    return sink.out;
}

inline std::vector<std::uint8_t> segment(std::uint8_t marker,
                                         const std::vector<std::uint8_t>& payload) {
    Bytes b;
    b.u8(0xFF).u8(marker).u16be(static_cast<std::uint32_t>(payload.size() + 2)).append(payload);
    return b.data;
}

// The stream with the segments put right after its SOI.
inline std::vector<std::uint8_t> withSegments(
    std::vector<std::uint8_t> jpeg, const std::vector<std::vector<std::uint8_t>>& segments) {
    std::vector<std::uint8_t> extra;
    for (const auto& s : segments) extra.insert(extra.end(), s.begin(), s.end());
    jpeg.insert(jpeg.begin() + 2, extra.begin(), extra.end());
    return jpeg;
}

struct ExifSpec {
    bool littleEndian = true;
    std::uint16_t orientationType = 3;  // SHORT
    std::uint32_t orientationCount = 1;
    std::uint32_t orientation = 1;
    std::uint32_t pixelX = 0, pixelY = 0;  // 0: no Exif directory
    std::vector<std::uint8_t> thumbnail;   // empty: no thumbnail directory
};

// An APP1 payload: "Exif\0\0", then IFD0 (Orientation, Exif pointer), the Exif directory
// (PixelXDimension, PixelYDimension), IFD1 (JPEG thumbnail) and the thumbnail's bytes.
inline std::vector<std::uint8_t> exifPayload(const ExifSpec& s) {
    Bytes b;
    const bool le = s.littleEndian;
    auto u16 = [&](std::uint32_t v) { le ? b.u16le(v) : b.u16be(v); };
    auto u32 = [&](std::uint32_t v) { le ? b.u32le(v) : b.u32be(v); };
    // An inline value in the 4-byte field: SHORTs sit in its first bytes.
    auto entry = [&](std::uint16_t tag, std::uint16_t type, std::uint32_t count, std::uint32_t v) {
        u16(tag);
        u16(type);
        u32(count);
        if (type == 3) {
            u16(v);
            u16(count > 1 ? v : 0);
        } else {
            u32(v);
        }
    };
    const bool exifDir = s.pixelX != 0;
    const bool ifd1 = !s.thumbnail.empty();
    const std::uint32_t ifd0Size = 2 + 12 * (exifDir ? 2 : 1) + 4;
    const std::uint32_t exifAt = 8 + ifd0Size;
    const std::uint32_t exifSize = exifDir ? 2 + 12 * 2 + 4 : 0;
    const std::uint32_t ifd1At = exifAt + exifSize;
    const std::uint32_t thumbAt = ifd1At + 2 + 12 * 3 + 4;
    b.str("Exif").u8(0).u8(0);
    b.str(le ? "II" : "MM");
    u16(42);
    u32(8);
    u16(exifDir ? 2 : 1);
    entry(0x0112, s.orientationType, s.orientationCount, s.orientation);
    if (exifDir) entry(0x8769, 4, 1, exifAt);
    u32(ifd1 ? ifd1At : 0);
    if (exifDir) {
        u16(2);
        entry(0xA002, 3, 1, s.pixelX);
        entry(0xA003, 4, 1, s.pixelY);  // LONG on purpose: both types occur
        u32(0);
    }
    if (ifd1) {
        u16(3);
        entry(0x0103, 3, 1, 6);
        entry(0x0201, 4, 1, thumbAt);
        entry(0x0202, 4, 1, static_cast<std::uint32_t>(s.thumbnail.size()));
        u32(0);
        b.append(s.thumbnail);
    }
    return b.data;
}

// A 64 x 32 picture stored sideways, with Exif Orientation 6 (and the given Exif thumbnail):
// upright it is 32 x 64. Empty when the JPEG codec is missing.
inline std::vector<std::uint8_t> sidewaysPhoto(std::vector<std::uint8_t> thumbnail = {}) {
    const auto landscape = makeJpeg(64, 32);
    if (landscape.empty()) return {};
    ExifSpec six;
    six.orientation = 6;
    six.thumbnail = std::move(thumbnail);
    return withSegments(landscape, {segment(0xE1, exifPayload(six))});
}

}  // namespace kalder::test::jpeg
