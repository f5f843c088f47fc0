#pragma once

#include "tools/convert/writer_options_set.h"

namespace kalder::app {

struct Settings;

// The writers' options as the settings file keeps them. Element [0] of each block is the
// documented one; the rest of a block is ours:
//   bmpOptions, tgaOptions  [0] RLE-compressed
//   gifOptions, pngOptions  [0] interlaced, [1] transparency mode, [2] its colour, [3] its index
//   jpegOptions             [0] quality, [1] smoothing, [2] sampling, [3] progressive,
//                           [4] copy Exif, [5] gray-scale
//   tiffOptions             [0] compression index; pngGamma the gamma (0 none)
// PNG text pairs are not kept.
using WriterOptions = tools::WriterOptionsSet;

WriterOptions writerOptionsFromSettings(const Settings& settings);
// Stores every option back; elements of the blocks that no option uses stay as they were.
void storeWriterOptions(const WriterOptions& options, Settings& settings);

}  // namespace kalder::app
