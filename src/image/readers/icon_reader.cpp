#include "image/readers/icon_reader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/bitmap32.h"
#include "image/image_reader.h"
#include "image/readers/dib_decoder_p.h"

namespace kalder::image {

Status IconFamilyReader::decodeCurrent() {
    m_decoded = false;
    m_row = 0;
    m_alphaPlane.clear();
    const bool wantMask = m_settings.blendAlpha || m_settings.extractAlpha;
    KALDER_TRY(m_image.decode(m_input, wantMask, [this]() -> Status {
        if (isCancelled()) return DecodeError::Cancelled;
        return {};
    }));
    const std::size_t w = static_cast<std::size_t>(m_image.width());
    const std::size_t h = static_cast<std::size_t>(m_image.height());
    const std::vector<std::uint8_t>& alpha = m_image.alpha();
    if (!alpha.empty() && m_settings.blendAlpha) {
        // A mask replaces the pixel by the background; an alpha channel is composited over it.
        std::vector<std::uint8_t>& rgb = m_image.rgb();
        const std::uint8_t bg[3] = {redOf(m_settings.backgroundColour),
                                    greenOf(m_settings.backgroundColour),
                                    blueOf(m_settings.backgroundColour)};
        const bool mask = m_image.alphaIsMask();
        for (std::size_t i = 0; i < w * h; ++i) {
            const std::uint8_t a = alpha[i];
            if (a == 255) continue;
            std::uint8_t* p = rgb.data() + i * 3;
            for (int c = 0; c < 3; ++c) p[c] = mask ? bg[c] : blend(p[c], a, c);
        }
    }
    if (m_settings.extractAlpha && !alpha.empty()) {
        // The plane is top-down; the image is kept bottom row first.
        m_alphaPlane.resize(w * h);
        for (std::size_t y = 0; y < h; ++y)
            std::memcpy(m_alphaPlane.data() + (h - 1 - y) * w, alpha.data() + y * w, w);
    }
    m_decoded = true;
    return {};
}

void IconFamilyReader::releaseCurrent() {
    m_image.release();
    m_decoded = false;
    m_row = 0;
}

Status IconFamilyReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (!m_decoded || m_row >= m_image.height()) return fail(DecodeError::Corrupt);
    const std::size_t bytes = static_cast<std::size_t>(m_image.width()) * 3;
    if (!skip)
        std::memcpy(out, m_image.rgb().data() + static_cast<std::size_t>(m_row) * bytes, bytes);
    ++m_row;
    return rowDelivered(m_image.height(), m_row);
}

namespace {

constexpr std::uint16_t kTypeIcon = 1;
constexpr std::uint16_t kTypeCursor = 2;
constexpr std::size_t kEntrySize = 16;

struct DirectoryEntry {
    std::uint8_t width = 0;  // 0 means 256
    std::uint8_t height = 0;
    std::uint16_t planesOrHotX = 0;
    std::uint16_t bitsOrHotY = 0;
    std::uint32_t size = 0;
    std::uint32_t offset = 0;
};

class IconReader final : public IconFamilyReader {
public:
    Status ReadHeader() override;
    std::int32_t Width() const override;
    std::int32_t Height() const override;
    std::uint32_t BitsPerPixel() const override { return m_probed ? m_image.bitsPerPixel() : 0; }
    bool GetPalette(Palette& palette) const override;
    void GetHotSpot(std::int32_t& x, std::int32_t& y) const override;
    std::string Description() const override;
    std::int32_t PreferredPage() const override { return static_cast<std::int32_t>(m_best); }
    Result<std::uint32_t> BeginDecode() override;
    void EndDecode() override;
    Status MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap, std::int32_t size,
                         ColorRef backgroundColour, const CancelSink* cancel) override;

private:
    Status probeCurrent();
    std::size_t bestEntry() const;
    const DirectoryEntry* current() const {
        return m_current < m_entries.size() ? &m_entries[m_current] : nullptr;
    }

    std::uint16_t m_type = 0;
    std::vector<DirectoryEntry> m_entries;
    std::size_t m_current = 0;
    std::size_t m_best = 0;
    bool m_probed = false;
};

