#include "image/readers/gif_reader.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "image/checked.h"
#include "image/readers/gif_lzw_p.h"
#include "image/readers/reader_factory.h"

namespace kalder::image {
namespace {

constexpr std::uint8_t kImageSeparator = 0x2c;       // ','
constexpr std::uint8_t kExtensionIntroducer = 0x21;  // '!'
constexpr std::uint8_t kTrailer = 0x3b;              // ';'
constexpr std::uint8_t kGraphicControlLabel = 0xf9;
constexpr std::uint8_t kCommentLabel = 0xfe;
constexpr std::size_t kMaxCommentBytes = 65535;

// The canvas, its mask and the frame buffers stay below this many pixels; beyond it a logical
// screen (at most 32767 x 32767 by the format's limit) is refused rather than allocated.
constexpr std::size_t kMaxCanvasPixels = std::size_t{1} << 27;
// A canvas up to this size is allocated for any file; a larger one only when the rest of the
// file could describe it, so a short file that declares a huge screen is refused before 5 bytes
// a pixel are spent. A code of b bits stands for at most 2^b pixels (the table holds fewer
// entries than that while codes are b bits wide), so the densest data is 12-bit codes of 4096.
constexpr std::size_t kFreeCanvasPixels = std::size_t{1} << 24;
constexpr std::uint64_t kMaxPixelsPerByte = 4096 * 8 / 12 + 1;

struct Pass {
    std::int32_t start;
    std::int32_t step;
};
constexpr Pass kInterlacePasses[4] = {{0, 8}, {4, 8}, {2, 4}, {1, 2}};
constexpr Pass kSequentialPass[1] = {{0, 1}};

}  // namespace

GifReader::GifReader() : m_lzw(std::make_unique<GifLzwDecoder>()) {}
GifReader::~GifReader() = default;

DecodeError GifReader::failed(DecodeError error) {
    m_frameActive = false;
    return fail(error);
}

std::uint32_t GifReader::BitsPerPixel() const {
    return m_frame.localTable.empty() ? m_colourBits : m_frame.bits;
}

bool GifReader::GetPalette(Palette& palette) const {
    const auto& table = m_frame.localTable.empty() ? m_globalTable : m_frame.localTable;
    std::copy(table.begin(), table.begin() + std::min(table.size(), palette.size()),
              palette.begin());
    return true;
}

std::int32_t GifReader::TransparentIndex() const {
    return m_frame.transparent ? m_frame.transparentIndex : -1;
}

Status GifReader::ReadHeader() {
    if (m_failed) return m_error;
    char signature[6];
    m_input.read(signature, sizeof signature);
    if (!m_input.ok()) return failed(DecodeError::Truncated);
    if (std::memcmp(signature, "GIF87a", 6) != 0 && std::memcmp(signature, "GIF89a", 6) != 0)
        return failed(DecodeError::BadSignature);
    m_screenWidth = m_input.u16le();
    m_screenHeight = m_input.u16le();
    const std::uint8_t packed = m_input.u8();
    m_input.u8();  // background colour index: the load options' colour is used instead
    m_input.u8();  // pixel aspect ratio
    if (!m_input.ok()) return failed(DecodeError::Truncated);
    if (m_screenWidth > kMaxImageSide || m_screenHeight > kMaxImageSide)
        return failed(DecodeError::TooLarge);
    m_colourBits = ((packed >> 4) & 7) + 1;
    if (packed & 0x80) {
        const std::uint32_t tableBits = (packed & 7) + 1;
        m_globalTable.resize(static_cast<std::size_t>(3) << tableBits);
        m_input.read(m_globalTable.data(), m_globalTable.size());
        if (!m_input.ok()) return failed(DecodeError::Truncated);
        m_colourBits = std::max(m_colourBits, tableBits);
    }
    auto scan = scanBlocks();
    if (!scan) return failed(scan.error());
    switch (*scan) {
        case Scan::Image:
            m_imagePending = true;
            break;
        case Scan::Control:
            m_controlPending = true;
            break;
        case Scan::Trailer:
            return failed(DecodeError::Corrupt);  // no image at all
    }
    return {};
}

Result<GifReader::Scan> GifReader::scanBlocks() {
    for (;;) {
        if (m_input.atEnd()) return DecodeError::Truncated;
        const std::uint8_t b = m_input.u8();
        if (b == kImageSeparator) return Scan::Image;
        if (b == kTrailer) {
            m_trailer = true;
            return Scan::Trailer;
        }
        if (b != kExtensionIntroducer) continue;  // stray bytes between blocks are ignored
        if (m_input.atEnd()) return DecodeError::Truncated;
        const std::uint8_t label = m_input.u8();
        if (label == kGraphicControlLabel) return Scan::Control;
        if (label == kCommentLabel)
            readComment();
        else
            skipSubBlocks();
        if (!m_input.ok()) return DecodeError::Truncated;
    }
}

void GifReader::skipSubBlocks() {
    for (;;) {
        std::uint8_t length = 0;
        if (m_input.readUpTo(&length, 1) != 1) {
            m_input.fail(DecodeError::Truncated);
            return;
        }
        if (length == 0) return;
        m_input.skip(length);
        if (!m_input.ok()) return;
    }
}

void GifReader::readComment() {
    std::string text;
    for (;;) {
        std::uint8_t length = 0;
        if (m_input.readUpTo(&length, 1) != 1) {
            m_input.fail(DecodeError::Truncated);
            return;
        }
        if (length == 0) break;
        char block[255];
        if (!m_input.read(block, length)) return;
        const std::size_t room = kMaxCommentBytes - text.size();
        text.append(block, std::min<std::size_t>(length, room));
    }
    appendComment(std::move(text));
}

Status GifReader::readGraphicControl() {
    const std::uint8_t blockSize = m_input.u8();
    if (!m_input.ok()) return failed(DecodeError::Truncated);
    if (blockSize != 4) return failed(DecodeError::Corrupt);
    const std::uint8_t packed = m_input.u8();
    std::uint32_t delay = m_input.u16le();
    const std::uint8_t transparentIndex = m_input.u8();
    skipSubBlocks();
    if (!m_input.ok()) return failed(DecodeError::Truncated);
    m_frame.disposal = (packed >> 2) & 7;
    m_frame.transparent = (packed & 1) != 0;
    m_frame.transparentIndex = transparentIndex;
    m_delaySum += delay == 0 ? 1 : delay;
    return {};
}

Status GifReader::readImageDescriptor() {
    Frame& f = m_frame;
    f.left = m_input.u16le();
    f.top = m_input.u16le();
    f.width = m_input.u16le();
    f.height = m_input.u16le();
    const std::uint8_t packed = m_input.u8();
    if (!m_input.ok()) return failed(DecodeError::Truncated);
    f.visibleWidth = f.left >= m_screenWidth ? 0 : std::min(f.width, m_screenWidth - f.left);
    f.visibleHeight = f.top >= m_screenHeight ? 0 : std::min(f.height, m_screenHeight - f.top);
    f.interlaced = (packed & 0x40) != 0;
    if (packed & 0x80) {
        f.bits = (packed & 7) + 1;
        f.localTable.resize(static_cast<std::size_t>(3) << f.bits);
        m_input.read(f.localTable.data(), f.localTable.size());
    } else {
        f.bits = m_colourBits;
    }
    const std::uint8_t minCodeSize = m_input.u8();
    if (!m_input.ok()) return failed(DecodeError::Truncated);
    // Sizes 10 and 11 are odd but decodable: their literals reach past any colour table.
    if (minCodeSize < 1 || minCodeSize > 11) return failed(DecodeError::Corrupt);
    m_lzw->start(m_input, minCodeSize);
    m_dataPending = true;
    return {};
}

Status GifReader::allocateCanvas() {
    if (!m_canvas.empty()) return {};
    if (m_screenWidth < 1 || m_screenHeight < 1) return failed(DecodeError::TooLarge);
    const std::size_t pixels = static_cast<std::size_t>(m_screenWidth) * m_screenHeight;
    auto bytes = checkedMul(pixels, 3);
    if (!bytes || pixels > kMaxCanvasPixels) return failed(DecodeError::TooLarge);
    if (pixels > kFreeCanvasPixels && pixels / kMaxPixelsPerByte > m_input.remaining())
        return failed(DecodeError::Truncated);
    try {
        m_canvas.assign(*bytes, 0);
        m_mask.assign(pixels, 0);
        if (m_settings.extractAlpha) m_alphaPlane.assign(pixels, 0);
    } catch (const std::bad_alloc&) {
        m_canvas.clear();
        m_mask.clear();
        return failed(DecodeError::OutOfMemory);
    }
    return {};
}

void GifReader::buildColours() {
    std::memset(m_colours, 0, sizeof m_colours);
    const auto& table = m_frame.localTable.empty() ? m_globalTable : m_frame.localTable;
    if (!table.empty())
        std::memcpy(m_colours, table.data(), std::min(table.size(), sizeof m_colours));
}

void GifReader::clearRect(const Frame& f) {
    // Back to the state before any frame: uncovered, and black underneath.
    for (std::int32_t y = f.top; y < f.top + f.visibleHeight; ++y) {
        const std::size_t at = static_cast<std::size_t>(y) * m_screenWidth + f.left;
        std::memset(m_mask.data() + at, 0, static_cast<std::size_t>(f.visibleWidth));
        std::memset(m_canvas.data() + at * 3, 0, static_cast<std::size_t>(f.visibleWidth) * 3);
    }
}

void GifReader::disposePrevious() {
    if (!m_previousValid) return;
    m_previousValid = false;
    const Frame& f = m_previous;
    if (f.visibleWidth < 1 || f.visibleHeight < 1) return;
    if (f.disposal == 2) {
        clearRect(f);
    } else if (f.disposal == 3 && m_haveSaved) {
        const std::size_t w = static_cast<std::size_t>(f.visibleWidth);
        for (std::int32_t r = 0; r < f.visibleHeight; ++r) {
            const std::size_t at = static_cast<std::size_t>(f.top + r) * m_screenWidth + f.left;
            std::memcpy(m_mask.data() + at, m_savedMask.data() + r * w, w);
            std::memcpy(m_canvas.data() + at * 3, m_savedCanvas.data() + r * w * 3, w * 3);
        }
    }
    m_haveSaved = false;
}

Status GifReader::decodeWholeFrame() {
    const Frame& f = m_frame;
    const std::size_t vw = static_cast<std::size_t>(f.visibleWidth);
    m_frameIndexes.resize(vw * static_cast<std::size_t>(f.visibleHeight));
    m_frameRowLength.assign(static_cast<std::size_t>(f.visibleHeight), 0);
    m_rowIndexes.resize(static_cast<std::size_t>(f.width));
    const Pass* passes = f.interlaced ? kInterlacePasses : kSequentialPass;
    const int passCount = f.interlaced ? 4 : 1;
    std::int32_t visibleLeft = f.visibleHeight;
    for (int pass = 0; pass < passCount; ++pass) {
        for (std::int32_t r = passes[pass].start; r < f.height; r += passes[pass].step) {
            const std::size_t n = m_lzw->decode(m_rowIndexes.data(), m_rowIndexes.size());
            const auto state = m_lzw->state();
            if (state == GifLzwDecoder::State::BadCode) return failed(DecodeError::Corrupt);
            if (state == GifLzwDecoder::State::Truncated) return failed(DecodeError::Truncated);
            if (r < f.visibleHeight) {
                const std::size_t count = std::min(n, vw);
                std::memcpy(m_frameIndexes.data() + static_cast<std::size_t>(r) * vw,
                            m_rowIndexes.data(), count);
                m_frameRowLength[static_cast<std::size_t>(r)] = static_cast<std::int32_t>(count);
                --visibleLeft;
            }
            KALDER_TRY(rowDelivered(std::int64_t{5} * f.height, r + std::int64_t{f.height} * pass));
            if (visibleLeft == 0 || state != GifLzwDecoder::State::Running) return {};
        }
    }
    return {};
}

bool GifReader::frameChangesNothing() const {
    const Frame& f = m_frame;
    const std::size_t at = static_cast<std::size_t>(f.top) * m_screenWidth + f.left;
    const std::uint8_t* canvas = m_canvas.data() + at * 3;
    const std::uint8_t* mask = m_mask.data() + at;
    const std::int32_t count = m_frameRowLength.empty() ? 0 : m_frameRowLength[0];
    for (std::int32_t x = 0; x < count; ++x) {
        const std::uint8_t v = m_frameIndexes[static_cast<std::size_t>(x)];
        const bool sameColour = std::memcmp(canvas + x * 3, m_colours + v * 3, 3) == 0;
        if (f.transparent && v == f.transparentIndex) {
            // Without blending, a transparent pixel still paints where no frame has been.
            if (!m_settings.blendAlpha && mask[x] == 0 && !sameColour) return false;
        } else if (mask[x] != 255 || !sameColour) {
            return false;
        }
    }
    return true;
}

void GifReader::finishFrameData() {
    if (m_dataPending) {
        m_lzw->finish();
        m_dataPending = false;
    }
    if (m_imagePending || m_controlPending || m_trailer || m_endOfFile) return;
    auto scan = scanBlocks();
    if (!scan) {
        m_endOfFile = true;
        return;
    }
    if (*scan == Scan::Image)
        m_imagePending = true;
    else if (*scan == Scan::Control)
        m_controlPending = true;
}

Result<std::uint32_t> GifReader::BeginDecode() {
    if (m_failed) return m_error;
    if (m_frameActive) EndDecode();
    if (m_firstFrameDone) {
        m_previous = std::move(m_frame);
        m_previousValid = true;
        disposePrevious();
    }
    m_frame = Frame{};
    m_delaySum = 0;
    for (;;) {
        if (m_trailer) return failed(DecodeError::NoMoreFrames);
        if (m_endOfFile) return failed(DecodeError::Truncated);
        while (!m_imagePending) {
            if (m_controlPending) {
                m_controlPending = false;
                KALDER_TRY(readGraphicControl());
            }
            auto scan = scanBlocks();
            if (!scan) return failed(scan.error());
            if (*scan == Scan::Trailer) return failed(DecodeError::NoMoreFrames);
            if (*scan == Scan::Control)
                m_controlPending = true;
            else
                m_imagePending = true;
        }
        m_imagePending = false;
        KALDER_TRY(readImageDescriptor());
        KALDER_TRY(allocateCanvas());
        buildColours();

        const Frame& f = m_frame;
        const bool visible = f.visibleWidth > 0 && f.visibleHeight > 0;
        m_wholeFrame = visible && (f.interlaced || f.visibleHeight == 1);
        if (m_wholeFrame) KALDER_TRY(decodeWholeFrame());
        // A later frame that changes nothing on the screen is only a pause: its delay goes to
        // the next frame that does.
        if (m_firstFrameDone && (!visible || (f.visibleHeight == 1 && frameChangesNothing()))) {
            finishFrameData();
            if (visible && f.disposal == 2) clearRect(f);
            const std::uint32_t delay = m_delaySum;
            m_frame = Frame{};
            m_delaySum = delay;
            continue;
        }
        break;
    }

    const Frame& f = m_frame;
    if (f.disposal == 3 && f.visibleWidth > 0 && f.visibleHeight > 0) {
        const std::size_t w = static_cast<std::size_t>(f.visibleWidth);
        try {
            m_savedMask.resize(w * static_cast<std::size_t>(f.visibleHeight));
            m_savedCanvas.resize(m_savedMask.size() * 3);
        } catch (const std::bad_alloc&) {
            return failed(DecodeError::OutOfMemory);
        }
        for (std::int32_t r = 0; r < f.visibleHeight; ++r) {
            const std::size_t at = static_cast<std::size_t>(f.top + r) * m_screenWidth + f.left;
            std::memcpy(m_savedMask.data() + r * w, m_mask.data() + at, w);
            std::memcpy(m_savedCanvas.data() + r * w * 3, m_canvas.data() + at * 3, w * 3);
        }
        m_haveSaved = true;
    }
    if (!m_wholeFrame) m_rowIndexes.resize(static_cast<std::size_t>(f.width));
    m_row = 0;
    m_firstFrameDone = true;
    m_frameActive = true;
    return m_delaySum;
}

void GifReader::paintRow(std::int32_t y, const std::uint8_t* indexes, std::int32_t count) {
    const Frame& f = m_frame;
    const std::size_t at = static_cast<std::size_t>(y) * m_screenWidth + f.left;
    std::uint8_t* canvas = m_canvas.data() + at * 3;
    std::uint8_t* mask = m_mask.data() + at;
    const std::uint8_t* colours = m_colours;
    if (!f.transparent) {
        for (std::int32_t x = 0; x < count; ++x) {
            std::memcpy(canvas + x * 3, colours + indexes[x] * 3, 3);
        }
        std::memset(mask, 255, static_cast<std::size_t>(std::max(count, 0)));
        return;
    }
    const std::uint8_t t = f.transparentIndex;
    // Transparent pixels keep what earlier frames painted; where no frame has been, they show
    // their own colour unless the caller blends over a background.
    const bool paintUncovered = !m_settings.blendAlpha;
    for (std::int32_t x = 0; x < count; ++x) {
        const std::uint8_t v = indexes[x];
        if (v != t) {
            std::memcpy(canvas + x * 3, colours + v * 3, 3);
            mask[x] = 255;
        } else if (paintUncovered && mask[x] == 0) {
            std::memcpy(canvas + x * 3, colours + v * 3, 3);
        }
    }
}

Status GifReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (!m_frameActive || m_row >= m_screenHeight) return failed(DecodeError::Corrupt);
    const Frame& f = m_frame;
    const std::int32_t y = m_row;
    const std::int32_t r = y - f.top;
    if (r >= 0 && r < f.visibleHeight && f.visibleWidth > 0) {
        if (m_wholeFrame) {
            paintRow(y, m_frameIndexes.data() + static_cast<std::size_t>(r) * f.visibleWidth,
                     m_frameRowLength[static_cast<std::size_t>(r)]);
        } else {
            const std::size_t n = m_lzw->decode(m_rowIndexes.data(), m_rowIndexes.size());
            const auto state = m_lzw->state();
            if (state == GifLzwDecoder::State::BadCode) return failed(DecodeError::Corrupt);
            if (state == GifLzwDecoder::State::Truncated) return failed(DecodeError::Truncated);
            paintRow(y, m_rowIndexes.data(),
                     static_cast<std::int32_t>(std::min<std::size_t>(n, f.visibleWidth)));
        }
    }
    // Later frames compose onto this canvas, so it is painted even when the row is skipped.
    const std::size_t at = static_cast<std::size_t>(y) * m_screenWidth;
    const std::size_t w = static_cast<std::size_t>(m_screenWidth);
    if (!skip) {
        const std::uint8_t* canvas = m_canvas.data() + at * 3;
        if (!m_settings.blendAlpha) {
            std::memcpy(out, canvas, w * 3);
        } else {
            const std::uint8_t* mask = m_mask.data() + at;
            const std::uint8_t bg[3] = {redOf(m_settings.backgroundColour),
                                        greenOf(m_settings.backgroundColour),
                                        blueOf(m_settings.backgroundColour)};
            for (std::size_t x = 0; x < w; ++x) {
                std::memcpy(out + x * 3, mask[x] ? canvas + x * 3 : bg, 3);
            }
        }
    }
    if (!m_alphaPlane.empty()) std::memcpy(m_alphaPlane.data() + at, m_mask.data() + at, w);
    ++m_row;
    if (m_wholeFrame && f.interlaced)
        return rowDelivered(std::int64_t{5} * m_screenHeight,
                            std::int64_t{4} * m_screenHeight + y + 1);
    return rowDelivered(m_screenHeight, y + 1);
}

void GifReader::EndDecode() {
    if (!m_frameActive) return;
    m_frameActive = false;
    finishFrameData();
}

std::unique_ptr<ImageReader> makeGifReader() { return std::make_unique<GifReader>(); }

}  // namespace kalder::image
