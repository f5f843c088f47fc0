#include "image/readers/psd_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "base/byte_order.h"
#include "base/utf.h"
#include "image/byte_reader.h"
#include "image/checked.h"
#include "image/readers/cmyk_converter_p.h"
#include "image/readers/packbits_p.h"
#include "image/readers/psd_layers.h"
#include "image/readers/reader_factory.h"

namespace kalder::image {
namespace {

constexpr std::uint32_t kSignature = base::fourCcBe("8BPS");
constexpr std::uint32_t kBlockSignature = base::fourCcBe("8BIM");
constexpr std::uint32_t kBlockSignature64 = base::fourCcBe("8B64");
constexpr std::uint32_t kSectionDivider = base::fourCcBe("lsct");
constexpr std::uint32_t kUnicodeName = base::fourCcBe("luni");
// Documents of 16 or 32 bits a sample keep their layers in one of these tagged blocks.
constexpr std::uint32_t kLayers16 = base::fourCcBe("Lr16");
constexpr std::uint32_t kLayers32 = base::fourCcBe("Lr32");
constexpr std::uint16_t kIccResource = 1039;

constexpr std::int16_t kTransparency = -1;
constexpr std::int16_t kUserMask = -2;
constexpr std::uint8_t kFlagHidden = 0x02;
constexpr std::uint8_t kMaskDisabled = 0x02;
constexpr int kMaxChannels = 56;

// PackBits never expands more than 64-fold, so a file cannot honestly describe more pixels
// than this many times its size (plus some slack for tiny files).
constexpr std::uint64_t kExpansion = 64;
constexpr std::uint64_t kBudgetSlack = 16u << 20;
// The most pixel bytes readPsdLayers hands out.
constexpr std::uint64_t kMaxLayerOutputBytes = std::uint64_t{4} << 30;

// 16-bit samples keep their high byte.
inline std::uint8_t reduce16(const std::uint8_t* p) { return p[0]; }

// A mask channel's own rectangle and the value outside it.
struct MaskInfo {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::uint8_t defaultValue = 255;
    bool enabled = false;
};

// What the record of one layer says before its channel data is read.
struct LayerRecord {
    PsdLayer layer;
    std::vector<std::pair<std::int16_t, std::uint64_t>> channels;  // id, data length
    MaskInfo mask;
    std::uint32_t sectionType = 0;  // 1, 2 open a group, 3 closes one
};

// Multiplies the layer's transparency by its enabled user mask (creating a transparency
// channel when the layer has none) and drops the mask channel.
void bakeMask(PsdLayer& layer, const MaskInfo& mask) {
    auto it = std::find_if(layer.channels.begin(), layer.channels.end(),
                           [](const PsdChannel& c) { return c.id == kUserMask; });
    if (it == layer.channels.end()) return;
    PsdChannel maskChannel = std::move(*it);
    layer.channels.erase(it);
    const std::int64_t lw = layer.width(), lh = layer.height();
    if (!mask.enabled || lw <= 0 || lh <= 0) return;
    PsdChannel* alpha = nullptr;
    for (auto& c : layer.channels)
        if (c.id == kTransparency) alpha = &c;
    if (!alpha) {
        layer.channels.push_back({kTransparency, std::vector<std::uint8_t>(lw * lh, 255)});
        alpha = &layer.channels.back();
    }
    const std::int64_t mw = std::int64_t{mask.right} - mask.left;
    for (std::int64_t y = 0; y < lh; ++y) {
        const std::int64_t my = layer.top + y - mask.top;
        std::uint8_t* row = alpha->plane.data() + y * lw;
        for (std::int64_t x = 0; x < lw; ++x) {
            const std::int64_t mx = layer.left + x - mask.left;
            const bool inside =
                my >= 0 && my < std::int64_t{mask.bottom} - mask.top && mx >= 0 && mx < mw;
            const std::uint8_t m = inside ? maskChannel.plane[my * mw + mx] : mask.defaultValue;
            row[x] = static_cast<std::uint8_t>(row[x] * m / 255);
        }
    }
}

}  // namespace

PsdReader::PsdReader() = default;
PsdReader::~PsdReader() = default;

const PsdChannel* PsdLayer::channel(std::int16_t id) const {
    for (const auto& c : channels)
        if (c.id == id) return &c;
    return nullptr;
}

Status PsdReader::ReadHeader() {
    if (m_failed) return m_error;
    m_input.rewind();
    const std::uint32_t signature = m_input.u32be();
    const std::uint16_t version = m_input.u16be();
    m_input.skip(6);
    m_channelCount = m_input.u16be();
    const std::uint32_t height = m_input.u32be();
    const std::uint32_t width = m_input.u32be();
    m_depth = m_input.u16be();
    const std::uint16_t mode = m_input.u16be();
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    if (signature != kSignature) return fail(DecodeError::BadSignature);
    if (version != 1) return fail(DecodeError::Unsupported);  // large-document files
    if (width == 0 || height == 0 || m_channelCount == 0 || m_channelCount > kMaxChannels)
        return fail(DecodeError::Corrupt);
    if (!validImageSide(width) || !validImageSide(height)) return fail(DecodeError::TooLarge);
    m_width = static_cast<std::int32_t>(width);
    m_height = static_cast<std::int32_t>(height);
    m_mode = static_cast<Mode>(mode);
    // Lab and multichannel documents need more colour management than we do, and 32-bit
    // documents tone mapping; those are refused. Duotone shows its gray merged data. CMYK is
    // turned into RGB as it is read.
    switch (m_mode) {
        case Mode::Bitmap:
            if (m_depth != 1) return fail(DecodeError::Unsupported);
            break;
        case Mode::Gray:
        case Mode::Duotone:
        case Mode::Rgb:
        case Mode::Cmyk:
            if (m_depth != 8 && m_depth != 16) return fail(DecodeError::Unsupported);
            break;
        case Mode::Indexed:
            if (m_depth != 8) return fail(DecodeError::Unsupported);
            break;
        default:
            return fail(DecodeError::Unsupported);
    }
    if ((m_mode == Mode::Rgb && m_channelCount < 3) || (m_mode == Mode::Cmyk && m_channelCount < 4))
        return fail(DecodeError::Corrupt);

    const std::uint32_t modeData = m_input.u32be();
    if (m_mode == Mode::Indexed) {
        if (modeData < 768) return fail(DecodeError::Corrupt);
        std::uint8_t planes[768];
        m_input.read(planes, sizeof planes);
        for (int i = 0; i < 256; ++i)
            for (int c = 0; c < 3; ++c) m_palette[i * 3 + c] = planes[c * 256 + i];
        m_input.skip(modeData - 768);
    } else {
        m_input.skip(modeData);
    }
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    m_planeBudget = m_input.size() * kExpansion + kBudgetSlack;
    return {};
}

bool PsdReader::GetPalette(Palette&) const { return true; }

int PsdReader::inkCount() const { return m_mode == Mode::Rgb ? 3 : m_mode == Mode::Cmyk ? 4 : 1; }

// The image resources; only a CMYK document's ICC profile is kept.
Status PsdReader::readResources() {
    const std::uint32_t length = m_input.u32be();
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    const std::uint64_t end = m_input.position() + length;
    if (length > m_input.remaining()) return fail(DecodeError::Truncated);
    while (m_mode == Mode::Cmyk && m_input.position() + 12 <= end) {
        if (m_input.u32be() != kBlockSignature) break;
        const std::uint16_t id = m_input.u16be();
        const std::uint8_t nameLength = m_input.u8();
        m_input.skip(nameLength + ((nameLength + 1) & 1));  // the name is padded to even
        const std::uint32_t size = m_input.u32be();
        if (!m_input.ok() || size > end - m_input.position()) break;
        if (id == kIccResource) {
            m_iccProfile.resize(size);
            m_input.read(m_iccProfile.data(), size);
            break;
        }
        m_input.skip(size + (size & 1));
    }
    m_input.seek(end);
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    return {};
}

void PsdReader::cmykToRgbPlanes(PsdLayer& layer) {
    if (!m_cmyk) m_cmyk = std::make_unique<CmykConverter>(m_iccProfile);
    const std::size_t n =
        static_cast<std::size_t>(layer.width()) * static_cast<std::size_t>(layer.height());
    // The file stores ink inverted (255 is none); a missing ink plane is no ink.
    std::vector<std::uint8_t> planes[4];
    const std::uint8_t* ink[4];
    for (std::int16_t c = 0; c < 4; ++c) {
        planes[c].assign(n, 0);
        if (const PsdChannel* stored = layer.channel(c); stored && stored->plane.size() == n)
            for (std::size_t i = 0; i < n; ++i)
                planes[c][i] = static_cast<std::uint8_t>(255 - stored->plane[i]);
        ink[c] = planes[c].data();
    }
    std::vector<std::uint8_t> rgb(n * 3);
    m_cmyk->convert(ink, rgb.data(), n);
    std::erase_if(layer.channels, [](const PsdChannel& c) { return c.id >= 0 && c.id < 4; });
    for (std::int16_t c = 0; c < 3; ++c) {
        PsdChannel channel;
        channel.id = c;
        channel.plane.resize(n);
        for (std::size_t i = 0; i < n; ++i) channel.plane[i] = rgb[i * 3 + c];
        layer.channels.push_back(std::move(channel));
    }
}

// One stored row (1, 8 or 16 bits per sample) as 8-bit samples.
void PsdReader::convertRow(const std::uint8_t* raw, std::uint8_t* dst, std::int32_t w) const {
    if (m_mode == Mode::Bitmap) {
        for (std::int32_t x = 0; x < w; ++x) dst[x] = (raw[x >> 3] >> (7 - (x & 7))) & 1 ? 0 : 255;
    } else if (m_depth == 16) {
        for (std::int32_t x = 0; x < w; ++x) dst[x] = reduce16(raw + 2 * x);
    } else {
        std::memcpy(dst, raw, static_cast<std::size_t>(w));
    }
}

// Deflate-compressed channel data (the rest of the channel's declared length), optionally with
// each row stored as differences from the sample before.
Status PsdReader::inflateChannel(std::uint64_t declaredLength, std::size_t size, bool predicted,
                                 std::size_t rowBytes, std::vector<std::uint8_t>& out) {
    if (declaredLength < 2 || declaredLength - 2 > m_input.remaining())
        return fail(DecodeError::Truncated);
    std::vector<std::uint8_t> packed(declaredLength - 2);
    m_input.read(packed.data(), packed.size());
    out.assign(size, 0);
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return fail(DecodeError::OutOfMemory);
    z.next_in = packed.data();
    z.avail_in = static_cast<uInt>(std::min<std::size_t>(packed.size(), 0xffffffffu));
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(std::min<std::size_t>(size, 0xffffffffu));
    const int result = inflate(&z, Z_FINISH);
    inflateEnd(&z);
    if (result != Z_STREAM_END && result != Z_OK && result != Z_BUF_ERROR)
        return fail(DecodeError::Corrupt);
    if (predicted) {
        for (std::size_t row = 0; row + rowBytes <= size; row += rowBytes) {
            std::uint8_t* p = out.data() + row;
            if (m_depth == 16) {
                std::uint16_t prev = 0;
                for (std::size_t i = 0; i + 1 < rowBytes; i += 2) {
                    prev = static_cast<std::uint16_t>(prev + ((p[i] << 8) | p[i + 1]));
                    p[i] = static_cast<std::uint8_t>(prev >> 8);
                    p[i + 1] = static_cast<std::uint8_t>(prev);
                }
            } else {
                for (std::size_t i = 1; i < rowBytes; ++i)
                    p[i] = static_cast<std::uint8_t>(p[i] + p[i - 1]);
            }
        }
    }
    return {};
}

// Reads one channel of w x h pixels (compression word first) into an 8-bit plane, then moves
// to the end of its declared data (0 = unknown: stay where the data ended).
Status PsdReader::readChannel(PsdLayer&, PsdChannel& channel, std::int32_t w, std::int32_t h,
                              std::uint64_t declaredLength) {
    const std::uint64_t start = m_input.position();
    const std::uint16_t compression = m_input.u16be();
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    if (w > 0 && h > 0) {
        const std::size_t rowBytes = m_mode == Mode::Bitmap
                                         ? (static_cast<std::size_t>(w) + 7) / 8
                                         : static_cast<std::size_t>(w) * (m_depth / 8);
        const std::size_t pixels = static_cast<std::size_t>(w) * h;
        std::vector<std::uint8_t> inflated;
        if (compression == 0) {
            if (m_input.remaining() < rowBytes * h) return fail(DecodeError::Truncated);
        } else if (compression == 1) {
            if (m_input.remaining() < std::size_t{2} * h) return fail(DecodeError::Truncated);
        } else if (compression == 2 || compression == 3) {
            KALDER_TRY(
                inflateChannel(declaredLength, rowBytes * h, compression == 3, rowBytes, inflated));
        } else {
            return fail(DecodeError::Unsupported);
        }
        channel.plane.assign(pixels, 0);
        std::vector<std::uint8_t> raw(rowBytes);
        std::vector<std::uint16_t> counts;
        std::vector<std::uint8_t> packed;
        if (compression == 1) {
            counts.resize(h);
            for (auto& c : counts) c = m_input.u16be();
        }
        for (std::int32_t y = 0; y < h; ++y) {
            if (compression == 0) {
                m_input.read(raw.data(), rowBytes);
            } else if (compression == 1) {
                packed.resize(counts[y]);
                m_input.read(packed.data(), packed.size());
                std::fill(raw.begin(), raw.end(), 0);
                unpackBitsRow(packed, raw.data(), rowBytes);
            } else {
                std::memcpy(raw.data(), inflated.data() + y * rowBytes, rowBytes);
            }
            if (!m_input.ok()) return fail(DecodeError::Truncated);
            convertRow(raw.data(), channel.plane.data() + static_cast<std::size_t>(y) * w, w);
        }
    }
    if (declaredLength != 0) m_input.seek(start + declaredLength);
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    ++m_channelsRead;
    return rowDelivered(m_totalChannels + m_height, m_channelsRead);
}

Status PsdReader::readLayers(std::uint64_t sectionEnd, bool& haveLayers) {
    haveLayers = false;
    const std::uint32_t infoLength = m_input.u32be();
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    if (infoLength != 0) return readLayerInfo(m_input.position() + infoLength, haveLayers);
    // An empty layer info may mean the layers sit in a tagged block behind the global mask
    // information (16-bit documents); without one the document has no layers.
    const std::uint32_t globalMaskLength = m_input.u32be();
    if (!m_input.ok() || globalMaskLength > sectionEnd - std::min(sectionEnd, m_input.position()))
        return {};
    m_input.skip(globalMaskLength);
    while (m_input.ok() && m_input.position() + 12 <= sectionEnd) {
        const std::uint32_t signature = m_input.u32be();
        if (signature != kBlockSignature && signature != kBlockSignature64) break;
        const std::uint32_t key = m_input.u32be();
        const std::uint32_t length = m_input.u32be();
        if (!m_input.ok()) break;
        const std::uint64_t dataStart = m_input.position();
        if (key == kLayers16 || key == kLayers32) {
            if (!m_readTaggedLayers) return {};
            if (length == 0 || length > sectionEnd - dataStart) return fail(DecodeError::Corrupt);
            return readLayerInfo(dataStart + length, haveLayers);
        }
        m_input.seek(dataStart + length);
    }
    return {};
}

Status PsdReader::readLayerInfo(std::uint64_t infoEnd, bool& haveLayers) {
    const std::uint64_t infoLength = infoEnd - m_input.position();
    const std::int16_t signedCount = static_cast<std::int16_t>(m_input.u16be());
    const int count = signedCount < 0 ? -signedCount : signedCount;
    if (count == 0) return {};
    if (static_cast<std::uint64_t>(count) * 34 > infoLength) return fail(DecodeError::Corrupt);

    std::vector<LayerRecord> records(count);
    std::uint64_t planeBytes = 0;
    for (auto& record : records) {
        PsdLayer& layer = record.layer;
        const std::int64_t top = static_cast<std::int32_t>(m_input.u32be());
        const std::int64_t left = static_cast<std::int32_t>(m_input.u32be());
        const std::int64_t bottom = static_cast<std::int32_t>(m_input.u32be());
        const std::int64_t right = static_cast<std::int32_t>(m_input.u32be());
        const std::uint16_t channels = m_input.u16be();
        if (!m_input.ok()) return fail(DecodeError::Truncated);
        // An empty rectangle is a group marker or an empty layer; it simply has no pixels.
        if (right < left || bottom < top || channels > kMaxChannels)
            return fail(DecodeError::Corrupt);
        if (right - left > 0x7fffffff || bottom - top > 0x7fffffff)
            return fail(DecodeError::TooLarge);
        layer.left = static_cast<std::int32_t>(left);
        layer.top = static_cast<std::int32_t>(top);
        layer.right = static_cast<std::int32_t>(right);
        layer.bottom = static_cast<std::int32_t>(bottom);
        for (int c = 0; c < channels; ++c) {
            const auto id = static_cast<std::int16_t>(m_input.u16be());
            const std::uint32_t length = m_input.u32be();
            record.channels.emplace_back(id, length);
        }
        if (m_input.u32be() != kBlockSignature) return fail(DecodeError::Corrupt);
        layer.blendMode = m_input.u32be();
        layer.opacity = m_input.u8();
        m_input.skip(1);  // clipping
        layer.flags = m_input.u8();
        layer.hidden = layer.flags & kFlagHidden;
        m_input.skip(1);
        const std::uint32_t extraLength = m_input.u32be();
        if (!m_input.ok()) return fail(DecodeError::Truncated);
        if (extraLength > m_input.remaining()) return fail(DecodeError::Truncated);
        std::vector<std::uint8_t> extra(extraLength);
        m_input.read(extra.data(), extra.size());

        ByteReader r(extra);
        const std::uint32_t maskLength = r.u32be();
        const std::size_t maskStart = r.position();
        if (maskLength >= 18) {
            record.mask.top = static_cast<std::int32_t>(r.u32be());
            record.mask.left = static_cast<std::int32_t>(r.u32be());
            record.mask.bottom = static_cast<std::int32_t>(r.u32be());
            record.mask.right = static_cast<std::int32_t>(r.u32be());
            record.mask.defaultValue = r.u8();
            record.mask.enabled = !(r.u8() & kMaskDisabled);
        }
        r.seek(maskStart + maskLength);
        r.skip(r.u32be());  // blending ranges
        const std::uint8_t nameLength = r.u8();
        const auto name = r.bytes(nameLength);
        layer.name.clear();
        for (std::uint8_t ch : name) base::appendUtf8(layer.name, ch);  // taken as Latin-1
        r.skip((4 - (1 + nameLength) % 4) % 4);
        while (r.ok() && r.remaining() >= 12) {
            const std::uint32_t sig = r.u32be();
            if (sig != kBlockSignature && sig != kBlockSignature64) break;
            const std::uint32_t key = r.u32be();
            const std::uint32_t length = r.u32be();
            ByteReader block(r.bytes(std::min<std::size_t>(length, r.remaining())));
            if (key == kSectionDivider && length >= 4) {
                record.sectionType = block.u32be();
            } else if (key == kUnicodeName && length >= 4) {
                const std::uint32_t chars = block.u32be();
                const auto units = block.bytes(std::min<std::size_t>(
                    std::size_t{chars} * 2, block.remaining() & ~std::size_t{1}));
                // Characters past the first plane come as surrogate pairs.
                std::string text = base::utf16beToUtf8(units);
                std::erase(text, '\0');
                if (!text.empty()) layer.name = std::move(text);
            }
            if (length & 1) r.skip(std::min<std::size_t>(1, r.remaining()));
        }
        layer.groupMarker = record.sectionType != 0;

        for (const auto& [id, length] : record.channels) {
            const std::uint64_t w =
                id == kUserMask ? std::uint64_t(std::int64_t{record.mask.right} - record.mask.left)
                                : std::uint64_t(right - left);
            const std::uint64_t h =
                id == kUserMask ? std::uint64_t(std::int64_t{record.mask.bottom} - record.mask.top)
                                : std::uint64_t(bottom - top);
            if (id == kUserMask &&
                (record.mask.right < record.mask.left || record.mask.bottom < record.mask.top))
                return fail(DecodeError::Corrupt);
            planeBytes += w * h;  // each at most 2^32 * 2^32 / ... checked against the budget
            if (w * h > m_planeBudget || planeBytes > m_planeBudget)
                return fail(DecodeError::TooLarge);
        }
        m_totalChannels += static_cast<std::int64_t>(record.channels.size());
    }

    // Group visibility: walking from the top, a group's opening record (types 1, 2) comes
    // before its members and the closing record (type 3) after them.
    std::vector<bool> hiddenGroups;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const bool enclosingHidden = !hiddenGroups.empty() && hiddenGroups.back();
        if (it->sectionType == 1 || it->sectionType == 2) {
            it->layer.hidden = it->layer.hidden || enclosingHidden;
            hiddenGroups.push_back(it->layer.hidden);
        } else if (it->sectionType == 3) {
            if (!hiddenGroups.empty()) hiddenGroups.pop_back();
        } else {
            it->layer.hidden = it->layer.hidden || enclosingHidden;
        }
    }

