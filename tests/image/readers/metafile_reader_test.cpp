#include "image/readers/metafile_reader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "image/format_table.h"
#include "image/image_document.h"
#include "image/image_reader.h"
#include "image/sinks.h"
#include "support/test_support.h"

using namespace kalder::image;
using kalder::test::Bytes;
using kalder::test::RgbImage;
using kalder::test::TempDir;
using kalder::test::writeFile;

namespace {

constexpr std::uint32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kBlack = 0,
                        kWhite = 0xFFFFFF;

// ---- record builders ----

// A 16-bit metafile: records of 16-bit words, written after the standard header.
struct Wmf {
    Bytes body;
    std::uint32_t objects = 16;
    std::uint32_t largest = 3;

    Wmf& rec(std::uint16_t function, std::initializer_list<int> words) {
        return raw(function, [&](Bytes& b) {
            for (int w : words) b.u16le(static_cast<std::uint16_t>(w));
        });
    }
    Wmf& raw(std::uint16_t function, const std::function<void(Bytes&)>& params) {
        Bytes p;
        params(p);
        if (p.size() & 1) p.u8(0);
        const std::uint32_t words = 3 + static_cast<std::uint32_t>(p.size() / 2);
        largest = std::max(largest, words);
        body.u32le(words).u16le(function).append(p.data);
        return *this;
    }
    // Handy records.
    Wmf& brush(std::uint32_t colour, int style = 0, int hatch = 0) {
        return raw(0x02FC, [&](Bytes& b) { b.u16le(style).u32le(colour).u16le(hatch); });
    }
    Wmf& pen(std::uint32_t colour, int width = 0, int style = 0) {
        return raw(0x02FA, [&](Bytes& b) { b.u16le(style).u16le(width).u16le(0).u32le(colour); });
    }
    Wmf& select(int index) { return rec(0x012D, {index}); }
    Wmf& window(int x0, int y0, int w, int h) { return rec(0x020B, {y0, x0}).rec(0x020C, {h, w}); }
    Wmf& rectangle(int l, int t, int r, int b) { return rec(0x041B, {b, r, t, l}); }
    Wmf& nullPen() { return pen(0, 0, 5); }

    std::vector<std::uint8_t> build(bool placeable = false, int boxW = 100, int boxH = 100) const {
        Bytes out;
        if (placeable) {
            Bytes h;
            h.u32le(0x9AC6CDD7)
                .u16le(0)
                .u16le(0)
                .u16le(0)
                .u16le(boxW)
                .u16le(boxH)
                .u16le(1440)
                .u32le(0);
            std::uint16_t sum = 0;
            for (std::size_t i = 0; i + 1 < h.size(); i += 2)
                sum ^= h.data[i] | (h.data[i + 1] << 8);
            h.u16le(sum);
            out.append(h.data);
        }
        const std::uint32_t words =
            9 + static_cast<std::uint32_t>(body.size() / 2) + 3;  // size is not checked
        out.u16le(1).u16le(9).u16le(0x300).u32le(words).u16le(objects).u32le(largest).u16le(0);
        out.append(body.data);
        // Detection reads 100 bytes: small test files get a harmless escape record.
        if (out.size() + 6 < 100 + 22) {
            const std::size_t pad = (100 + 22 - out.size()) / 2 * 2;
            out.u32le(static_cast<std::uint32_t>(3 + pad / 2)).u16le(0x0626).fill(pad, 0);
        }
        out.u32le(3).u16le(0);
        return out.data;
    }
};

// An enhanced metafile: 32-bit records after a header whose frame we choose.
struct Emf {
    Bytes body;
    std::uint32_t count = 0;
    std::vector<std::int32_t> bounds{0, 0, 99, 99};
    std::vector<std::int32_t> frame{0, 0, 2645, 2645};  // 100 pixels at 96 dpi
    std::u16string description;

    Emf& rec(std::uint32_t type, std::initializer_list<std::int64_t> values) {
        return raw(type, [&](Bytes& b) {
            for (auto v : values) b.u32le(static_cast<std::uint32_t>(v));
        });
    }
    Emf& raw(std::uint32_t type, const std::function<void(Bytes&)>& params) {
        Bytes p;
        params(p);
        while (p.size() % 4) p.u8(0);
        body.u32le(type).u32le(8 + static_cast<std::uint32_t>(p.size())).append(p.data);
        ++count;
        return *this;
    }
    Emf& brush(int index, std::uint32_t colour, int style = 0, int hatch = 0) {
        return rec(39, {index, style, colour, hatch});
    }
    Emf& select(std::int64_t index) { return rec(37, {index}); }
    Emf& nullPen() { return select(0x80000008); }

    std::vector<std::uint8_t> build() const {
        Bytes desc;
        for (char16_t c : description) desc.u16le(c);
        const std::uint32_t headerSize =
            108 + static_cast<std::uint32_t>((desc.size() + 3) / 4 * 4);
        Bytes out;
        out.u32le(1).u32le(headerSize);
        for (auto v : bounds) out.u32le(static_cast<std::uint32_t>(v));
        for (auto v : frame) out.u32le(static_cast<std::uint32_t>(v));
        out.u32le(0x464D4520).u32le(0x10000);
        const std::uint32_t total = headerSize + static_cast<std::uint32_t>(body.size()) + 20;
        out.u32le(total).u32le(count + 2).u16le(64).u16le(0);
        out.u32le(static_cast<std::uint32_t>(description.size()))
            .u32le(description.empty() ? 0 : 108);
        out.u32le(0);                    // palette entries
        out.u32le(1000).u32le(1000);     // device pixels
        out.u32le(264).u32le(264);       // device millimetres (about 96 dpi)
        out.u32le(0).u32le(0).u32le(0);  // pixel format, OpenGL
        out.u32le(0).u32le(0);           // micrometres
        out.append(desc.data);
        while (out.size() < headerSize) out.u8(0);
        out.append(body.data);
        out.u32le(14).u32le(20).u32le(0).u32le(16).u32le(20);
        return out.data;
    }
};

// A packed bottom-up 24-bit DIB of w x h pixels, colours row by row from the top.
std::vector<std::uint8_t> dib24(int w, int h, const std::vector<std::uint32_t>& topDown,
                                bool bottomUp = true) {
    Bytes b;
    b.u32le(40)
        .u32le(w)
        .u32le(bottomUp ? h : -h)
        .u16le(1)
        .u16le(24)
        .u32le(0)
        .u32le(0)
        .u32le(0)
        .u32le(0)
        .u32le(0)
        .u32le(0);
    const int stride = (w * 3 + 3) / 4 * 4;
    for (int i = 0; i < h; ++i) {
        const int y = bottomUp ? h - 1 - i : i;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t c = topDown[y * w + x];
            b.u8((c >> 16) & 0xFF).u8((c >> 8) & 0xFF).u8(c & 0xFF);
        }
        b.fill(stride - w * 3, 0);
    }
    return b.data;
}

// ---- rendering helpers ----

struct Rendered {
    bool ok = false;
    DecodeError error = DecodeError::Corrupt;
    RgbImage image;
    std::vector<std::string> comments;
};

