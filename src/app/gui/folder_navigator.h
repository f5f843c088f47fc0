#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "view/browser_sort.h"

namespace kalder::app {
struct Settings;
}
namespace kalder::view {
class FolderImages;
class ImageEntry;
}  // namespace kalder::view

namespace kalder::gui {

class BrowserPane;
class FileCommands;
class ViewerFrames;
class WindowStatus;

// The folder the window shows and where it is in it: the folder's images and their loaders,
// the current entry and its file; opening files and folders, listing the folder again, moving
// among its files and ordering them.
class FolderNavigator {
public:
    // What the navigator moves along with the current entry. `viewerMode` is the window's
    // flag: the browser's list follows the current entry only while it is shown.
    struct Links {
        app::Settings& settings;
        ViewerFrames& frames;
        WindowStatus& status;
        FileCommands& files;
        const bool& viewerMode;
        // The current file was renamed: the name bar, status and properties show the new name.
        std::function<void()> currentRenamed;
    };
    explicit FolderNavigator(Links links);
    ~FolderNavigator();
    FolderNavigator(const FolderNavigator&) = delete;
    FolderNavigator& operator=(const FolderNavigator&) = delete;

    // The browser, once the window has built it; the file list shows these images.
    void setBrowser(BrowserPane* browser);

    view::FolderImages& images() { return *m_images; }
    // The current entry (nullptr: none) and its file, also when it cannot be shown.
    view::ImageEntry* currentEntry() const { return m_entry; }
    const std::filesystem::path& currentFile() const { return m_current; }

    // Shows a file; false (and a message) when it is not a viewable file.
    bool openFile(const std::filesystem::path& path);
    // Shows the first image of a folder; false when it has none.
    bool openFolder(const std::filesystem::path& folder);
    bool loadFolder(const std::filesystem::path& folder);
    // The folder chosen in the browser's tree, with its first file current.
    void showBrowserFolder(const std::filesystem::path& folder);
    void listCurrentFolder(bool afterMove = false);
    // Lists the folder again after it changed on disk, showing the current file, else the
    // first one; after our own move of files out of it, the file that followed them.
    void relistFolder(bool afterMove = false);
    // A tool rewrote files of the folder, perhaps in place: every entry is read again.
    void refreshRewrittenFiles();
    void entryRenamed(view::ImageEntry* entry);
    // The entries are about to be freed: nothing of them stays current or on screen.
    void forgetEntries();
    // Nothing is current any more (the folder has no file left to show).
    void clearCurrent();
    // A navigation command (Previous/Next/First/Last file, Previous/Next selected).
    void navigate(int command);
    // Makes the entry current (nullptr: nothing) and requests it.
    void moveTo(view::ImageEntry* entry, bool keepSelection = false);
    // Orders the browser (a Sort command or a click on a details column's header).
    void sortBrowser(view::SortKey key, view::SortOrder order);
    // Thumbnails are made again where the window shows them (the browser's thumbnail views).
    void resumeShownThumbnails();

private:
    void restoreFilter();

    Links m_links;
    BrowserPane* m_browser = nullptr;
    std::unique_ptr<view::FolderImages> m_images;
    view::ImageEntry* m_entry = nullptr;
    std::filesystem::path m_current;
};

}  // namespace kalder::gui
