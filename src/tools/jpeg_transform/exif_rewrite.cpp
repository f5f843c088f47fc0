#include "tools/jpeg_transform/exif_rewrite.h"

#include <algorithm>
#include <cstring>

#include "image/exif/exif_block.h"
#include "tools/jpeg_transform/jpeg_segments.h"

namespace kalder::tools::jpeg {
namespace {

using image::ExifBlock;
using image::ExifEntry;
using image::ExifIfdKind;
namespace tag = image::exif_tag;

constexpr std::uint16_t kPixelXDimension = 0xA002;
constexpr std::uint16_t kPixelYDimension = 0xA003;
// The largest APP1 length field we write; the marker's own bytes are not counted in it.
constexpr std::size_t kMaxSegmentLength = 65533;

// Stores `value` into the entry's first element in the block's byte order. Only SHORT and LONG
// entries whose value sits inside the block are written; false otherwise.
bool putUnsigned(std::vector<std::uint8_t>& tiff, const ExifEntry& entry, bool littleEndian,
                 std::uint32_t value) {
    const std::size_t width = entry.type == 3 ? 2 : entry.type == 4 ? 4 : 0;
    if (!entry.hasValue || width == 0 || (width == 2 && value > 0xFFFF)) return false;
    if (entry.valueOffset > tiff.size() || tiff.size() - entry.valueOffset < width) return false;
    std::uint8_t* p = tiff.data() + entry.valueOffset;
    for (std::size_t i = 0; i < width; ++i) {
        const std::size_t shift = 8 * (littleEndian ? i : width - 1 - i);
        p[i] = static_cast<std::uint8_t>(value >> shift);
    }
    return true;
}

void adjustDimensions(const ExifBlock& block, std::vector<std::uint8_t>& tiff,
                      const ExifAdjustment& a) {
    const ExifEntry* xEntry = block.findEntry(ExifIfdKind::Exif, kPixelXDimension);
    const ExifEntry* yEntry = block.findEntry(ExifIfdKind::Exif, kPixelYDimension);
    const auto x = block.getUnsigned(ExifIfdKind::Exif, kPixelXDimension);
    const auto y = block.getUnsigned(ExifIfdKind::Exif, kPixelYDimension);
    if (!xEntry || !yEntry || !x || !y) return;
    std::uint32_t newX = *x, newY = *y;
    // Tags that described the picture follow it, trim included. The transformer already
    // rewrites them when the Exif segment comes first, so the new size counts as described.
    const bool described = (*x == a.sourceWidth && *y == a.sourceHeight) ||
                           (*x == a.outputWidth && *y == a.outputHeight);
    if (described) {
        newX = a.outputWidth;
        newY = a.outputHeight;
    } else if (a.quarterTurn) {
        std::swap(newX, newY);
    }
    putUnsigned(tiff, *xEntry, block.littleEndian(), newX);
    putUnsigned(tiff, *yEntry, block.littleEndian(), newY);
}

void adjustThumbnail(const ExifBlock& block, std::vector<std::uint8_t>& tiff,
                     const ExifAdjustment& a) {
    const ExifEntry* offsetEntry = block.findEntry(ExifIfdKind::Ifd1, tag::kJpegInterchangeFormat);
    const ExifEntry* lengthEntry =
        block.findEntry(ExifIfdKind::Ifd1, tag::kJpegInterchangeFormatLength);
    const auto offset = block.getUnsigned(ExifIfdKind::Ifd1, tag::kJpegInterchangeFormat);
    const auto length = block.getUnsigned(ExifIfdKind::Ifd1, tag::kJpegInterchangeFormatLength);
    if (!offsetEntry || !lengthEntry || !offset || !length || *length == 0) return;
    if (*offset > tiff.size() || tiff.size() - *offset < *length) return;
    const std::vector<std::uint8_t> old(tiff.begin() + *offset, tiff.begin() + *offset + *length);
    const auto fresh = a.transformThumbnail(old);
    if (!fresh || fresh->empty()) return;

    std::vector<std::uint8_t> out = tiff;
    std::size_t at = *offset;
    if (fresh->size() <= old.size()) {
        std::fill(out.begin() + at, out.begin() + at + old.size(), 0);
    } else {
        // The thumbnail grows: it keeps its place when it ends the block, otherwise it moves to
        // the end and the old bytes become unused padding.
        if (at + old.size() == out.size()) {
            out.resize(at);
        } else {
            at = out.size() + (out.size() & 1);
            out.resize(at);
        }
        if (6 + at + fresh->size() + 2 > kMaxSegmentLength) return;
        out.resize(at + fresh->size());
    }
    std::memcpy(out.data() + at, fresh->data(), fresh->size());
    const auto size32 = static_cast<std::uint32_t>(fresh->size());
    if (!putUnsigned(out, *lengthEntry, block.littleEndian(), size32)) return;
    if (!putUnsigned(out, *offsetEntry, block.littleEndian(), static_cast<std::uint32_t>(at)))
        return;
    tiff = std::move(out);
}

}  // namespace

bool adjustExif(std::vector<std::uint8_t>& stream, const ExifAdjustment& adjustment) {
    const auto layout = walkSegments(stream);
    if (!layout) return false;
    const Segment* segment = findExifSegment(*layout, stream);
    if (!segment) return false;
    const Segment seg = *segment;
    ExifBlock block;
    const auto payload =
        std::span<const std::uint8_t>(stream).subspan(seg.payloadOffset, seg.payloadSize);
    if (!block.setPayload(payload, seg.payloadOffset)) return false;
    std::vector<std::uint8_t> tiff(block.data().begin(), block.data().end());

    bool upright = false;
    if (adjustment.resetOrientation) {
        const ExifEntry* e = block.findEntry(ExifIfdKind::Ifd0, tag::kOrientation);
        if (e && e->type == 3 && e->count == 1)
            upright = putUnsigned(tiff, *e, block.littleEndian(), 1);
    }
    adjustDimensions(block, tiff, adjustment);
    if (adjustment.transformThumbnail) adjustThumbnail(block, tiff, adjustment);

    const std::size_t length = 2 + ExifBlock::kSignatureSize + tiff.size();
    if (length > kMaxSegmentLength) return false;
    std::vector<std::uint8_t> rewritten;
    rewritten.reserve(length + 2);
    rewritten.push_back(0xFF);
    rewritten.push_back(0xE1);
    rewritten.push_back(static_cast<std::uint8_t>(length >> 8));
    rewritten.push_back(static_cast<std::uint8_t>(length));
    rewritten.insert(rewritten.end(), payload.begin(), payload.begin() + ExifBlock::kSignatureSize);
    rewritten.insert(rewritten.end(), tiff.begin(), tiff.end());
    // The segment is replaced where it stands: a copy of the whole stream would touch as much
    // fresh memory again as the picture's data, for a block of a few kilobytes.
    const auto at = stream.begin() + static_cast<std::ptrdiff_t>(seg.offset);
    const std::size_t common = std::min(rewritten.size(), seg.size);
    std::copy_n(rewritten.begin(), common, at);
    if (rewritten.size() < seg.size)
        stream.erase(at + static_cast<std::ptrdiff_t>(common),
                     at + static_cast<std::ptrdiff_t>(seg.size));
    else
        stream.insert(at + static_cast<std::ptrdiff_t>(common),
                      rewritten.begin() + static_cast<std::ptrdiff_t>(common), rewritten.end());
    return upright;
}

}  // namespace kalder::tools::jpeg
