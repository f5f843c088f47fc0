#pragma once

#include <cstdint>
#include <vector>

#include "image/writers/gif_writer.h"

namespace kalder::tools {

// One frame after colour reduction, full image size.
struct IndexedFrame {
    const std::uint8_t* indices = nullptr;     // one per pixel
    const std::uint8_t* seeThrough = nullptr;  // nonzero: not drawn; null: every pixel drawn
    const std::uint8_t* palette = nullptr;     // 256 x red, green, blue
    std::int32_t disposal = 1;                 // GIF code, applied after the frame is shown
};

// What a viewer shows after the frames placed so far, following GIF89a: a frame draws its
// opaque pixels over the picture, is shown, and then its disposal applies (2 clears what it
// drew, 3 restores the picture from before it). Frames are compared by colour, so frames with
// their own palettes are minimised as well as frames sharing one.
class AnimationCanvas {
public:
    // Empties the canvas for a new animation; false when memory runs out.
    bool reset(std::int32_t width, std::int32_t height);

    // Works out how to store `frame` so that the file shows it exactly as given: the rectangle
    // to write and, inside it, the index of every pixel in `out` (a full-size plane; pixels
    // outside the rectangle are left alone). `transparentIndex` is the index written for pixels
    // that show what is underneath, -1 when the frame has none (then `seeThrough` must be null).
    // With `minimize`, unchanged pixels become transparent where that does not break a run of
    // equal indices. Then advances the canvas past the frame and its disposal.
    image::GifFrameRect place(const IndexedFrame& frame, std::int32_t transparentIndex,
                              bool minimize, std::vector<std::uint8_t>& out);

    // Whether a pixel `frame` leaves see-through lies over one the frames before left drawn:
    // there the viewer shows the old picture, not transparency.
    bool hidesSeeThrough(const IndexedFrame& frame, std::int32_t transparentIndex) const;

private:
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    bool m_first = true;
    // 0 where nothing is drawn, else kCovered | 0xRRGGBB.
    std::vector<std::uint32_t> m_pixels;
    std::vector<std::uint32_t> m_saved;  // the picture before a "Restore Previous" frame
};

}  // namespace kalder::tools