Rendered render(const std::vector<std::uint8_t>& bytes, int w = 100, int h = 100,
                const CancelSink* cancel = nullptr, ProgressSink* progress = nullptr) {
    Rendered out;
    MetafileReader reader;
    ReaderSettings settings;
    settings.requestedWidth = w;
    settings.requestedHeight = h;
    settings.cancel = cancel;
    settings.progress = progress;
    settings.comments = &out.comments;
    auto fail = [&out](DecodeError e) {
        out.error = e;
        return out;
    };
    if (auto s = reader.openMemoryWith(bytes, settings); !s) return fail(s.error());
    if (auto s = reader.ReadHeader(); !s) return fail(s.error());
    if (auto s = reader.BeginDecode(); !s) return fail(s.error());
    out.image.width = reader.Width();
    out.image.height = reader.Height();
    out.image.rgb.resize(static_cast<std::size_t>(out.image.width) * out.image.height * 3);
    for (int y = 0; y < out.image.height; ++y) {
        if (auto s = reader.ReadRow(
                out.image.rgb.data() + static_cast<std::size_t>(y) * out.image.width * 3, false);
            !s)
            return fail(s.error());
    }
    reader.EndDecode();
    out.ok = true;
    return out;
}

std::uint32_t pixel(const RgbImage& img, int x, int y) {
    const std::uint8_t* p = img.at(x, y);
    return p[0] | (p[1] << 8) | (p[2] << 16);
}

bool near(std::uint32_t a, std::uint32_t b, int tolerance = 48) {
    for (int s = 0; s < 24; s += 8)
        if (std::abs(int((a >> s) & 0xFF) - int((b >> s) & 0xFF)) > tolerance) return false;
    return true;
}

// Pixels in [x0,x1) x [y0,y1) that are clearly not white.
int inked(const RgbImage& img, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = std::max(0, y0); y < std::min(img.height, y1); ++y)
        for (int x = std::max(0, x0); x < std::min(img.width, x1); ++x)
            if (!near(pixel(img, x, y), kWhite, 60)) ++n;
    return n;
}

void writePpm(const std::filesystem::path& path, const RgbImage& img) {
    std::ofstream f(path, std::ios::binary);
    f << "P6\n" << img.width << " " << img.height << "\n255\n";
    f.write(reinterpret_cast<const char*>(img.rgb.data()),
            static_cast<std::streamsize>(img.rgb.size()));
}

// ---- size rules ----

struct SizeCase {
    std::string name;
    std::function<std::vector<std::uint8_t>()> file;
    int requestW, requestH, expectW, expectH;
};

class MetafileSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(MetafileSize, RendersAtTheSizeTheHeaderAndRequestGive) {
    const SizeCase& c = GetParam();
    MetafileReader reader;
    ReaderSettings settings;
    settings.requestedWidth = c.requestW;
    settings.requestedHeight = c.requestH;
    const auto bytes = c.file();
    ASSERT_TRUE(reader.openMemoryWith(bytes, settings));
    ASSERT_TRUE(reader.ReadHeader());
    EXPECT_EQ(reader.Width(), c.expectW);
    EXPECT_EQ(reader.Height(), c.expectH);
    EXPECT_TRUE(reader.IsVector());
    EXPECT_EQ(reader.BitsPerPixel(), 24u);
    EXPECT_EQ(reader.Description(), "Windows Metafile");
}

std::vector<std::uint8_t> emfWithFrame(int w, int h) {
    Emf e;
    e.frame = {0, 0, w, h};
    e.bounds = {0, 0, w / 26, h / 26};
    return e.build();
}

std::vector<std::uint8_t> paddedWmf(bool placeable, int boxW, int boxH) {
    Wmf w;
    for (int i = 0; i < 20; ++i) w.rec(0x0102, {1});  // reach the 100 bytes detection reads
    return w.build(placeable, boxW, boxH);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, MetafileSize,
    ::testing::Values(
        SizeCase{"EmfTwiceAsWide", [] { return emfWithFrame(2000, 1000); }, 400, 400, 400, 200},
        SizeCase{"EmfTallInWideBox", [] { return emfWithFrame(1000, 3000); }, 600, 300, 100, 300},
        SizeCase{"EmfRoundsHalfUp", [] { return emfWithFrame(3000, 1000); }, 100, 100, 100, 33},
        SizeCase{"StandardIsSquare", [] { return paddedWmf(false, 0, 0); }, 640, 480, 480, 480},
        SizeCase{"StandardThumbnail", [] { return paddedWmf(false, 0, 0); }, 256, 256, 256, 256},
        SizeCase{"PlaceableBoxAspect", [] { return paddedWmf(true, 300, 100); }, 300, 300, 300,
                 100},
        SizeCase{"PlaceableEmptyBoxIsSquare", [] { return paddedWmf(true, 0, 0); }, 50, 80, 50, 50},
        SizeCase{"ExtremeAspectKeepsOnePixel", [] { return paddedWmf(true, 32000, 1); }, 100, 100,
                 100, 1},
        // An unbounded request would be gigabytes: the picture shrinks to the pixel budget.
        SizeCase{"UnboundedRequestIsCapped", [] { return emfWithFrame(2000, 1000); }, 32767, 32767,
                 5792, 2896}),
    [](const auto& info) { return info.param.name; });

// ---- drawing: one case per record family ----

struct Probe {
    int x, y;
    std::uint32_t colour;
};

struct DrawCase {
    std::string name;
    std::function<std::vector<std::uint8_t>()> file;
    std::vector<Probe> probes;
};

class MetafileDrawing : public ::testing::TestWithParam<DrawCase> {};

TEST_P(MetafileDrawing, PixelsAtChosenPoints) {
    const DrawCase& c = GetParam();
    const Rendered r = render(c.file());
    ASSERT_TRUE(r.ok) << decodeErrorMessage(r.error);
    ASSERT_EQ(r.image.width, 100);
    for (const Probe& p : c.probes) {
        const std::uint32_t got = pixel(r.image, p.x, p.y);
        EXPECT_TRUE(near(got, p.colour))
            << "at " << p.x << "," << p.y << " got " << std::hex << got << " expected " << p.colour;
    }
}

// Most cases draw in a 100 x 100 window onto the 100 x 100 picture: logical = pixel.
Wmf wmf100() {
    Wmf w;
    w.window(0, 0, 100, 100);
    return w;
}

