#include "image/writers/pcx_writer.h"

#include <algorithm>

namespace kalder::image {
namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kMaxRun = 63;

}  // namespace

void appendPcxRuns(std::vector<std::uint8_t>& out, const std::uint8_t* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        std::size_t run = 1;
        while (i + run < n && run < kMaxRun && p[i + run] == p[i]) ++run;
        if (run >= 3) {
            out.push_back(static_cast<std::uint8_t>(0xC0 | run));
            out.push_back(p[i]);
            i += run;
            continue;
        }
        // One or two bytes: each alone; values that look like a run count need the C1 escape.
        for (std::size_t k = 0; k < run; ++k) {
            if (p[i] >= 0xC0) out.push_back(0xC1);
            out.push_back(p[i]);
        }
        i += run;
    }
}

Status PcxWriter::Write(const WriterImage& image) {
    if (m_written) return DecodeError::Unsupported;  // one image per file
    if (image.width < 1 || image.height < 1 || !image.pixels) return DecodeError::Corrupt;
    if (image.width > 65535 || image.height > 65535) return DecodeError::TooLarge;
    const bool palette = image.bits != 32;
    if (palette && (image.bits < 1 || image.bits > 8)) return DecodeError::Unsupported;
    const std::size_t planes = palette ? 1 : 3;
    const std::size_t bytesPerLine = (static_cast<std::size_t>(image.width) + 1) & ~std::size_t{1};

    std::uint8_t header[kHeaderSize] = {};
    auto set16 = [&header](std::size_t at, std::uint32_t v) {
        header[at] = static_cast<std::uint8_t>(v);
        header[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    header[0] = 0x0A;  // manufacturer
    header[1] = 5;     // version
    header[2] = 1;     // run-length encoding
    header[3] = 8;     // bits per plane
    set16(4, 0);
    set16(6, 0);
    set16(8, static_cast<std::uint32_t>(image.width - 1));
    set16(10, static_cast<std::uint32_t>(image.height - 1));
    set16(12, 72);
    set16(14, 72);
    // 16..63: EGA palette, zero; 64: reserved.
    header[65] = static_cast<std::uint8_t>(planes);
    set16(66, static_cast<std::uint32_t>(bytesPerLine));
    set16(68, 1);  // palette type
    put(header, kHeaderSize);
    KALDER_TRY(status());

    std::vector<std::uint8_t> plane(bytesPerLine, 0);
    std::vector<std::uint8_t> line;
    line.reserve(bytesPerLine * planes * 2);
    for (std::int32_t y = 0; y < image.height; ++y) {
        const std::uint8_t* src = image.row(y);
        line.clear();
        for (std::size_t p = 0; p < planes; ++p) {
            if (palette) {
                std::copy(src, src + image.width, plane.begin());
            } else {
                const std::size_t channel = 2 - p;  // red, green, blue from blue, green, red
                for (std::int32_t x = 0; x < image.width; ++x) plane[x] = src[x * 4 + channel];
            }
            // Runs stay within a plane, which every reader handles.
            appendPcxRuns(line, plane.data(), bytesPerLine);
        }
        put(line.data(), line.size());
        KALDER_TRY(status());
        reportProgress(image.height, y + 1);
    }
    if (palette) {
        u8(0x0C);
        put(image.palette.data(), image.palette.size());
    }
    KALDER_TRY(status());
    m_written = true;
    return {};
}

Status PcxWriter::onClose() { return m_written ? Status{} : Status{DecodeError::NoMoreFrames}; }

}  // namespace kalder::image