Status IconReader::ReadHeader() {
    if (m_failed) return m_error;
    m_input.rewind();
    const std::uint16_t reserved = m_input.u16le();
    m_type = m_input.u16le();
    const std::uint16_t count = m_input.u16le();
    if (!m_input.ok()) return fail(m_input.error());
    if (reserved != 0 || (m_type != kTypeIcon && m_type != kTypeCursor))
        return fail(DecodeError::BadSignature);
    if (count == 0) return fail(DecodeError::Corrupt);
    if (std::uint64_t{count} * kEntrySize > m_input.remaining())
        return fail(DecodeError::Truncated);
    m_entries.resize(count);
    for (DirectoryEntry& e : m_entries) {
        e.width = m_input.u8();
        e.height = m_input.u8();
        (void)m_input.u8();  // colour count
        (void)m_input.u8();  // reserved
        e.planesOrHotX = m_input.u16le();
        e.bitsOrHotY = m_input.u16le();
        e.size = m_input.u32le();
        e.offset = m_input.u32le();
    }
    if (!m_input.ok()) return fail(m_input.error());
    m_current = 0;
    m_best = bestEntry();
    // The first image's own header decides its size, so that readers of the header alone (image
    // facts, thumbnails) see the size the pixels will have.
    if (auto s = probeCurrent(); !s) return fail(s.error());
    return {};
}

// The entry that shows the icon best: the most pixels, then the most colours (an icon's bit
// count; cursors keep their hot spot there), the first of equals.
std::size_t IconReader::bestEntry() const {
    std::size_t best = 0;
    std::uint64_t bestKey = 0;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const DirectoryEntry& e = m_entries[i];
        const std::uint64_t w = e.width ? e.width : 256;
        const std::uint64_t h = e.height ? e.height : 256;
        const std::uint64_t bits =
            m_type == kTypeIcon ? std::min<std::uint16_t>(e.bitsOrHotY, 64) : 0;
        const std::uint64_t key = (w * h) << 8 | bits;
        if (key > bestKey) {
            best = i;
            bestKey = key;
        }
    }
    return best;
}

Status IconReader::MakeThumbnail(const std::filesystem::path& path, Bitmap32& bitmap,
                                 std::int32_t size, ColorRef backgroundColour,
                                 const CancelSink* cancel) {
    Status s = openForThumbnail(*this, path, size, backgroundColour, cancel);
    if (s && m_best != m_current) {
        m_current = m_best;
        s = probeCurrent();
        if (!s) fail(s.error());
    }
    if (!s) {
        bitmap.Release();
        return s;
    }
    return decimateIntoThumbnail(*this, bitmap, size, cancel);
}

Status IconReader::probeCurrent() {
    m_probed = false;
    const DirectoryEntry* e = current();
    if (!e) return DecodeError::NoMoreFrames;
    KALDER_TRY(m_image.probe(m_input, e->offset, e->size));
    m_probed = true;
    return {};
}

std::int32_t IconReader::Width() const {
    if (m_probed) return m_image.width();
    const DirectoryEntry* e = current();
    return e ? (e->width ? e->width : 256) : 0;
}

std::int32_t IconReader::Height() const {
    if (m_probed) return m_image.height();
    const DirectoryEntry* e = current();
    return e ? (e->height ? e->height : 256) : 0;
}

bool IconReader::GetPalette(Palette& palette) const {
    if (m_probed && m_image.bitsPerPixel() <= 8) palette = m_image.palette();
    return true;
}

void IconReader::GetHotSpot(std::int32_t& x, std::int32_t& y) const {
    const DirectoryEntry* e = current();
    if (m_type == kTypeCursor && e) {
        x = e->planesOrHotX;
        y = e->bitsOrHotY;
    } else {
        x = y = -1;
    }
}

std::string IconReader::Description() const {
    char text[96];
    std::snprintf(text, sizeof text, "%s, %i %s",
                  m_type == kTypeCursor ? "Windows Cursor" : "Windows Icon",
                  static_cast<int>(m_entries.size()), "page(s)");
    return text;
}

Result<std::uint32_t> IconReader::BeginDecode() {
    if (m_failed) return m_error;
    if (!current()) return fail(DecodeError::NoMoreFrames);
    // Entries are read wherever they lie, whatever order their offsets come in.
    if (!m_probed) {
        if (auto s = probeCurrent(); !s) return fail(s.error());
    }
    if (auto s = decodeCurrent(); !s) return fail(s.error());
    return 0u;
}

void IconReader::EndDecode() {
    releaseCurrent();
    if (m_current < m_entries.size()) ++m_current;
    m_probed = false;
    // Look at the next image now, so that its size is known before its BeginDecode and stays
    // the same through it.
    if (current() && !m_failed) {
        if (auto s = probeCurrent(); !s) fail(s.error());
    }
}

}  // namespace

std::unique_ptr<ImageReader> makeIconReader() { return std::make_unique<IconReader>(); }

}  // namespace kalder::image
