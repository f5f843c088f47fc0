#include "cli/pam_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <system_error>
#include <vector>

#include "image/bitmap32.h"

namespace kalder::cli {
bool writePam(const std::filesystem::path& path, const image::Bitmap32& bitmap,
              std::span<const std::uint8_t> alpha) {
    const std::int32_t w = bitmap.width(), h = bitmap.height();
    if (bitmap.isEmpty()) return false;
    const bool withAlpha = !alpha.empty();
    if (withAlpha && alpha.size() != static_cast<std::size_t>(w) * h) return false;

    // A device such as /dev/null (or a link to one) is written directly: there is no file to
    // protect and no folder to put a temporary file in.
    std::error_code statusError;
    const auto kind = std::filesystem::status(path, statusError).type();
    const bool direct = !statusError && kind != std::filesystem::file_type::regular &&
                        kind != std::filesystem::file_type::not_found &&
                        kind != std::filesystem::file_type::directory;
    const std::filesystem::path temp =
        direct ? path
               : path.parent_path() /
                     ("." + path.filename().string() + ".tmp" + std::to_string(::getpid()));
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    const int channels = withAlpha ? 4 : 3;
    char header[128];
    const int headerBytes =
        std::snprintf(header, sizeof header,
                      "P7\nWIDTH %d\nHEIGHT %d\nDEPTH %d\nMAXVAL 255\nTUPLTYPE %s\nENDHDR\n", w, h,
                      channels, withAlpha ? "RGB_ALPHA" : "RGB");
    // The whole file's blocks are set aside first: a file system that delays allocation
    // otherwise writes a replacement out synchronously when the rename puts it over an older
    // file (and fails early when the disk is full).
    if (!direct)
        (void)::posix_fallocate(
            ::fileno(f), 0, static_cast<off_t>(headerBytes) + static_cast<off_t>(w) * h * channels);
    std::fwrite(header, 1, static_cast<std::size_t>(headerBytes), f);
    // Rows go out in chunks that stay in the cache: one system call a row costs more than the
    // copying, and a chunk larger than the cache makes every store a miss.
    const std::size_t rowBytes = static_cast<std::size_t>(w) * channels;
    const std::int32_t rowsPerChunk =
        static_cast<std::int32_t>(std::max<std::size_t>(1, (std::size_t{128} << 10) / rowBytes));
    std::vector<std::uint8_t> chunk(rowBytes * static_cast<std::size_t>(std::min(rowsPerChunk, h)));
    bool ok = true;
    for (std::int32_t y0 = 0; y0 < h && ok; y0 += rowsPerChunk) {
        const std::int32_t rows = std::min(rowsPerChunk, h - y0);
        for (std::int32_t k = 0; k < rows; ++k) {
            const std::int32_t y = y0 + k;
            std::uint8_t* d = chunk.data() + rowBytes * static_cast<std::size_t>(k);
            if (withAlpha) {
                const std::uint8_t* s = bitmap.row(y);
                const std::uint8_t* a = alpha.data() + static_cast<std::size_t>(y) * w;
                for (std::int32_t x = 0; x < w; ++x, s += 4, d += 4) {
                    d[0] = s[2];
                    d[1] = s[1];
                    d[2] = s[0];
                    d[3] = a[x];
                }
            } else {
                image::bgrxToRgb(bitmap.row(y), d, w);
            }
        }
        const std::size_t bytes = rowBytes * static_cast<std::size_t>(rows);
        ok = std::fwrite(chunk.data(), 1, bytes, f) == bytes;
    }
    ok = (std::fclose(f) == 0) && ok;
    std::error_code ec;
    if (direct) return ok;
    if (ok) std::filesystem::rename(temp, path, ec);
    if (!ok || ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

}  // namespace kalder::cli
