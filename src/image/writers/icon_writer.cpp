#include "image/writers/icon_writer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "image/cdx_loader.h"
#include "image/writers/bmp_writer.h"

namespace kalder::image {
namespace {

constexpr std::size_t kHeaderSize = 6;
constexpr std::size_t kEntrySize = 16;
constexpr std::uint8_t kOpaqueFrom = 128;  // alpha at or above this is opaque in the AND mask

void putLe(std::vector<std::uint8_t>& out, std::uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// The opacity of every pixel, top-down: from the alpha plane, else the transparent index, else
// all opaque.
std::vector<std::uint8_t> opacities(const WriterImage& image) {
    const std::size_t n = static_cast<std::size_t>(image.width) * image.height;
    if (image.alphaPlane) return {image.alphaPlane, image.alphaPlane + n};
    std::vector<std::uint8_t> out(n, 255);
    if (image.bits <= 8 && image.transparent && image.transparentIndex >= 0) {
        for (std::int32_t y = 0; y < image.height; ++y) {
            const std::uint8_t* row = image.row(y);
            for (std::int32_t x = 0; x < image.width; ++x)
                if (row[x] == image.transparentIndex)
                    out[static_cast<std::size_t>(y) * image.width + x] = 0;
        }
    }
    return out;
}

bool softAlpha(const std::vector<std::uint8_t>& alpha) {
    return std::any_of(alpha.begin(), alpha.end(),
                       [](std::uint8_t a) { return a != 0 && a != 255; });
}

struct PngSource {
    const WriterImage* image;
    const std::vector<std::uint8_t>* alpha;
    std::vector<std::uint8_t>* out;
};

int pngRow(void* user, std::uint32_t y, std::uint32_t, std::uint8_t* out) {
    const auto* s = static_cast<const PngSource*>(user);
    const WriterImage& image = *s->image;
    const std::uint8_t* src = image.row(static_cast<std::int32_t>(y));
    const std::uint8_t* alpha = s->alpha->data() + static_cast<std::size_t>(y) * image.width;
    for (std::int32_t x = 0; x < image.width; ++x, out += 4) {
        if (image.bits == 32) {
            out[0] = src[x * 4 + 2];
            out[1] = src[x * 4 + 1];
            out[2] = src[x * 4];
        } else {
            const std::uint8_t* c = image.palette.data() + src[x] * 3;
            std::memcpy(out, c, 3);
        }
        out[3] = alpha[x];
    }
    return 0;
}

int pngSink(void* user, const std::uint8_t* data, std::size_t size) {
    auto* s = static_cast<PngSource*>(user);
    s->out->insert(s->out->end(), data, data + size);
    return 0;
}

// The image as a 32-bit RGBA PNG stream; false when the codec module is missing or fails.
bool encodePng(const WriterImage& image, const std::vector<std::uint8_t>& alpha,
               std::vector<std::uint8_t>& out) {
    const CdxPngApi* api = cdx::pngApi(cdx::Group::Writers);
    if (!api) return false;
    CdxPngOptions o{};
    o.width = static_cast<std::uint32_t>(image.width);
    o.height = static_cast<std::uint32_t>(image.height);
    o.bitDepth = 8;
    o.colorType = 6;
    PngSource source{&image, &alpha, &out};
    CdxMessage message{};
    out.clear();
    if (api->write(&o, &pngRow, &pngSink, &source, &message) == CDX_OK) return true;
    out.clear();
    return false;
}

// The bitmap of double height: header, colour table, XOR rows bottom-up, AND mask bottom-up.
std::vector<std::uint8_t> encodeBitmap(const WriterImage& image,
                                       const std::vector<std::uint8_t>& alpha,
                                       std::uint16_t bitCount) {
    const std::int32_t w = image.width, h = image.height;
    const std::size_t xorStride = bitmapRowBytes(w, bitCount);
    const std::size_t andStride = bitmapRowBytes(w, 1);
    const std::uint32_t colours = bitCount <= 8 ? (1u << bitCount) : 0;
    BitmapInfoHeader info;
    info.width = w;
    info.height = h * 2;
    info.bitCount = bitCount;
    info.imageSize = static_cast<std::uint32_t>((xorStride + andStride) * h);
    std::vector<std::uint8_t> out;
    out.reserve(40 + colours * 4 + info.imageSize);
    appendBitmapInfoHeader(out, info);
    for (std::uint32_t i = 0; i < colours; ++i) {
        out.push_back(image.palette[i * 3 + 2]);
        out.push_back(image.palette[i * 3 + 1]);
        out.push_back(image.palette[i * 3]);
        out.push_back(0);
    }
    std::vector<std::uint8_t> row(xorStride);
    for (std::int32_t y = h - 1; y >= 0; --y) {
        const std::uint8_t* src = image.row(y);
        const std::uint8_t* a = alpha.data() + static_cast<std::size_t>(y) * w;
        std::fill(row.begin(), row.end(), 0);
        if (bitCount <= 8) {
            packBitmapRow(src, w, bitCount, row.data());
        } else {
            const int step = bitCount / 8;
            for (std::int32_t x = 0; x < w; ++x) {
                std::uint8_t* d = row.data() + static_cast<std::size_t>(x) * step;
                if (bitCount == 32) {
                    std::memcpy(d, src + x * 4, 3);
                    d[3] = a[x];
                } else if (a[x] >= kOpaqueFrom) {
                    std::memcpy(d, src + x * 4, 3);
                }  // else black: a masked pixel that is not black would invert the screen
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    std::vector<std::uint8_t> mask(andStride);
    for (std::int32_t y = h - 1; y >= 0; --y) {
        const std::uint8_t* a = alpha.data() + static_cast<std::size_t>(y) * w;
        std::fill(mask.begin(), mask.end(), 0);
        for (std::int32_t x = 0; x < w; ++x)
            if (a[x] < kOpaqueFrom) mask[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
        out.insert(out.end(), mask.begin(), mask.end());
    }
    return out;
}

}  // namespace

Result<EncodedIconImage> encodeIconImage(const WriterImage& image, std::int32_t hotSpotX,
                                         std::int32_t hotSpotY) {
    if (!image.pixels || image.width < 1 || image.height < 1) return DecodeError::Corrupt;
    if (image.width > kMaxIconSide || image.height > kMaxIconSide) return DecodeError::TooLarge;
    if (image.bits != 32 && (image.bits < 1 || image.bits > 8)) return DecodeError::Unsupported;
    EncodedIconImage out;
    out.width = image.width;
    out.height = image.height;
    out.hotSpotX = std::clamp(hotSpotX, 0, image.width - 1);
    out.hotSpotY = std::clamp(hotSpotY, 0, image.height - 1);
    const std::vector<std::uint8_t> alpha = opacities(image);
    const bool large = image.width == kMaxIconSide || image.height == kMaxIconSide;
    if (large && encodePng(image, alpha, out.data)) {
        out.bitCount = 32;
        return out;
    }
    const std::uint16_t bitCount = image.bits <= 8    ? bitmapDepthFor(image.bits)
                                   : softAlpha(alpha) ? 32
                                                      : 24;
    out.bitCount = bitCount;
    out.colourCount = bitCount < 8 ? static_cast<std::uint8_t>(1u << bitCount) : 0;
    out.data = encodeBitmap(image, alpha, bitCount);
    return out;
}

std::vector<std::uint8_t> assembleIconFile(IconFileType type,
                                           const std::vector<EncodedIconImage>& images) {
    std::vector<std::uint8_t> out;
    putLe(out, 0, 2);
    putLe(out, static_cast<std::uint32_t>(type), 2);
    putLe(out, static_cast<std::uint32_t>(images.size()), 2);
    std::size_t offset = kHeaderSize + kEntrySize * images.size();
    for (const EncodedIconImage& e : images) {
        out.push_back(static_cast<std::uint8_t>(e.width & 0xFF));  // 256 is stored as 0
        out.push_back(static_cast<std::uint8_t>(e.height & 0xFF));
        out.push_back(e.colourCount);
        out.push_back(0);
        if (type == IconFileType::Cursor) {
            putLe(out, static_cast<std::uint32_t>(e.hotSpotX), 2);
            putLe(out, static_cast<std::uint32_t>(e.hotSpotY), 2);
        } else {
            putLe(out, 1, 2);
            putLe(out, e.bitCount, 2);
        }
        putLe(out, static_cast<std::uint32_t>(e.data.size()), 4);
        putLe(out, static_cast<std::uint32_t>(offset), 4);
        offset += e.data.size();
    }
    for (const EncodedIconImage& e : images) out.insert(out.end(), e.data.begin(), e.data.end());
    return out;
}

Status IconWriter::Write(const WriterImage& image) {
    // The directory counts images in 16 bits.
    if (m_images.size() >= 0xFFFF) return DecodeError::TooLarge;
    auto encoded = encodeIconImage(image, m_hotX, m_hotY);
    if (!encoded) return encoded.error();
    m_images.push_back(std::move(*encoded));
    reportProgress(1, 1);
    return {};
}

Status IconWriter::onClose() {
    if (m_images.empty()) return DecodeError::NoMoreFrames;
    const std::vector<std::uint8_t> file = assembleIconFile(m_type, m_images);
    put(file.data(), file.size());
    return status();
}

Status AniWriter::Write(const WriterImage& image) {
    if (m_frames.size() >= 0xFFFF) return DecodeError::TooLarge;
    auto encoded = encodeIconImage(image, m_hotX, m_hotY);
    if (!encoded) return encoded.error();
    std::vector<EncodedIconImage> one;
    one.push_back(std::move(*encoded));
    m_frames.push_back(assembleIconFile(IconFileType::Cursor, one));
    m_delays.push_back(m_delay);
    reportProgress(1, 1);
    return {};
}

namespace {

// Hundredths of a second to jiffies of 1/60 s, rounded, at least one.
std::uint32_t delayToJiffies(std::uint32_t delay) {
    return std::max<std::uint32_t>(1,
                                   static_cast<std::uint32_t>((std::uint64_t{delay} * 3 + 2) / 5));
}

void putChunk(std::vector<std::uint8_t>& out, const char* id,
              const std::vector<std::uint8_t>& data) {
    out.insert(out.end(), id, id + 4);
    putLe(out, static_cast<std::uint32_t>(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    if (data.size() & 1) out.push_back(0);
}

}  // namespace

Status AniWriter::onClose() {
    if (m_frames.empty()) return DecodeError::NoMoreFrames;
    // Identical frames are stored once and shown through the sequence.
    std::vector<std::vector<std::uint8_t>> unique;
    std::vector<std::uint32_t> sequence;
    for (const auto& frame : m_frames) {
        auto it = std::find(unique.begin(), unique.end(), frame);
        sequence.push_back(static_cast<std::uint32_t>(it - unique.begin()));
        if (it == unique.end()) unique.push_back(frame);
    }
    // Without a sequence, readers drop a last frame that repeats the one before it; frames
    // that differ only in their hot spot look the same to them.
    bool needSequence = unique.size() != m_frames.size();
    if (!needSequence && unique.size() >= 2) {
        const auto& a = unique[unique.size() - 2];
        const auto& b = unique.back();
        const std::size_t skip = kHeaderSize + kEntrySize;
        needSequence =
            a.size() == b.size() && std::equal(a.begin() + skip, a.end(), b.begin() + skip);
    }
    std::vector<std::uint32_t> rates;
    for (std::uint32_t d : m_delays) rates.push_back(delayToJiffies(d));
    const bool needRates =
        std::any_of(rates.begin(), rates.end(), [&](std::uint32_t r) { return r != rates[0]; });

    std::vector<std::uint8_t> body;
    body.insert(body.end(), {'A', 'C', 'O', 'N'});
    std::vector<std::uint8_t> anih;
    putLe(anih, 36, 4);
    putLe(anih, static_cast<std::uint32_t>(unique.size()), 4);
    putLe(anih, static_cast<std::uint32_t>(sequence.size()), 4);
    for (int i = 0; i < 4; ++i) putLe(anih, 0, 4);  // width, height, bits, planes: in the frames
    putLe(anih, rates[0], 4);
    putLe(anih, needSequence ? 3 : 1, 4);  // frames are icons; a sequence follows
    putChunk(body, "anih", anih);
    if (needRates) {
        std::vector<std::uint8_t> table;
        for (std::uint32_t r : rates) putLe(table, r, 4);
        putChunk(body, "rate", table);
    }
    if (needSequence) {
        std::vector<std::uint8_t> table;
        for (std::uint32_t s : sequence) putLe(table, s, 4);
        putChunk(body, "seq ", table);
    }
    std::vector<std::uint8_t> list;
    list.insert(list.end(), {'f', 'r', 'a', 'm'});
    for (const auto& frame : unique) putChunk(list, "icon", frame);
    putChunk(body, "LIST", list);
    if (body.size() > 0xFFFFFFF0u) return DecodeError::TooLarge;

    std::vector<std::uint8_t> file;
    putChunk(file, "RIFF", body);
    put(file.data(), file.size());
    return status();
}

std::unique_ptr<ImageWriter> makeIconWriter(IconFileType type) {
    return std::make_unique<IconWriter>(type);
}
std::unique_ptr<ImageWriter> makeAniWriter() { return std::make_unique<AniWriter>(); }

}  // namespace kalder::image