std::vector<DrawCase> wmfCases() {
    std::vector<DrawCase> cases;
    cases.push_back({"WmfRectangleBrushAndPen",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kRed).select(0).pen(kBlue, 6).select(1).rectangle(20, 20, 80, 80);
                         return w.build();
                     },
                     {{50, 50, kRed}, {20, 50, kBlue}, {10, 10, kWhite}, {90, 50, kWhite}}});
    // Brushes by palette index: the selected palette's entry, or the default palette's.
    cases.push_back(
        {"WmfPaletteIndexColours",
         [] {
             Wmf w = wmf100();
             w.nullPen().select(0);
             w.brush(0x0100000D).select(1).rectangle(0, 0, 50, 100);  // default palette: red
             w.raw(0x00F7, [](Bytes& b) {                             // a palette of green and blue
                 b.u16le(0x300).u16le(2).u8(0).u8(255).u8(0).u8(0).u8(0).u8(0).u8(255).u8(0);
             });
             w.rec(0x0234, {2});
             w.brush(0x01000001).select(3).rectangle(50, 0, 100, 50);    // entry 1: blue
             w.brush(0x01000009).select(4).rectangle(50, 50, 100, 100);  // past the palette: black
             return w.build();
         },
         {{25, 50, kRed}, {75, 25, kBlue}, {75, 75, kBlack}}});
    cases.push_back({"WmfPolygonAndNullPen",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kGreen).select(0).nullPen().select(1);
                         w.rec(0x0324, {3, 10, 90, 90, 90, 50, 10});
                         return w.build();
                     },
                     {{50, 70, kGreen}, {15, 20, kWhite}, {85, 20, kWhite}}});
    cases.push_back({"WmfPolyPolygonAlternateLeavesHole",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kBlue).select(0).nullPen().select(1).rec(0x0106, {1});
                         w.rec(0x0538, {2, 4, 4, 10, 10, 90, 10, 90, 90, 10, 90, 30, 30, 70, 30, 70,
                                        70, 30, 70});
                         return w.build();
                     },
                     {{20, 20, kBlue}, {50, 50, kWhite}}});
    cases.push_back({"WmfPolyPolygonWindingFillsHole",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kBlue).select(0).nullPen().select(1).rec(0x0106, {2});
                         w.rec(0x0538, {2, 4, 4, 10, 10, 90, 10, 90, 90, 10, 90, 30, 30, 70, 30, 70,
                                        70, 30, 70});
                         return w.build();
                     },
                     {{20, 20, kBlue}, {50, 50, kBlue}}});
    cases.push_back({"WmfEllipse",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kRed).select(0).nullPen().select(1).rec(0x0418, {90, 90, 10, 10});
                         return w.build();
                     },
                     {{50, 50, kRed}, {50, 12, kRed}, {13, 13, kWhite}, {87, 87, kWhite}}});
    cases.push_back(
        {"WmfRoundRect",
         [] {
             Wmf w = wmf100();
             w.brush(kGreen).select(0).nullPen().select(1).rec(0x061C, {40, 40, 90, 90, 10, 10});
             return w.build();
         },
         {{50, 50, kGreen}, {12, 12, kWhite}, {50, 12, kGreen}}});
    // Pie from the right-hand point to the top point, counter-clockwise: the upper-right quarter.
    cases.push_back({"WmfPieCounterClockwise",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kRed).select(0).nullPen().select(1).rec(
                             0x081A, {0, 50, 50, 100, 90, 90, 10, 10});
                         return w.build();
                     },
                     {{65, 35, kRed}, {35, 35, kWhite}, {35, 65, kWhite}, {65, 65, kWhite}}});
    cases.push_back({"WmfChord",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kBlue).select(0).nullPen().select(1).rec(
                             0x0830, {50, 10, 50, 90, 90, 90, 10, 10});
                         return w.build();
                     },
                     {{50, 25, kBlue}, {50, 75, kWhite}}});
    cases.push_back({"WmfArcIsOutlineOnly",
                     [] {
                         Wmf w = wmf100();
                         w.pen(kBlack, 4).select(0).rec(0x0817, {50, 10, 50, 90, 90, 90, 10, 10});
                         return w.build();
                     },
                     {{50, 10, kBlack}, {50, 40, kWhite}, {50, 90, kWhite}}});
    cases.push_back({"WmfMoveLineWithWidePen",
                     [] {
                         Wmf w = wmf100();
                         w.pen(kRed, 10).select(0).rec(0x0214, {50, 5}).rec(0x0213, {50, 95});
                         return w.build();
                     },
                     {{50, 50, kRed}, {50, 47, kRed}, {50, 30, kWhite}}});
    cases.push_back({"WmfPolylineIsNotFilled",
                     [] {
                         Wmf w = wmf100();
                         w.pen(kBlue, 6).select(0).brush(kRed).select(1).rec(
                             0x0325, {3, 10, 10, 90, 10, 90, 90});
                         return w.build();
                     },
                     {{50, 10, kBlue}, {90, 50, kBlue}, {70, 30, kWhite}}});
    cases.push_back({"WmfNullBrushKeepsInside",
                     [] {
                         Wmf w = wmf100();
                         w.brush(0, 1).select(0).pen(kBlack, 4).select(1).rectangle(10, 10, 90, 90);
                         return w.build();
                     },
                     {{50, 50, kWhite}, {10, 50, kBlack}}});
    cases.push_back({"WmfFlippedWindow",
                     [] {
                         // y grows upwards: the rectangle at logical y 60..90 lands in the
                         // picture's top part.
                         Wmf w;
                         w.window(0, 100, 100, -100);
                         w.brush(kRed).select(0).nullPen().select(1).rectangle(0, 60, 100, 90);
                         return w.build();
                     },
                     {{50, 25, kRed}, {50, 75, kWhite}}});
    cases.push_back({"WmfScaledWindow",
                     [] {
                         Wmf w;
                         w.window(-1000, -1000, 2000, 2000);
                         w.brush(kGreen).select(0).nullPen().select(1).rectangle(0, 0, 1000, 1000);
                         return w.build();
                     },
                     {{75, 75, kGreen}, {25, 25, kWhite}}});
    cases.push_back(
        {"WmfSaveRestoreBringsBrushBack",
         [] {
             Wmf w = wmf100();
             w.brush(kRed).brush(kBlue).nullPen().select(0).select(2).rec(0x001E, {}).select(1);
             w.rec(0x0127, {-1}).rectangle(0, 0, 100, 100);
             return w.build();
         },
         {{50, 50, kRed}}});
    cases.push_back({"WmfDeletedSlotIsReused",
                     [] {
                         Wmf w = wmf100();
                         w.pen(kBlack)
                             .brush(kRed)
                             .rec(0x01F0, {0})
                             .brush(kBlue);  // the blue brush lands in slot 0
                         w.nullPen().select(2).select(0).rectangle(0, 0, 100, 100);
                         return w.build();
                     },
                     {{50, 50, kBlue}}});
    cases.push_back({"WmfIntersectClip",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kRed)
                             .select(0)
                             .nullPen()
                             .select(1)
                             .rec(0x0416, {100, 50, 0, 0})
                             .rectangle(0, 0, 100, 100);
                         return w.build();
                     },
                     {{25, 50, kRed}, {75, 50, kWhite}}});
    cases.push_back({"WmfExcludeClip",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kRed)
                             .select(0)
                             .nullPen()
                             .select(1)
                             .rec(0x0415, {70, 70, 30, 30})
                             .rectangle(0, 0, 100, 100);
                         return w.build();
                     },
                     {{10, 10, kRed}, {50, 50, kWhite}}});
    cases.push_back({"WmfSaveRestoreUndoesClip",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kRed)
                             .select(0)
                             .nullPen()
                             .select(1)
                             .rec(0x001E, {})
                             .rec(0x0416, {10, 10, 0, 0});
                         w.rec(0x0127, {-1}).rectangle(0, 0, 100, 100);
                         return w.build();
                     },
                     {{50, 50, kRed}}});
    cases.push_back(
        {"WmfClipRegion",
         [] {
             Wmf w = wmf100();
             // One scan from y 0 to 100 with one span x 60..100.
             w.rec(0x06FF, {0, 6, 0, 0, 0, 1, 2, 60, 0, 100, 100, 2, 0, 100, 60, 100, 2});
             w.brush(kGreen)
                 .nullPen()
                 .select(0)
                 .select(1)
                 .select(2)
                 .rec(0x012C, {0})
                 .rectangle(0, 0, 100, 100);
             return w.build();
         },
         {{80, 50, kGreen}, {30, 50, kWhite}}});
    cases.push_back(
        {"WmfHatchedBrushOnOpaqueBackground",
         [] {
             Wmf w = wmf100();
             w.rec(0x0201, {0x00FF, 0x0000}).rec(0x0102, {2});  // red background, opaque
             w.brush(kBlue, 2, 4).select(0).nullPen().select(1).rectangle(0, 0, 100, 100);
             return w.build();
         },
         {{4, 4, kBlue}, {1, 1, kRed}}});
    cases.push_back({"WmfPatBltAndBlackness",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kGreen).select(0);
                         w.raw(0x061D, [](Bytes& b) {
                             b.u32le(0xF00021).u16le(100).u16le(50).u16le(0).u16le(0);
                         });
                         w.raw(0x061D, [](Bytes& b) {
                             b.u32le(0x000042).u16le(100).u16le(50).u16le(0).u16le(50);
                         });
                         return w.build();
                     },
                     {{25, 50, kGreen}, {75, 50, kBlack}}});
    cases.push_back({"WmfRop2Nop",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kRed).select(0).rec(0x0104, {11}).rectangle(0, 0, 100, 100);
                         return w.build();
                     },
                     {{50, 50, kWhite}}});
    cases.push_back({"WmfRop2Black",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kRed).select(0).rec(0x0104, {1}).rectangle(0, 0, 100, 100);
                         return w.build();
                     },
                     {{50, 50, kBlack}}});
    cases.push_back({"WmfStretchDibCountsSourceFromBottom",
                     [] {
                         Wmf w = wmf100();
                         const auto dib = dib24(2, 2, {kRed, kGreen, kBlue, kBlack});
                         // Source: the top row of the bitmap is y 1 when counted from the bottom.
                         w.raw(0x0F43, [&](Bytes& b) {
                             b.u32le(0xCC0020)
                                 .u16le(0)
                                 .u16le(1)
                                 .u16le(2)
                                 .u16le(1)
                                 .u16le(0)
                                 .u16le(50)
                                 .u16le(100)
                                 .u16le(0)
                                 .u16le(0);
                             b.append(dib);
                         });
                         return w.build();
                     },
                     {{25, 25, kRed}, {75, 25, kGreen}, {50, 75, kWhite}}});
    cases.push_back({"WmfDibStretchBltTopDown",
                     [] {
                         Wmf w = wmf100();
                         const auto dib = dib24(2, 2, {kRed, kGreen, kBlue, kBlack}, false);
                         w.raw(0x0B41, [&](Bytes& b) {
                             b.u32le(0xCC0020)
                                 .u16le(2)
                                 .u16le(2)
                                 .u16le(0)
                                 .u16le(0)
                                 .u16le(100)
                                 .u16le(100)
                                 .u16le(0)
                                 .u16le(0);
                             b.append(dib);
                         });
                         return w.build();
                     },
                     {{25, 25, kRed}, {75, 25, kGreen}, {25, 75, kBlue}, {75, 75, kBlack}}});
    cases.push_back({"WmfSetPixel",
                     [] {
                         Wmf w = wmf100();
                         w.rec(0x041F, {0x00FF, 0x0000, 40, 40});
                         return w.build();
                     },
                     {{40, 40, kRed}, {42, 42, kWhite}}});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Wmf, MetafileDrawing, ::testing::ValuesIn(wmfCases()),
                         [](const auto& info) { return info.param.name; });

