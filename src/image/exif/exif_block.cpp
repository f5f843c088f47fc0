#include "image/exif/exif_block.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "image/byte_reader.h"

namespace kalder::image {

namespace {

constexpr std::uint8_t kExifSignature[6] = {'E', 'x', 'i', 'f', 0, 0};
constexpr std::size_t kEntrySize = 12;

// Bytes per element of a TIFF field type; 0 for types that carry no value.
std::uint32_t elementSize(std::uint16_t type) {
    switch (static_cast<ExifType>(type)) {
        case ExifType::Byte:
        case ExifType::Ascii:
        case ExifType::SByte:
        case ExifType::Undefined:
            return 1;
        case ExifType::Short:
        case ExifType::SShort:
            return 2;
        case ExifType::Long:
        case ExifType::SLong:
        case ExifType::Float:
            return 4;
        case ExifType::Rational:
        case ExifType::SRational:
        case ExifType::Double:
            return 8;
    }
    return 0;
}

bool isUnsignedInteger(std::uint16_t type) {
    const auto t = static_cast<ExifType>(type);
    return t == ExifType::Byte || t == ExifType::Short || t == ExifType::Long;
}

}  // namespace

int ExifIfd::find(std::uint16_t tag) const {
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].tag == tag) return static_cast<int>(i);
    return -1;
}

std::optional<ExifOrientation> orientationTransform(int orientation) {
    switch (orientation) {
        case 1:
            return ExifOrientation{0, false, false};
        case 2:
            return ExifOrientation{0, true, false};
        case 3:
            return ExifOrientation{2, false, false};
        case 4:
            return ExifOrientation{0, false, true};
        case 5:
            return ExifOrientation{3, false, true};
        case 6:
            return ExifOrientation{1, false, false};
        case 7:
            return ExifOrientation{3, true, false};
        case 8:
            return ExifOrientation{3, false, false};
        default:
            return std::nullopt;
    }
}

bool ExifBlock::setData(std::vector<std::uint8_t> tiff, std::uint64_t fileOffset) {
    clear();
    m_data = std::move(tiff);
    m_fileOffset = fileOffset;
    parse();
    return !m_data.empty();
}

bool ExifBlock::setPayload(std::span<const std::uint8_t> payload, std::uint64_t payloadFileOffset) {
    // The shortest useful payload is the signature plus a TIFF header.
    if (payload.size() <= 13) return false;
    if (!std::equal(std::begin(kExifSignature), std::end(kExifSignature), payload.begin()))
        return false;
    return setData({payload.begin() + kSignatureSize, payload.end()}, payloadFileOffset);
}

void ExifBlock::clear() {
    m_data.clear();
    m_data.shrink_to_fit();
    m_fileOffset = 0;
    m_littleEndian = true;
    for (ExifIfd* ifd : {&m_ifd0, &m_ifd1, &m_exifIfd, &m_interopIfd, &m_gpsIfd})
        ifd->entries.clear();
}

std::uint32_t ExifBlock::u16At(std::uint64_t offset, bool& ok) const {
    if (offset > m_data.size()) {
        ok = false;
        return 0;
    }
    ByteReader r(m_data);
    r.seek(static_cast<std::size_t>(offset));
    const std::uint32_t v = m_littleEndian ? r.u16le() : r.u16be();
    ok = r.ok();
    return v;
}

std::uint32_t ExifBlock::u32At(std::uint64_t offset, bool& ok) const {
    if (offset > m_data.size()) {
        ok = false;
        return 0;
    }
    ByteReader r(m_data);
    r.seek(static_cast<std::size_t>(offset));
    const std::uint32_t v = m_littleEndian ? r.u32le() : r.u32be();
    ok = r.ok();
    return v;
}

