#include "app/core/settings.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <system_error>

#include "base/limits.h"
#include "base/read_file.h"
#include "kalder_config.h"
#include "shell/registry_store.h"

namespace kalder::app {
namespace fs = std::filesystem;

namespace {

Rect insetRect(const Rect& area, std::int32_t divisor) {
    const std::int64_t dy = (static_cast<std::int64_t>(area.bottom) - area.top) / divisor;
    const std::int64_t dx = (static_cast<std::int64_t>(area.right) - area.left) / divisor;
    return Rect{static_cast<std::int32_t>(area.left + dx), static_cast<std::int32_t>(area.top + dy),
                static_cast<std::int32_t>(area.right - dx),
                static_cast<std::int32_t>(area.bottom - dy)};
}

// The companion's executable from its install folder. A missing key leaves what was there; a key
// without the value empties it.
void applyCompanionPath(const shell::RegistryStore* registry, std::string& path) {
    if (!registry || !registry->hasKey(kCompanionKey)) return;
    const auto folder = registry->value(kCompanionKey, kCompanionValue);
    if (!folder) {
        path.clear();
        return;
    }
    path = *folder;
    if (!path.empty() && path.back() != '/') path += '/';
    path += kCompanionExeName;
}

// Whether a stored rectangle would put the window (mostly) off a screen of this size. An empty
// or inverted rectangle, which only a damaged file can hold, counts as off the screen too.
bool offScreen(const Rect& r, ScreenSize screen) {
    const std::int64_t w = screen.width;
    const std::int64_t h = screen.height;
    return r.left >= w - 20 || r.top < 0 || r.top >= h - 20 || r.right < 20 || r.right <= r.left ||
           r.bottom <= r.top;
}

}  // namespace

void Settings::SetDefaults(const SettingsContext& context) {
    Settings fresh;
    fresh.commandLineFile = std::move(commandLineFile);
    fresh.printMode = printMode;
    fresh.companionExePath = std::move(companionExePath);
    *this = std::move(fresh);

    const Rect workArea = context.screen ? context.screen->workArea() : Rect{};
    windowRect = insetRect(workArea, 8);
    windowShowCmd = kShowNormal;
    paneSplitY = ((windowRect.bottom - windowRect.top) / 5) * 2;
    paneSplitX = (windowRect.right - windowRect.left) / 3;
    lastFolder = context.currentDirectory;
    propertiesPanelRect = insetRect(workArea, 4);
    applyCompanionPath(context.registry, companionExePath);
    browserScrollBarSize = context.screen ? context.screen->horizontalScrollBarHeight() : 0;
    firstRun = true;
}

namespace {
constexpr std::string_view kSharedCacheValue = "SharedThumbnailCache";
constexpr std::string_view kRemovableCacheValue = "CacheRemovableMedia";
constexpr std::string_view kKeySchemeValue = "KeyScheme";
constexpr std::string_view kToolbarTextValue = "ToolbarTextUnderIcons";
constexpr std::string_view kThemeBackgroundValue = "ThemeBackground";
constexpr std::string_view kThumbnailSizeValue = "ThumbnailSize";
constexpr std::string_view kSortDescendingValue = "SortDescending";
constexpr std::string_view kImageInfoOverlayValue = "ImageInfoOverlay";
}  // namespace

std::optional<std::uint32_t> viewerBackground(const Settings& s) {
    if (s.themeBackground) return std::nullopt;
    return s.backgroundColor;
}

void readStoreOptions(const shell::RegistryStore& store, std::string_view key, Settings& s) {
    const auto flag = [&](std::string_view name, bool& value) {
        if (const auto v = store.value(key, name)) value = *v != "0";
    };
    flag(kSharedCacheValue, s.sharedThumbnailCache);
    flag(kRemovableCacheValue, s.cacheRemovableMedia);
    flag(kToolbarTextValue, s.toolbarTextUnderIcons);
    // A colour chosen before the theme option existed is kept.
    s.themeBackground = s.backgroundColor == Settings().backgroundColor;
    flag(kThemeBackgroundValue, s.themeBackground);
    if (const auto v = store.value(key, kKeySchemeValue))
        s.keyScheme = *v == "1" ? KeyScheme::Desktop : KeyScheme::Standard;
    flag(kSortDescendingValue, s.sortDescending);
    flag(kImageInfoOverlayValue, s.imageInfoOverlay);
    if (const auto v = store.value(key, kThumbnailSizeValue)) {
        // A size the slider cannot set (hand-edited, damaged) leaves the view's own.
        const std::int32_t size = std::atoi(v->c_str());
        s.thumbnailSize = size >= kMinThumbnailSize && size <= kMaxThumbnailSize ? size : 0;
    }
}

void writeStoreOptions(shell::RegistryStore& store, std::string_view key, const Settings& s) {
    store.setValue(key, kSharedCacheValue, s.sharedThumbnailCache ? "1" : "0");
    store.setValue(key, kRemovableCacheValue, s.cacheRemovableMedia ? "1" : "0");
    store.setValue(key, kToolbarTextValue, s.toolbarTextUnderIcons ? "1" : "0");
    store.setValue(key, kThemeBackgroundValue, s.themeBackground ? "1" : "0");
    store.setValue(key, kKeySchemeValue, s.keyScheme == KeyScheme::Desktop ? "1" : "0");
    store.setValue(key, kSortDescendingValue, s.sortDescending ? "1" : "0");
    store.setValue(key, kImageInfoOverlayValue, s.imageInfoOverlay ? "1" : "0");
    store.setValue(key, kThumbnailSizeValue, std::to_string(s.thumbnailSize));
}

SettingsLoad Settings::Load(const SettingsContext& context) {
    SetDefaults(context);
    // A real settings file is a few kilobytes; anything past the limit is taken as if the file
    // ended there, and so is a read error part-way.
    const auto bytes =
        base::readFile(context.filePath, base::kMaxDataFileBytes, base::OverLimit::Salvage);
    if (!bytes.ok()) return SettingsLoad::NoFile;
    const SettingsLoad result = readSettingsFile(*bytes, *this);
    if (context.screen) checkWindowRects(*this, context.screen->screenSize());
    return result;
}

bool Settings::Save(const fs::path& filePath) const {
    const std::vector<std::uint8_t> bytes = writeSettingsFile(*this);
    return shell::replaceFileContents(
        filePath, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void Settings::DeleteFile(const fs::path& filePath) {
    std::error_code ignored;
    fs::remove(filePath, ignored);
}

fs::path settingsFilePath(const fs::path& executableDirectory) {
    const fs::path folder = executableDirectory.empty() ? fs::path(".") : executableDirectory;
    const fs::path beside = executableDirectory / kSettingsFileName;
    std::error_code ec;
    auto has = [&](const fs::path& p) { return fs::exists(p, ec); };
    const bool systemFolder = fs::equivalent(folder, config::kFullBinDir, ec);
    // bin/ of an installation tree (wherever it was moved): lib/kalder sits beside it.
    const fs::path prefix = fs::absolute(folder, ec).parent_path();
    const bool installation =
        systemFolder || fs::is_directory(prefix / config::kLibDir / "kalder", ec);
    const bool portable = has(folder / "portable") || has(folder / "CMakeCache.txt") ||
                          (!installation && has(beside));
    if (portable && !systemFolder && ::access(folder.c_str(), W_OK | X_OK) == 0) return beside;

    const fs::path config = shell::kalderConfigDirectory();
    // With no configuration folder there is nowhere to keep settings: defaults, saved nowhere.
    if (config.empty()) return {};
    const fs::path file = config / kSettingsFileName;
    // Earlier versions wrote beside the installed program; those settings move over once.
    if (installation && has(beside) && !has(file)) {
        fs::create_directories(config, ec);
        fs::copy_file(beside, file, ec);
    }
    return file;
}

void checkWindowRects(Settings& settings, ScreenSize screen) {
    const std::int32_t w = screen.width;
    const std::int32_t h = screen.height;
    if (offScreen(settings.windowRect, screen)) {
        settings.windowRect = Rect{w / 8, h / 8, (w / 8) * 7, (h / 8) * 7};
        settings.windowShowCmd = kShowPlain;
    }
    if (offScreen(settings.propertiesPanelRect, screen)) {
        settings.propertiesPanelRect = Rect{w / 4, h / 4, (w / 4) * 3, (h / 4) * 3};
    }
}

BrowserView browserViewOf(const Settings& settings) {
    return static_cast<BrowserView>(std::clamp(settings.browserView, 0, 3));
}

}  // namespace kalder::app