std::vector<DrawCase> emfCases() {
    std::vector<DrawCase> cases;
    // With the header's 1000 px / 264 mm device and a 26.45 mm frame, one device unit is close
    // to one picture pixel; MM_ANISOTROPIC with 100 -> 100 extents makes it exact.
    auto base = [] {
        Emf e;
        e.rec(17, {8}).rec(9, {100, 100}).rec(11, {100, 100});
        e.rec(10, {0, 0}).rec(12, {0, 0});
        e.frame = {0, 0, 2640, 2640};
        return e;
    };
    cases.push_back({"EmfRectangleWithStockObjects",
                     [base] {
                         Emf e = base();
                         e.select(0x80000004).nullPen().rec(43, {20, 20, 80, 80});
                         return e.build();
                     },
                     {{50, 50, kBlack}, {10, 10, kWhite}}});
    cases.push_back({"EmfEllipseAndCreatedBrush",
                     [base] {
                         Emf e = base();
                         e.brush(1, kRed).select(1).nullPen().rec(42, {10, 10, 90, 90});
                         return e.build();
                     },
                     {{50, 50, kRed}, {13, 13, kWhite}}});
    cases.push_back({"EmfPolygon16",
                     [base] {
                         Emf e = base();
                         e.brush(1, kGreen).select(1).nullPen();
                         e.raw(86, [](Bytes& b) {
                             b.u32le(0).u32le(0).u32le(100).u32le(100).u32le(3);
                             b.u16le(10).u16le(90).u16le(90).u16le(90).u16le(50).u16le(10);
                         });
                         return e.build();
                     },
                     {{50, 70, kGreen}, {15, 20, kWhite}}});
    cases.push_back({"EmfPathFillWithBezier",
                     [base] {
                         Emf e = base();
                         e.brush(1, kBlue).select(1).nullPen().rec(59, {}).rec(27, {10, 90});
                         e.raw(88, [](Bytes& b) {  // PolyBezierTo16: a bulge up to y 10
                             b.u32le(0).u32le(0).u32le(100).u32le(100).u32le(3);
                             b.u16le(10).u16le(-30).u16le(90).u16le(-30).u16le(90).u16le(90);
                         });
                         e.rec(61, {}).rec(60, {}).rec(62, {0, 0, 100, 100});
                         return e.build();
                     },
                     {{50, 50, kBlue}, {50, 95, kWhite}, {3, 10, kWhite}}});
    cases.push_back(
        {"EmfStrokeAndFillPath",
         [base] {
             Emf e = base();
             e.brush(1, kGreen).select(1).rec(38, {2, 0, 8, 0, kRed}).select(2);
             e.rec(59, {}).rec(43, {20, 20, 80, 80}).rec(60, {}).rec(63, {0, 0, 100, 100});
             return e.build();
         },
         {{50, 50, kGreen}, {20, 50, kRed}, {5, 5, kWhite}}});
    cases.push_back({"EmfPathNotDrawnUntilFilled",
                     [base] {
                         Emf e = base();
                         e.brush(1, kGreen)
                             .select(1)
                             .rec(59, {})
                             .rec(43, {20, 20, 80, 80})
                             .rec(60, {})
                             .rec(68, {});
                         return e.build();
                     },
                     {{50, 50, kWhite}}});
    cases.push_back({"EmfWorldTransformScales",
                     [base] {
                         Emf e = base();
                         e.brush(1, kRed).select(1).nullPen();
                         e.raw(35, [](Bytes& b) {
                             const float m[6] = {2, 0, 0, 2, 0, 0};
                             for (float f : m) b.u32le(std::bit_cast<std::uint32_t>(f));
                         });
                         e.rec(43, {25, 25, 50, 50});
                         return e.build();
                     },
                     {{75, 75, kRed}, {55, 55, kRed}, {45, 45, kWhite}}});
    cases.push_back({"EmfLoMetricIsYUp",
                     [] {
                         Emf e;
                         e.frame = {0, 0, 1000, 1000};  // 10 mm, the picture's 100 pixels
                         e.rec(17, {2});                // tenths of a millimetre, y up
                         e.brush(1, kBlue).select(1).nullPen().rec(43, {0, 0, 50, -50});
                         return e.build();
                     },
                     {{20, 20, kBlue}, {70, 70, kWhite}}});
    cases.push_back({"EmfIsotropicKeepsAspect",
                     [] {
                         Emf e;
                         e.frame = {0, 0, 2640, 2640};
                         e.rec(17, {7}).rec(9, {100, 50}).rec(11, {100, 100});
                         e.brush(1, kGreen).select(1).nullPen().rec(43, {0, 0, 100, 50});
                         return e.build();
                     },
                     {{50, 25, kGreen}, {50, 75, kWhite}}});
    cases.push_back({"EmfStretchDiBits",
                     [base] {
                         Emf e = base();
                         const auto dib = dib24(2, 2, {kRed, kGreen, kBlue, kBlack});
                         e.raw(81, [&](Bytes& b) {
                             b.u32le(0).u32le(0).u32le(100).u32le(100);  // bounds
                             b.u32le(0).u32le(0).u32le(0).u32le(0).u32le(2).u32le(2);
                             b.u32le(8 + 72)
                                 .u32le(40)
                                 .u32le(8 + 72 + 40)
                                 .u32le(static_cast<std::uint32_t>(dib.size() - 40));
                             b.u32le(0).u32le(0xCC0020).u32le(100).u32le(100);
                             b.append(dib);
                         });
                         return e.build();
                     },
                     {{25, 25, kRed}, {75, 25, kGreen}, {25, 75, kBlue}, {75, 75, kBlack}}});
    cases.push_back(
        {"EmfBitBltWithoutBitmapFillsWithBrush",
         [base] {
             Emf e = base();
             e.brush(1, kBlue).select(1);
             e.raw(76, [](Bytes& b) {
                 b.u32le(0).u32le(0).u32le(100).u32le(100);
                 b.u32le(0).u32le(0).u32le(50).u32le(100).u32le(0xF00021).u32le(0).u32le(0);
                 b.fill(24, 0);
                 b.u32le(0).u32le(0).u32le(0).u32le(0).u32le(0).u32le(0);
             });
             return e.build();
         },
         {{25, 50, kBlue}, {75, 50, kWhite}}});
    cases.push_back(
        {"EmfExtSelectClipRgn",
         [base] {
             Emf e = base();
             e.raw(75, [](Bytes& b) {
                 b.u32le(48).u32le(5);
                 b.u32le(32).u32le(1).u32le(1).u32le(16).u32le(0).u32le(0).u32le(50).u32le(100);
                 b.u32le(0).u32le(0).u32le(50).u32le(100);
             });
             e.brush(1, kRed).select(1).nullPen().rec(43, {0, 0, 100, 100});
             return e.build();
         },
         {{25, 50, kRed}, {75, 50, kWhite}}});
    cases.push_back(
        {"EmfExtCreatePenGeometricWidth",
         [base] {
             Emf e = base();
             e.raw(95, [](Bytes& b) {
                 b.u32le(1).u32le(0).u32le(0).u32le(0).u32le(0);
                 b.u32le(0x10000 | 0x200).u32le(12).u32le(0).u32le(kGreen).u32le(0).u32le(0);
             });
             e.select(1).rec(27, {0, 50}).rec(54, {100, 50});
             return e.build();
         },
         {{50, 50, kGreen}, {50, 45, kGreen}, {50, 35, kWhite}}});
    cases.push_back({"EmfPieClockwise",
                     [base] {
                         Emf e = base();
                         e.brush(1, kRed).select(1).nullPen().rec(57, {2});
                         e.rec(47, {10, 10, 90, 90, 90, 50, 50,
                                    0});  // right point clockwise to the top: three quarters
                         return e.build();
                     },
                     {{35, 35, kRed}, {35, 65, kRed}, {65, 65, kRed}, {65, 35, kWhite}}});
    cases.push_back({"EmfSetPixelAndRestoreAbsolute",
                     [base] {
                         Emf e = base();
                         e.rec(33, {}).rec(33, {}).brush(1, kRed).select(1).rec(
                             34, {1});                 // back to level 1
                         e.rec(43, {0, 0, 100, 100});  // the default white brush
                         e.rec(15, {30, 30, kBlue});
                         return e.build();
                     },
                     {{30, 30, kBlue}, {60, 60, kWhite}}});
    cases.push_back(
        {"EmfPaletteIndexAndPaletteRgbColours",
         [base] {
             Emf e = base();
             e.nullPen();
             e.brush(1, 0x02FF0000).select(1).rec(43, {0, 0, 50, 100});  // PALETTERGB: plain blue
             e.raw(49, [](Bytes& b) {                                    // palette 2: green, red
                 b.u32le(2).u16le(0x300).u16le(2).u8(0).u8(255).u8(0).u8(0).u8(255).u8(0).u8(0).u8(
                     0);
             });
             e.rec(48, {2});
             e.brush(3, 0x01000001).select(3).rec(43, {50, 0, 100, 50});  // entry 1: red
             e.rec(48, {0x8000000F});  // back to the default palette
             e.brush(4, 0x01000002)
                 .select(4)
                 .rec(43, {50, 50, 100, 100});  // default entry 2: dark green
             return e.build();
         },
         {{25, 50, kBlue}, {75, 25, kRed}, {75, 75, 0x008000}}});
    // Gradient fills: vertices with 16-bit channels, then rectangles or triangles by index.
    struct Vertex {
        int x, y;
        std::uint16_t red, green, blue;
    };
    auto gradient = [base](std::vector<Vertex> vertices, std::vector<std::uint32_t> shapes,
                           std::uint32_t mode, std::uint32_t shapeCount) {
        Emf e = base();
        e.raw(118, [&](Bytes& b) {
            b.u32le(0).u32le(0).u32le(100).u32le(100);
            b.u32le(static_cast<std::uint32_t>(vertices.size())).u32le(shapeCount).u32le(mode);
            for (const Vertex& v : vertices)
                b.u32le(static_cast<std::uint32_t>(v.x))
                    .u32le(static_cast<std::uint32_t>(v.y))
                    .u16le(v.red)
                    .u16le(v.green)
                    .u16le(v.blue)
                    .u16le(0);
            for (std::uint32_t i : shapes) b.u32le(i);
        });
        return e.build();
    };
    cases.push_back(
        {"EmfGradientRectangleAcross",
         [gradient] {
             return gradient({{0, 0, 0xFF00, 0, 0}, {100, 100, 0, 0, 0xFF00}}, {0, 1}, 0, 1);
         },
         {{1, 50, kRed}, {98, 50, kBlue}, {50, 10, 0x800080}, {50, 90, 0x800080}}});
    cases.push_back({"EmfGradientRectangleDown",
                     [gradient] {
                         return gradient({{20, 0, 0, 0xFF00, 0}, {80, 100, 0, 0, 0}}, {0, 1}, 1, 1);
                     },
                     {{50, 1, kGreen},
                      {50, 98, kBlack},
                      {30, 50, 0x008000},
                      {10, 50, kWhite},
                      {90, 50, kWhite}}});
    cases.push_back({"EmfGradientTriangle",
                     [gradient] {
                         return gradient(
                             {{0, 0, 0xFF00, 0, 0}, {100, 0, 0, 0xFF00, 0}, {0, 100, 0, 0, 0xFF00}},
                             {0, 1, 2}, 2, 1);
                     },
                     {{2, 2, kRed}, {95, 2, kGreen}, {2, 95, kBlue}, {80, 80, kWhite}}});
    // Indices past the vertices and counts past the record draw nothing.
    cases.push_back({"EmfGradientWithBadIndicesOrCounts",
                     [base] {
                         Emf e = base();
                         e.raw(118, [](Bytes& b) {
                             b.u32le(0).u32le(0).u32le(100).u32le(100).u32le(2).u32le(1).u32le(0);
                             b.u32le(0).u32le(0).u16le(0).u16le(0).u16le(0).u16le(0);
                             b.u32le(100).u32le(100).u16le(0).u16le(0).u16le(0).u16le(0);
                             b.u32le(0).u32le(7);  // vertex 7 does not exist
                         });
                         e.raw(118, [](Bytes& b) {
                             b.u32le(0)
                                 .u32le(0)
                                 .u32le(100)
                                 .u32le(100)
                                 .u32le(0x40000000)
                                 .u32le(0x40000000)
                                 .u32le(2);
                         });
                         return e.build();
                     },
                     {{50, 50, kWhite}, {5, 5, kWhite}}});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Emf, MetafileDrawing, ::testing::ValuesIn(emfCases()),
                         [](const auto& info) { return info.param.name; });