void ExifBlock::parse() {
    bool ok = m_data.size() >= 8;
    if (ok && m_data[0] == 'I' && m_data[1] == 'I')
        m_littleEndian = true;
    else if (ok && m_data[0] == 'M' && m_data[1] == 'M')
        m_littleEndian = false;
    else
        ok = false;
    if (ok && u16At(2, ok) != 42) ok = false;
    if (!ok) {
        clear();
        return;
    }

    // Every directory offset read so far: a pointer back to one of them is a loop (or a
    // directory shared by two roles) and is not read again.
    std::vector<std::uint64_t> seen;
    const std::uint64_t ifd0Offset = u32At(4, ok);
    if (readIfd(ifd0Offset, m_ifd0, seen)) {
        // The next-directory pointer follows the entries; it leads to the thumbnail directory.
        const std::uint64_t next = ifd0Offset + 2 + kEntrySize * m_ifd0.entries.size();
        bool nextOk = true;
        const std::uint64_t ifd1Offset = u32At(next, nextOk);
        if (nextOk && ifd1Offset != 0) readIfd(ifd1Offset, m_ifd1, seen);
    }

    auto followPointer = [&](const ExifIfd& from, std::uint16_t tag, ExifIfd& into) {
        const int index = from.find(tag);
        if (index < 0) return;
        const ExifEntry& pointer = from.entries[static_cast<std::size_t>(index)];
        if (!pointer.hasValue || !isUnsignedInteger(pointer.type)) return;
        readIfd(value(pointer).unsignedNumerator, into, seen);
    };
    followPointer(m_ifd0, exif_tag::kExifIfdPointer, m_exifIfd);
    followPointer(m_ifd0, exif_tag::kGpsIfdPointer, m_gpsIfd);
    followPointer(m_exifIfd, exif_tag::kInteropIfdPointer, m_interopIfd);
}

bool ExifBlock::readIfd(std::uint64_t offset, ExifIfd& out, std::vector<std::uint64_t>& seen) {
    out.entries.clear();
    if (std::find(seen.begin(), seen.end(), offset) != seen.end()) return false;
    seen.push_back(offset);

    bool ok = true;
    const std::uint64_t n = u16At(offset, ok);
    if (!ok) return false;
    const std::uint64_t first = offset + 2;
    // n <= 65535 and offsets are 32-bit, so none of this can wrap in 64 bits.
    if (first + kEntrySize * n > m_data.size()) return false;

    out.entries.reserve(static_cast<std::size_t>(n));
    for (std::uint64_t i = 0; i < n; ++i) {
        const std::uint64_t at = first + kEntrySize * i;
        ExifEntry entry;
        entry.tag = static_cast<std::uint16_t>(u16At(at, ok));
        entry.type = static_cast<std::uint16_t>(u16At(at + 2, ok));
        entry.count = u32At(at + 4, ok);
        const std::uint64_t size = elementSize(entry.type);
        if (entry.count > 0 && size > 0) {
            // count < 2^32 and size <= 8: the product fits comfortably in 64 bits.
            const std::uint64_t bytes = size * entry.count;
            if (bytes <= 4) {
                entry.valueOffset = at + 8;
                entry.hasValue = true;
            } else {
                const std::uint64_t valueOffset = u32At(at + 8, ok);
                if (valueOffset + bytes <= m_data.size()) {
                    entry.valueOffset = valueOffset;
                    entry.hasValue = true;
                }
            }
        }
        out.entries.push_back(entry);
    }
    return ok;
}

const ExifIfd& ExifBlock::ifd(ExifIfdKind kind) const {
    switch (kind) {
        case ExifIfdKind::Ifd0:
            return m_ifd0;
        case ExifIfdKind::Ifd1:
            return m_ifd1;
        case ExifIfdKind::Exif:
            return m_exifIfd;
        case ExifIfdKind::Interop:
            return m_interopIfd;
        case ExifIfdKind::Gps:
            return m_gpsIfd;
    }
    return m_ifd0;
}

const ExifEntry* ExifBlock::findEntry(ExifIfdKind kind, std::uint16_t tag) const {
    const ExifIfd& dir = ifd(kind);
    const int index = dir.find(tag);
    return index < 0 ? nullptr : &dir.entries[static_cast<std::size_t>(index)];
}

std::span<const std::uint8_t> ExifBlock::rawBytes(const ExifEntry& entry) const {
    if (!entry.hasValue) return {};
    const std::uint64_t bytes = std::uint64_t{elementSize(entry.type)} * entry.count;
    if (entry.valueOffset > m_data.size() || bytes > m_data.size() - entry.valueOffset) return {};
    return std::span<const std::uint8_t>(m_data).subspan(
        static_cast<std::size_t>(entry.valueOffset), static_cast<std::size_t>(bytes));
}

