#include "app/gui/display_setup.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <system_error>

#include "app/core/settings.h"
#include "app/core/startup.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/x11_monitor_profile.h"
#include "base/thread_pool.h"
#include "view/color_manager.h"
#include "view/folder_images.h"
#include "view/thumbnail_cache.h"
#include "view/thumbnail_head_start.h"

namespace kalder::gui {
namespace {

bool sameOptions(const view::DisplayOptions& a, const view::DisplayOptions& b) {
    return a.smoothShrink == b.smoothShrink && a.smoothEnlarge == b.smoothEnlarge &&
           a.smoothEnlargeMinSize == b.smoothEnlargeMinSize && a.blendAlpha == b.blendAlpha &&
           a.background == b.background && a.extractAlpha == b.extractAlpha &&
           a.gammaTable == b.gammaTable && a.colorTransform == b.colorTransform &&
           a.showProgress == b.showProgress;
}

bool sameOptions(const view::DocumentSource::ThumbnailOptions& a,
                 const view::DocumentSource::ThumbnailOptions& b) {
    return a.useExif == b.useExif && a.rotateClockwise == b.rotateClockwise &&
           a.upright == b.upright && a.background == b.background &&
           a.colorTransform == b.colorTransform && a.cache == b.cache;
}

// The thumbnail options the settings choose, without the cache and the colour transform.
view::DocumentSource::ThumbnailOptions thumbnailOptionsOf(const app::Settings& settings) {
    view::DocumentSource::ThumbnailOptions t;
    t.useExif = settings.exifThumbnails;
    t.rotateClockwise = settings.rotateExifThumbnails;
    t.upright = settings.exifAutoOrient;  // as the viewer shows the pictures
    t.background = settings.transparencyColor;
    return t;
}

}  // namespace

DisplaySetup::DisplaySetup()
    : m_monitor(createMonitorProfileSource()),
      m_colorManager(std::make_unique<view::ColorManager>()) {}

DisplaySetup::~DisplaySetup() = default;

bool DisplaySetup::takeColorSettings(const app::Settings& settings) {
    view::ColorOptions options;
    options.useColorProfiles = settings.useColorProfiles;
    options.useDefaultProfile = settings.useDefaultProfile;
    options.colorProfilePath = settings.colorProfilePath;
    options.gammaRed = settings.gammaRed;
    options.gammaGreen = settings.gammaGreen;
    options.gammaBlue = settings.gammaBlue;
    options.gammaExtra = settings.gammaExtra;
    const view::ColorSettings colour = view::buildColorSettings(options, m_colorDisabled);
    if (m_colorSettings == colour) return false;
    m_colorSettings = colour;
    return true;
}

std::optional<std::string_view> DisplaySetup::applyColor() {
    if (!m_colorSettings) return std::nullopt;
    const auto error = view::applyColorSettings(*m_colorManager, *m_colorSettings, *m_monitor);
    m_colorTable = view::BuildTable(*m_colorSettings);
    if (error) return view::profileErrorMessage(*error);
    return std::nullopt;
}

bool DisplaySetup::applyLoaderOptions(const app::Settings& settings, view::FolderImages& images,
                                      bool force) {
    view::DisplayOptions o;
    o.smoothShrink = settings.squeezeInterpolated;
    o.smoothEnlarge = settings.stretchInterpolated;
    o.smoothEnlargeMinSize = settings.minStretchSize;
    o.blendAlpha = settings.showTransparency;
    o.background = settings.transparencyColor;
    o.showProgress = settings.showProgress;
    // Colour adaptation happens while decoding, never at paint time.
    o.gammaTable = m_colorTable ? m_colorTable->data() : nullptr;
    o.colorTransform = m_colorManager->hasProfile() ? m_colorManager.get() : nullptr;
    view::DocumentSource::ThumbnailOptions t = thumbnailOptionsOf(settings);
    t.colorTransform = o.colorTransform;
    if (settings.sharedThumbnailCache) {
        // One cache object per choice, so that unchanged options compare equal.
        if (!m_thumbnailCache || m_thumbnailCacheRemovable != settings.cacheRemovableMedia) {
            view::SharedThumbnailCache::Options c;
            c.removableMedia = settings.cacheRemovableMedia;
            m_thumbnailCache = std::make_shared<const view::SharedThumbnailCache>(std::move(c));
            m_thumbnailCacheRemovable = settings.cacheRemovableMedia;
        }
        t.cache = m_thumbnailCache;
    }
    if (force || !sameOptions(o, m_displayOptions)) {
        m_displayOptions = o;
        images.setDisplayOptions(o);  // stops the worker and empties the slots
    }
    if (!force && sameOptions(t, m_thumbnailOptions)) return false;
    m_thumbnailOptions = t;
    images.setThumbnailOptions(t);
    return true;
}

std::unique_ptr<view::ThumbnailHeadStart> startThumbnailHeadStart(const app::Settings& settings,
                                                                  const app::OpenRequest& request,
                                                                  double devicePixelRatio) {
    namespace fs = std::filesystem;
    std::error_code ec;
    // A folder, named or the last one, opens in the browser (MainWindow::Create).
    if (request.print || request.path.empty() || !fs::is_directory(request.path, ec)) return {};
    const app::BrowserView view = app::browserViewOf(settings);
    if (view != app::BrowserView::SmallThumbnails && view != app::BrowserView::BigThumbnails)
        return {};
    // The cache holds upright pictures only, so the loader uses it only then.
    if (!settings.sharedThumbnailCache || !settings.exifAutoOrient) return {};

    view::ThumbnailHeadStart::Plan plan;
    plan.folder = fs::absolute(fs::path(request.path), ec).lexically_normal();
    plan.filter = static_cast<view::FilterMode>(std::clamp(settings.filterMode, 0, 3));
    plan.customFilter = settings.customFilter;
    plan.sortKey = static_cast<view::SortKey>(std::clamp(settings.sortMode, 0, 3));
    plan.sortOrder =
        settings.sortDescending ? view::SortOrder::Descending : view::SortOrder::Ascending;
    const int side =
        ThumbnailBrowser::boxFor(view == app::BrowserView::BigThumbnails, settings.thumbnailSize);
    plan.box = static_cast<std::int32_t>(std::lround(side * devicePixelRatio));
    plan.options = thumbnailOptionsOf(settings);
    view::SharedThumbnailCache::Options cache;
    cache.removableMedia = settings.cacheRemovableMedia;
    plan.options.cache = std::make_shared<const view::SharedThumbnailCache>(std::move(cache));
    // The window is built on one core meanwhile.
    plan.workers = std::max(1u, base::ThreadPool::cores() - 1);
    return std::make_unique<view::ThumbnailHeadStart>(std::move(plan));
}

}  // namespace kalder::gui
