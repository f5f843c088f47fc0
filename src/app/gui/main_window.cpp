#include "app/gui/main_window.h"

#include <algorithm>
#include <array>

#include <QKeyEvent>
#include <QMessageBox>

#include "app/gui/document_loader.h"
#include "app/gui/viewing_area.h"
#include "app/gui/x11_monitor_profile.h"
#include "image/format_table.h"
#include "image/image_document.h"
#include "image/exif/exif_block.h"
#include "view/color_manager.h"

namespace kalder::gui {
namespace fs = std::filesystem;

namespace {

constexpr int kFrameTickMs = 50;
const QString kTitle = QStringLiteral("Kalder");

enum class Keypad { Any, Required, Forbidden };

struct KeyBinding {
    int key;
    Qt::KeyboardModifiers modifiers;
    Keypad keypad;
    int command;
};

// The view and navigation entries of the default shortcut table.
const std::array kBindings = {
    KeyBinding{Qt::Key_Plus, Qt::NoModifier, Keypad::Required, MainWindow::kZoomIn},
    KeyBinding{Qt::Key_Minus, Qt::NoModifier, Keypad::Required, MainWindow::kZoomOut},
    KeyBinding{Qt::Key_Insert, Qt::NoModifier, Keypad::Any, MainWindow::kZoom1to1},
    KeyBinding{Qt::Key_Slash, Qt::NoModifier, Keypad::Required, MainWindow::kFit1to1},
    KeyBinding{Qt::Key_Asterisk, Qt::NoModifier, Keypad::Required, MainWindow::kFitAll},
    KeyBinding{Qt::Key_W, Qt::AltModifier, Keypad::Any, MainWindow::kFitWidth},
    KeyBinding{Qt::Key_H, Qt::AltModifier, Keypad::Any, MainWindow::kFitHeight},
    KeyBinding{Qt::Key_A, Qt::AltModifier, Keypad::Any, MainWindow::kAutofit},
    KeyBinding{Qt::Key_1, Qt::AltModifier, Keypad::Forbidden, MainWindow::kZoomAllImages},
    KeyBinding{Qt::Key_2, Qt::AltModifier, Keypad::Forbidden, MainWindow::kZoomLargeOnly},
    KeyBinding{Qt::Key_3, Qt::AltModifier, Keypad::Forbidden, MainWindow::kZoomSmallOnly},
    KeyBinding{Qt::Key_Plus, Qt::ControlModifier, Keypad::Required, MainWindow::kIncreaseGamma},
    KeyBinding{Qt::Key_Minus, Qt::ControlModifier, Keypad::Required, MainWindow::kDecreaseGamma},
    KeyBinding{Qt::Key_Asterisk, Qt::ControlModifier, Keypad::Required, MainWindow::kResetGamma},
    KeyBinding{Qt::Key_BracketRight, Qt::NoModifier, Keypad::Any, MainWindow::kRotateClockwise},
    KeyBinding{Qt::Key_BracketLeft, Qt::NoModifier, Keypad::Any, MainWindow::kRotateCounterclockwise},
    KeyBinding{Qt::Key_BracketLeft, Qt::AltModifier, Keypad::Any, MainWindow::kFlipHorizontally},
    KeyBinding{Qt::Key_BracketRight, Qt::AltModifier, Keypad::Any, MainWindow::kFlipVertically},
    KeyBinding{Qt::Key_0, Qt::NoModifier, Keypad::Forbidden, MainWindow::kResetAll},
    KeyBinding{Qt::Key_N, Qt::ControlModifier, Keypad::Any, MainWindow::kNegative},
    KeyBinding{Qt::Key_F9, Qt::NoModifier, Keypad::Any, MainWindow::kLens},
    KeyBinding{Qt::Key_QuoteLeft, Qt::NoModifier, Keypad::Any, MainWindow::kLens},
    KeyBinding{Qt::Key_T, Qt::ControlModifier, Keypad::Any, MainWindow::kShowTransparency},
    KeyBinding{Qt::Key_F11, Qt::ControlModifier, Keypad::Any, MainWindow::kDisableColorManagement},
    KeyBinding{Qt::Key_Left, Qt::AltModifier, Keypad::Any, MainWindow::kScrollLeft},
    KeyBinding{Qt::Key_Right, Qt::AltModifier, Keypad::Any, MainWindow::kScrollRight},
    KeyBinding{Qt::Key_Left, Qt::ShiftModifier, Keypad::Any, MainWindow::kScrollLeftSlowly},
    KeyBinding{Qt::Key_Right, Qt::ShiftModifier, Keypad::Any, MainWindow::kScrollRightSlowly},
    KeyBinding{Qt::Key_Home, Qt::AltModifier, Keypad::Any, MainWindow::kResetPosition},
    KeyBinding{Qt::Key_PageDown, Qt::NoModifier, Keypad::Any, MainWindow::kNextFile},
    KeyBinding{Qt::Key_PageUp, Qt::NoModifier, Keypad::Any, MainWindow::kPreviousFile},
    KeyBinding{Qt::Key_Home, Qt::NoModifier, Keypad::Any, MainWindow::kFirstFile},
    KeyBinding{Qt::Key_End, Qt::NoModifier, Keypad::Any, MainWindow::kLastFile},
    KeyBinding{Qt::Key_Forward, Qt::NoModifier, Keypad::Any, MainWindow::kNextFile},
    KeyBinding{Qt::Key_Back, Qt::NoModifier, Keypad::Any, MainWindow::kPreviousFile},
    KeyBinding{Qt::Key_F11, Qt::NoModifier, Keypad::Any, MainWindow::kFullScreen},
    KeyBinding{Qt::Key_Return, Qt::AltModifier, Keypad::Any, MainWindow::kFullScreen},
    KeyBinding{Qt::Key_Enter, Qt::AltModifier, Keypad::Any, MainWindow::kFullScreen},
    KeyBinding{Qt::Key_Return, Qt::NoModifier, Keypad::Any, MainWindow::kViewerBrowser},
    KeyBinding{Qt::Key_Space, Qt::NoModifier, Keypad::Any, MainWindow::kViewerBrowser},
};

bool isViewable(const fs::directory_entry& e, std::error_code& ec) {
    return e.is_regular_file(ec) &&
           image::DetectFormat(e.path(), image::DetectMode::ByExtension) >= 0;
}

}  // namespace

std::optional<int> MainWindow::commandForKey(int key, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers & Qt::KeypadModifier;
    const Qt::KeyboardModifiers mods =
        modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier);
    for (const KeyBinding& b : kBindings) {
        if (b.key != key || b.modifiers != mods) continue;
        if (b.keypad == Keypad::Required && !keypad) continue;
        if (b.keypad == Keypad::Forbidden && keypad) continue;
        return b.command;
    }
    return std::nullopt;
}

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(kTitle);
    m_view = new ViewingArea(this);
    setCentralWidget(m_view);
    m_view->setFocus();
    m_loader = new DocumentLoader(this);
    resize(1024, 768);

    m_monitor = createMonitorProfileSource();
    m_colorManager = std::make_unique<view::ColorManager>();

    connect(m_loader, &DocumentLoader::pageStarted, this,
            [this](std::shared_ptr<image::ImageDocument> doc) { m_loading = std::move(doc); });
    connect(m_loader, &DocumentLoader::finished, this,
            [this](std::shared_ptr<image::ImageDocument> doc, bool ok) {
                m_loading = std::move(doc);
                m_loadFinished = true;
                m_loadOk = ok;
                m_announce = true;
                m_idle = true;
                frameTick();
                if (m_loadFinished && !m_loadOk) {
                    // Nothing to show for this file.
                    m_view->Clear();
                    m_shown.reset();
                    m_loading.reset();
                    emit imageShown(false);
                }
            });
    connect(m_view, &ViewingArea::wheelNotch, this, &MainWindow::onWheelNotch);
    connect(m_view, &ViewingArea::pagingKey, this, &MainWindow::onPagingKey);
    connect(m_view, &ViewingArea::clientResized, this, [this] { m_resizePending = true; });
    connect(m_view, &ViewingArea::fileDropped, this,
            [this](const QString& path) { openFile(fs::path(path.toStdString())); });

    m_frameTimer.setInterval(kFrameTickMs);
    connect(&m_frameTimer, &QTimer::timeout, this, &MainWindow::frameTick);
    m_frameTimer.start();

    m_state.setFitMode(static_cast<view::FitMode>(std::clamp(m_settings.fitMode, 0, 4)));
    m_state.setZoomRule(static_cast<view::ZoomRule>(std::clamp(m_settings.zoomScope, 0, 2)));
    applyDisplayOptions();
    applyColorSettings(true);
}

