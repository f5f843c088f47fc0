#include "image/readers/png_reader.h"

#include <png.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "base/limits.h"
#include "image/checked.h"
#include "image/readers/reader_factory.h"
#include "image/sinks.h"

namespace kalder::image {

// The libpng structures and the last library message. Owned by the reader on the heap, so a
// longjmp never skips its destructor.
struct PngSession {
    png_structp png = nullptr;
    png_infop info = nullptr;
    BufferedInput* input = nullptr;
    bool truncated = false;
    // The chunk walk beside libpng: it reads strictly in order, so every chunk header passes
    // through readData at a known offset and its length can be weighed against the file.
    std::uint64_t consumed = 0;   // bytes handed to the library
    std::uint64_t nextChunk = 8;  // offset of the next chunk's length field
    png_byte header[8] = {};
    bool chunkTooLong = false;
    char message[128] = {};

    ~PngSession() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

namespace {

// Deflate turns one byte into at most this many; image data declaring more than the rest of the
// file could inflate to cannot be there, so its whole-image buffer is not allocated.
constexpr std::uint64_t kMaxDeflateRatio = 1032;

// Ancillary chunks may ask for this much each; image data is not limited, but no chunk may be
// longer than what is left of the file.
constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{8} << 20;
constexpr png_uint_32 kMaxCachedChunks = 1000;

// What the guarded header step learns from the library.
struct PngHeader {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int bitDepth = 0;
    int colorType = 0;
    int interlace = 0;
};

// --- callbacks handed to libpng. They hold nothing with a destructor: png_error longjmps out.
void onError(png_structp png, png_const_charp message) {
    auto* s = static_cast<PngSession*>(png_get_error_ptr(png));
    if (s && message) {
        std::strncpy(s->message, message, sizeof(s->message) - 1);
        s->message[sizeof(s->message) - 1] = 0;
    }
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {}

// Follows the chunk headers in the bytes just read. libpng only warns about an oversized
// ancillary chunk and then allocates its declared length, so a short file could ask for 2 GiB;
// a chunk that cannot fit in the rest of the file is refused here, before that allocation.
// Image data is streamed in small pieces, so a cut-off IDAT still yields the rows it holds.
bool chunksFitTheFile(PngSession* s, const png_byte* data, std::size_t length) {
    const std::uint64_t start = s->consumed;
    s->consumed += length;
    while (s->nextChunk < s->consumed) {
        // Collect the eight header bytes (big-endian length, type) as they come by.
        const std::uint64_t headerEnd = s->nextChunk + 8;
        for (std::uint64_t at = std::max(start, s->nextChunk);
             at < std::min(headerEnd, s->consumed); ++at)
            s->header[at - s->nextChunk] = data[at - start];
        if (headerEnd > s->consumed) return true;
        const std::uint32_t chunkLength = (std::uint32_t{s->header[0]} << 24) |
                                          (std::uint32_t{s->header[1]} << 16) |
                                          (std::uint32_t{s->header[2]} << 8) | s->header[3];
        const std::uint64_t end = s->nextChunk + 12 + chunkLength;  // header, data, CRC
        const bool imageData = std::memcmp(s->header + 4, "IDAT", 4) == 0;
        if (chunkLength > 0x7fffffffu || (!imageData && end > s->input->size())) return false;
        s->nextChunk = end;
    }
    return true;
}

void readData(png_structp png, png_bytep data, size_t length) {
    auto* s = static_cast<PngSession*>(png_get_io_ptr(png));
    if (s->input->readUpTo(data, length) != length) {
        s->truncated = true;
        png_error(png, "unexpected end of file");
    }
    if (!chunksFitTheFile(s, data, length)) {
        s->chunkTooLong = true;
        png_error(png, "chunk longer than the file");
    }
}

// --- guards: setjmp lives only here, around library calls on plain C data.
bool guardedReadInfo(PngSession* s, PngHeader* h) {
    if (setjmp(png_jmpbuf(s->png))) return false;
    // Our own size check follows, with its own error; the library only guards its arithmetic.
    png_set_user_limits(s->png, 0x7fffffff, 0x7fffffff);
    png_set_chunk_malloc_max(s->png, kMaxChunkBytes);
    png_set_chunk_cache_max(s->png, kMaxCachedChunks);
    png_read_info(s->png, s->info);
    png_get_IHDR(s->png, s->info, &h->width, &h->height, &h->bitDepth, &h->colorType, &h->interlace,
                 nullptr, nullptr);
    return true;
}

// Asks for 8-bit red, green, blue, plus alpha where the file has any; returns the passes.
int guardedTransform(PngSession* s, const PngHeader* h) {
    if (setjmp(png_jmpbuf(s->png))) return -1;
    png_structp png = s->png;
    const bool gray = (h->colorType & PNG_COLOR_MASK_COLOR) == 0;
    if (h->colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (gray && h->bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, s->info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (h->bitDepth == 16) png_set_strip_16(png);
    if (h->bitDepth < 8) png_set_packing(png);
    if (gray) png_set_gray_to_rgb(png);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, s->info);
    return passes;
}

bool guardedReadRow(PngSession* s, png_bytep row) {
    if (setjmp(png_jmpbuf(s->png))) return false;
    png_read_row(s->png, row, nullptr);
    return true;
}

bool guardedReadEnd(PngSession* s) {
    if (setjmp(png_jmpbuf(s->png))) return false;
    png_read_end(s->png, s->info);
    return true;
}

inline double fileGammaToDecoding(double fileGamma) {
    return fileGamma > 0 ? 1.0 / fileGamma : 2.2;
}

}  // namespace

PngReader::PngReader() = default;
PngReader::~PngReader() = default;

DecodeError PngReader::sessionError() const {
    if (!m_session) return DecodeError::Corrupt;
    if (m_session->truncated || m_session->chunkTooLong) return DecodeError::Truncated;
    const char* m = m_session->message;
    if (std::strstr(m, "user limit") || std::strstr(m, "too large") ||
        std::strstr(m, "Invalid image width") || std::strstr(m, "Invalid image height"))
        return DecodeError::TooLarge;
    if (std::strstr(m, "ut of memory") || std::strstr(m, "Insufficient memory"))
        return DecodeError::OutOfMemory;
    if (std::strstr(m, "Not a PNG file")) return DecodeError::BadSignature;
    if (std::strstr(m, "Not enough image data")) return DecodeError::Truncated;
    return DecodeError::Corrupt;
}

Status PngReader::ReadHeader() {
    if (m_failed) return m_error;
    if (m_headerRead) return {};
    if (!m_input.isOpen()) return fail(DecodeError::Io);

    m_session = std::make_unique<PngSession>();
    PngSession* s = m_session.get();
    s->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, s, onError, onWarning);
    if (!s->png) return fail(DecodeError::OutOfMemory);
    s->info = png_create_info_struct(s->png);
    if (!s->info) return fail(DecodeError::OutOfMemory);
    s->input = &m_input;
    png_set_read_fn(s->png, s, readData);

    PngHeader h;
    if (!guardedReadInfo(s, &h)) return fail(sessionError());
    if (!validImageSide(h.width) || !validImageSide(h.height)) return fail(DecodeError::TooLarge);
    m_width = static_cast<std::int32_t>(h.width);
    m_height = static_cast<std::int32_t>(h.height);
    m_fileColorType = h.colorType;
    m_fileBitDepth = h.bitDepth;
    m_interlaced = h.interlace != PNG_INTERLACE_NONE;

    png_colorp plte = nullptr;
    int plteCount = 0;
    if (png_get_PLTE(s->png, s->info, &plte, &plteCount) && plte) {
        m_paletteCount = std::clamp(plteCount, 0, 256);
        for (int i = 0; i < m_paletteCount; ++i) {
            m_palette[i * 3] = plte[i].red;
            m_palette[i * 3 + 1] = plte[i].green;
            m_palette[i * 3 + 2] = plte[i].blue;
        }
    }
    png_bytep alphas = nullptr;
    int alphaCount = 0;
    png_color_16p transColour = nullptr;
    if (png_get_tRNS(s->png, s->info, &alphas, &alphaCount, &transColour) && alphas &&
        h.colorType == PNG_COLOR_TYPE_PALETTE) {
        m_transparencyCount = std::clamp(alphaCount, 0, 256);
        std::copy_n(alphas, m_transparencyCount, m_transparency.begin());
    }

    png_uint_32 resX = 0, resY = 0;
    int unit = 0;
    if (png_get_pHYs(s->png, s->info, &resX, &resY, &unit) && unit == PNG_RESOLUTION_METER) {
        m_dpiX = static_cast<std::int32_t>(resX / 39.37 + 0.5);
        m_dpiY = static_cast<std::int32_t>(resY / 39.37 + 0.5);
    }

    // Colour information, the most specific first.
    png_charp iccName = nullptr;
    int compression = 0;
    png_bytep icc = nullptr;
    png_uint_32 iccLength = 0;
    int intent = 0;
    double fileGamma = 0;
    const bool hasGamma = png_get_gAMA(s->png, s->info, &fileGamma) && fileGamma > 0;
    double wx = 0, wy = 0, rx = 0, ry = 0, gx = 0, gy = 0, bx = 0, by = 0;
    if (png_get_iCCP(s->png, s->info, &iccName, &compression, &icc, &iccLength) && icc &&
        iccLength > 0) {
        m_colorSpace.kind = ColorSpace::Kind::Icc;
        m_colorSpace.iccProfile.assign(icc, icc + iccLength);
        m_hasColorSpace = true;
    } else if (png_get_sRGB(s->png, s->info, &intent)) {
        m_colorSpace.kind = ColorSpace::Kind::Srgb;
        m_hasColorSpace = true;
    } else if (png_get_cHRM(s->png, s->info, &wx, &wy, &rx, &ry, &gx, &gy, &bx, &by)) {
        m_colorSpace.kind = ColorSpace::Kind::Calibrated;
        m_colorSpace.hasChromaticities = true;
        m_colorSpace.whiteX = wx;
        m_colorSpace.whiteY = wy;
        m_colorSpace.redX = rx;
        m_colorSpace.redY = ry;
        m_colorSpace.greenX = gx;
        m_colorSpace.greenY = gy;
        m_colorSpace.blueX = bx;
        m_colorSpace.blueY = by;
        const double g = hasGamma ? fileGammaToDecoding(fileGamma) : 2.2;
        m_colorSpace.gammaRed = m_colorSpace.gammaGreen = m_colorSpace.gammaBlue = g;
        m_hasColorSpace = true;
    } else if (hasGamma) {
        m_colorSpace.kind = ColorSpace::Kind::Calibrated;
        const double g = fileGammaToDecoding(fileGamma);
        m_colorSpace.gammaRed = m_colorSpace.gammaGreen = m_colorSpace.gammaBlue = g;
        m_hasColorSpace = true;
    }

    const int passes = guardedTransform(s, &h);
    if (passes < 0) return fail(sessionError());
    m_passes = passes;
    m_channels = png_get_channels(s->png, s->info);
    const int depth = png_get_bit_depth(s->png, s->info);
    const auto expected = checkedMul(static_cast<std::size_t>(m_width), m_channels);
    if ((m_channels != 3 && m_channels != 4) || depth != 8 || !expected ||
        png_get_rowbytes(s->png, s->info) != *expected)
        return fail(DecodeError::Unsupported);
    m_headerRead = true;
    return {};
}

std::uint32_t PngReader::BitsPerPixel() const {
    if (!m_headerRead) return 0;
    if ((m_fileColorType & PNG_COLOR_MASK_COLOR) == 0) return 8;
    if (m_fileColorType == PNG_COLOR_TYPE_PALETTE)
        return static_cast<std::uint32_t>(m_fileBitDepth);
    return 24;
}

bool PngReader::GetPalette(Palette& palette) const {
    if (!m_headerRead) return false;
    if ((m_fileColorType & PNG_COLOR_MASK_COLOR) == 0) {
        for (int i = 0; i < 256; ++i)
            palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = static_cast<std::uint8_t>(i);
        return true;
    }
    if (m_fileColorType == PNG_COLOR_TYPE_PALETTE) {
        if (m_paletteCount == 0) return false;
        std::copy_n(m_palette.begin(), m_paletteCount * 3, palette.begin());
    }
    return true;
}

std::int32_t PngReader::TransparentIndex() const {
    if (m_fileColorType != PNG_COLOR_TYPE_PALETTE) return -1;
    std::int32_t index = -1;
    for (int i = 0; i < m_transparencyCount; ++i) {
        if (m_transparency[i] == 0) {
            if (index >= 0) return -1;
            index = i;
        } else if (m_transparency[i] != 255) {
            return -1;
        }
    }
    return index;
}

bool PngReader::GetColorSpace(ColorSpace& space) const {
    if (!m_hasColorSpace) return false;
    space = m_colorSpace;
    return true;
}

std::string PngReader::Description() const {
    std::string text = (m_fileColorType & PNG_COLOR_MASK_COLOR) ? "PNG, color" : "PNG, gray-scale";
    if (m_fileColorType & PNG_COLOR_MASK_ALPHA) text += " with alpha-channel";
    if (m_interlaced) text += ", interlaced";
    return text;
}

Result<std::uint32_t> PngReader::BeginDecode() {
    if (m_failed) return m_error;
    if (!m_headerRead) return fail(DecodeError::Corrupt);
    if (m_begun) return fail(DecodeError::NoMoreFrames);
    m_begun = true;
    const std::size_t rowBytes = static_cast<std::size_t>(m_width) * m_channels;
    try {
        if (m_channels == 4 && m_settings.extractAlpha) {
            const auto pixels = checkedMul(static_cast<std::size_t>(m_width), m_height);
            if (!pixels) return fail(DecodeError::TooLarge);
            m_alphaPlane.assign(*pixels, 255);
        }
        if (m_passes > 1) {
            const auto bytes = checkedMul(rowBytes, static_cast<std::size_t>(m_height));
            if (!bytes || *bytes > base::kMaxBufferBytes) return fail(DecodeError::TooLarge);
            // The file's own samples with a filter byte a row, before any expansion.
            const std::uint64_t channels =
                m_fileColorType == PNG_COLOR_TYPE_PALETTE
                    ? 1
                    : ((m_fileColorType & PNG_COLOR_MASK_COLOR) ? 3 : 1) +
                          ((m_fileColorType & PNG_COLOR_MASK_ALPHA) ? 1 : 0);
            const std::uint64_t fileRow =
                (static_cast<std::uint64_t>(m_width) * channels * m_fileBitDepth + 7) / 8 + 1;
            if (fileRow * static_cast<std::uint64_t>(m_height) / kMaxDeflateRatio >
                m_input.remaining())
                return fail(DecodeError::Truncated);
            m_image.assign(*bytes, 0);
        } else if (m_channels == 4) {
            m_row.assign(rowBytes, 0);
        }
    } catch (const std::bad_alloc&) {
        return fail(DecodeError::OutOfMemory);
    }

    if (m_passes > 1) {
        // Every pass fills in its pixels of every row; rows can only be handed out at the end.
        const std::int64_t total = static_cast<std::int64_t>(m_height) * 8;
        for (int pass = 0; pass < m_passes; ++pass) {
            for (std::int32_t y = 0; y < m_height; ++y) {
                if (!guardedReadRow(m_session.get(), m_image.data() + rowBytes * y))
                    return fail(sessionError());
                if (isCancelled()) return fail(DecodeError::Cancelled);
                if (m_settings.progress)
                    m_settings.progress->Progress(total,
                                                  static_cast<std::int64_t>(m_height) * pass + y);
            }
        }
    }
    m_nextRow = 0;
    return 0u;
}

void PngReader::convertRow(const std::uint8_t* src, std::uint8_t* out, std::int32_t y) {
    if (m_channels == 3) {
        if (src != out) std::memcpy(out, src, static_cast<std::size_t>(m_width) * 3);
        return;
    }
    std::uint8_t* alpha = m_alphaPlane.empty()
                              ? nullptr
                              : m_alphaPlane.data() + static_cast<std::size_t>(y) * m_width;
    const bool blendAlpha = m_settings.blendAlpha;
    for (std::int32_t x = 0; x < m_width; ++x, src += 4, out += 3) {
        const std::uint8_t a = src[3];
        if (blendAlpha) {
            out[0] = blend(src[0], a, 0);
            out[1] = blend(src[1], a, 1);
            out[2] = blend(src[2], a, 2);
        } else {
            out[0] = src[0];
            out[1] = src[1];
            out[2] = src[2];
        }
        if (alpha) alpha[x] = a;
    }
}

Status PngReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (!m_begun || m_nextRow >= m_height) return fail(DecodeError::Corrupt);
    const std::int32_t y = m_nextRow++;
    if (m_passes > 1) {
        if (!skip || !m_alphaPlane.empty())
            convertRow(m_image.data() + static_cast<std::size_t>(y) * m_width * m_channels, out, y);
        return rowDelivered(static_cast<std::int64_t>(m_height) * 8,
                            static_cast<std::int64_t>(m_height) * 7 + y + 1);
    }
    // Rows without alpha go from the library straight into the caller's buffer.
    std::uint8_t* target = m_channels == 3 ? out : m_row.data();
    if (!guardedReadRow(m_session.get(), target)) return fail(sessionError());
    convertRow(target, out, y);
    return rowDelivered(m_height, y + 1);
}

void PngReader::EndDecode() {
    if (!m_begun || m_ended || !m_session) return;
    m_ended = true;
    // What follows the image data is read when the whole image was; text before it is kept
    // either way.
    if (!m_failed && m_nextRow >= m_height) (void)guardedReadEnd(m_session.get());
    collectText();
    m_image.clear();
    m_image.shrink_to_fit();
}

void PngReader::collectText() {
    if (!m_settings.comments) return;
    png_textp text = nullptr;
    int count = 0;
    png_get_text(m_session->png, m_session->info, &text, &count);
    for (int i = 0; i < count && text; ++i) {
        if (!text[i].text || !text[i].text[0]) continue;
        const char* key = text[i].key ? text[i].key : "";
        if (strcasecmp(key, "Comment") == 0) {
            appendComment(text[i].text);
        } else {
            appendComment(std::string(key) + ": " + text[i].text);
        }
    }
}

std::unique_ptr<ImageReader> makePngReader() { return std::make_unique<PngReader>(); }

}  // namespace kalder::image