ExifValue ExifBlock::value(const ExifEntry& entry, std::uint32_t index) const {
    ExifValue v;
    if (!entry.hasValue || index >= entry.count) return v;
    const std::uint64_t at = entry.valueOffset + std::uint64_t{elementSize(entry.type)} * index;
    bool ok = true;
    switch (static_cast<ExifType>(entry.type)) {
        case ExifType::Byte:
            v.unsignedNumerator = at < m_data.size() ? m_data[static_cast<std::size_t>(at)] : 0;
            break;
        case ExifType::SByte:
            v.signedNumerator = at < m_data.size()
                                    ? static_cast<std::int8_t>(m_data[static_cast<std::size_t>(at)])
                                    : 0;
            break;
        case ExifType::Short:
            v.unsignedNumerator = u16At(at, ok);
            break;
        case ExifType::SShort:
            v.signedNumerator = static_cast<std::int16_t>(u16At(at, ok));
            break;
        case ExifType::Long:
            v.unsignedNumerator = u32At(at, ok);
            break;
        case ExifType::SLong:
            v.signedNumerator = static_cast<std::int32_t>(u32At(at, ok));
            break;
        case ExifType::Rational:
            v.unsignedNumerator = u32At(at, ok);
            v.unsignedDenominator = u32At(at + 4, ok);
            break;
        case ExifType::SRational:
            v.signedNumerator = static_cast<std::int32_t>(u32At(at, ok));
            v.signedDenominator = static_cast<std::int32_t>(u32At(at + 4, ok));
            break;
        case ExifType::Float:
            v.real = std::bit_cast<float>(u32At(at, ok));
            break;
        case ExifType::Double: {
            const std::uint64_t a = u32At(at, ok);
            const std::uint64_t b = u32At(at + 4, ok);
            v.real = std::bit_cast<double>(m_littleEndian ? (b << 32 | a) : (a << 32 | b));
            break;
        }
        case ExifType::Ascii:
        case ExifType::Undefined:
            break;
    }
    return ok ? v : ExifValue{};
}

std::string_view ExifBlock::asciiText(const ExifEntry& entry) const {
    if (static_cast<ExifType>(entry.type) != ExifType::Ascii) return {};
    const auto bytes = rawBytes(entry);
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0});
    return {reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::size_t>(end - bytes.begin())};
}

std::optional<std::uint16_t> ExifBlock::getShort(ExifIfdKind kind, std::uint16_t tag,
                                                 std::uint32_t index) const {
    const ExifEntry* e = findEntry(kind, tag);
    if (!e || !e->hasValue || index >= e->count || e->type != std::uint16_t(ExifType::Short))
        return std::nullopt;
    return static_cast<std::uint16_t>(value(*e, index).unsignedNumerator);
}

std::optional<std::uint32_t> ExifBlock::getLong(ExifIfdKind kind, std::uint16_t tag,
                                                std::uint32_t index) const {
    const ExifEntry* e = findEntry(kind, tag);
    if (!e || !e->hasValue || index >= e->count || e->type != std::uint16_t(ExifType::Long))
        return std::nullopt;
    return value(*e, index).unsignedNumerator;
}

std::optional<std::uint32_t> ExifBlock::getUnsigned(ExifIfdKind kind, std::uint16_t tag,
                                                    std::uint32_t index) const {
    const ExifEntry* e = findEntry(kind, tag);
    if (!e || !e->hasValue || index >= e->count || !isUnsignedInteger(e->type)) return std::nullopt;
    return value(*e, index).unsignedNumerator;
}

std::optional<ExifRational> ExifBlock::getRational(ExifIfdKind kind, std::uint16_t tag,
                                                   std::uint32_t index) const {
    const ExifEntry* e = findEntry(kind, tag);
    if (!e || !e->hasValue || index >= e->count || e->type != std::uint16_t(ExifType::Rational))
        return std::nullopt;
    const ExifValue v = value(*e, index);
    return ExifRational{v.unsignedNumerator, v.unsignedDenominator};
}

std::optional<std::string> ExifBlock::getAscii(ExifIfdKind kind, std::uint16_t tag) const {
    const ExifEntry* e = findEntry(kind, tag);
    if (!e || !e->hasValue || e->type != std::uint16_t(ExifType::Ascii)) return std::nullopt;
    return std::string(asciiText(*e));
}

int ExifBlock::orientation() const {
    const auto v = getUnsigned(ExifIfdKind::Ifd0, exif_tag::kOrientation);
    return v && *v >= 1 && *v <= 8 ? static_cast<int>(*v) : 0;
}

std::span<const std::uint8_t> ExifBlock::thumbnailJpeg() const {
    const auto compression = getShort(ExifIfdKind::Ifd1, exif_tag::kCompression);
    const auto offset = getLong(ExifIfdKind::Ifd1, exif_tag::kJpegInterchangeFormat);
    const auto length = getLong(ExifIfdKind::Ifd1, exif_tag::kJpegInterchangeFormatLength);
    if (!compression || *compression != 6 || !offset || !length || *length == 0) return {};
    if (*offset > m_data.size() || *length > m_data.size() - *offset) return {};
    return std::span<const std::uint8_t>(m_data).subspan(*offset, *length);
}

}  // namespace kalder::image