    // The channel data: per layer, per channel, each with its own compression.
    for (auto& record : records) {
        PsdLayer& layer = record.layer;
        for (const auto& [id, length] : record.channels) {
            const bool used =
                id == kTransparency || id == kUserMask || (id >= 0 && id < inkCount());
            const std::int32_t w =
                id == kUserMask ? record.mask.right - record.mask.left : layer.width();
            const std::int32_t h =
                id == kUserMask ? record.mask.bottom - record.mask.top : layer.height();
            if (!used) {
                if (length < 2) return fail(DecodeError::Corrupt);
                m_input.skip(length);
                if (!m_input.ok()) return fail(DecodeError::Truncated);
                continue;
            }
            PsdChannel channel;
            channel.id = id;
            KALDER_TRY(readChannel(layer, channel, w, h, length));
            layer.channels.push_back(std::move(channel));
        }
        bakeMask(layer, record.mask);
        if (m_mode == Mode::Cmyk) cmykToRgbPlanes(layer);
        // The layer's opacity is folded into its transparency.
        if (layer.opacity != 255) {
            for (auto& c : layer.channels) {
                if (c.id != kTransparency) continue;
                for (auto& v : c.plane) v = static_cast<std::uint8_t>(v * layer.opacity / 255);
            }
        }
    }
    m_layers.clear();
    for (auto& record : records) m_layers.push_back(std::move(record.layer));
    m_input.seek(std::max<std::uint64_t>(infoEnd, m_input.position()));
    haveLayers = true;
    return {};
}

