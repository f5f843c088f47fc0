#include "image/cdx_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace kalder::image::cdx {
namespace {

namespace fs = std::filesystem;

// The places to look for the module, best first. KALDER_CDX_PATH (a file, or a folder holding
// the module) replaces the search entirely, so tests can make the module disappear.
std::vector<fs::path> candidates() {
    std::vector<fs::path> out;
    if (const char* env = std::getenv("KALDER_CDX_PATH"); env && *env) {
        fs::path p(env);
        std::error_code ec;
        out.push_back(fs::is_directory(p, ec) ? p / CDX_MODULE_NAME : p);
        return out;
    }
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path dir = exe.parent_path();
        out.push_back(dir / CDX_MODULE_NAME);
        out.push_back(dir / ".." / "lib" / "kalder" / CDX_MODULE_NAME);
    }
#ifdef KALDER_CDX_BUILD_DIR
    // Tests and fuzzers live in sub-folders of the build tree.
    out.push_back(fs::path(KALDER_CDX_BUILD_DIR) / CDX_MODULE_NAME);
#endif
    return out;
}

void* openModule() {
    for (const fs::path& p : candidates()) {
        std::error_code ec;
        if (!fs::exists(p, ec)) continue;
        if (void* handle = ::dlopen(p.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    }
    return nullptr;
}

// One group's state. `lock` guards everything below it.
struct GroupState {
    std::mutex lock;
    void* module = nullptr;
    bool tiffFilled = false, j2kFilled = false, jpegFilled = false, pngFilled = false;
    bool webpFilled = false, heifFilled = false, jxlFilled = false;
    CdxTiffApi tiff{};
    CdxJ2kApi j2k{};
    CdxJpegApi jpeg{};
    CdxPngApi png{};
    CdxRasterApi webp{}, heif{}, jxl{};
};

GroupState& state(Group group) {
    static GroupState states[3];
    return states[static_cast<int>(group)];
}

// Loads the module for the group (when not yet loaded) and fills `table` through `exportName`.
template <typename Table, typename Fill>
const Table* fill(Group group, Table GroupState::*member, bool GroupState::*filled,
                  const char* exportName) {
    GroupState& s = state(group);
    std::lock_guard guard(s.lock);
    if (s.*filled) return &(s.*member);
    if (!s.module) s.module = openModule();
    if (!s.module) return nullptr;
    auto fn = reinterpret_cast<Fill>(::dlsym(s.module, exportName));
    if (!fn) return nullptr;
    Table table{};
    table.abiVersion = CDX_ABI_VERSION;
    table.size = sizeof(Table);
    if (fn(&table) != CDX_OK) return nullptr;
    s.*member = table;
    s.*filled = true;
    return &(s.*member);
}

}  // namespace

const CdxTiffApi* tiffApi(Group group) {
    return fill<CdxTiffApi, CdxFillTiffFn>(group, &GroupState::tiff, &GroupState::tiffFilled,
                                           "CDX_FillTIFF");
}

const CdxJ2kApi* j2kApi(Group group) {
    return fill<CdxJ2kApi, CdxFillJ2kFn>(group, &GroupState::j2k, &GroupState::j2kFilled,
                                         "CDX_FillJ2K");
}

const CdxJpegApi* jpegApi(Group group) {
    return fill<CdxJpegApi, CdxFillJpegFn>(group, &GroupState::jpeg, &GroupState::jpegFilled,
                                           "CDX_FillJPEG");
}

const CdxPngApi* pngApi(Group group) {
    return fill<CdxPngApi, CdxFillPngFn>(group, &GroupState::png, &GroupState::pngFilled,
                                         "CDX_FillPNG");
}

const CdxRasterApi* webpApi(Group group) {
    return fill<CdxRasterApi, CdxFillRasterFn>(group, &GroupState::webp, &GroupState::webpFilled,
                                               "CDX_FillWEBP");
}

const CdxRasterApi* heifApi(Group group) {
    return fill<CdxRasterApi, CdxFillRasterFn>(group, &GroupState::heif, &GroupState::heifFilled,
                                               "CDX_FillHEIF");
}

const CdxRasterApi* jxlApi(Group group) {
    return fill<CdxRasterApi, CdxFillRasterFn>(group, &GroupState::jxl, &GroupState::jxlFilled,
                                               "CDX_FillJXL");
}

}  // namespace kalder::image::cdx
