#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/result.h"
#include "image/bitmap32.h"
#include "image/colour_reducer.h"
#include "image/resample.h"
#include "image/writers/image_writer.h"

namespace kalder::image {
struct ImagePage;
struct LoadOptions;
}  // namespace kalder::image

namespace kalder::tools {

// How a decoded page becomes a writer's input: an optional resampling, then either 32-bit
// pixels or a palette image. Shared by every tool that writes files, so a page comes out of the
// command line's decode and of the batch convertor the same way.
struct PageOutputOptions {
    // Resampling to an exact size, or by a percentage of the page's size; none when all are 0.
    std::int32_t resampleWidth = 0;
    std::int32_t resampleHeight = 0;
    std::int32_t resamplePercent = 0;
    image::ResampleOptions resample;
    // Resample only this part of the page (the whole page when the width is 0).
    std::int32_t cropX = 0;
    std::int32_t cropY = 0;
    std::int32_t cropWidth = 0;
    std::int32_t cropHeight = 0;
    // Keep the given resolution on a resampled page (else it is dropped: the size changed).
    bool keepResolution = false;

    // A palette image with these options instead of 32-bit pixels. A palette source keeps its own
    // table when `coloursChanged` is false and the page was not resampled.
    bool palette = false;
    image::ColourReduceOptions reduce;
    bool coloursChanged = false;
    // Whether a transparent palette entry is kept for see-through pixels (GIF and PNG only).
    bool transparentEntry = false;

    // The per-format options and everything but the pixels; the pixel fields are filled in.
    image::WriterImage format;
};

// One page made ready for a writer. `image` points into the other members: keep the record
// alive (and unmoved) until the page is written.
struct PreparedPage {
    // The pixels the writer gets: the page's own bitmap or `scaled`.
    const image::Bitmap32* bitmap = nullptr;
    bool resampled = false;
    image::Bitmap32 scaled;
    std::vector<std::uint8_t> alpha;  // bitmap-sized opacities; empty when none
    std::vector<std::uint8_t> indexes;
    image::WriterImage image;
};

// The page's alpha plane (source orientation and size) mapped onto its bitmap, turned and
// mirrored as the loader turned the pixels, nearest neighbour. All 255 without a plane.
std::vector<std::uint8_t> alphaForBitmap(const image::ImagePage& page,
                                         const image::LoadOptions& options);

// Why a page could not be made ready for a writer.
enum class PrepareError : std::uint8_t {
    CannotCrop,
    TooLarge,  // the resampled size is beyond the limits, or its memory is not there
    CannotResample,
    Cancelled,
    CannotReduceColours,
};
std::string prepareErrorMessage(PrepareError error);
using PrepareStatus = base::Result<std::monostate, PrepareError>;

// The two halves of preparePage, for callers that change the pixels in between: first the
// resampling (or none) into out.bitmap and out.alpha ...
PrepareStatus resamplePreparedPage(const image::Bitmap32& bitmap, std::vector<std::uint8_t> alpha,
                                   const PageOutputOptions& options, PreparedPage& out);
// ... then, after any change to out.scaled (see editablePixels), the writer's input.
PrepareStatus finishPreparedPage(const image::ImagePage& page, std::int32_t dpiX, std::int32_t dpiY,
                                 const PageOutputOptions& options, PreparedPage& out);
// out.scaled holding the pixels of out.bitmap (copied once when they are still the page's).
image::Bitmap32* editablePixels(PreparedPage& out);

// Prepares `bitmap` (with `alpha`, bitmap-sized or empty) for a writer. `page` gives the
// source's depth, palette and delay.
PrepareStatus preparePage(const image::ImagePage& page, const image::Bitmap32& bitmap,
                          std::vector<std::uint8_t> alpha, std::int32_t dpiX, std::int32_t dpiY,
                          const PageOutputOptions& options, PreparedPage& out);

// Bits per index for at most `colours` colours (1..8).
std::int32_t bitsForColours(std::int32_t colours);

// A writer's failure as text for the user.
std::string writeErrorMessage(image::DecodeError error);

// ".png" for "x/Y.PNG": the extension, in lower case.
std::string lowerExtension(std::string_view path);

}  // namespace kalder::tools
