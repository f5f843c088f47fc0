#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "image/image_document.h"
#include "image/image_reader.h"

namespace kalder::fuzz {
namespace {

constexpr std::int64_t kMaxFuzzPixels = 4 * 1024 * 1024;
// A short file may rightly describe a picture of a hundred megapixels (a GIF of one colour), which
// costs the document path about 9 bytes a pixel: more than a fuzz run's memory ceiling. Such
// pictures are left to the memory budget test; the fuzzer still parses their headers.
constexpr std::int64_t kMaxFuzzDocumentPixels = 32 * 1024 * 1024;
constexpr int kMaxFrames = 8;

volatile std::uint32_t g_sink;

}  // namespace

void decodeAllFrames(image::FormatCode format, const std::uint8_t* data, std::size_t size) {
    auto reader = image::createReaderForCode(format);
    if (!reader) return;
    if (!reader->OpenMemory({data, size})) return;
    if (!reader->ReadHeader()) return;
    image::Palette palette{};
    (void)reader->GetPalette(palette);
    (void)reader->GetIsGray();
    (void)reader->Description();
    for (int frame = 0; frame < kMaxFrames; ++frame) {
        // Multi-frame readers may change the size with each frame: ask after starting it.
        if (!reader->BeginDecode()) return;
        const std::int64_t w = reader->Width(), h = reader->Height();
        if (w <= 0 || h <= 0 || w > 32767 || h > 32767 || w * h > kMaxFuzzPixels) return;
        std::vector<std::uint8_t> row(static_cast<std::size_t>(w) * 3);
        std::uint32_t sum = 0;
        for (std::int64_t y = 0; y < h; ++y) {
            if (!reader->ReadRow(row.data(), (y % 7) == 3)) return;
            if ((y % 7) == 3) continue;
            for (std::uint8_t b : row) sum += b;
        }
        g_sink = sum;
        reader->EndDecode();
        if (reader->IsSingleImage()) return;
    }
}

void decodeThroughDocument(const std::uint8_t* data, std::size_t size) {
    char name[] = "/tmp/kalder-fuzz-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) return;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, data + done, size - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    image::ImageInfo info;
    (void)image::ReadImageInfo(name, info, true);
    if (std::int64_t{info.width} * info.height > kMaxFuzzDocumentPixels) {
        ::unlink(name);
        return;
    }
    const std::uint8_t knob = size ? data[size - 1] : 0;
    image::ImageDocument doc;
    image::LoadOptions options;
    options.path = name;
    options.fitWidth = 1 + (knob & 0x3f);
    options.fitHeight = 1 + ((knob >> 2) & 0x3f);
    options.autoFit = knob & 1;
    options.rotation = (knob >> 6) & 3;
    options.flipHorizontal = knob & 2;
    options.smoothShrink = knob & 4;
    options.smoothEnlarge = knob & 8;
    options.blendAlpha = knob & 16;
    options.extractAlpha = true;
    if (doc.Open(options)) {
        for (int i = 0; i < kMaxFrames && doc.AddPage(); ++i) {
            if (!doc.DecodePage()) break;
        }
        std::uint32_t sum = 0;
        for (int i = 0; i < doc.PageCount(); ++i) {
            const auto& bitmap = doc.PageAt(i).bitmap;
            for (std::size_t b = 0; b < bitmap.byteSize(); ++b) sum += bitmap.pixels()[b];
        }
        g_sink = sum;
    }
    image::ImageDocument thumbs;
    (void)thumbs.MakeThumbnail(name, 1 + (knob & 0x7f), 0, nullptr, true, knob & 1);
    ::unlink(name);
}

}  // namespace kalder::fuzz
