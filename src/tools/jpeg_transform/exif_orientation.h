#pragma once

// The Exif Orientation tag of a JPEG file, read and rewritten in place.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "base/translatable.h"

namespace kalder::tools {

inline constexpr char kNoOrientationTagMessage[] =
    QT_TRANSLATE_NOOP("Messages", "Can't find valid Exif Orientation tag in the file:");
inline constexpr char kCannotModifyMessage[] =
    QT_TRANSLATE_NOOP("Messages", "Can't modify the file:");

struct OrientationTag {
    int value = 0;                   // as stored (any number, not only 1..8)
    std::uint64_t filePosition = 0;  // of the entry's value field
    bool littleEndian = true;        // the byte order of the Exif block
};

// The Orientation entry of IFD0 when it is one SHORT; nullopt for a file without Exif, without
// the entry, or with another type or count (such an entry cannot take the two-byte edit).
std::optional<OrientationTag> findOrientationTag(std::span<const std::uint8_t> file);
std::optional<OrientationTag> readOrientationTag(const std::filesystem::path& path);

enum class OrientationWrite { Done, NoValidTag, CannotModify };

// Writes `value` into the file's Orientation entry: the value in the block's byte order and two
// zero bytes, in place and written through. The file keeps its permissions and times; a file
// without write permission is written all the same (the caller asks the user first).
OrientationWrite writeExifOrientation(const std::filesystem::path& path, int value);

// The buttons of the orientation editor: a quarter turn of the upright picture; a mirrored
// value goes back to 1.
int turnClockwise(int orientation);
int turnCounterClockwise(int orientation);

// True when the owner may not write the file.
bool isReadOnly(const std::filesystem::path& path);

}  // namespace kalder::tools