MainWindow::~MainWindow() {
    m_frameTimer.stop();
    m_loader->cancel();
    m_view->Clear();
}

// --- files ---

bool MainWindow::openFile(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) {
        QMessageBox::critical(this, kTitle,
                              QStringLiteral("Cannot view file: \"%1\".")
                                  .arg(QString::fromStdString(path.string())));
        return false;
    }
    m_current = fs::absolute(path, ec);
    scanFolder();
    requestCurrent();
    return true;
}

bool MainWindow::openFolder(const fs::path& folder) {
    std::error_code ec;
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (isViewable(e, ec)) files.push_back(e.path());
    if (files.empty()) return false;
    std::sort(files.begin(), files.end());
    return openFile(files.front());
}

void MainWindow::scanFolder() {
    m_folderFiles.clear();
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(m_current.parent_path(), ec))
        if (isViewable(e, ec)) m_folderFiles.push_back(e.path());
    std::sort(m_folderFiles.begin(), m_folderFiles.end());
}

void MainWindow::step(std::ptrdiff_t delta) {
    if (m_folderFiles.empty()) return;
    auto it = std::find(m_folderFiles.begin(), m_folderFiles.end(), m_current);
    std::ptrdiff_t i = it == m_folderFiles.end() ? 0 : it - m_folderFiles.begin();
    const auto last = static_cast<std::ptrdiff_t>(m_folderFiles.size()) - 1;
    const std::ptrdiff_t next = std::clamp(i + delta, std::ptrdiff_t{0}, last);
    if (next == i && it != m_folderFiles.end()) return;
    m_current = m_folderFiles[static_cast<std::size_t>(next)];
    requestCurrent();
}

