#pragma once

// The compiler's texts and the helpers its two source files share.

#include <string>

#include "base/translatable.h"
#include "tools/icon_compiler/icon_compiler.h"

namespace kalder::tools::icon_text {

inline constexpr const char* kLoading = QT_TRANSLATE_NOOP("Messages", "Loading image files ...");
inline constexpr const char* kBadSize =
    "The image \"%1!s!\" is not square or is larger than 256x256 pixels.";
inline constexpr const char* kNotSquare = "The image \"%1!s!\" is not square.";
inline constexpr const char* kTooSmallForSize =
    "The image \"%1!s!\" is smaller than the icon size asked for.";
// The spot, the image's name and its size go into the blanks.
inline constexpr const char* kHotSpotOutside =
    "The hot spot %i,%i lies outside the image \"%s\" (%ix%i pixels).";
inline constexpr const char* kLoadFailed =
    QT_TRANSLATE_NOOP("Messages", "Failed to load the images.");
inline constexpr const char* kBreakPages =
    "The file \"%1!s!\" contains several pages/frames. Do you want to break it into separate "
    "images?";
inline constexpr const char* kRemovePages =
    QT_TRANSLATE_NOOP("Messages", "Do you want to remove page(s) from the list?");
inline constexpr const char* kNoPagesSelected =
    QT_TRANSLATE_NOOP("Messages", "You have not selected pages to apply the mask to.");
inline constexpr const char* kSetNewMask = kIconSetMaskQuestion;
inline constexpr const char* kMaskSeveralPages =
    "Cannot apply the mask because the image \"%1!s!\" contains several pages/frames.";
inline constexpr const char* kOneMaskOnly =
    QT_TRANSLATE_NOOP("Messages", "You must select only one mask image.");
inline constexpr const char* kMaskKinds = QT_TRANSLATE_NOOP(
    "Messages", "Only single-frame black-and-white or grayscale files can be used as masks.");
inline constexpr const char* kAlphaOnPalette =
    "Cannot apply alpha-channel to paletted image \"%1!s!.\"";
inline constexpr const char* kMaskSize =
    "The size of the mask is not the same as that of the image \"%1!s!\".";
inline constexpr const char* kHotSpotSeveralPages =
    "Cannot apply the hot spot because the image \"%1!s!\" contains several pages/frames.";
inline constexpr const char* kNoBlack = QT_TRANSLATE_NOOP(
    "Messages",
    "Warning! Some of the pages have no black color in their palettes!\nThis may cause the file "
    "to be shown improperly.");
inline constexpr const char* kOverwrite =
    QT_TRANSLATE_NOOP("Messages", "The output file already exists. Do you want to overwrite it?");
inline constexpr const char* kWriteFailed =
    QT_TRANSLATE_NOOP("Messages", "Failed to write the output file.");

// The format with its "%1!s!" replaced by the text.
inline std::string insert(const char* format, const std::string& text) {
    std::string out = format;
    const std::string::size_type at = out.find("%1!s!");
    if (at != std::string::npos) out.replace(at, 5, text);
    return out;
}

}  // namespace kalder::tools::icon_text