Status PsdReader::readMerged() {
    const std::uint16_t compression = m_input.u16be();
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    if (compression > 1) return fail(DecodeError::Unsupported);
    const int used = inkCount();
    m_totalChannels = used;
    m_channelsRead = 0;
    PsdLayer layer;
    layer.right = m_width;
    layer.bottom = m_height;
    layer.name = "Background";
    layer.blendMode = base::fourCcBe("norm");
    const std::size_t rowBytes = m_mode == Mode::Bitmap
                                     ? (static_cast<std::size_t>(m_width) + 7) / 8
                                     : static_cast<std::size_t>(m_width) * (m_depth / 8);
    std::vector<std::uint16_t> counts;
    if (compression == 1) {
        const std::size_t rows = static_cast<std::size_t>(m_channelCount) * m_height;
        if (m_input.remaining() < rows * 2) return fail(DecodeError::Truncated);
        counts.resize(rows);
        for (auto& c : counts) c = m_input.u16be();
    } else if (m_input.remaining() < rowBytes * m_height * used) {
        return fail(DecodeError::Truncated);
    }
    std::vector<std::uint8_t> raw(rowBytes);
    std::vector<std::uint8_t> packed;
    for (int c = 0; c < used; ++c) {
        PsdChannel channel;
        channel.id = static_cast<std::int16_t>(c);
        channel.plane.assign(static_cast<std::size_t>(m_width) * m_height, 0);
        for (std::int32_t y = 0; y < m_height; ++y) {
            if (compression == 0) {
                m_input.read(raw.data(), rowBytes);
            } else {
                packed.resize(counts[static_cast<std::size_t>(c) * m_height + y]);
                m_input.read(packed.data(), packed.size());
                std::fill(raw.begin(), raw.end(), 0);
                unpackBitsRow(packed, raw.data(), rowBytes);
            }
            if (!m_input.ok()) return fail(DecodeError::Truncated);
            convertRow(raw.data(), channel.plane.data() + static_cast<std::size_t>(y) * m_width,
                       m_width);
        }
        layer.channels.push_back(std::move(channel));
        ++m_channelsRead;
        KALDER_TRY(rowDelivered(m_totalChannels + m_height, m_channelsRead));
    }
    if (m_mode == Mode::Cmyk) cmykToRgbPlanes(layer);
    m_layers.clear();
    m_layers.push_back(std::move(layer));
    return {};
}