// --- requests and frames ---

view::PixelSize MainWindow::clientSize() const {
    return {std::max(1, m_view->width()), std::max(1, m_view->height())};
}

bool MainWindow::vectorShown() const { return m_shown && m_shown->isVector(); }

void MainWindow::requestCurrent() {
    if (m_current.empty()) return;
    if (!m_view->isVisible()) {
        // The client size is not known before the window is laid out.
        m_requestPending = true;
        return;
    }
    m_requestPending = false;
    m_resizePending = false;
    m_requestedClient = clientSize();
    image::LoadOptions o;
    o.path = m_current;
    view::applyToLoadOptions(m_state.buildRequest(nullptr, m_requestedClient), o);
    o.smoothShrink = m_settings.squeezeInterpolated;
    o.smoothEnlarge = m_settings.stretchInterpolated;
    o.smoothEnlargeMinSize = m_settings.minStretchSize;
    o.blendAlpha = m_settings.showTransparency;
    o.backgroundColour = m_settings.transparencyColor;
    // Colour adaptation happens while decoding, never at paint time.
    o.gammaTable = m_colorTable ? m_colorTable->data() : nullptr;
    o.colorTransform = m_colorManager->hasProfile() ? m_colorManager.get() : nullptr;
    m_loadFinished = false;
    m_loadOk = false;
    m_announce = false;
    m_idle = false;
    m_loader->request(o);  // stops the previous request first
    m_loading.reset();
}

void MainWindow::frameTick() {
    if (m_requestPending && m_view->isVisible()) requestCurrent();
    if (m_resizePending) {
        m_resizePending = false;
        const view::PixelSize client = clientSize();
        if (!(client == m_requestedClient)) {
            const view::ViewAction a = m_state.clientResized(vectorShown());
            if (a.requestImage) m_requestedClient = client;
            applyAction(a);
        }
    }
    if (!m_loading || m_loading->PageCount() < 1) return;
    image::Bitmap32* frame = &m_loading->PageAt(0).bitmap;
    if (frame != m_view->image()) {
        if (!m_loadFinished && !m_settings.loadProgressively) return;
        if (m_settings.exifAutoOrient) {
            const int tag = m_loading->exif().orientation();
            if (m_state.applyExifOrientation(tag ? std::optional<std::int32_t>(tag) : std::nullopt)) {
                // Decode again upright instead of showing this frame.
                m_view->SetLens(false);
                requestCurrent();
                return;
            }
        }
        const bool center = m_state.fitMode() != view::FitMode::None || m_settings.centerOnLoad;
        m_view->Clear();
        m_view->SetImage(frame, center);
        m_shown = m_loading;
        if (const auto zoom = m_state.takePendingZoom({frame->width(), frame->height()}, clientSize()))
            m_view->SetZoom(*zoom, false);
        if (m_state.takeLensPending()) m_view->SetLens(true);
    }
    if (!m_loadFinished) {
        // The share of the frame written so far.
        const image::PixelRect d = frame->dirtyRect();
        const double done = d.isEmpty() ? 0.0
                                        : static_cast<double>(d.right - d.left) * (d.bottom - d.top) /
                                              (static_cast<double>(frame->width()) * frame->height());
        m_view->SetProgress(m_settings.showProgress ? static_cast<int>(done * 100.0 + 0.5) : 0);
        return;
    }
    m_view->SetProgress(-1);
    if (m_loadOk && m_announce) {
        m_announce = false;
        setWindowTitle(QString::fromStdString(m_current.filename().string()) + QStringLiteral(" - ") +
                       kTitle);
        emit imageShown(true);
    }
}

