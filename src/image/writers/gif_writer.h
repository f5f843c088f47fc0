#pragma once

#include <cstdint>
#include <vector>

#include "image/writers/image_writer.h"

namespace kalder::image {

// Part of a frame to store: the rectangle of the full image that changed.
struct GifFrameRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
};

// Writes a GIF89a file, one frame per Write. The logical screen is the first frame's size;
// the global table is the first frame's palette when it asks for a global one. Close adds the
// comments and the trailer.
class GifWriter final : public ImageWriter {
public:
    // The whole image is the frame.
    Status Write(const WriterImage& image) override;
    // `image` is the full-size picture; only `rect` of it is stored, at that position.
    Status writeFrame(const WriterImage& image, const GifFrameRect& rect);
    // Before the first frame: the animation repeats `repeats` times after its first showing, 0
    // for ever (the application block browsers read). Without it the animation plays once.
    void setRepeats(std::uint16_t repeats) {
        m_repeats = repeats;
        m_loops = true;
    }

protected:
    Status onClose() override;

private:
    Status writeScreen(const WriterImage& image);

    std::int32_t m_frames = 0;
    bool m_failed = false;
    bool m_loops = false;
    std::uint16_t m_repeats = 0;
    std::int32_t m_screenWidth = 0;
    std::int32_t m_screenHeight = 0;
    std::int32_t m_globalBits = 0;  // 0: no global table
    std::vector<std::uint8_t> m_indexes;
    std::vector<std::uint8_t> m_code;
    std::vector<std::uint8_t> m_blocks;
};

}  // namespace kalder::image
