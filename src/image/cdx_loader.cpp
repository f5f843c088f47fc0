#include "image/cdx_loader.h"

#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "image/format_table.h"
#include "kalder_config.h"

// Defined only in executables of the build tree that live below its root (tests, fuzzers): the
// build root, where the modules are. The installed programs leave it undefined.
extern "C" __attribute__((weak)) const char* kalderBuildTreeModuleFolder();

namespace kalder::image::cdx {
namespace {

namespace fs = std::filesystem;

const char* overrideVariable() {
    const char* env = std::getenv("KALDER_CDX_PATH");
    return env ? env : "";
}

fs::path executablePath() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe;
}

// The files to try for a module, best first.
std::vector<fs::path> candidates(const char* name) {
    const std::string_view override = overrideVariable();
    std::vector<fs::path> out;
    for (const fs::path& folder : moduleFolders(executablePath(), override)) {
        out.push_back(folder / name);
    }
    // KALDER_CDX_PATH may name the main module's file itself.
    std::error_code ec;
    if (!override.empty() && !fs::is_directory(override, ec) &&
        std::string_view(name) == CDX_MODULE_NAME) {
        out.assign(1, fs::path(override));
    }
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

constexpr int kModuleCount = 4;
constexpr const char* kModuleNames[kModuleCount] = {CDX_MODULE_NAME, CDX_WEBP_MODULE_NAME,
                                                    CDX_HEIF_MODULE_NAME, CDX_JXL_MODULE_NAME};

// One group's state. `lock` guards everything below it.
struct GroupState {
    std::mutex lock;
    void* modules[kModuleCount] = {};
    bool tried[kModuleCount] = {};
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
const Table* fill(Group group, Module which, Table GroupState::*member, bool GroupState::*filled,
                  const char* exportName) {
    const auto module = static_cast<std::size_t>(which);
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
    return fill<CdxTiffApi, CdxFillTiffFn>(group, Module::Core, &GroupState::tiff,
                                           &GroupState::tiffFilled, "CDX_FillTIFF");
}

const CdxJ2kApi* j2kApi(Group group) {
    return fill<CdxJ2kApi, CdxFillJ2kFn>(group, Module::Core, &GroupState::j2k,
                                         &GroupState::j2kFilled, "CDX_FillJ2K");
}

const CdxJpegApi* jpegApi(Group group) {
    return fill<CdxJpegApi, CdxFillJpegFn>(group, Module::Core, &GroupState::jpeg,
                                           &GroupState::jpegFilled, "CDX_FillJPEG");
}

const CdxPngApi* pngApi(Group group) {
    return fill<CdxPngApi, CdxFillPngFn>(group, Module::Core, &GroupState::png,
                                         &GroupState::pngFilled, "CDX_FillPNG");
}

void preloadCore() {
    tiffApi(Group::Readers);
    pngApi(Group::Writers);
}

const CdxRasterApi* webpApi(Group group) {
    return fill<CdxRasterApi, CdxFillRasterFn>(group, Module::Webp, &GroupState::webp,
                                               &GroupState::webpFilled, "CDX_FillWEBP");
}

const CdxRasterApi* heifApi(Group group) {
    return fill<CdxRasterApi, CdxFillRasterFn>(group, Module::Heif, &GroupState::heif,
                                               &GroupState::heifFilled, "CDX_FillHEIF");
}

const CdxRasterApi* jxlApi(Group group) {
    return fill<CdxRasterApi, CdxFillRasterFn>(group, Module::Jxl, &GroupState::jxl,
                                               &GroupState::jxlFilled, "CDX_FillJXL");
}

const char* moduleFileName(Module module) { return kModuleNames[static_cast<std::size_t>(module)]; }

std::vector<fs::path> moduleFolders(const fs::path& executable, std::string_view override) {
    if (!override.empty()) {
        std::error_code ec;
        const fs::path p(override);
        return {fs::is_directory(p, ec) ? p : p.parent_path()};
    }
    std::vector<fs::path> out;
    if (!executable.empty()) {
        const fs::path dir = executable.parent_path();
        out.push_back(dir);
        out.push_back((dir.parent_path() / config::kLibDir / "kalder").lexically_normal());
    }
    const fs::path installed = fs::path(config::kFullLibDir) / "kalder";
    if (std::find(out.begin(), out.end(), installed) == out.end()) out.push_back(installed);
    if (kalderBuildTreeModuleFolder) out.emplace_back(kalderBuildTreeModuleFolder());
    return out;
}

std::string missingModuleMessage(const fs::path& file) {
    std::int32_t index = DetectFormat(file, DetectMode::ByContent);
    if (index < 0) index = DetectFormat(file, DetectMode::ByExtension);
    if (index < 0) return {};
    Module module = Module::Core;
    bool loaded = false;
    std::string_view images;
    switch (formatTable()[static_cast<std::size_t>(index)].code) {
        case FormatCode::Tiff:
            images = "TIFF";
            loaded = tiffApi(Group::Readers) != nullptr;
            break;
        case FormatCode::Jpeg2000:
            images = "JPEG 2000";
            loaded = j2kApi(Group::Readers) != nullptr;
            break;
        case FormatCode::WebP:
            images = "WebP";
            module = Module::Webp;
            loaded = webpApi(Group::Readers) != nullptr;
            break;
        case FormatCode::Avif:
        case FormatCode::Heif:
            images = formatTable()[static_cast<std::size_t>(index)].code == FormatCode::Avif
                         ? "AVIF"
                         : "HEIF";
            module = Module::Heif;
            loaded = heifApi(Group::Readers) != nullptr;
            break;
        case FormatCode::JpegXl:
            images = "JPEG XL";
            module = Module::Jxl;
            loaded = jxlApi(Group::Readers) != nullptr;
            break;
        default:
            return {};
    }
    if (loaded) return {};
    const char* name = moduleFileName(module);
    std::string message = std::string(images) + " images need the module " + name;
    // A module that is there but does not load lacks one of its libraries: say which.
    for (const fs::path& p : candidates(name)) {
        std::error_code ec;
        if (!fs::exists(p, ec)) continue;
        if (void* handle = ::dlopen(p.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            ::dlclose(handle);
            continue;
        }
        const char* why = ::dlerror();
        return message + ", which could not be loaded from " + p.parent_path().string() + ": " +
               (why ? why : "unknown error");
    }
    message += ", which was not found in ";
    const std::vector<fs::path> folders = moduleFolders(executablePath(), overrideVariable());
    for (std::size_t i = 0; i < folders.size(); ++i) {
        message += (i ? ", " : "") + folders[i].string();
    }
    return message;
}

}  // namespace kalder::image::cdx