Result<std::uint32_t> PsdReader::BeginDecode() {
    if (m_failed) return m_error;
    if (m_width == 0) return fail(DecodeError::Corrupt);
    if (m_decoded) return 0u;  // the layers are already here (read for the decompiler)
    KALDER_TRY(readResources());
    const std::uint32_t sectionLength = m_input.u32be();
    if (!m_input.ok()) return fail(DecodeError::Truncated);
    const std::uint64_t sectionEnd = m_input.position() + sectionLength;
    m_channelsRead = m_totalChannels = 0;
    bool haveLayers = false;
    m_layersUnread = false;
    if (sectionLength != 0) {
        const Status layers = readLayers(sectionEnd, haveLayers);
        if (!layers.ok()) {
            if (layers.error() != DecodeError::Unsupported) return layers.error();
            // Layer data we cannot read: the merged image still shows the document, but it is
            // not the layers.
            m_failed = false;
            m_layers.clear();
            haveLayers = false;
            m_layersUnread = true;
        }
    }
    // Files without layers are read from the merged image.
    if (!haveLayers) {
        m_input.seek(sectionEnd);
        if (!m_input.ok()) return fail(DecodeError::Truncated);
        KALDER_TRY(readMerged());
    }
    m_row = 0;
    m_decoded = true;
    return 0u;
}

