#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "image/result.h"

namespace kalder::image {

class ProgressSink;

// What every writer is given: one page or frame.
struct WriterImage {
    // Top-down rows: bits 32 -> width * 4 bytes blue, green, red, unused; bits 1..8 -> one
    // palette index per byte, width bytes per row.
    const std::uint8_t* pixels = nullptr;
    const std::uint8_t* alphaPlane = nullptr;  // width * height opacities, or null
    std::span<const std::uint8_t> exif;        // raw Exif TIFF structure (JPEG only)
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t bits = 32;  // 1..8 palette image, 32 true colour
    std::array<std::uint8_t, 768> palette{};
    std::int32_t transparentIndex = 0;
    bool transparent = false;  // write transparentIndex as transparent
    std::int32_t dpiX = 0;     // both 0: unknown, nothing written
    std::int32_t dpiY = 0;

    // Per-format options.
    bool pngInterlaced = false;
    bool pngFast = false;  // a cache entry: quick to write matters more than small
    double pngGamma = 0;   // 0: none
    bool bmpRle = false;
    std::int32_t jpegQuality = 75;
    std::int32_t jpegSmoothing = 0;
    std::int32_t jpegSampling = 0;  // 0: 1x1, 1: 2x2, 2: 2x1
    bool jpegProgressive = false;
    bool jpegGray = false;
    std::vector<std::string> pngKeywords;
    std::vector<std::string> pngTexts;
    // Keyword and UTF-8 text: tEXt when the text is plain ASCII, else iTXt.
    std::vector<std::pair<std::string, std::string>> pngUtf8Texts;
    bool pngOffset = false;  // write oFFs: where the picture lies on a larger canvas, in pixels
    std::int32_t pngOffsetX = 0;
    std::int32_t pngOffsetY = 0;
    std::int32_t tiffCompression = 1;
    bool tgaRle = false;
    std::uint32_t gifDelay = 0;  // hundredths of a second
    std::int32_t gifDisposal = 0;
    bool gifInterlaced = false;
    bool gifGlobalPalette = false;

    std::size_t rowBytes() const { return static_cast<std::size_t>(width) * (bits == 32 ? 4 : 1); }
    const std::uint8_t* row(std::int32_t y) const {
        return pixels + rowBytes() * static_cast<std::size_t>(y);
    }
};

// The base of every writer. Output goes to a temporary file beside the target; Close renames it
// over the target only after the whole file was written, so a failure never leaves a half file
// and never damages an existing one. Destroying a writer that was not closed discards the
// temporary file.
class ImageWriter {
public:
    ImageWriter();
    virtual ~ImageWriter();
    ImageWriter(const ImageWriter&) = delete;
    ImageWriter& operator=(const ImageWriter&) = delete;

    Status Open(const std::filesystem::path& target,
                const std::vector<std::string>* comments = nullptr,
                ProgressSink* progress = nullptr);
    // Writes one page or frame.
    virtual Status Write(const WriterImage& image) = 0;
    // Finishes the file and puts it in place of the target.
    Status Close();
    // Whether Close waits for the bytes to reach the disk before the rename (the default). A
    // cache entry that a crash could leave empty is made again, so caches need not wait.
    void setDurable(bool durable) { m_durable = durable; }

protected:
    // Called after the temporary file exists (stream open) and before it is renamed.
    virtual Status onOpen() { return {}; }
    virtual Status onClose() { return {}; }

    // Byte output to the temporary file; the first failure sticks and is returned by status().
    void put(const void* data, std::size_t n);
    void u8(std::uint32_t v);
    void u16le(std::uint32_t v);
    void u32le(std::uint32_t v);
    void u16be(std::uint32_t v);
    void u32be(std::uint32_t v);
    std::uint64_t position() const;
    void seek(std::uint64_t pos);
    Status status() const { return m_ok ? Status{} : Status{DecodeError::Io}; }
    // For writers whose library writes the file itself: close our stream, keep the path.
    void releaseStream();
    const std::filesystem::path& tempPath() const { return m_tempPath; }
    const std::filesystem::path& targetPath() const { return m_target; }
    const std::vector<std::string>& comments() const;
    void reportProgress(std::int64_t total, std::int64_t done);

private:
    void discard();

    std::FILE* m_file = nullptr;
    std::filesystem::path m_target;
    std::filesystem::path m_tempPath;
    const std::vector<std::string>* m_comments = nullptr;
    ProgressSink* m_progress = nullptr;
    bool m_ok = true;
    bool m_durable = true;
};

}  // namespace kalder::image