// ---- text ----

std::vector<std::uint8_t> wmfText(int align, const std::string& s, bool extended, int x, int y) {
    Wmf w = wmf100();
    w.raw(0x02FB, [](Bytes& b) {
        b.u16le(static_cast<std::uint16_t>(-30)).u16le(0).u16le(0).u16le(0).u16le(700);
        b.u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).u8(0).str("Arial").u8(0);
    });
    w.select(0).rec(0x012E, {align}).rec(0x0102, {1});
    if (extended) {
        w.raw(0x0A32, [&](Bytes& b) {
            b.u16le(y).u16le(x).u16le(static_cast<std::uint16_t>(s.size())).u16le(0).str(s);
            if (s.size() & 1) b.u8(0);
            for (std::size_t i = 0; i < s.size(); ++i) b.u16le(20);
        });
    } else {
        w.raw(0x0521, [&](Bytes& b) {
            b.u16le(static_cast<std::uint16_t>(s.size())).str(s);
            if (s.size() & 1) b.u8(0);
            b.u16le(y).u16le(x);
        });
    }
    return w.build();
}

TEST(MetafileText, LeftTopTextIsBelowAndRightOfTheReference) {
    const Rendered r = render(wmfText(0, "HHH", false, 10, 40));
    ASSERT_TRUE(r.ok);
    EXPECT_GT(inked(r.image, 10, 40, 100, 75), 100);
    EXPECT_EQ(inked(r.image, 0, 0, 100, 38), 0);
    EXPECT_EQ(inked(r.image, 0, 0, 9, 100), 0);
}

