#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

#include "image/bitmap32.h"
#include "image/exif/exif_block.h"
#include "image/format_table.h"
#include "image/image_page.h"
#include "image/load_options.h"
#include "image/result.h"

namespace kalder::image {

class CancelSink;
class ColorTransform;
class ImageReader;
class ProgressSink;

// One opened image file with its decoded pages (at most 256). Calling order: Open, then AddPage
// followed by DecodePage; for every frame of a multi-frame file repeat AddPage/DecodePage while
// both succeed. The reader stays open between frames of a multi-frame file.
class ImageDocument {
public:
    static constexpr std::int32_t kMaxPages = 256;

    ImageDocument();
    ~ImageDocument();
    ImageDocument(const ImageDocument&) = delete;
    ImageDocument& operator=(const ImageDocument&) = delete;

    [[nodiscard]] bool Open(const LoadOptions& options, const CancelSink* cancel = nullptr,
                            ProgressSink* progress = nullptr);
    // Open with a reader chosen by the caller (memory sources, tests); the path in options is
    // handed to the reader as usual.
    [[nodiscard]] bool openWithReader(std::unique_ptr<ImageReader> reader,
                                      const LoadOptions& options,
                                      const CancelSink* cancel = nullptr,
                                      ProgressSink* progress = nullptr);
    // Puts the pages decoded from now on upright by the file's Exif Orientation, before the turn
    // and flips the options ask for (see orientLoadOptions). Between Open and the first AddPage.
    void orientUpright();
    [[nodiscard]] bool AddPage();
    [[nodiscard]] bool DecodePage();

    // Opens and decodes every page (or only the first); true when at least one page decoded.
    bool loadAll(const LoadOptions& options, bool allPages, const CancelSink* cancel = nullptr,
                 ProgressSink* progress = nullptr);

    ImagePage& PageAt(std::int32_t index) { return *m_pages[static_cast<std::size_t>(index)]; }
    const ImagePage& PageAt(std::int32_t index) const {
        return *m_pages[static_cast<std::size_t>(index)];
    }
    std::int32_t PageCount() const { return m_pageCount.load(std::memory_order_acquire); }
    void ReleasePages();

    // Makes a thumbnail whose longer side is exactly `size` in thumbnail(): from the Exif
    // thumbnail when asked and present, else through the reader, else a placeholder. With
    // `upright` the picture is first put upright by the file's Exif Orientation.
    bool MakeThumbnail(const std::filesystem::path& path, std::int32_t size,
                       ColorRef backgroundColour, ColorTransform* colorTransform,
                       bool useExifThumbnail, bool rotateClockwise,
                       const CancelSink* cancel = nullptr, bool upright = false);
    Bitmap32& thumbnail() { return m_thumbnail; }
    // The last MakeThumbnail drew the "no preview" tile: the file gave no picture.
    bool thumbnailIsPlaceholder() const { return m_thumbnailIsPlaceholder; }

    const LoadOptions& options() const { return m_options; }
    const ExifBlock& exif() const { return *m_exif; }
    bool isVector() const { return m_isVector; }
    bool hasOpenReader() const { return m_reader != nullptr; }
    // Why the last step failed.
    DecodeError lastError() const { return m_lastError; }
    // Description of the open file, taken at Open.
    const std::string& description() const { return m_description; }
    // The page to show first (Open asks the reader); pages still come in file order.
    std::int32_t preferredPage() const { return m_preferredPage; }
    std::int32_t dpiX() const { return m_dpiX; }
    std::int32_t dpiY() const { return m_dpiY; }

private:
    bool failWith(DecodeError error);
    void destroyReader();

    // Destruction order: reader, pages, Exif block, thumbnail (members are destroyed in reverse).
    Bitmap32 m_thumbnail;
    bool m_thumbnailIsPlaceholder = false;
    std::unique_ptr<ExifBlock> m_exif;
    std::array<std::unique_ptr<ImagePage>, kMaxPages> m_pages;
    std::atomic<std::int32_t> m_pageCount{0};
    std::unique_ptr<ImageReader> m_reader;

    LoadOptions m_options;
    const CancelSink* m_cancel = nullptr;
    bool m_isVector = false;
    Bitmap32* m_currentTarget = nullptr;
    DecodeError m_lastError = DecodeError::Corrupt;
    std::string m_description;
    std::int32_t m_preferredPage = 0;
    std::int32_t m_dpiX = -1;
    std::int32_t m_dpiY = -1;
};

// "data ends at row N" for a page whose file ended early; empty for a whole page.
std::string pageDamageText(const ImagePage& page);

// Facts about a file without decoding its pixels.
struct ImageInfo {
    std::uint64_t fileSize = 0;
    std::int64_t creationTime = 0;  // seconds since 1970
    std::int64_t modificationTime = 0;
    std::uint8_t attributes = 0;  // kAttr* bits
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint32_t bitsPerPixel = 0;
    bool isGray = false;
    bool isVector = false;
    std::string description;
    std::int32_t dpiX = -1;
    std::int32_t dpiY = -1;
    std::int32_t formatIndex = -1;  // into formatTable(), by content
    std::int32_t pageCount = 0;     // pages or frames, when counted (countImagePages)
    ExifBlock exif;

    static constexpr std::uint8_t kAttrReadOnly = 0x01;
    static constexpr std::uint8_t kAttrHidden = 0x02;
    static constexpr std::uint8_t kAttrDirectory = 0x10;
    static constexpr std::uint8_t kAttrArchive = 0x20;
};

// False when the file's status cannot be read; a reader failure leaves the image fields cleared.
bool ReadImageInfo(const std::filesystem::path& path, ImageInfo& info, bool withImage);

// The pages or frames of a file (at most ImageDocument::kMaxPages), 1 for a single image, 0
// when it cannot be read. Multi-frame files are read through to the end, so it costs about a
// decode; ReadImageInfo leaves it out.
std::int32_t countImagePages(const std::filesystem::path& path);

// Decodes an image kept among the program's own resources (BMP, GIF or JPEG) into `bitmaps`,
// consecutive GIF frames into consecutive bitmaps.
bool LoadResourceImage(std::span<const std::uint8_t> bytes, FormatCode format,
                       std::span<Bitmap32> bitmaps);

}  // namespace kalder::image
