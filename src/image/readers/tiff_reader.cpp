#include "image/readers/tiff_reader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "base/limits.h"
#include "image/bitmap32.h"
#include "image/cdx_loader.h"
#include "image/checked.h"
#include "image/image_reader.h"
#include "image/readers/reader_factory.h"
#include "image/sinks.h"

namespace kalder::image {
namespace {

constexpr std::uint16_t kPhotometricMinIsWhite = 0;
constexpr std::uint16_t kPhotometricRgb = 2;
constexpr std::uint16_t kExtraSampleCount = 4;  // RGBA and gray+alpha directories carry alpha
constexpr std::uint16_t kAssociatedAlpha = 1;

struct HandleCloser {
    const CdxTiffApi* api = nullptr;
    void operator()(CdxTiff* tif) const {
        if (api && tif) api->close(tif);
    }
};
using TiffHandle = std::unique_ptr<CdxTiff, HandleCloser>;

std::int32_t dpiFrom(double value, std::uint16_t unit) {
    double dpi;
    if (unit == 2) {
        dpi = value + 0.5;
    } else if (unit == 3) {
        dpi = value * 2.54 + 0.5;
    } else {
        return -1;
    }
    if (!std::isfinite(dpi) || dpi < 1 || dpi > 1e6) return -1;
    return static_cast<std::int32_t>(dpi);
}

class TiffReader final : public ImageReader {
public:
    Status OpenFile(const std::filesystem::path& path, const ReaderSettings& settings) override {
        m_path = path;
        m_memory = {};
        KALDER_TRY(ImageReader::OpenFile(path, settings));
        return loadTable();
    }
    Status OpenMemory(std::span<const std::uint8_t> bytes) override {
        m_path.clear();
        m_memory = bytes;
        KALDER_TRY(ImageReader::OpenMemory(bytes));
        return loadTable();
    }

    bool IsSingleImage() const override { return false; }
    Status ReadHeader() override;
    std::int32_t Width() const override { return static_cast<std::int32_t>(m_dir.width); }
    std::int32_t Height() const override { return static_cast<std::int32_t>(m_dir.height); }
    std::uint32_t BitsPerPixel() const override {
        if (!m_dir.hasBitsPerSample) return 1;
        if (!m_dir.hasSamplesPerPixel || m_dir.samplesPerPixel == 1) return m_dir.bitsPerSample;
        return 24;
    }
    bool GetPalette(Palette& palette) const override;
    std::string Description() const override {
        if (!m_dir.hasCompression) return "TIFF";
        return m_dir.compression < 2 ? "TIFF, uncompressed" : "TIFF, compressed";
    }
    std::int32_t DpiX() const override {
        return m_dir.hasXResolution && m_dir.hasResolutionUnit
                   ? dpiFrom(m_dir.xResolution, m_dir.resolutionUnit)
                   : -1;
    }
    std::int32_t DpiY() const override {
        return m_dir.hasYResolution && m_dir.hasResolutionUnit
                   ? dpiFrom(m_dir.yResolution, m_dir.resolutionUnit)
                   : -1;
    }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;
    void EndDecode() override;
    Status MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap, std::int32_t size,
                         ColorRef backgroundColour, const CancelSink* cancel) override;

private:
    Status loadTable();
    Status readDirectory();
    Status allocateBuffers();
    // Moves to the next directory; remembers when there is none.
    void advance();
    // The RGBA row of source row y, loading its strip or tile row when needed.
    Result<const std::uint32_t*> rgbaRow(std::uint32_t y);
    // Turns `count` RGBA pixels, `step` apart, into red, green, blue; their opacities go to
    // alpha when it is given.
    void convertRow(const std::uint32_t* rgba, std::uint8_t* out, std::uint32_t step,
                    std::uint32_t count, std::uint8_t* alpha = nullptr) const;

