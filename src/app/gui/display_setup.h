#pragma once

#include <memory>
#include <optional>
#include <string_view>

#include "view/color_calibration.h"
#include "view/display_loader.h"

namespace kalder::app {
struct OpenRequest;
struct Settings;
}  // namespace kalder::app
namespace kalder::view {
class ColorManager;
class FolderImages;
class MonitorProfileSource;
class SharedThumbnailCache;
class ThumbnailHeadStart;
}  // namespace kalder::view

namespace kalder::gui {

// What the folder's loaders decode with: colour management (the monitor's profile and the
// gamma table) and the smoothing, transparency and thumbnail options. Options reach the
// loaders only when they changed, so unchanged ones keep the decoded images and thumbnails.
class DisplaySetup {
public:
    DisplaySetup();
    ~DisplaySetup();
    DisplaySetup(const DisplaySetup&) = delete;
    DisplaySetup& operator=(const DisplaySetup&) = delete;

    // "Disable Color Management".
    bool colorDisabled() const { return m_colorDisabled; }
    void toggleColorDisabled() { m_colorDisabled = !m_colorDisabled; }
    // Takes the colour options; false when they are those already taken.
    bool takeColorSettings(const app::Settings& settings);
    // Sets the colour manager and the gamma table up for the options taken. The loaders'
    // workers use both: they must be stopped. The message when the profile cannot be used.
    std::optional<std::string_view> applyColor();
    // Hands the options that changed (all with `force`) to the loaders, stopping them; true
    // when the thumbnail options changed.
    bool applyLoaderOptions(const app::Settings& settings, view::FolderImages& images, bool force);

private:
    std::unique_ptr<view::MonitorProfileSource> m_monitor;
    std::unique_ptr<view::ColorManager> m_colorManager;
    std::optional<view::ColorTable> m_colorTable;
    bool m_colorDisabled = false;
    std::optional<view::ColorSettings> m_colorSettings;
    view::DisplayOptions m_displayOptions;
    view::DocumentSource::ThumbnailOptions m_thumbnailOptions;
    std::shared_ptr<const view::SharedThumbnailCache> m_thumbnailCache;
    bool m_thumbnailCacheRemovable = false;
};

// When the program starts on a folder to browse in a thumbnail view, with the shared cache on:
// the head start of its first thumbnails, made with the options the window will use (the
// browser's box at this device pixel ratio). Otherwise nullptr.
std::unique_ptr<view::ThumbnailHeadStart> startThumbnailHeadStart(const app::Settings& settings,
                                                                  const app::OpenRequest& request,
                                                                  double devicePixelRatio);

}  // namespace kalder::gui
