#pragma once

// Shared by the WebP, HEIF and JPEG XL reader tests: pictures drawn here are written as PNG by
// our writer, encoded by the format's own tools and read back by us and by the reference
// decoder.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "image/format_table.h"
#include "image/image_document.h"
#include "image/image_reader.h"
#include "image/readers/reader_factory.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory_lib.h"
#include "support/test_support.h"

namespace kalder::test {

inline bool haveTool(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Runs a command with its output silenced; true when it succeeded.
inline bool run(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::string q(const std::filesystem::path& p) { return "'" + p.string() + "'"; }

// A picture with gradients, hard edges and (optionally) an opacity ramp; `seed` varies it so
// frames of an animation differ.
struct Picture {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bgrx;   // as the writer takes it
    std::vector<std::uint8_t> alpha;  // empty without alpha
    RgbImage rgb;
};

inline Picture drawPicture(int w, int h, bool withAlpha, int seed = 0) {
    Picture p;
    p.width = w;
    p.height = h;
    p.bgrx.resize(static_cast<std::size_t>(w) * h * 4);
    p.rgb.width = w;
    p.rgb.height = h;
    p.rgb.rgb.resize(static_cast<std::size_t>(w) * h * 3);
    if (withAlpha) p.alpha.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * w + x;
            const auto r = static_cast<std::uint8_t>((x * 255 / std::max(1, w - 1) + seed * 40));
            const auto g = static_cast<std::uint8_t>(y * 255 / std::max(1, h - 1));
            const auto b = static_cast<std::uint8_t>(((x / 8 + y / 8 + seed) % 2) ? 220 : 30);
            p.bgrx[i * 4] = b;
            p.bgrx[i * 4 + 1] = g;
            p.bgrx[i * 4 + 2] = r;
            p.rgb.rgb[i * 3] = r;
            p.rgb.rgb[i * 3 + 1] = g;
            p.rgb.rgb[i * 3 + 2] = b;
            // Never fully transparent: encoders may change the colour under zero opacity.
            if (withAlpha)
                p.alpha[i] = x < w / 2 ? 255 : static_cast<std::uint8_t>(16 + y * 239 / h);
        }
    return p;
}

// With `gamma` (the gAMA value, e.g. 1 / 2.2) the file says its numbers are not sRGB.
inline bool writePng(const Picture& p, const std::filesystem::path& path, double gamma = 0) {
    image::WriterImage image;
    image.pngGamma = gamma;
    image.width = p.width;
    image.height = p.height;
    image.pixels = p.bgrx.data();
    if (!p.alpha.empty()) image.alphaPlane = p.alpha.data();
    auto writer = image::makePngWriter();
    return writer->Open(path, nullptr) && writer->Write(image) && writer->Close();
}

// The document's decode of a page with its opacity, without compositing.
struct Decoded {
    RgbImage rgb;
    std::vector<std::uint8_t> alpha;
    std::uint32_t delay = 0;
    std::int32_t pages = 0;
};

inline std::vector<Decoded> decodeAllPages(const std::filesystem::path& path) {
    image::ImageDocument doc;
    image::LoadOptions options;
    options.path = path;
    options.extractAlpha = true;
    std::vector<Decoded> out;
    if (!doc.Open(options)) return out;
    while (doc.AddPage()) {
        if (!doc.DecodePage()) return {};
        const image::ImagePage& page = doc.PageAt(doc.PageCount() - 1);
        out.push_back({toRgb(page.bitmap), page.alphaPlane, page.delay, 0});
    }
    return out;
}

// Largest difference of the opacities; -1 when the sizes differ.
inline int maxAlphaDifference(const std::vector<std::uint8_t>& a,
                              const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size()) return -1;
    int worst = 0;
    for (std::size_t i = 0; i < a.size(); ++i) worst = std::max(worst, std::abs(a[i] - b[i]));
    return worst;
}

// A file cut short or damaged in its middle must fail without a crash. An animation may keep
// the frames before the cut, never all of them.
inline void expectDamageFailsCleanly(const std::filesystem::path& file, const TempDir& dir) {
    const std::vector<std::uint8_t> bytes = readFile(file);
    ASSERT_GT(bytes.size(), 64u);
    const std::size_t whole = decodeAllPages(file).size();
    ASSERT_GT(whole, 0u);
    for (std::size_t keep :
         {std::size_t{12}, std::size_t{40}, bytes.size() / 2, bytes.size() - 7}) {
        const auto cut = dir / ("cut" + std::to_string(keep) + file.extension().string());
        writeFile(cut, {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(keep)});
        EXPECT_LT(decodeAllPages(cut).size(), whole) << "kept " << keep << " bytes";
    }
    std::vector<std::uint8_t> noisy = bytes;
    for (std::size_t i = bytes.size() / 3; i < bytes.size(); i += 13) noisy[i] ^= 0x5A;
    const auto damaged = dir / ("noisy" + file.extension().string());
    writeFile(damaged, noisy);
    (void)decodeAllPages(damaged);  // any outcome but a crash or a sanitizer report
}

}  // namespace kalder::test