TEST(MetafileText, RightBaselineTextEndsAtTheReference) {
    const Rendered r = render(wmfText(2 | 24, "HHH", false, 90, 60));
    ASSERT_TRUE(r.ok);
    EXPECT_GT(inked(r.image, 0, 30, 90, 60), 100);
    EXPECT_EQ(inked(r.image, 92, 0, 100, 100), 0);
    EXPECT_EQ(inked(r.image, 0, 62, 100, 100), 0);
}

TEST(MetafileText, ExtendedTextUsesItsAdvances) {
    // Three characters 20 units apart centred on x 50: ink spans about 20..80.
    const Rendered r = render(wmfText(6, "HHH", true, 50, 40));
    ASSERT_TRUE(r.ok);
    EXPECT_GT(inked(r.image, 20, 40, 35, 75), 20);
    EXPECT_GT(inked(r.image, 60, 40, 80, 75), 20);
    EXPECT_EQ(inked(r.image, 0, 0, 17, 100), 0);
    EXPECT_EQ(inked(r.image, 83, 0, 100, 100), 0);
}

TEST(MetafileText, OpaqueBackgroundAndTextColour) {
    Wmf w = wmf100();
    w.raw(0x02FB, [](Bytes& b) {
        b.u16le(static_cast<std::uint16_t>(-40))
            .fill(8, 0)
            .u16le(400)
            .fill(8, 0)
            .str("Arial")
            .u8(0);
    });
    w.select(0).rec(0x0209, {0x00FF, 0}).rec(0x0201, {0, 0x00FF}).rec(0x0102, {2});
    w.raw(0x0521, [](Bytes& b) { b.u16le(2).str("ii").u16le(20).u16le(10); });
    const Rendered r = render(w.build());
    ASSERT_TRUE(r.ok);
    int red = 0, blue = 0;
    for (int y = 20; y < 60; ++y)
        for (int x = 10; x < 40; ++x) {
            if (near(pixel(r.image, x, y), kRed, 30)) ++red;
            if (near(pixel(r.image, x, y), kBlue, 30)) ++blue;
        }
    EXPECT_GT(red, 20);
    EXPECT_GT(blue, 100);
}

TEST(MetafileText, EmfWideTextAndDescriptionComments) {
    Emf e;
    e.description = u"Drawer 2.0";
    e.description += u'\0';
    e.description += u"Chart of sales";
    e.description += u'\0';
    e.description += u'\0';
    e.rec(17, {8}).rec(9, {100, 100}).rec(11, {100, 100});
    e.frame = {0, 0, 2640, 2640};
    e.raw(82, [](Bytes& b) {
        b.u32le(1).u32le(static_cast<std::uint32_t>(-30)).u32le(0).u32le(0).u32le(0).u32le(700);
        b.fill(8, 0);
        for (char16_t c : std::u16string(u"Arial")) b.u16le(c);
        b.fill(64 - 10, 0);
    });
    e.select(1).rec(18, {1});
    e.raw(84, [](Bytes& b) {
        b.u32le(0).u32le(0).u32le(100).u32le(100).u32le(1).u32le(0).u32le(0);
        b.u32le(10).u32le(30).u32le(3).u32le(76).u32le(0).u32le(0).u32le(0).u32le(0).u32le(0).u32le(
            0);
        b.u16le(u'\u00C4').u16le('H').u16le('H').u16le(0);
    });
    const Rendered r = render(e.build());
    ASSERT_TRUE(r.ok);
    EXPECT_GT(inked(r.image, 10, 30, 100, 65), 100);
    EXPECT_EQ(inked(r.image, 0, 0, 100, 25), 0);
    ASSERT_EQ(r.comments.size(), 2u);
    EXPECT_EQ(r.comments[0], "Drawer 2.0");
    EXPECT_EQ(r.comments[1], "Chart of sales");
}

// ---- loading through the document, progress and cancellation ----

