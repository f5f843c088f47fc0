#include "tools/jpeg_transform/exif_orientation.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <system_error>
#include <vector>

#include "base/unique_fd.h"
#include "image/exif/exif_block.h"
#include "tools/jpeg_transform/jpeg_segments.h"

namespace kalder::tools {
namespace {

namespace fs = std::filesystem;

// The Exif block sits in the first segments; this much of the file always holds them.
constexpr std::size_t kHeadBytes = std::size_t{16} << 20;

bool writeAll(int fd, const std::uint8_t* data, std::size_t size, std::uint64_t at) {
    while (size > 0) {
        const ssize_t n = ::pwrite(fd, data, size, static_cast<off_t>(at));
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
        at += static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace

std::optional<OrientationTag> findOrientationTag(std::span<const std::uint8_t> file) {
    const auto start = jpeg::findStreamStart(file);
    if (!start) return std::nullopt;
    const auto stream = file.subspan(*start);
    const auto layout = jpeg::walkSegments(stream);
    if (!layout) return std::nullopt;
    const jpeg::Segment* seg = jpeg::findExifSegment(*layout, stream);
    if (!seg) return std::nullopt;
    image::ExifBlock block;
    if (!block.setPayload(stream.subspan(seg->payloadOffset, seg->payloadSize),
                          *start + seg->payloadOffset))
        return std::nullopt;
    const image::ExifEntry* e =
        block.findEntry(image::ExifIfdKind::Ifd0, image::exif_tag::kOrientation);
    if (!e || e->type != static_cast<std::uint16_t>(image::ExifType::Short) || e->count != 1 ||
        !e->hasValue)
        return std::nullopt;
    OrientationTag tag;
    tag.value = static_cast<int>(block.value(*e).unsignedNumerator);
    tag.filePosition = block.valueFilePosition(*e);
    tag.littleEndian = block.littleEndian();
    return tag;
}

std::optional<OrientationTag> readOrientationTag(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> head(kHeadBytes);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return findOrientationTag(head);
}

OrientationWrite writeExifOrientation(const fs::path& path, int value) {
    const auto tag = readOrientationTag(path);
    if (!tag) return OrientationWrite::NoValidTag;
    if (value < 0 || value > 0xFFFF) return OrientationWrite::CannotModify;
    struct stat before {};
    if (::stat(path.c_str(), &before) != 0) return OrientationWrite::CannotModify;

    const bool lendWrite = (before.st_mode & S_IWUSR) == 0;
    if (lendWrite && ::chmod(path.c_str(), (before.st_mode & 07777) | S_IWUSR) != 0)
        return OrientationWrite::CannotModify;
    bool ok = false;
    {
        base::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_DSYNC | O_CLOEXEC));
        if (fd.get() >= 0) {
            const auto v = static_cast<std::uint16_t>(value);
            std::uint8_t bytes[4] = {0, 0, 0, 0};
            bytes[0] = static_cast<std::uint8_t>(tag->littleEndian ? v : v >> 8);
            bytes[1] = static_cast<std::uint8_t>(tag->littleEndian ? v >> 8 : v);
            ok = writeAll(fd.get(), bytes, sizeof bytes, tag->filePosition);
            ok = fd.close() && ok;
        }
    }
    // Put back what the write changed: the permissions we lent and both times.
    if (lendWrite && ::chmod(path.c_str(), before.st_mode & 07777) != 0) ok = false;
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) ok = false;
    return ok ? OrientationWrite::Done : OrientationWrite::CannotModify;
}

int turnClockwise(int orientation) {
    switch (orientation) {
        case 1:
            return 6;
        case 6:
            return 3;
        case 3:
            return 8;
        default:
            return 1;  // 8 goes round to 1; mirrored values go back to 1
    }
}

int turnCounterClockwise(int orientation) {
    switch (orientation) {
        case 1:
            return 8;
        case 8:
            return 3;
        case 3:
            return 6;
        default:
            return 1;
    }
}

bool isReadOnly(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    return (st.st_mode & S_IWUSR) == 0;
}

}  // namespace kalder::tools