void PsdReader::composeLayer(const PsdLayer& layer, std::int32_t y, std::uint8_t* out) const {
    const std::int32_t lw = layer.width();
    const std::int32_t x0 = std::max(layer.left, 0);
    const std::int32_t x1 = std::min(layer.right, m_width);
    if (x0 >= x1) return;
    const std::size_t rowStart = static_cast<std::size_t>(y - layer.top) * lw;
    const PsdChannel* alpha = layer.channel(kTransparency);
    const std::uint8_t* a = alpha ? alpha->plane.data() + rowStart : nullptr;
    const PsdChannel* colour[3] = {layer.channel(0), layer.channel(1), layer.channel(2)};
    const std::uint8_t* v[3] = {};
    for (int c = 0; c < 3; ++c)
        if (colour[c]) v[c] = colour[c]->plane.data() + rowStart;
    if (!v[0] && !v[1] && !v[2]) return;
    for (std::int32_t x = x0; x < x1; ++x) {
        const std::int32_t lx = x - layer.left;
        // A layer without transparency is opaque but for its own opacity.
        const std::uint32_t alphaValue = a ? a[lx] : layer.opacity;
        if (alphaValue == 0) continue;
        std::uint8_t rgb[3];
        bool present[3] = {false, false, false};
        if (m_mode == Mode::Rgb || m_mode == Mode::Cmyk) {
            for (int c = 0; c < 3; ++c) {
                if (!v[c]) continue;
                rgb[c] = v[c][lx];
                present[c] = true;
            }
        } else if (v[0]) {
            const std::uint8_t s = v[0][lx];
            if (m_mode == Mode::Indexed) {
                std::memcpy(rgb, &m_palette[s * 3], 3);
            } else {
                rgb[0] = rgb[1] = rgb[2] = s;
            }
            present[0] = present[1] = present[2] = true;
        }
        std::uint8_t* px = out + 3 * static_cast<std::size_t>(x);
        for (int c = 0; c < 3; ++c) {
            if (!present[c]) continue;
            px[c] = alphaValue == 255
                        ? rgb[c]
                        : static_cast<std::uint8_t>(
                              (px[c] * (255 - alphaValue) + rgb[c] * alphaValue) >> 8);
        }
    }
}

