#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <vector>

#include <QMainWindow>
#include <QTimer>

#include "app/core/settings.h"
#include "view/color_calibration.h"
#include "view/view_state.h"

namespace kalder::image {
class ImageDocument;
}
namespace kalder::view {
class ColorManager;
class MonitorProfileSource;
}

namespace kalder::gui {

class DocumentLoader;
class ViewingArea;

// The viewer's window: the viewing area showing one image of a folder, the view commands
// (zoom, fit, rotation, flips, gamma, negative, lens, panorama) on their default keys, and
// the neighbours of the folder one key press away.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    // View command identifiers handled here.
    enum Command : int {
        kViewerBrowser = 498,
        kFullScreen = 499,
        kPreviousFile = 540,
        kNextFile = 541,
        kFirstFile = 542,
        kLastFile = 543,
        kFit1to1 = 610,
        kFitWidth = 611,
        kFitHeight = 612,
        kFitAll = 613,
        kAutofit = 614,
        kZoomAllImages = 615,
        kZoomSmallOnly = 616,
        kZoomLargeOnly = 617,
        kIncreaseGamma = 620,
        kDecreaseGamma = 621,
        kResetGamma = 622,
        kRotate0 = 630,
        kRotateClockwise = 634,
        kRotateCounterclockwise = 635,
        kFlipHorizontally = 640,
        kFlipVertically = 641,
        kDisableColorManagement = 651,
        kNegative = 652,
        kZoomIn = 660,
        kZoomOut = 661,
        kZoom1to1 = 662,
        kResetAll = 671,
        kLens = 673,
        kShowTransparency = 677,
        kScrollLeft = 681,
        kScrollRight = 682,
        kScrollLeftSlowly = 683,
        kScrollRightSlowly = 684,
        kResetPosition = 685,
    };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // Shows a file; false (and a message) when it is not a viewable file.
    bool openFile(const std::filesystem::path& path);
    // Shows the first image of a folder; false when it has none.
    bool openFolder(const std::filesystem::path& folder);

    const std::filesystem::path& currentFile() const { return m_current; }
    ViewingArea* viewingArea() const { return m_view; }
    const view::ViewState& viewState() const { return m_state; }
    // True once the current file has finished decoding (successfully or not).
    bool isIdle() const { return m_idle; }

    // The options this window works with. After changing them call applySettings().
    app::Settings& settings() { return m_settings; }
    // Hands the display and colour options to the viewing area and the loader and shows the
    // current image again.
    void applySettings();

    // Runs a command; false when it is not one of the commands handled here.
    bool runCommand(int command);
    // The command a key press runs under the default shortcut table, if any.
    static std::optional<int> commandForKey(int key, Qt::KeyboardModifiers modifiers);

signals:
    // The current file's frame is on screen (ok), or it could not be decoded.
    void imageShown(bool ok);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void requestCurrent();
    void frameTick();
    void applyAction(const view::ViewAction& action, bool anchorAtCursor = false);
    void zoomCommand(view::ViewState::ZoomCommand command, bool anchorAtCursor);
    void gammaChanged();
    void lensCommand();
    void panorama(int command);
    void onWheelNotch(bool forward, bool shiftHeld);
    void onPagingKey(int key);
    void applyColorSettings(bool startUp);
    void applyDisplayOptions();
    void step(std::ptrdiff_t delta);
    void scanFolder();
    bool vectorShown() const;
    view::PixelSize clientSize() const;

    app::Settings m_settings;
    view::ViewState m_state;
    ViewingArea* m_view = nullptr;
    DocumentLoader* m_loader = nullptr;
    // The document whose frame is on screen, and the one being decoded (often the same).
    std::shared_ptr<image::ImageDocument> m_shown;
    std::shared_ptr<image::ImageDocument> m_loading;
    bool m_loadFinished = false;
    bool m_loadOk = false;
    bool m_announce = false;  // imageShown not yet emitted for the finished load
    bool m_requestPending = false;
    bool m_resizePending = false;
    view::PixelSize m_requestedClient;

    // Colour management for the display loader: used by the loader's worker only while a
    // request runs, changed here only after the loader was stopped.
    std::unique_ptr<view::MonitorProfileSource> m_monitor;
    std::unique_ptr<view::ColorManager> m_colorManager;
    std::optional<view::ColorTable> m_colorTable;
    bool m_colorDisabled = false;

    std::filesystem::path m_current;
    std::vector<std::filesystem::path> m_folderFiles;
    QTimer m_frameTimer;
    bool m_idle = true;
};

}  // namespace kalder::gui