TEST(MetafileDocument, StandardMetafileInA640By480BoxIs480Square) {
    TempDir dir;
    Wmf w = wmf100();
    w.brush(kGreen).select(0).nullPen().select(1).rectangle(50, 0, 100, 100);
    for (int i = 0; i < 10; ++i) w.rec(0x0102, {1});
    writeFile(dir / "chart.wmf", w.build());
    ImageDocument doc;
    LoadOptions options;
    options.path = dir / "chart.wmf";
    options.limitWidth = 640;
    options.limitHeight = 480;
    ASSERT_TRUE(doc.Open(options));
    ASSERT_TRUE(doc.AddPage());
    ASSERT_TRUE(doc.DecodePage());
    const RgbImage img = kalder::test::toRgb(doc.PageAt(0).bitmap);
    ASSERT_EQ(img.width, 480);
    ASSERT_EQ(img.height, 480);
    EXPECT_TRUE(near(pixel(img, 360, 240), kGreen));
    EXPECT_TRUE(near(pixel(img, 120, 240), kWhite));
}

TEST(MetafileDocument, ThumbnailRendersAtThumbnailSize) {
    TempDir dir;
    writeFile(dir / "pic.emf", emfWithFrame(2000, 1000));
    auto reader = CreateReader(dir / "pic.emf");
    ASSERT_TRUE(reader);
    Bitmap32 thumb;
    ASSERT_TRUE(reader->MakeThumbnail(dir / "pic.emf", thumb, 256, 0, nullptr));
    EXPECT_EQ(thumb.width(), 256);
    EXPECT_EQ(thumb.height(), 128);
}

struct CountingProgress final : ProgressSink {
    std::int64_t calls = 0, lastTotal = 0, lastDone = 0;
    void Progress(std::int64_t total, std::int64_t done) override {
        ++calls;
        lastTotal = total;
        lastDone = done;
    }
};

TEST(MetafilePlayback, ReportsProgressPerRecordAndRow) {
    Wmf w = wmf100();
    for (int i = 0; i < 50; ++i) w.rec(0x0102, {1});
    CountingProgress progress;
    const Rendered r = render(w.build(), 100, 100, nullptr, &progress);
    ASSERT_TRUE(r.ok);
    // 52 records and 100 rows, against a total of records plus height.
    EXPECT_EQ(progress.calls, 152);
    EXPECT_EQ(progress.lastTotal, 152);
    EXPECT_EQ(progress.lastDone, 152);
}

TEST(MetafilePlayback, CancellationStopsBetweenRecords) {
    Wmf w = wmf100();
    for (int i = 0; i < 50; ++i) w.rectangle(0, 0, 10, 10);
    CancelFlag cancel;
    cancel.cancel();
    const Rendered r = render(w.build(), 100, 100, &cancel);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, DecodeError::Cancelled);
}

// ---- hostile input ----

struct HostileCase {
    std::string name;
    std::function<std::vector<std::uint8_t>()> file;
    bool mayOpen;  // false: the header must be refused
};

class MetafileHostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(MetafileHostile, FailsCleanlyOrRendersWhatIsValid) {
    const auto start = std::chrono::steady_clock::now();
    const Rendered r = render(GetParam().file(), 200, 200);
    if (!GetParam().mayOpen) {
        EXPECT_FALSE(r.ok);
    }
    if (r.ok) {
        EXPECT_GE(r.image.width, 1);
        EXPECT_LE(r.image.width, 200);
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
}

std::vector<HostileCase> hostileCases() {
    std::vector<HostileCase> cases;
    cases.push_back({"ShorterThanDetectionNeeds",
                     [] {
                         return std::vector<std::uint8_t>{1, 0, 9, 0};
                     },
                     false});
    cases.push_back({"Junk", [] { return std::vector<std::uint8_t>(300, 0x5A); }, false});
    cases.push_back({"WmfRecordSizeZero",
                     [] {
                         Wmf w = wmf100();
                         w.body.u32le(0).u16le(0x041B).fill(100, 0);
                         return w.build();
                     },
                     true});
    cases.push_back({"WmfRecordPastTheEnd",
                     [] {
                         Wmf w = wmf100();
                         w.body.u32le(0x7FFFFFFF).u16le(0x0324).u16le(60000).fill(100, 0x10);
                         return w.build();
                     },
                     true});
    cases.push_back({"WmfPolygonCountBeyondRecord",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kRed).select(0).rec(0x0324, {65535, 10, 10, 90, 10, 50, 90});
                         w.rec(0x0538, {1000, 65535, 65535});
                         return w.build();
                     },
                     true});
    cases.push_back(
        {"WmfObjectIndexesOutOfRange",
         [] {
             Wmf w = wmf100();
             w.objects = 2;
             for (int i = 0; i < 10; ++i) w.brush(kRed);  // more than the table holds
             w.select(65535).select(2).rec(0x01F0, {65535}).rec(0x012C, {4000}).rec(0x0228, {9, 9});
             return w.build();
         },
         true});
    cases.push_back({"WmfAbsurdCoordinates",
                     [] {
                         Wmf w;
                         w.window(-32768, -32768, 1, 1);
                         w.pen(kBlack, 32767)
                             .select(0)
                             .brush(kRed)
                             .select(1)
                             .rectangle(-32768, -32768, 32767, 32767);
                         w.rec(0x0418, {32767, 32767, -32768, -32768})
                             .rec(0x0817, {0, 0, 0, 0, 32767, 32767, -32768, -32768});
                         w.rec(0x061C, {32767, 32767, 32767, 32767, -32768, -32768});
                         w.rec(0x0410, {1, 32767, 1, 32767}).rectangle(0, 0, 1, 1);
                         return w.build();
                     },
                     true});
    cases.push_back({"WmfDeepSaveAndRestore",
                     [] {
                         Wmf w = wmf100();
                         for (int i = 0; i < 20000; ++i) w.rec(0x001E, {});
                         w.rec(0x0127, {-30000}).rec(0x0127, {30000}).rec(0x0127, {1});
                         for (int i = 0; i < 300; ++i) w.rec(0x0127, {-1});
                         return w.build();
                     },
                     true});
    cases.push_back({"WmfHugeDibInTinyRecord",
                     [] {
                         Wmf w = wmf100();
                         w.raw(0x0F43, [](Bytes& b) {
                             b.u32le(0xCC0020)
                                 .u16le(0)
                                 .u16le(30000)
                                 .u16le(30000)
                                 .u16le(0)
                                 .u16le(0)
                                 .u16le(100)
                                 .u16le(100)
                                 .u16le(0)
                                 .u16le(0);
                             b.u32le(40)
                                 .u32le(30000)
                                 .u32le(30000)
                                 .u16le(1)
                                 .u16le(8)
                                 .u32le(1)
                                 .fill(20, 0)
                                 .u8(0)
                                 .u8(1);
                         });
                         return w.build();
                     },
                     true});
    cases.push_back({"WmfTextLongerThanRecord",
                     [] {
                         Wmf w = wmf100();
                         w.rec(0x0521, {30000, 0x4141}).rec(0x0A32, {0, 0, 30000, 6, 0});
                         return w.build();
                     },
                     true});
    cases.push_back({"WmfManyFullPictureFills",
                     [] {
                         Wmf w = wmf100();
                         w.brush(kRed).select(0);
                         for (int i = 0; i < 30000; ++i) w.rectangle(-10, -10, 110, 110);
                         return w.build();
                     },
                     true});
    cases.push_back({"EmfHeaderBiggerThanFile",
                     [] {
                         auto bytes = Emf().build();
                         bytes[4] = 0xFF;
                         bytes[5] = 0xFF;
                         return bytes;
                     },
                     true});
    cases.push_back({"EmfRecordSizeZeroAndHuge",
                     [] {
                         Emf e;
                         e.body.u32le(43).u32le(0).fill(16, 0);
                         auto bytes = e.build();
                         Emf f;
                         f.body.u32le(43).u32le(0xFFFFFFF0).fill(16, 0);
                         return f.build();
                     },
                     true});
    cases.push_back(
        {"EmfPolyPolygonCountsLie",
         [] {
             Emf e;
             e.rec(8, {0, 0, 1, 1, 0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF, 3, 0, 0, 10, 10});
             e.rec(91, {0, 0, 1, 1, 2, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF});
             e.rec(3, {0, 0, 1, 1, 0xFFFFFFFF, 5, 5});
             return e.build();
         },
         true});
    cases.push_back(
        {"EmfAbsurdTransformsAndCoordinates",
         [] {
             Emf e;
             e.rec(17, {8})
                 .rec(9, {1, 1})
                 .rec(11, {0x7FFFFFFF, 0x7FFFFFFF})
                 .rec(10, {-0x7FFFFFFF, 0x7FFFFFFF});
             e.raw(35, [](Bytes& b) {
                 const float m[6] = {3e38f, 0, 0, 3e38f, 3e38f, -3e38f};
                 for (float f : m) b.u32le(std::bit_cast<std::uint32_t>(f));
             });
             e.raw(36, [](Bytes& b) {
                 for (int i = 0; i < 6; ++i) b.u32le(0x7FC00000);  // NaN
                 b.u32le(4);
             });
             e.rec(43, {-0x7FFFFFFF, -0x7FFFFFFF, 0x7FFFFFFF, 0x7FFFFFFF})
                 .rec(42, {0, 0, 0x7FFFFFFF, 0x7FFFFFFF});
             e.rec(38, {1, 0, 0x7FFFFFFF, 0, 0}).select(1).rec(54, {0x7FFFFFFF, -0x7FFFFFFF});
             e.rec(41, {0, 0, 0xFFFFFFFF, 0x7FC00000, 0x7F800000});
             return e.build();
         },
         true});
    cases.push_back({"EmfObjectIndexesOutOfRange",
                     [] {
                         Emf e;
                         e.brush(0xFFFFFFFF, kRed)
                             .brush(0, kRed)
                             .select(0x7FFFFFFF)
                             .select(0x8000FFFF)
                             .rec(40, {0xFFFFFFFF});
                         e.rec(71, {0, 0, 1, 1, 32, 0xFFFFFF, 32, 1, 0, 0, 0, 0, 0, 0});
                         return e.build();
                     },
                     true});
    cases.push_back({"EmfBitmapOffsetsOutside",
                     [] {
                         Emf e;
                         e.raw(81, [](Bytes& b) {
                             b.fill(16, 0).u32le(0).u32le(0).u32le(0).u32le(0).u32le(100).u32le(
                                 100);
                             b.u32le(0xFFFFFFF0)
                                 .u32le(0x20)
                                 .u32le(80)
                                 .u32le(0xFFFFFFFF)
                                 .u32le(0)
                                 .u32le(0xCC0020)
                                 .u32le(100)
                                 .u32le(100);
                         });
                         return e.build();
                     },
                     true});
    cases.push_back({"EmfTextOffsetsOutside",
                     [] {
                         Emf e;
                         e.rec(84, {0, 0, 1, 1, 1, 0, 0, 0, 0, 0x7FFFFFFF, 0xFFFFFFF0, 0, 0, 0, 0,
                                    0, 0xFFFFFFF0});
                         e.rec(96, {0, 0, 1, 1, 1, 0, 0, 0xFFFFFFFF});
                         return e.build();
                     },
                     true});
    cases.push_back({"EmfPathOfManySegments",
                     [] {
                         Emf e;
                         e.rec(59, {});
                         for (int i = 0; i < 2000; ++i) e.rec(43, {0, 0, 100, 100});
                         e.rec(60, {}).rec(64, {0, 0, 1, 1}).rec(67, {5});
                         return e.build();
                     },
                     true});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, MetafileHostile, ::testing::ValuesIn(hostileCases()),
                         [](const auto& info) { return info.param.name; });

// ---- the public sample metafiles ----

// Scales `ref` to the size of `img` by averaging and returns the mean absolute channel difference.
double meanDifference(const RgbImage& img, const RgbImage& ref) {
    double sum = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const int x0 = x * ref.width / img.width,
                      x1 = std::max(x0 + 1, (x + 1) * ref.width / img.width);
            const int y0 = y * ref.height / img.height,
                      y1 = std::max(y0 + 1, (y + 1) * ref.height / img.height);
            for (int c = 0; c < 3; ++c) {
                double acc = 0;
                for (int v = y0; v < y1; ++v)
                    for (int u = x0; u < x1; ++u) acc += ref.at(u, v)[c];
                acc /= (x1 - x0) * (y1 - y0);
                sum += std::fabs(acc - img.at(x, y)[c]);
            }
        }
    return sum / (3.0 * img.width * img.height);
}

TEST(MetafilePublicFiles, RenderAndCompareWithReferences) {
    const auto root = kalder::test::externalTestData();
    if (!root) GTEST_SKIP() << "the public test images are not beside the checkout";
    const std::filesystem::path out =
        std::filesystem::temp_directory_path() / "kalder-metafile-renders";
    std::filesystem::create_directories(out);
    int rendered = 0;
    for (const char* family : {"WMF", "EMF"}) {
        for (const auto& entry : kalder::test::manifestEntries(family)) {
            if (entry.status != "valid") continue;
            SCOPED_TRACE(entry.path);
            const std::filesystem::path path = *root / entry.path;
            const auto bytes = kalder::test::readFile(path);
            ASSERT_FALSE(bytes.empty());
            const Rendered r = render(bytes, 400, 400);
            ASSERT_TRUE(r.ok) << decodeErrorMessage(r.error);
            ++rendered;
            writePpm(out / (path.filename().string() + ".ppm"), r.image);
            // Every sample draws something.
            EXPECT_GT(inked(r.image, 0, 0, r.image.width, r.image.height),
                      r.image.width * r.image.height / 50);
            // Some samples have a rendering made elsewhere beside them: ours must be close.
            std::string ext = path.extension().string().substr(1);
            const std::filesystem::path reference =
                path.parent_path() / (path.stem().string() + "_" + ext + "_ref.png");
            // drawing.wmf draws its circle partly outside the window its records declare; its
            // reference fitted the drawing's extent instead, so only the enhanced one compares.
            if (path.filename() == "drawing.wmf") continue;
            if (!std::filesystem::exists(reference) || !kalder::test::havePillow()) continue;
            const auto ref = kalder::test::decodeWithPillow(reference);
            ASSERT_TRUE(ref);
            EXPECT_LT(meanDifference(r.image, *ref), 20.0);
        }
    }
    EXPECT_GE(rendered, 6);
}

}  // namespace
