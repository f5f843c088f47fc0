#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <vector>

#include "app/core/commands.h"

class QWidget;

namespace kalder::image {
class Bitmap32;
}
namespace kalder::app {
struct Settings;
}
namespace kalder::view {
class ImageEntry;
struct DisplayRequest;
}  // namespace kalder::view

namespace kalder::gui {

// What a tool dialog and its commands may ask of the window that hosts them: the options, the
// files to work on, the picture on screen, and the few things a tool asks the window to do
// (hold its loaders, show rewritten files again). Tools see nothing else of the window, so a
// test can host a tool with a small fake.
class ToolContext {
public:
    virtual ~ToolContext() = default;

    // The parent of the tool's dialogs, message boxes and progress windows.
    virtual QWidget* dialogParent() = 0;
    // The options; tools read their defaults there and keep the user's choices.
    virtual app::Settings& settings() = 0;
    // Where a tool registers the handlers of its own commands.
    virtual app::CommandDispatcher& commands() = 0;
    // Runs a command as its menu item would (false when it has no handler).
    virtual bool runCommand(app::CommandId id) = 0;

    // --- what the tool works on ---
    // True while the viewer is up (the browser is hidden).
    virtual bool viewerMode() const = 0;
    // The folder whose files are listed; empty for none.
    virtual std::filesystem::path currentFolder() const = 0;
    // The folder chosen in the folder tree; empty without one.
    virtual std::filesystem::path treeFolder() const = 0;
    // The current file, also one that cannot be shown; empty for none.
    virtual std::filesystem::path currentFile() const = 0;
    // The current entry of the folder's list; nullptr for none.
    virtual const view::ImageEntry* currentEntry() const = 0;
    // The browser's selection, in list order (also while the viewer is up).
    virtual std::vector<const view::ImageEntry*> selectedEntries() const = 0;

    // The entries a tool works on: the browser's selection, or the entry on screen in the
    // viewer, where the browser is hidden.
    std::vector<const view::ImageEntry*> chosenEntries() const;
    // The paths of chosenEntries().
    std::vector<std::filesystem::path> chosenFiles() const;

    // --- the picture on screen ---
    // How the viewer asks for the current entry at the viewing area's size.
    virtual view::DisplayRequest displayRequest() const = 0;
    // The page (animation frame) on screen.
    virtual std::int32_t shownPage() const = 0;
    // The picture as the viewing area holds it; nullptr when none.
    virtual const image::Bitmap32* shownBitmap() const = 0;
    virtual double viewerGamma() const = 0;
    // `callback` runs each time a new current image is on screen (or failed to decode).
    virtual void onImageShown(std::function<void()> callback) = 0;

    // --- while a tool reads or rewrites files ---
    // Thumbnail making waits; true when it was running.
    virtual bool pauseThumbnails() = 0;
    virtual void resumeThumbnails() = 0;
    // Thumbnail making goes on where the window shows thumbnails (the browser's thumbnail
    // views, not the viewer or the list view).
    virtual void resumeShownThumbnails() = 0;
    // Every loader stops, so none reads a file while a tool replaces it; restartLoaders()
    // lets them go on.
    virtual void stopLoaders() = 0;
    virtual void restartLoaders() = 0;
    // New files and folders show in the browser and the tree; the current image comes back.
    virtual void refreshFolder() = 0;
    // Files of the current folder were rewritten, perhaps in place: every entry is read
    // again, so thumbnails and the current image are made anew.
    virtual void refreshRewrittenFiles() = 0;

    // --- a modeless tool panel ---
    // The panel Escape in the window hides and whose visibility the commands' states read.
    virtual void setToolPanel(QWidget* panel) = 0;
    // A tool panel came up or went: the toolbar's buttons show the commands' states again.
    virtual void commandStatesChanged() = 0;
};

}  // namespace kalder::gui
