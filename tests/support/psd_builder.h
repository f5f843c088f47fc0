#pragma once

// Photoshop documents built from bytes for the tests: a header, optional layers with their
// channels (raw or PackBits) and the merged image.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image/image_page.h"
#include "support/test_support.h"

namespace kalder::test {

using Plane = std::vector<std::uint8_t>;
using image::Palette;

struct LayerShape {
    LayerShape(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b,
               std::vector<std::pair<std::int16_t, Plane>> c, std::uint8_t o = 255,
               std::uint8_t f = 0, std::string n = "layer")
        : left(l),
          top(t),
          right(r),
          bottom(b),
          channels(std::move(c)),
          opacity(o),
          flags(f),
          name(std::move(n)) {}
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::vector<std::pair<std::int16_t, Plane>> channels;
    std::uint8_t opacity = 255;
    std::uint8_t flags = 0;
    std::string name = "layer";
    std::u16string unicodeName;  // a "luni" block when not empty
    bool rle = false;
    std::vector<std::uint8_t> maskData;  // the layer-mask block of the extra data
};

struct DocShape {
    DocShape(int m, int d, int c, int w, int h)
        : mode(m), depth(d), channels(c), width(w), height(h) {}
    int mode = 3;
    int depth = 8;
    int channels = 3;
    int width = 6;
    int height = 4;
    std::vector<Plane> merged;  // per channel, stored bytes of every row
    bool mergedRle = false;
    std::vector<LayerShape> layers;
    bool negativeCount = false;
    bool layersTagged = false;              // in an "Lr16" block, as 16-bit documents keep them
    std::vector<std::uint8_t> iccResource;  // image resource 1039 when not empty
};

inline Bytes packRow(const std::uint8_t* row, std::size_t n) {
    Bytes out;
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && run < 128 && row[i + run] == row[i]) ++run;
        if (run >= 2) {
            out.u8(static_cast<std::uint8_t>(1 - static_cast<int>(run))).u8(row[i]);
            i += run;
        } else {
            std::size_t lit = 1;
            while (i + lit < n && lit < 128 &&
                   !(i + lit + 1 < n && row[i + lit] == row[i + lit + 1]))
                ++lit;
            out.u8(static_cast<std::uint8_t>(lit - 1));
            for (std::size_t k = 0; k < lit; ++k) out.u8(row[i + k]);
            i += lit;
        }
    }
    return out;
}

// One channel's data: compression word, then raw rows or row counts and packed rows.
inline Bytes channelData(const Plane& plane, std::size_t rowBytes, std::size_t rows, bool rle) {
    Bytes b;
    b.u16be(rle ? 1 : 0);
    if (!rle) return b.append(plane);
    std::vector<Bytes> packed;
    for (std::size_t y = 0; y < rows; ++y)
        packed.push_back(packRow(plane.data() + y * rowBytes, rowBytes));
    for (const auto& p : packed) b.u16be(static_cast<std::uint32_t>(p.size()));
    for (const auto& p : packed) b.append(p.data);
    return b;
}

inline std::vector<std::uint8_t> makePsd(const DocShape& d, const Palette* palette = nullptr) {
    Bytes b;
    b.str("8BPS").u16be(1).fill(6, 0).u16be(d.channels).u32be(d.height).u32be(d.width);
    b.u16be(d.depth).u16be(d.mode);
    if (palette) {
        b.u32be(768);
        for (int c = 0; c < 3; ++c)
            for (int i = 0; i < 256; ++i) b.u8((*palette)[i * 3 + c]);
    } else {
        b.u32be(0);
    }
    Bytes resources;
    if (!d.iccResource.empty()) {
        resources.str("8BIM").u16be(1039).u16be(0).u32be(
            static_cast<std::uint32_t>(d.iccResource.size()));
        resources.append(d.iccResource);
        if (d.iccResource.size() & 1) resources.u8(0);
    }
    b.u32be(static_cast<std::uint32_t>(resources.size())).append(resources.data);
    Bytes section;
    if (!d.layers.empty()) {
        Bytes info;
        const int count = static_cast<int>(d.layers.size());
        info.u16be(d.negativeCount ? static_cast<std::uint16_t>(-count) : count);
        std::vector<std::vector<Bytes>> data;
        for (const auto& l : d.layers) {
            std::vector<Bytes> channels;
            for (const auto& [id, plane] : l.channels) {
                const bool isMask = id == -2;
                // Mask rectangle: top, left, bottom, right (small values: low bytes only).
                const std::size_t w = isMask ? l.maskData[15] - l.maskData[7] : l.right - l.left;
                const std::size_t h = isMask ? l.maskData[11] - l.maskData[3] : l.bottom - l.top;
                channels.push_back(channelData(plane, isMask ? w : w * d.depth / 8, h, l.rle));
            }
            info.u32be(l.top).u32be(l.left).u32be(l.bottom).u32be(l.right).u16be(
                static_cast<std::uint32_t>(l.channels.size()));
            for (std::size_t c = 0; c < l.channels.size(); ++c)
                info.u16be(static_cast<std::uint16_t>(l.channels[c].first))
                    .u32be(static_cast<std::uint32_t>(channels[c].size()));
            info.str("8BIMnorm").u8(l.opacity).u8(0).u8(l.flags).u8(0);
            Bytes extra;
            extra.u32be(static_cast<std::uint32_t>(l.maskData.size())).append(l.maskData);
            extra.u32be(0);
            extra.u8(static_cast<std::uint32_t>(l.name.size())).str(l.name);
            while ((extra.size() - 8 - l.maskData.size()) % 4) extra.u8(0);
            if (!l.unicodeName.empty()) {
                Bytes units;
                units.u32be(static_cast<std::uint32_t>(l.unicodeName.size()));
                for (char16_t u : l.unicodeName) units.u16be(u);
                while (units.size() % 4) units.u8(0);
                extra.str("8BIMluni")
                    .u32be(static_cast<std::uint32_t>(units.size()))
                    .append(units.data);
            }
            info.u32be(static_cast<std::uint32_t>(extra.size())).append(extra.data);
            data.push_back(std::move(channels));
        }
        for (const auto& channels : data)
            for (const auto& c : channels) info.append(c.data);
        if (d.layersTagged) {
            while (info.size() % 4) info.u8(0);
            section.u32be(0).u32be(0);  // empty layer info, empty global mask information
            section.str("8BIMLr16")
                .u32be(static_cast<std::uint32_t>(info.size()))
                .append(info.data);
        } else {
            section.u32be(static_cast<std::uint32_t>(info.size())).append(info.data);
        }
    }
    b.u32be(static_cast<std::uint32_t>(section.size())).append(section.data);
    // The merged image.
    const std::size_t rowBytes =
        d.mode == 0 ? (d.width + 7) / 8 : static_cast<std::size_t>(d.width) * d.depth / 8;
    b.u16be(d.mergedRle ? 1 : 0);
    if (!d.mergedRle) {
        for (const auto& p : d.merged) b.append(p);
    } else {
        std::vector<Bytes> packed;
        for (const auto& p : d.merged)
            for (int y = 0; y < d.height; ++y)
                packed.push_back(packRow(p.data() + y * rowBytes, rowBytes));
        for (const auto& p : packed) b.u16be(static_cast<std::uint32_t>(p.size()));
        for (const auto& p : packed) b.append(p.data);
    }
    return b.data;
}

}  // namespace kalder::test