    const CdxTiffApi* m_api = nullptr;
    TiffHandle m_tif;
    std::filesystem::path m_path;
    std::span<const std::uint8_t> m_memory;
    std::uint64_t m_fileSize = 0;
    CdxTiffDirectory m_dir{};
    std::uint32_t m_rowsPerBlock = 0;    // rows per strip, or tile length
    std::vector<std::uint32_t> m_block;  // strip buffer, or tile-row buffer
    std::vector<std::uint32_t> m_tile;
    std::int64_t m_loadedBlock = -1;
    std::uint32_t m_row = 0;
    std::uint32_t m_page = 0;
    // The directory has an alpha sample the library honours, and whether the colours it hands
    // back are already multiplied by it.
    bool m_hasAlpha = false;
    bool m_premultiplied = false;
    bool m_blendAlpha = false;
    bool m_advanced = false;  // EndDecode already moved to the next directory
    bool m_noMoreDirectories = false;
};

Status TiffReader::loadTable() {
    m_api = cdx::tiffApi(cdx::Group::Readers);
    if (!m_api) return fail(DecodeError::NoReader);
    return {};
}

Status TiffReader::ReadHeader() {
    if (m_failed) return m_error;
    if (!m_api) return fail(DecodeError::NoReader);
    CdxMessage message{};
    CdxTiff* raw = nullptr;
    const int status = m_memory.data()
                           ? m_api->openMemory(m_memory.data(), m_memory.size(), &raw, &message)
                           : m_api->open(m_path.c_str(), "r", &raw, &message);
    if (status != CDX_OK || !raw) return fail(DecodeError::Corrupt);
    m_tif = TiffHandle(raw, HandleCloser{m_api});
    m_fileSize = m_memory.data() ? m_memory.size() : m_input.size();
    m_input.close();  // the module reads the file itself
    return readDirectory();
}

Status TiffReader::readDirectory() {
    if (m_api->directory(m_tif.get(), &m_dir) != CDX_OK) return fail(DecodeError::Corrupt);
    if (!m_dir.hasWidth || !m_dir.hasHeight) return fail(DecodeError::Corrupt);
    if (!validImageSide(m_dir.width) || !validImageSide(m_dir.height))
        return fail(DecodeError::TooLarge);
    if (m_dir.isTiled) {
        if (m_dir.tileWidth == 0 || m_dir.tileLength == 0) return fail(DecodeError::Corrupt);
        const std::uint64_t across =
            (m_dir.width + std::uint64_t{m_dir.tileWidth} - 1) / m_dir.tileWidth;
        const std::uint64_t down =
            (m_dir.height + std::uint64_t{m_dir.tileLength} - 1) / m_dir.tileLength;
        if (m_dir.tileCount < across * down) return fail(DecodeError::Corrupt);
        // The module returns whole tiles, padded below the image's last row.
        m_rowsPerBlock = m_dir.tileLength;
    } else {
        // No RowsPerStrip means one strip for the whole image.
        const std::uint32_t rps = m_dir.rowsPerStrip ? m_dir.rowsPerStrip : m_dir.height;
        m_rowsPerBlock = std::min(rps, m_dir.height);
        const std::uint64_t strips =
            (m_dir.height + std::uint64_t{m_rowsPerBlock} - 1) / m_rowsPerBlock;
        if (m_dir.stripCount < strips) return fail(DecodeError::Corrupt);
    }
    if (!m_dir.rgbaReadable) return fail(DecodeError::Unsupported);
    return {};
}

// How many bytes of decoded samples one byte of the file can give at most, by compression;
// 0 where no useful bound exists (fax codings describe a blank row in a few bits).
std::uint64_t maxExpansion(std::uint16_t compression) {
    switch (compression) {
        case 1:  // none
            return 1;
        case 32773:  // PackBits: two bytes repeat one up to 128 times
            return 64;
        case 5:  // LZW: a code of at least 9 bits stands for at most 4096 bytes
            return 4096;
        case 8:
        case 32946:  // Deflate
            return 1032;
        default:
            return 0;
    }
}

Status TiffReader::allocateBuffers() {
    const std::size_t w = m_dir.width;
    m_loadedBlock = -1;
    // The first strip or tile must fit in the file before a buffer for all of it is set up.
    if (const std::uint64_t expansion =
            maxExpansion(m_dir.hasCompression ? m_dir.compression : 1)) {
        // Separate planes keep one sample a strip.
        const std::uint64_t spp =
            m_dir.planar == 2 ? 1 : (m_dir.hasSamplesPerPixel ? m_dir.samplesPerPixel : 1);
        const std::uint64_t bits = m_dir.hasBitsPerSample ? m_dir.bitsPerSample : 1;
        const std::uint64_t across = m_dir.isTiled ? m_dir.tileWidth : w;
        const std::uint64_t raw = (across * spp * bits + 7) / 8 * m_rowsPerBlock;
        if (raw / expansion > m_fileSize) return fail(DecodeError::Truncated);
    }
    if (m_dir.isTiled) {
        auto tile = checkedMul(m_dir.tileWidth, m_dir.tileLength, 4);
        auto row = checkedMul(m_dir.tileLength, w, 4);
        if (!tile || !row || *tile > base::kMaxBufferBytes || *row > base::kMaxBufferBytes)
            return fail(DecodeError::TooLarge);
        m_tile.assign(*tile / 4, 0);
        m_block.assign(*row / 4, 0);
    } else {
        auto strip = checkedMul(m_rowsPerBlock, w, 4);
        if (!strip || *strip > base::kMaxBufferBytes) return fail(DecodeError::TooLarge);
        m_tile.clear();
        m_block.assign(*strip / 4, 0);
    }
    return {};
}

bool TiffReader::GetPalette(Palette& palette) const {
    const std::uint32_t spp = m_dir.hasSamplesPerPixel ? m_dir.samplesPerPixel : 1;
    const std::uint32_t bits = m_dir.hasBitsPerSample ? m_dir.bitsPerSample : 1;
    if (spp != 1 || bits == 0 || bits > 8) return true;
    const std::size_t entries = std::size_t{1} << bits;
    if (m_dir.hasColorMap && m_tif) {
        std::uint16_t r[256], g[256], b[256];
        if (m_api->colorMap(m_tif.get(), r, g, b, entries) == CDX_OK) {
            // Some writers store 8-bit values; treat a map with nothing above 255 as such.
            bool eightBit = true;
            for (std::size_t i = 0; i < entries; ++i)
                if (r[i] > 255 || g[i] > 255 || b[i] > 255) eightBit = false;
            const int shift = eightBit ? 0 : 8;
            for (std::size_t i = 0; i < entries; ++i) {
                palette[i * 3] = static_cast<std::uint8_t>(r[i] >> shift);
                palette[i * 3 + 1] = static_cast<std::uint8_t>(g[i] >> shift);
                palette[i * 3 + 2] = static_cast<std::uint8_t>(b[i] >> shift);
            }
            return true;
        }
    }
    // A gray ramp (1 bit: black and white), reversed for white-is-zero files.
    const bool reversed = m_dir.hasPhotometric && m_dir.photometric == kPhotometricMinIsWhite;
    for (std::size_t i = 0; i < entries; ++i) {
        std::uint8_t v = static_cast<std::uint8_t>(i * 255 / (entries - 1));
        if (reversed) v = static_cast<std::uint8_t>(255 - v);
        palette[i * 3] = palette[i * 3 + 1] = palette[i * 3 + 2] = v;
    }
    return true;
}

Result<std::uint32_t> TiffReader::BeginDecode() {
    if (m_failed) return m_error;
    if (!m_tif) return fail(DecodeError::Corrupt);
    if (m_page > 0) {
        if (!m_advanced) advance();
        m_advanced = false;
        if (m_failed) return m_error;
        if (m_noMoreDirectories) return fail(DecodeError::NoMoreFrames);
    }
    KALDER_TRY(allocateBuffers());
    // ExtraSamples 1 (associated) and 2 (unassociated) are alpha; 0 (unspecified) is not, as
    // such samples are often masks or other data. Four RGB samples without the tag are taken as
    // associated alpha, as the library does. Where the library finds no alpha it reports every
    // pixel opaque.
    const bool unspecified = m_dir.hasExtraSamples && m_dir.extraSample == 0;
    m_hasAlpha = m_dir.hasSamplesPerPixel && !unspecified &&
                 (m_dir.samplesPerPixel == 2 || m_dir.samplesPerPixel >= kExtraSampleCount) &&
                 m_dir.photometric <= kPhotometricRgb;
    // The library multiplies unassociated colour by alpha but leaves gray as stored, so colour
    // comes back premultiplied for RGB and for associated gray.
    m_premultiplied =
        m_hasAlpha && (m_dir.photometric == kPhotometricRgb ||
                       (m_dir.hasExtraSamples && m_dir.extraSample == kAssociatedAlpha));
    m_blendAlpha = m_settings.blendAlpha && m_hasAlpha;
    m_alphaPlane.clear();
    if (m_settings.extractAlpha && m_hasAlpha) {
        // No plane for more pixels than the file could hold.
        const std::uint64_t pixels = std::uint64_t{m_dir.width} * m_dir.height;
        const std::uint64_t expansion = maxExpansion(m_dir.hasCompression ? m_dir.compression : 1);
        if (pixels / (expansion ? expansion : 4096) > m_fileSize)
            return fail(DecodeError::Truncated);
        try {
            m_alphaPlane.assign(static_cast<std::size_t>(pixels), 255);
        } catch (const std::bad_alloc&) {
            return fail(DecodeError::OutOfMemory);
        }
    }
    m_row = 0;
    ++m_page;
    return 0u;
}

Result<const std::uint32_t*> TiffReader::rgbaRow(std::uint32_t y) {
    const std::uint32_t n = m_rowsPerBlock;
    const std::int64_t block = y / n;
    const std::size_t w = m_dir.width;
    if (block != m_loadedBlock) {
        m_loadedBlock = -1;
        const std::uint32_t first = static_cast<std::uint32_t>(block) * n;
        if (m_dir.isTiled) {
            const std::size_t tw = m_dir.tileWidth;
            for (std::size_t x = 0; x < w; x += tw) {
                if (m_api->readRgbaTile(m_tif.get(), static_cast<std::uint32_t>(x), first,
                                        m_tile.data(), m_tile.size() * 4) != CDX_OK)
                    return fail(DecodeError::Corrupt);
                const std::size_t count = std::min(tw, w - x);
                for (std::size_t r = 0; r < n; ++r)
                    std::memcpy(&m_block[r * w + x], &m_tile[r * tw], count * 4);
            }
        } else {
            // The last, shorter strip lands at the end of the buffer, so that row y is always
            // found n - 1 - (y mod n) rows from the start.
            const std::uint32_t rows = std::min(n, m_dir.height - first);
            const std::size_t offset = static_cast<std::size_t>(n - rows) * w;
            if (m_api->readRgbaStrip(m_tif.get(), first, m_block.data() + offset,
                                     (m_block.size() - offset) * 4) != CDX_OK)
                return fail(DecodeError::Corrupt);
        }
        m_loadedBlock = block;
    }
    return m_block.data() + static_cast<std::size_t>(n - 1 - (y % n)) * w;
}

void TiffReader::convertRow(const std::uint32_t* rgba, std::uint8_t* out, std::uint32_t step,
                            std::uint32_t count, std::uint8_t* alpha) const {
    if (!m_hasAlpha && !alpha) {
        // Opaque pictures, the common case, take a loop with nothing to decide per pixel.
        for (std::uint32_t i = 0; i < count; ++i, rgba += step, out += 3) {
            const std::uint32_t p = *rgba;
            out[0] = static_cast<std::uint8_t>(p);
            out[1] = static_cast<std::uint8_t>(p >> 8);
            out[2] = static_cast<std::uint8_t>(p >> 16);
        }
        return;
    }
    for (std::uint32_t i = 0; i < count; ++i, rgba += step, out += 3) {
        const std::uint32_t p = *rgba;
        const std::uint32_t a = m_hasAlpha ? p >> 24 : 255;
        std::uint32_t c[3] = {p & 0xff, (p >> 8) & 0xff, (p >> 16) & 0xff};
        if (alpha) alpha[i] = static_cast<std::uint8_t>(a);
        if (a != 255 && m_blendAlpha) {
            // Over the background: premultiplied colour only gains the background's share.
            for (int k = 0; k < 3; ++k) {
                const std::uint32_t own = m_premultiplied ? c[k] * 255 : c[k] * a;
                c[k] = std::min<std::uint32_t>(255, (own + m_blendTable[k][a] + 127) / 255);
            }
        } else if (a != 255 && m_premultiplied) {
            // The colour itself, for whoever composites it later; nothing is left of it where
            // the pixel is fully transparent.
            for (int k = 0; k < 3; ++k)
                c[k] = a == 0 ? 0 : std::min<std::uint32_t>(255, (c[k] * 255 + a / 2) / a);
        }
        out[0] = static_cast<std::uint8_t>(c[0]);
        out[1] = static_cast<std::uint8_t>(c[1]);
        out[2] = static_cast<std::uint8_t>(c[2]);
    }
}

Status TiffReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (m_row >= m_dir.height || m_block.empty()) return fail(DecodeError::Corrupt);
    if (!skip) {
        auto row = rgbaRow(m_row);
        if (!row) return row.error();
        std::uint8_t* alpha =
            m_alphaPlane.empty() ? nullptr : m_alphaPlane.data() + std::size_t{m_row} * m_dir.width;
        convertRow(*row, out, 1, m_dir.width, alpha);
    }
    ++m_row;
    return rowDelivered(m_dir.height, m_row);
}