// --- commands ---

void MainWindow::applyAction(const view::ViewAction& a, bool anchorAtCursor) {
    if (a.lensOff) m_view->SetLens(false);
    if (a.zoom) m_view->SetZoom(*a.zoom, anchorAtCursor);
    if (a.lensOn) m_view->SetLens(true);
    if (a.osdIcon) m_view->ShowOsdIcon(*a.osdIcon);
    if (a.requestImage) requestCurrent();
}

void MainWindow::zoomCommand(view::ViewState::ZoomCommand command, bool anchorAtCursor) {
    if (!m_view->image()) return;
    const image::Bitmap32* frame = m_view->image();
    applyAction(m_state.zoomCommand(command, m_view->zoom(), {frame->width(), frame->height()},
                                    vectorShown()),
                anchorAtCursor);
}

void MainWindow::gammaChanged() { m_view->SetGamma(m_state.displayGamma(), m_state.gammaPosition()); }

void MainWindow::lensCommand() {
    if (m_view->lens()) {
        applyAction(m_state.lensOffCommand());
        return;
    }
    if (!m_view->image() || vectorShown()) return;
    applyAction(m_state.lensOn(m_view->zoom()));
}

void MainWindow::panorama(int command) {
    const image::Bitmap32* frame = m_view->image();
    if (!frame) return;
    const int step = view::ViewGeometry::panoramaStep(frame->width());
    const int offset = m_view->panoramaOffset();
    switch (command) {
        case kScrollLeft: m_view->SetPanoramaOffset(offset - step); break;
        case kScrollRight: m_view->SetPanoramaOffset(offset + step); break;
        case kScrollLeftSlowly: m_view->SetPanoramaOffset(offset - 1); break;
        case kScrollRightSlowly: m_view->SetPanoramaOffset(offset + 1); break;
        default: m_view->SetPanoramaOffset(0); break;
    }
}

