#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QSplitter;
class QStackedWidget;

#include "app/core/commands.h"
#include "app/core/settings.h"
#include "app/core/shortcuts.h"
#include "app/core/startup.h"
#include "app/gui/browser_pane.h"
#include "view/browser_sort.h"
#include "view/display_loader.h"
#include "view/slide_show.h"
#include "view/view_state.h"

namespace kalder::image {
class ImageDocument;
}
namespace kalder::view {
class FolderImages;
class ImageEntry;
}  // namespace kalder::view

namespace kalder::gui {

class DisplaySetup;
class FileCommands;
class MenuBuilder;
class PropertiesPanel;
class NameBar;
class ToolContext;
class ToolLauncher;
class ViewerCommands;
class ViewerFrames;
class ViewingArea;
class WindowCommands;
class WindowKeys;
class WindowStatus;

// The program's one top-level window: the browser (toolbar, file list, folder tree, status
// bar) and the viewer (the viewing area with the name bar), windowed or full screen. Every
// command from the menus, the toolbar and the keys runs through one dispatcher.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens what start-up asked for: a file in the viewer (false, after "Cannot view file",
    // when it cannot be viewed), or the last folder in the browser.
    bool Create(const app::OpenRequest& request);

    // Shows a file; false (and a message) when it is not a viewable file.
    bool openFile(const std::filesystem::path& path);
    // Shows the first image of a folder; false when it has none.
    bool openFolder(const std::filesystem::path& folder);

    const std::filesystem::path& currentFile() const { return m_current; }
    // The current folder's files and their loaders, and the current entry among them.
    view::FolderImages& images() { return *m_images; }
    view::ImageEntry* currentEntry() const { return m_entry; }
    PropertiesPanel* propertiesPanel() const { return m_properties; }
    const view::SlideShow& slideShow() const;
    const view::AnimationPlayer& animation() const;
    ViewingArea* viewingArea() const { return m_view; }
    BrowserPane* browserPane() const { return m_browser; }
    NameBar* nameBar() const { return m_nameBar; }
    const view::ViewState& viewState() const { return m_state; }
    // True once the current file has finished decoding (successfully or not).
    bool isIdle() const;

    // The options this window works with. After changing them call applySettings().
    app::Settings& settings() { return m_settings; }
    // Hands the display and colour options to the viewing area and the loader, rebuilds the
    // keys, the toolbar and the layout, and shows the current image again.
    void applySettings();
    // The options dialog (command 702); also what a Yes to the first-run question opens.
    void openOptions();
    // Where the options go when they are to be kept at once (OK in the options dialog), so
    // that a session that does not end cleanly keeps them.
    void setSettingsSaver(std::function<bool(const app::Settings&)> saver) {
        m_saveSettings = std::move(saver);
    }
    // Takes the browser's sort order into the options and hands them to the saver; false
    // without one or when it failed.
    bool saveSettings();

    // Runs a command; false when it has no handler here.
    bool runCommand(int command);
    // A tool rewrote files of the current folder, perhaps in place: every entry is read again,
    // so thumbnails and the current image are made anew.
    void refreshRewrittenFiles();
    // Thumbnails are made again where the window shows them (the browser's thumbnail views).
    void resumeShownThumbnails();
    // The toolbar's buttons show the commands' states again.
    void refreshToolbar();
    // Where the commands are registered; tools register theirs through their context.
    app::CommandDispatcher& commands() { return m_commands; }
    // What the tools see of this window.
    ToolContext& toolContext();
    // Whether a command has a handler (menu items and buttons without one are disabled).
    bool handles(app::CommandId id) const { return m_commands.handles(id); }
    // The state the update rules read.
    app::CommandContext commandContext() const;
    MenuBuilder* menus() const { return m_menus; }
    // The Batch Convertor panel once a tool made it: Escape hides it and the update rules see
    // whether it is up.
    QWidget* batchPanel() const;
    const app::AcceleratorTable& accelerators() const;

    // Puts the window at a stored rectangle, made to fit the screen's available area (a
    // rectangle stored at another scale or on a larger screen would reach beyond it).
    void placeWindow(const app::Rect& rect);