void TiffReader::advance() {
    if (m_api->nextDirectory(m_tif.get()) != CDX_OK) {
        m_noMoreDirectories = true;
        return;
    }
    (void)readDirectory();
}

void TiffReader::EndDecode() {
    if (!m_tif || m_failed) return;
    if (m_settings.comments) {
        std::string text(base::kMaxTextBytes, '\0');
        std::size_t length = 0;
        if (m_api->description(m_tif.get(), text.data(), text.size(), &length) == CDX_OK) {
            text.resize(std::min(length, text.size() - 1));
            appendComment(std::move(text));
        }
    }
    // Move on now, so that Width and Height describe the next page before its BeginDecode
    // (a missing or damaged directory is reported there).
    advance();
    m_advanced = true;
}

Status TiffReader::MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap,
                                 std::int32_t size, ColorRef backgroundColour,
                                 const CancelSink* cancel) {
    auto failed = [&bitmap](DecodeError e) {
        bitmap.Release();
        return Status{e};
    };
    if (auto s = openForThumbnail(*this, path, size, backgroundColour, cancel); !s)
        return failed(s.error());
    const std::uint32_t w = m_dir.width, h = m_dir.height;
    const std::int32_t longer = static_cast<std::int32_t>(std::max(w, h));
    // A strip file steps by a whole number of strips, so each thumbnail row costs one strip;
    // when even one strip is too much (and for tiles) the usual step is taken and the loaded
    // strip or tile row is reused while thumbnail rows fall into it.
    std::uint32_t n = 0;
    if (!m_dir.isTiled && size > 0)
        n = static_cast<std::uint32_t>(longer / size) / m_rowsPerBlock * m_rowsPerBlock;
    if (n == 0) n = static_cast<std::uint32_t>(thumbnailStep(longer, size));
    const std::int32_t tw = std::max<std::int32_t>(1, static_cast<std::int32_t>(w / n));
    const std::int32_t th = std::max<std::int32_t>(1, static_cast<std::int32_t>(h / n));
    if (auto begun = BeginDecode(); !begun) return failed(begun.error());
    if (!bitmap.Create(tw, th)) return failed(DecodeError::OutOfMemory);
    // Each thumbnail pixel is the mean of its n x n block, or of the block's rows in the loaded
    // strip when whole strips are stepped over: one sampled pixel would alias fine detail.
    // A picture narrower than the step is one block of its own width.
    const std::uint32_t nx = std::min(n, w);
    std::vector<std::uint8_t> rgb(static_cast<std::size_t>(tw) * nx * 3);
    std::vector<std::uint32_t> sums(static_cast<std::size_t>(tw) * 3);
    for (std::int32_t j = 0; j < th; ++j) {
        const std::uint32_t first = static_cast<std::uint32_t>(j) * n;
        std::uint32_t rows = n;
        if (!m_dir.isTiled && n >= m_rowsPerBlock) rows = m_rowsPerBlock - first % m_rowsPerBlock;
        rows = std::min(rows, h - first);
        std::fill(sums.begin(), sums.end(), 0u);
        for (std::uint32_t k = 0; k < rows; ++k) {
            auto row = rgbaRow(first + k);
            if (!row) return failed(row.error());
            convertRow(*row, rgb.data(), 1, static_cast<std::uint32_t>(tw) * nx);
            const std::uint8_t* p = rgb.data();
            for (std::size_t x = 0; x < static_cast<std::size_t>(tw); ++x)
                for (std::uint32_t i = 0; i < nx; ++i, p += 3) {
                    sums[x * 3] += p[0];
                    sums[x * 3 + 1] += p[1];
                    sums[x * 3 + 2] += p[2];
                }
        }
        const std::uint32_t cell = rows * nx;
        {
            std::lock_guard lock(bitmap.pixelLock());
            std::uint8_t* dst = bitmap.row(j);
            for (std::int32_t x = 0; x < tw; ++x) {
                const std::uint32_t* sum = sums.data() + static_cast<std::size_t>(x) * 3;
                dst[x * 4] = static_cast<std::uint8_t>((sum[2] + cell / 2) / cell);
                dst[x * 4 + 1] = static_cast<std::uint8_t>((sum[1] + cell / 2) / cell);
                dst[x * 4 + 2] = static_cast<std::uint8_t>((sum[0] + cell / 2) / cell);
            }
        }
        bitmap.MarkRowDone(j);
        if (cancel && cancel->isCancelled()) return failed(DecodeError::Cancelled);
    }
    return {};
}

}  // namespace

std::unique_ptr<ImageReader> makeTiffReader() { return std::make_unique<TiffReader>(); }

}  // namespace kalder::image
