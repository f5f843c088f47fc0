#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/image_reader.h"

namespace kalder::image {

namespace gdi {
class MetafileCanvas;
}

// Windows metafiles (standard and placeable) and enhanced metafiles, played by our own record
// interpreter onto a white picture at the requested size.
class MetafileReader final : public ImageReader {
public:
    enum class Kind { Standard, Placeable, Enhanced };

    MetafileReader();
    ~MetafileReader() override;

    Status ReadHeader() override;
    std::int32_t Width() const override { return m_width; }
    std::int32_t Height() const override { return m_height; }
    std::uint32_t BitsPerPixel() const override { return 24; }
    bool GetPalette(Palette&) const override { return true; }
    bool IsVector() const override { return true; }
    std::string Description() const override { return "Windows Metafile"; }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;
    void EndDecode() override;

    Kind kind() const { return m_kind; }

    // The most pixels we render, whatever size is asked for: an unbounded request would
    // otherwise make a multi-gigabyte picture. Larger requests shrink in proportion.
    static constexpr std::int64_t kMaxRenderPixels = std::int64_t{1} << 24;
    // The largest metafile we read into memory.
    static constexpr std::size_t kMaxFileBytes = std::size_t{256} << 20;

private:
    Status render();

    Kind m_kind = Kind::Standard;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    // Placeable header: the picture's box in metafile units.
    std::int32_t m_boxLeft = 0, m_boxTop = 0, m_boxRight = 0, m_boxBottom = 0;
    std::int64_t m_records = 0;
    std::unique_ptr<gdi::MetafileCanvas> m_canvas;
    std::int32_t m_row = 0;
};

}  // namespace kalder::image