    // --- modes ---
    bool viewerMode() const { return m_viewerMode; }
    bool browserOnly() const { return m_browserOnly; }
    bool viewerFromBrowser() const { return m_viewerFromBrowser; }
    void SetViewerMode(bool viewer);
    void SetFullScreen(bool on);
    void SetBrowserOnly(bool on);

    // The title, the status text and the "Cannot view file" box.
    WindowStatus& status() { return *m_status; }

    // The file "&Open..." asks for, given the dialog's filter and start folder; empty for
    // none. Unset, the file dialog asks. A hook for tests.
    std::function<QString(const QString& filter, const QString& folder)> chooseFileToOpen;

    // The internal error box; with `fatal` the process ends at once.
    static void ReportInternalError(int code, const QString& place, bool fatal);

signals:
    // The current file's frame is on screen (ok), or it could not be decoded.
    void imageShown(bool ok);

protected:
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildPanes();
    void registerCommands();
    // The file commands list folders and move the current entry as the window's own
    // navigation does.
    friend class FileCommands;
    friend class ViewerCommands;
    friend class ViewerFrames;
    friend class WindowCommands;
    friend class WindowKeys;
    void entryRenamed(view::ImageEntry* entry);
    // Lists the folder again after it changed on disk, showing the current file, else the
    // first one; after our own move of files out of it, the file that followed them.
    void relistFolder(bool afterMove = false);
    void relayout();
    void storeGeometry(bool sizeChanged);
    void toggleViewerBrowser();
    void showBrowserFolder(const std::filesystem::path& folder);
    void listCurrentFolder(bool afterMove = false);
    // Orders the browser (a Sort command or a click on a details column's header).
    void sortBrowser(view::SortKey key, view::SortOrder order);
    // Makes the entry current (nullptr: nothing) and requests it.
    void moveTo(view::ImageEntry* entry, bool keepSelection = false);
    void navigate(int command);
    bool loadFolder(const std::filesystem::path& folder);
    void updateProperties();
    void showContextMenu(app::ContextMenu which, const QPoint& globalPos);
    void applyColorSettings(bool startUp);
    void applyDisplayOptions();
    // Hands the decoding options to the loaders (stopping them).
    void applyLoaderOptions(bool force);

    app::Settings m_settings;
    std::function<bool(const app::Settings&)> m_saveSettings;
    view::ViewState m_state;
    ViewingArea* m_view = nullptr;
    std::unique_ptr<view::FolderImages> m_images;
    std::unique_ptr<FileCommands> m_files;
    // The current entry; what is asked of the loader and on screen for it.
    view::ImageEntry* m_entry = nullptr;
    std::unique_ptr<ViewerFrames> m_frames;
    std::unique_ptr<ViewerCommands> m_viewer;
    std::unique_ptr<WindowStatus> m_status;
    std::unique_ptr<WindowCommands> m_windowCommands;
    std::unique_ptr<WindowKeys> m_keys;
    PropertiesPanel* m_properties = nullptr;
    std::unique_ptr<ToolLauncher> m_tools;

    // Colour management and decoding options for the loaders: used by their workers only while
    // a request runs, changed here only after they were stopped.
    std::unique_ptr<DisplaySetup> m_display;

    std::filesystem::path m_current;

    app::CommandDispatcher m_commands;
    MenuBuilder* m_menus = nullptr;
    QStackedWidget* m_stack = nullptr;
    QWidget* m_browserPage = nullptr;
    QWidget* m_viewerPage = nullptr;
    QWidget* m_viewerBox = nullptr;  // the viewing area with the name bar under it
    BrowserPane* m_browser = nullptr;
    QSplitter* m_outerSplitter = nullptr;  // classic layout only
    NameBar* m_nameBar = nullptr;
    bool m_viewerMode = true;
    bool m_browserOnly = false;
    bool m_viewerFromBrowser = false;
    bool m_fullScreenActive = false;
    bool m_nameBarVisible = false;
    QPointer<QWidget> m_lastFocus;
    mutable std::string m_shownFolder;  // what commandContext() points into
};

}  // namespace kalder::gui