Status PsdReader::ReadRow(std::uint8_t* out, bool skip) {
    if (m_failed) return m_error;
    if (!m_decoded || m_row >= m_height) return fail(DecodeError::Corrupt);
    const std::int32_t y = m_row++;
    if (!skip) {
        const std::uint8_t bg[3] = {redOf(m_settings.backgroundColour),
                                    greenOf(m_settings.backgroundColour),
                                    blueOf(m_settings.backgroundColour)};
        for (std::int32_t x = 0; x < m_width; ++x)
            std::memcpy(out + 3 * static_cast<std::size_t>(x), bg, 3);
        for (const auto& layer : m_layers) {
            if (layer.hidden || y < layer.top || y >= layer.bottom || layer.width() <= 0) continue;
            composeLayer(layer, y, out);
        }
    }
    return rowDelivered(m_height, m_row);
}

void PsdReader::ExpandLayersToImage() {
    const std::size_t w = static_cast<std::size_t>(m_width);
    const std::size_t h = static_cast<std::size_t>(m_height);
    for (auto& layer : m_layers) {
        if (layer.width() <= 0 || layer.height() <= 0) continue;
        if (layer.left == 0 && layer.top == 0 && layer.right == m_width && layer.bottom == m_height)
            continue;
        const std::int32_t lw = layer.width();
        // What lies outside the layer must not cover the image: give it transparency.
        if (!layer.channel(kTransparency))
            layer.channels.push_back(
                {kTransparency,
                 std::vector<std::uint8_t>(static_cast<std::size_t>(lw) * layer.height(), 255)});
        const std::int32_t x0 = std::max(layer.left, 0), x1 = std::min(layer.right, m_width);
        const std::int32_t y0 = std::max(layer.top, 0), y1 = std::min(layer.bottom, m_height);
        for (auto& channel : layer.channels) {
            std::vector<std::uint8_t> plane(w * h, 0);
            for (std::int32_t y = y0; y < y1 && x0 < x1; ++y) {
                const std::uint8_t* src = channel.plane.data() +
                                          static_cast<std::size_t>(y - layer.top) * lw +
                                          (x0 - layer.left);
                std::memcpy(plane.data() + static_cast<std::size_t>(y) * w + x0, src, x1 - x0);
            }
            channel.plane = std::move(plane);
        }
        layer.left = layer.top = 0;
        layer.right = m_width;
        layer.bottom = m_height;
    }
}

