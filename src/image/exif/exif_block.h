#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalder::image {

// TIFF field types as stored in a directory entry.
enum class ExifType : std::uint16_t {
    Byte = 1,
    Ascii = 2,
    Short = 3,
    Long = 4,
    Rational = 5,
    SByte = 6,
    Undefined = 7,
    SShort = 8,
    SLong = 9,
    SRational = 10,
    Float = 11,
    Double = 12,
};

// The directories of an Exif block. The GPS directory is read for lookups only; the properties
// report never lists it.
enum class ExifIfdKind : std::uint8_t { Ifd0, Ifd1, Exif, Interop, Gps };

// Tag numbers the program itself acts on.
namespace exif_tag {
inline constexpr std::uint16_t kCompression = 0x0103;
inline constexpr std::uint16_t kOrientation = 0x0112;
inline constexpr std::uint16_t kJpegInterchangeFormat = 0x0201;
inline constexpr std::uint16_t kJpegInterchangeFormatLength = 0x0202;
inline constexpr std::uint16_t kExifIfdPointer = 0x8769;
inline constexpr std::uint16_t kGpsIfdPointer = 0x8825;
inline constexpr std::uint16_t kInteropIfdPointer = 0xA005;
}  // namespace exif_tag

// One decoded element of an entry. Which fields are filled depends on the type: BYTE, SHORT,
// LONG -> unsignedNumerator; RATIONAL -> unsigned numerator and denominator; SBYTE, SSHORT,
// SLONG -> signedNumerator; SRATIONAL -> signed numerator and denominator; FLOAT, DOUBLE -> real.
struct ExifValue {
    std::int32_t signedNumerator = 0;
    std::uint32_t unsignedNumerator = 0;
    std::int32_t signedDenominator = 0;
    std::uint32_t unsignedDenominator = 0;
    double real = 0.0;
};

struct ExifRational {
    std::uint32_t numerator = 0;
    std::uint32_t denominator = 0;
};

// One directory entry. Values are not copied: they are decoded from the block on request, so a
// hostile block cannot make us allocate more than a few bytes per entry.
struct ExifEntry {
    std::uint16_t tag = 0;
    std::uint16_t type = 0;         // as stored; only 1..12 ever carry a value
    std::uint32_t count = 0;        // as stored
    bool hasValue = false;          // count > 0, known type, and every value byte inside the block
    std::uint64_t valueOffset = 0;  // first value byte, counted from the start of data()
};

struct ExifIfd {
    std::vector<ExifEntry> entries;

    bool empty() const { return entries.empty(); }
    // Index of the first entry with that tag, or -1.
    int find(std::uint16_t tag) const;
};

// Rotation in quarter turns clockwise and the flips that show an image upright for an Exif
// orientation value.
struct ExifOrientation {
    int rotation = 0;
    bool flipH = false;
    bool flipV = false;
};
// nullopt for values outside 1..8.
std::optional<ExifOrientation> orientationTransform(int orientation);

// The Exif data of a file: the TIFF structure that follows "Exif\0\0" in a JPEG APP1 segment.
// Readers fill it; the properties report, thumbnails, auto-orientation and the orientation
// editor read it.
class ExifBlock {
public:
    // Bytes of "Exif\0\0" in front of the TIFF structure.
    static constexpr std::uint64_t kSignatureSize = 6;

    // Keeps the TIFF structure and parses its directories; false (and empty) when it is not one.
    // `fileOffset` is the file position of the APP1 payload, i.e. of the "E" of "Exif"; the
    // TIFF structure itself starts kSignatureSize bytes later.
    bool setData(std::vector<std::uint8_t> tiff, std::uint64_t fileOffset);
    // The same from a whole APP1 payload ("Exif\0\0" then the TIFF structure) at the given file
    // position. A payload that is not Exif (XMP, for example) leaves the block as it was.
    bool setPayload(std::span<const std::uint8_t> payload, std::uint64_t payloadFileOffset);
    void clear();
    bool isEmpty() const { return m_data.empty(); }

    std::span<const std::uint8_t> data() const { return m_data; }
    std::uint64_t fileOffset() const { return m_fileOffset; }
    bool littleEndian() const { return m_littleEndian; }

    const ExifIfd& ifd(ExifIfdKind kind) const;
    // The first entry with that tag in that directory, or nullptr.
    const ExifEntry* findEntry(ExifIfdKind kind, std::uint16_t tag) const;

    // Element `index` of an entry; all zero when it has no such element or its type has none.
    ExifValue value(const ExifEntry& entry, std::uint32_t index = 0) const;
    // The stored bytes of an entry with a value (count elements), empty otherwise.
    std::span<const std::uint8_t> rawBytes(const ExifEntry& entry) const;
    // An ASCII entry's text up to its first zero byte; empty for other types.
    std::string_view asciiText(const ExifEntry& entry) const;
    // Where an entry's first value byte sits in the file (the orientation editor writes there).
    std::uint64_t valueFilePosition(const ExifEntry& entry) const {
        return m_fileOffset + kSignatureSize + entry.valueOffset;
    }

    // Typed lookups: nullopt when the tag is absent, has no value, has fewer elements or has
    // another type.
    std::optional<std::uint16_t> getShort(ExifIfdKind kind, std::uint16_t tag,
                                          std::uint32_t index = 0) const;
    std::optional<std::uint32_t> getLong(ExifIfdKind kind, std::uint16_t tag,
                                         std::uint32_t index = 0) const;
    // BYTE, SHORT or LONG.
    std::optional<std::uint32_t> getUnsigned(ExifIfdKind kind, std::uint16_t tag,
                                             std::uint32_t index = 0) const;
    std::optional<ExifRational> getRational(ExifIfdKind kind, std::uint16_t tag,
                                            std::uint32_t index = 0) const;
    std::optional<std::string> getAscii(ExifIfdKind kind, std::uint16_t tag) const;

    // The Orientation tag (274) of IFD0 when it holds 1..8, else 0.
    int orientation() const;

    // The embedded JPEG thumbnail of the thumbnail directory (compression 6 with offset and
    // length), or an empty span.
    std::span<const std::uint8_t> thumbnailJpeg() const;

private:
    void parse();
    bool readIfd(std::uint64_t offset, ExifIfd& out, std::vector<std::uint64_t>& seen);
    std::uint32_t u16At(std::uint64_t offset, bool& ok) const;
    std::uint32_t u32At(std::uint64_t offset, bool& ok) const;

    std::vector<std::uint8_t> m_data;
    std::uint64_t m_fileOffset = 0;
    bool m_littleEndian = true;
    ExifIfd m_ifd0;
    ExifIfd m_ifd1;
    ExifIfd m_exifIfd;
    ExifIfd m_interopIfd;
    ExifIfd m_gpsIfd;
};

}  // namespace kalder::image