bool MainWindow::runCommand(int command) {
    using Z = view::ViewState::ZoomCommand;
    switch (command) {
        case kZoomIn: zoomCommand(Z::In, false); break;
        case kZoomOut: zoomCommand(Z::Out, false); break;
        case kZoom1to1:
            if (!vectorShown()) zoomCommand(Z::ActualSize, false);
            break;
        case kFit1to1:
        case kFitWidth:
        case kFitHeight:
        case kFitAll:
        case kAutofit:
            applyAction(m_state.fitCommand(static_cast<view::FitMode>(command - kFit1to1)));
            m_settings.fitMode = static_cast<std::int32_t>(m_state.fitMode());
            break;
        case kZoomAllImages:
        case kZoomSmallOnly:
        case kZoomLargeOnly:
            applyAction(m_state.zoomRuleCommand(static_cast<view::ZoomRule>(command - kZoomAllImages)));
            m_settings.zoomScope = static_cast<std::int32_t>(m_state.zoomRule());
            break;
        case kIncreaseGamma: m_state.increaseGamma(); gammaChanged(); break;
        case kDecreaseGamma: m_state.decreaseGamma(); gammaChanged(); break;
        case kResetGamma: m_state.resetGamma(); gammaChanged(); break;
        case kRotateClockwise: applyAction(m_state.rotateClockwise()); break;
        case kRotateCounterclockwise: applyAction(m_state.rotateCounterclockwise()); break;
        case kFlipHorizontally: applyAction(m_state.toggleFlipHorizontal()); break;
        case kFlipVertically: applyAction(m_state.toggleFlipVertical()); break;
        case kResetAll: {
            const view::ViewAction a = m_state.resetOrientation();
            if (a.requestImage) m_view->ShowOsdIcon(-1);
            applyAction(a);
            break;
        }
        case kNegative: m_view->SetInvert(!m_view->invert()); break;
        case kLens: lensCommand(); break;
        case kShowTransparency:
            m_settings.showTransparency = !m_settings.showTransparency;
            requestCurrent();
            break;
        case kDisableColorManagement:
            m_colorDisabled = !m_colorDisabled;
            applyColorSettings(false);
            break;
        case kScrollLeft:
        case kScrollRight:
        case kScrollLeftSlowly:
        case kScrollRightSlowly:
        case kResetPosition: panorama(command); break;
        case kPreviousFile: step(-1); break;
        case kNextFile: step(1); break;
        case kFirstFile: step(PTRDIFF_MIN / 2); break;
        case kLastFile: step(PTRDIFF_MAX / 2); break;
        case kFullScreen: isFullScreen() ? showNormal() : showFullScreen(); break;
        case kViewerBrowser: break;  // the browser pane arrives with the browser
        default: return false;
    }
    return true;
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    if (const auto command = commandForKey(event->key(), event->modifiers())) {
        runCommand(*command);
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (isFullScreen()) showNormal();
        else if (m_settings.exitWithEsc) close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void MainWindow::onWheelNotch(bool forward, bool shiftHeld) {
    const int effect = shiftHeld ? 2 : m_settings.controlOptions[1];
    if (effect == 0) {
        runCommand(forward ? kPreviousFile : kNextFile);
    } else if (effect == 1) {
        zoomCommand(forward ? view::ViewState::ZoomCommand::In : view::ViewState::ZoomCommand::Out, true);
    } else {
        const view::Point p = m_view->geometry().wheelScrollTarget(forward);
        m_view->ScrollTo(p.x, p.y);
    }
}

void MainWindow::onPagingKey(int key) {
    if (m_settings.controlOptions[0] != 1) {
        static constexpr std::array kCommands = {kPreviousFile, kNextFile, kFirstFile, kLastFile};
        if (key >= 0 && key < 4) runCommand(kCommands[static_cast<std::size_t>(key)]);
        return;
    }
    const view::ViewGeometry& g = m_view->geometry();
    view::Point p;
    switch (static_cast<PagingKey>(key)) {
        case PagingKey::PageUp: p = g.pageKeyTarget(false); break;
        case PagingKey::PageDown: p = g.pageKeyTarget(true); break;
        case PagingKey::Home: p = view::ViewGeometry::homeTarget(); break;
        case PagingKey::End: p = view::ViewGeometry::endTarget(); break;
    }
    m_view->ScrollTo(p.x, p.y);
}

// --- options ---

void MainWindow::applyDisplayOptions() {
    m_view->SetBackground(m_settings.backgroundColor);
    m_view->SetWallpaper(m_settings.wallpaperBackground);
    m_view->SetOsdSize(static_cast<view::OsdSize>(std::clamp(m_settings.osdSize, -1, 3)));
}

void MainWindow::applyColorSettings(bool startUp) {
    // The manager and the table are shared with the loader's worker: stop it first.
    m_loader->cancel();
    view::ColorOptions options;
    options.useColorProfiles = m_settings.useColorProfiles;
    options.useDefaultProfile = m_settings.useDefaultProfile;
    options.colorProfilePath = m_settings.colorProfilePath;
    options.gammaRed = m_settings.gammaRed;
    options.gammaGreen = m_settings.gammaGreen;
    options.gammaBlue = m_settings.gammaBlue;
    options.gammaExtra = m_settings.gammaExtra;
    const view::ColorSettings colour = view::buildColorSettings(options, m_colorDisabled);
    if (const auto error = view::applyColorSettings(*m_colorManager, colour, *m_monitor))
    {
        const std::string_view text = view::profileErrorMessage(*error);
        QMessageBox::warning(this, kTitle,
                             QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
    }
    m_colorTable = view::BuildTable(colour);
    if (!startUp) requestCurrent();
}

void MainWindow::applySettings() {
    m_state.setFitMode(static_cast<view::FitMode>(std::clamp(m_settings.fitMode, 0, 4)));
    m_state.setZoomRule(static_cast<view::ZoomRule>(std::clamp(m_settings.zoomScope, 0, 2)));
    applyDisplayOptions();
    applyColorSettings(false);
}

}  // namespace kalder::gui
