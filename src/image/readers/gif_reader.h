#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/image_reader.h"

namespace kalder::image {

class GifLzwDecoder;

// GIF, still and animated. Every frame is composed onto a canvas of the logical-screen size, so
// each BeginDecode/ReadRow cycle delivers the complete picture at that moment of the animation.
class GifReader final : public ImageReader {
public:
    GifReader();
    ~GifReader() override;

    bool IsSingleImage() const override { return false; }
    Status ReadHeader() override;
    std::int32_t Width() const override { return m_screenWidth; }
    std::int32_t Height() const override { return m_screenHeight; }
    std::uint32_t BitsPerPixel() const override;
    bool GetPalette(Palette& palette) const override;
    std::int32_t TransparentIndex() const override;
    std::string Description() const override { return "CompuServe GIF"; }
    Result<std::uint32_t> BeginDecode() override;
    Status ReadRow(std::uint8_t* out, bool skip) override;
    void EndDecode() override;

private:
    enum class Scan : std::uint8_t { Image, Control, Trailer };

    struct Frame {
        std::int32_t left = 0, top = 0;
        std::int32_t width = 0, height = 0;  // as stored: the LZW data covers this much
        std::int32_t visibleWidth = 0, visibleHeight = 0;  // the part inside the screen
        bool interlaced = false;
        std::uint32_t bits = 0;
        std::vector<std::uint8_t> localTable;  // entries * 3, empty when absent
        std::uint32_t disposal = 0;
        bool transparent = false;
        std::uint8_t transparentIndex = 0;
    };

    DecodeError failed(DecodeError error);
    // Reads blocks up to an image descriptor (consumed), a graphic control extension (label
    // consumed) or the trailer; comments are collected, other extensions skipped.
    Result<Scan> scanBlocks();
    void skipSubBlocks();
    void readComment();
    Status readGraphicControl();
    Status readImageDescriptor();
    Status allocateCanvas();
    void disposePrevious();
    void clearRect(const Frame& frame);
    // Decodes the visible rows of the whole frame into m_frameIndexes (interlaced frames and
    // frames one row high).
    Status decodeWholeFrame();
    bool frameChangesNothing() const;
    void paintRow(std::int32_t y, const std::uint8_t* indexes, std::int32_t count);
    void finishFrameData();
    void buildColours();

    std::int32_t m_screenWidth = 0;
    std::int32_t m_screenHeight = 0;
    std::uint32_t m_colourBits = 0;
    std::vector<std::uint8_t> m_globalTable;  // entries * 3

    // The canvas in output order (red, green, blue) and which pixels a frame covers (255).
    std::vector<std::uint8_t> m_canvas;
    std::vector<std::uint8_t> m_mask;
    std::vector<std::uint8_t> m_savedCanvas;
    std::vector<std::uint8_t> m_savedMask;
    bool m_haveSaved = false;

    Frame m_frame;
    std::uint8_t m_colours[256 * 3] = {};  // the current frame's table, zero beyond its entries
    bool m_frameActive = false;            // BeginDecode succeeded and EndDecode has not run
    bool m_dataPending = false;            // the frame's LZW data has not been skipped yet
    bool m_controlPending = false;
    bool m_imagePending = false;  // the image separator was read
    bool m_trailer = false;
    bool m_firstFrameDone = false;
    bool m_endOfFile = false;  // the file ended between frames
    bool m_previousValid = false;
    Frame m_previous;  // the frame to dispose of at the next BeginDecode
    std::int32_t m_row = 0;

    std::unique_ptr<GifLzwDecoder> m_lzw;
    std::vector<std::uint8_t> m_rowIndexes;      // one stored frame row
    std::vector<std::uint8_t> m_frameIndexes;    // visibleWidth * visibleHeight
    std::vector<std::int32_t> m_frameRowLength;  // decoded indexes per visible row
    bool m_wholeFrame = false;
    std::uint32_t m_delaySum = 0;
};

}  // namespace kalder::image
