#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace kalder::image {

struct ExifTagName {
    std::uint16_t tag;
    std::string_view name;
};

// Display names of the Exif tags the properties report lists, in lookup order (the first match
// wins; two tags share "CFA Pattern").
std::span<const ExifTagName> exifTagNames();

// The display name of a tag, whatever directory it came from; empty when the tag is not listed.
std::string_view exifTagName(std::uint16_t tag);

}  // namespace kalder::image
