#pragma once

#include <QMainWindow>
#include <filesystem>
#include <functional>
#include <memory>

namespace kalder::app {
struct CommandContext;
struct OpenRequest;
struct Rect;
struct Settings;
}  // namespace kalder::app
namespace kalder::view {
class FolderImages;
class ImageEntry;
class ViewState;
}  // namespace kalder::view

namespace kalder::gui {

class BrowserPane;
class FolderNavigator;
class MenuBuilder;
class NameBar;
class ToolContext;
class ViewerFrames;
class ViewingArea;
class WindowStatus;
struct WindowParts;

// The program's one top-level window, browser and viewer, windowed or full screen; each command
// runs through one dispatcher. What it is made of, and who owns each concern: main_window_p.h.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Opens what start-up asked for: a file in the viewer (false after "Cannot view file"), or
    // a folder in the browser.
    bool Create(const app::OpenRequest& request);

    // The current folder and entry; the shortcuts below ask it.
    FolderNavigator& folder();
    bool openFile(const std::filesystem::path& path);
    const std::filesystem::path& currentFile() const;
    view::FolderImages& images();
    view::ImageEntry* currentEntry() const;
    // What is on screen: the page shown, its animation, the slide show, decoding finished.
    const ViewerFrames& frames() const;
    ViewingArea* viewingArea() const;
    BrowserPane* browserPane() const;
    NameBar* nameBar() const;
    const view::ViewState& viewState() const;
    WindowStatus& status();  // the title, the status text, "Cannot view file"

    // The options; after changing them applySettings() hands them to the panes and loaders.
    app::Settings& settings();
    void applySettings();
    // Where OK in the options dialog keeps them at once, so an unclean end keeps them too.
    void setSettingsSaver(std::function<bool(const app::Settings&)> saver);
    // Keeps the options, with the browser's order, through the saver; false if none or it failed.
    bool saveSettings();

    bool runCommand(int command);                // false when it has no handler here
    void refreshToolbar();                       // the buttons show the commands' states again
    ToolContext& toolContext();                  // what the tools see of this window
    app::CommandContext commandContext() const;  // the state the update rules read
    MenuBuilder* menus() const;
    QWidget* batchPanel() const;  // the Batch Convertor panel once a tool made it
    // Puts the window at a stored rectangle, made to fit the screen's available area.
    void placeWindow(const app::Rect& rect);

    bool viewerMode() const;
    bool browserOnly() const;
    bool viewerFromBrowser() const;
    void SetViewerMode(bool viewer);
    void SetFullScreen(bool on);
    void SetBrowserOnly(bool on);

    // Answers "&Open..." (filter, start folder; empty: none) in place of the file dialog.
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
    std::unique_ptr<WindowParts> m_parts;
};

}  // namespace kalder::gui
