#include "image/cdx_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace kalder::image::cdx {
namespace {

namespace fs = std::filesystem;

// The places to look for a module, best first. KALDER_CDX_PATH (the main module's file, or a
// folder) replaces the search entirely: every module is looked for in that folder only, so tests
// can make the modules disappear.
std::vector<fs::path> candidates(const char* name) {
    std::vector<fs::path> out;
    if (const char* env = std::getenv("KALDER_CDX_PATH"); env && *env) {
        fs::path p(env);
        std::error_code ec;
        if (fs::is_directory(p, ec))
            out.push_back(p / name);
        else
            out.push_back(std::string_view(name) == CDX_MODULE_NAME ? p : p.parent_path() / name);
        return out;
    }
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const fs::path dir = exe.parent_path();
        out.push_back(dir / name);
        out.push_back(dir / ".." / "lib" / "kalder" / name);
    }
#ifdef KALDER_CDX_BUILD_DIR
    // Tests and fuzzers live in sub-folders of the build tree.
    out.push_back(fs::path(KALDER_CDX_BUILD_DIR) / name);
#endif
    return out;
}

void* openModule(const char* name) {
    for (const fs::path& p : candidates(name)) {
        std::error_code ec;
        if (!fs::exists(p, ec)) continue;
        if (void* handle = ::dlopen(p.c_str(), RTLD_NOW | RTLD_LOCAL)) return handle;
    }
    return nullptr;
}

enum Module { Core, Webp, Heif, Jxl, ModuleCount };
constexpr const char* kModuleNames[ModuleCount] = {CDX_MODULE_NAME, CDX_WEBP_MODULE_NAME,
                                                   CDX_HEIF_MODULE_NAME, CDX_JXL_MODULE_NAME};

// One group's state. `lock` guards everything below it.
struct GroupState {
    std::mutex lock;
    void* modules[ModuleCount] = {};
    bool tried[ModuleCount] = {};
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

// Loads the module for the group (when not yet tried) and fills `table` through `exportName`.
template <typename Table, typename Fill>
const Table* fill(Group group, Module module, Table GroupState::*member, bool GroupState::*filled,
                  const char* exportName) {
    GroupState& s = state(group);
    std::lock_guard guard(s.lock);
    if (s.*filled) return &(s.*member);
    if (!s.tried[module]) {
        s.modules[module] = openModule(kModuleNames[module]);
        s.tried[module] = true;
    }
    if (!s.modules[module]) return nullptr;
    auto fn = reinterpret_cast<Fill>(::dlsym(s.modules[module], exportName));
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
    return fill<CdxTiffApi, CdxFillTiffFn>(group, Core, &GroupState::tiff, &GroupState::tiffFilled,
                                           "CDX_FillTIFF");
}

const CdxJ2kApi* j2kApi(Group group) {
    return fill<CdxJ2kApi, CdxFillJ2kFn>(group, Core, &GroupState::j2k, &GroupState::j2kFilled,
                                         "CDX_FillJ2K");
}

const CdxJpegApi* jpegApi(Group group) {
    return fill<CdxJpegApi, CdxFillJpegFn>(group, Core, &GroupState::jpeg, &GroupState::jpegFilled,
                                           "CDX_FillJPEG");
}

const CdxPngApi* pngApi(Group group) {
    return fill<CdxPngApi, CdxFillPngFn>(group, Core, &GroupState::png, &GroupState::pngFilled,
                                         "CDX_FillPNG");
}

const CdxRasterApi* webpApi(Group group) {
    return fill<CdxRasterApi, CdxFillRasterFn>(group, Webp, &GroupState::webp,
                                               &GroupState::webpFilled, "CDX_FillWEBP");
}

const CdxRasterApi* heifApi(Group group) {
    return fill<CdxRasterApi, CdxFillRasterFn>(group, Heif, &GroupState::heif,
                                               &GroupState::heifFilled, "CDX_FillHEIF");
}

const CdxRasterApi* jxlApi(Group group) {
    return fill<CdxRasterApi, CdxFillRasterFn>(group, Jxl, &GroupState::jxl, &GroupState::jxlFilled,
                                               "CDX_FillJXL");
}

}  // namespace kalder::image::cdx