Result<PsdLayerSet> readPsdLayers(const std::filesystem::path& path, bool expandToImage) {
    PsdReader reader;
    reader.readTaggedLayers();
    KALDER_TRY(reader.OpenFile(path, ReaderSettings{}));
    KALDER_TRY(reader.ReadHeader());
    auto begun = reader.BeginDecode();
    if (!begun) return begun.error();
    // The merged image standing in for layers we could not read is not what was asked for.
    if (reader.layersUnread()) return DecodeError::Unsupported;
    // Many small layers on a huge canvas must not turn into gigabytes of planes.
    std::uint64_t outputBytes = 0;
    for (const auto& layer : reader.Layers()) {
        if (layer.width() <= 0 || layer.height() <= 0) continue;
        const std::uint64_t pixels = expandToImage ? std::uint64_t(reader.Width()) * reader.Height()
                                                   : std::uint64_t(layer.width()) * layer.height();
        outputBytes += pixels * (4 + (expandToImage ? layer.channels.size() + 1 : 0));
    }
    if (outputBytes > kMaxLayerOutputBytes) return DecodeError::TooLarge;
    if (expandToImage) reader.ExpandLayersToImage();
    PsdLayerSet set;
    set.width = reader.Width();
    set.height = reader.Height();
    const auto mode = reader.colourMode();
    const Palette& palette = reader.palette();
    for (const auto& layer : reader.Layers()) {
        if (layer.width() <= 0 || layer.height() <= 0) continue;
        PsdLayerRecord record;
        record.name = layer.name;
        record.left = layer.left;
        record.top = layer.top;
        record.right = layer.right;
        record.bottom = layer.bottom;
        for (int shift = 24; shift >= 0; shift -= 8)
            record.blendMode.push_back(static_cast<char>((layer.blendMode >> shift) & 0xff));
        record.opacity = layer.opacity;
        record.flags = layer.flags;
        record.hidden = layer.hidden;
        const std::size_t n = static_cast<std::size_t>(layer.width()) * layer.height();
        record.rgba.assign(n * 4, 0);
        const PsdChannel* alpha = layer.channel(kTransparency);
        record.hasTransparency = alpha != nullptr;
        const PsdChannel* colour[3] = {layer.channel(0), layer.channel(1), layer.channel(2)};
        for (std::size_t i = 0; i < n; ++i) {
            std::uint8_t* px = record.rgba.data() + 4 * i;
            if (mode == PsdReader::Mode::Rgb || mode == PsdReader::Mode::Cmyk) {
                for (int c = 0; c < 3; ++c) px[c] = colour[c] ? colour[c]->plane[i] : 0;
            } else if (colour[0]) {
                const std::uint8_t s = colour[0]->plane[i];
                if (mode == PsdReader::Mode::Indexed)
                    std::memcpy(px, &palette[s * 3], 3);
                else
                    px[0] = px[1] = px[2] = s;
            }
            px[3] = alpha ? alpha->plane[i] : 255;
        }
        set.layers.push_back(std::move(record));
    }
    return set;
}

std::unique_ptr<ImageReader> makePsdReader() { return std::make_unique<PsdReader>(); }

}  // namespace kalder::image
