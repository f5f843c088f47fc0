#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/core/commands.h"
#include "app/core/settings.h"
#include "view/view_state.h"

class QSplitter;
class QStackedWidget;

namespace kalder::gui {

class BrowserPane;
class DisplaySetup;
class MainWindow;
class FileCommands;
class FolderNavigator;
class MenuBuilder;
class NameBar;
class PropertiesPanel;
class ToolLauncher;
class ViewerCommands;
class ViewerFrames;
class ViewingArea;
class WindowCommands;
class WindowKeys;
class WindowStatus;

// What the main window is made of, seen only by its own sources and the classes it builds:
// the panes, the modes, and the classes that own each concern, which reach one another here.
struct WindowParts {
    explicit WindowParts(MainWindow& window);
    ~WindowParts();

    void buildPanes();
    void registerCommands();
    // Puts the browser and the viewing area where the mode and the layout want them.
    void relayout();
    void storeGeometry(bool sizeChanged);
    void toggleViewerBrowser();
    void updateProperties();
    void showContextMenu(app::ContextMenu which, const QPoint& globalPos);
    void applyDisplayOptions();
    void applyColorSettings(bool startUp);
    // Hands the decoding options to the loaders (stopping them).
    void applyLoaderOptions(bool force);
    // The viewing area's size in device pixels where it is certain before the window manager
    // has placed the window: full screen in viewer mode it is the screen's size.
    std::optional<view::PixelSize> expectedClientSize() const;

    MainWindow& window;
    app::Settings settings;
    std::function<bool(const app::Settings&)> saveSettings;
    view::ViewState state;
    ViewingArea* view = nullptr;
    // Built by the window, in this order, each reaching the others through these parts.
    std::unique_ptr<FileCommands> files;
    std::unique_ptr<ViewerFrames> frames;
    std::unique_ptr<ViewerCommands> viewer;
    std::unique_ptr<WindowStatus> status;
    std::unique_ptr<WindowCommands> windowCommands;
    std::unique_ptr<WindowKeys> keys;
    // The current folder's images and the current entry among them.
    std::unique_ptr<FolderNavigator> folder;
    PropertiesPanel* properties = nullptr;
    std::unique_ptr<ToolLauncher> tools;
    // Colour management and decoding options for the loaders: used by their workers only while
    // a request runs, changed by the window only after they were stopped.
    std::unique_ptr<DisplaySetup> display;

    app::CommandDispatcher commands;
    MenuBuilder* menus = nullptr;
    QStackedWidget* stack = nullptr;
    QWidget* browserPage = nullptr;
    QWidget* viewerPage = nullptr;
    QWidget* viewerBox = nullptr;  // the viewing area with the name bar under it
    BrowserPane* browser = nullptr;
    QSplitter* outerSplitter = nullptr;  // classic layout only
    NameBar* nameBar = nullptr;
    bool viewerMode = true;
    bool browserOnly = false;
    bool viewerFromBrowser = false;
    bool fullScreenActive = false;
    bool nameBarVisible = false;
    QPointer<QWidget> lastFocus;
    std::string shownFolder;  // what commandContext() points into
};

}  // namespace kalder::gui
