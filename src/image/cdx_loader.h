#pragma once

// The codec extension modules, each loaded on first use. Each group of callers (readers,
// writers, the lossless JPEG tool) loads them under its own lock; once loaded a module stays
// until the program ends.
// The tables returned are filled once per group and never change afterwards.

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

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

// Loads the core module for the readers and the writers, so that the first picture or
// thumbnail does not wait for it: called on a worker while the program starts.
void preloadCore();

enum class Module { Core, Webp, Heif, Jxl };

// The module's file name: "libkalder-cdx.so", "libkalder-cdx-webp.so", ...
const char* moduleFileName(Module module);

// The folders searched for the modules, best first: beside the executable (the build tree, a
// portable copy), <exe>/../<libdir>/kalder (an installation, wherever it was moved), then the
// configured <libdir>/kalder. A non-empty `override` (KALDER_CDX_PATH: a folder, or the main
// module's file) replaces the search, so tests can make the modules disappear.
std::vector<std::filesystem::path> moduleFolders(const std::filesystem::path& executable,
                                                 std::string_view override);

// What stands between `file` and its reader when that reader is one of the modules and the
// module cannot be loaded: "WebP images need the module libkalder-cdx-webp.so, which was not
// found in /usr/lib/kalder". Empty when the file's format needs no module or its module loads.
std::string missingModuleMessage(const std::filesystem::path& file);

}  // namespace kalder::image::cdx
