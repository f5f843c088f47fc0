#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace kalder::image {
class Bitmap32;
}

namespace kalder::cli {

// Writes a P7 PAM with TUPLTYPE RGB, or RGB_ALPHA when alpha (width * height bytes) is given.
// Writes to a temporary file beside the target and renames it, so a failed write leaves no half
// file behind.
bool writePam(const std::filesystem::path& path, const image::Bitmap32& bitmap,
              std::span<const std::uint8_t> alpha = {});

}  // namespace kalder::cli
