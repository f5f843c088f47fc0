#pragma once

// The codec extension modules, each loaded on first use. Each group of callers (readers,
// writers, the lossless JPEG tool) loads them under its own lock; once loaded a module stays
// until the program ends.
// The tables returned are filled once per group and never change afterwards.

#include "cdx/cdx_api.h"

namespace kalder::image::cdx {

enum class Group { Readers, Writers, LosslessJpeg };

// nullptr when the module cannot be loaded or lacks the export.
const CdxTiffApi* tiffApi(Group group);
const CdxJ2kApi* j2kApi(Group group);
const CdxJpegApi* jpegApi(Group group);
const CdxPngApi* pngApi(Group group);
// The whole-picture decoders; each is missing when the module was built without its library.
const CdxRasterApi* webpApi(Group group);
const CdxRasterApi* heifApi(Group group);
const CdxRasterApi* jxlApi(Group group);

}  // namespace kalder::image::cdx
