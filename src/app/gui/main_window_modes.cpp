// The main window's panes, modes, commands and geometry.
#include <QApplication>
#include <QCloseEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSplitter>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>

#include "app/core/file_info_text.h"
#include "app/core/startup.h"
#include "app/gui/browser_pane.h"
#include "app/gui/customize_toolbar_dialog.h"
#include "app/gui/dialogs/dialog_base.h"
#include "app/gui/dialogs/options_dialog.h"
#include "app/gui/display_setup.h"
#include "app/gui/file_commands.h"
#include "app/gui/folder_navigator.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/icons.h"
#include "app/gui/main_window.h"
#include "app/gui/main_window_p.h"
#include "app/gui/menus.h"
#include "app/gui/name_bar.h"
#include "app/gui/properties_panel.h"
#include "app/gui/slide_show_dialog.h"
#include "app/gui/status_bar.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/toolbar.h"
#include "app/gui/tools/palette/palette_dialog.h"
#include "app/gui/tools/user_lists/user_list_dialogs.h"
#include "app/gui/viewer_commands.h"
#include "app/gui/viewer_frames.h"
#include "app/gui/viewing_area.h"
#include "app/gui/window_commands.h"
#include "app/gui/window_keys.h"
#include "app/gui/window_status.h"
#include "image/image_document.h"
#include "kalder_config.h"
#include "shell/places.h"
#include "shell/qt/qt_path.h"
#include "view/descriptions.h"
#include "view/folder_images.h"
#include "view/image_entry.h"
#include "view/view_geometry.h"

namespace kalder::gui {
namespace fs = std::filesystem;
namespace cmd = app::cmd;

namespace {

QVBoxLayout* plainLayout(QWidget* w) {
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->setSpacing(0);
    return l;
}

// Takes a widget out of the layout that holds it, so another one can take it without a warning.
void detach(QWidget* w) {
    if (QWidget* parent = w->parentWidget())
        if (QLayout* l = parent->layout()) l->removeWidget(w);
}

void moveInto(QWidget* w, QWidget* host) {
    if (w->parentWidget() == host && host->layout()->indexOf(w) >= 0) return;
    detach(w);
    host->layout()->addWidget(w);
}

}  // namespace

// --- panes and layout ---

void WindowParts::buildPanes() {
    stack = new QStackedWidget(&window);
    window.setCentralWidget(stack);
    browserPage = new QWidget(stack);
    plainLayout(browserPage);
    viewerPage = new QWidget(stack);
    plainLayout(viewerPage);
    stack->addWidget(browserPage);
    stack->addWidget(viewerPage);

    viewerBox = new QWidget(viewerPage);
    QVBoxLayout* box = plainLayout(viewerBox);
    view = new ViewingArea(viewerBox);
    nameBar = new NameBar(viewerBox);
    box->addWidget(view, 1);
    box->addWidget(nameBar);
    nameBar->hide();
    viewerPage->layout()->addWidget(viewerBox);

    browser = new BrowserPane(settings, browserPage);
    browserPage->layout()->addWidget(browser);
    folder->setBrowser(browser);

    MainWindow* w = &window;
    MenuBuilder::Hooks hooks;
    hooks.context = [w] { return w->commandContext(); };
    hooks.available = [this](app::CommandId id) { return commands.handles(id); };
    hooks.run = [w](app::CommandId id) { w->runCommand(id); };
    hooks.prompt = [this](app::CommandId id) { status->showCommandPrompt(id); };
    hooks.typeApplications = [this] {
        return openWithTypeApplications(folder->currentEntry() ? folder->currentFile()
                                                               : fs::path());
    };
    menus = new MenuBuilder(settings, std::move(hooks), w);
    menus->setAccelerators(&keys->table());
    menus->buildMainMenu(w->menuBar());
    w->menuBar()->hide();
    browser->toolbar()->RebuildToolbar(settings.toolbarButtons);

    QObject::connect(browser->toolbar(), &Toolbar::commandTriggered, w,
                     [w](app::CommandId id) { w->runCommand(id); });
    QObject::connect(browser->toolbar(), &Toolbar::contextMenuRequested, w,
                     [this](const QPoint& at) { showContextMenu(app::ContextMenu::Toolbar, at); });
    QObject::connect(
        browser->folderTree(), &FolderTreePane::folderChosen, w,
        [this](const QString& path) { folder->showBrowserFolder(shell::toPath(path)); });
    QObject::connect(
        browser->folderTree(), &FolderTreePane::contextMenuRequested, w,
        [this](const QPoint& at) { showContextMenu(app::ContextMenu::FolderTree, at); });
    ThumbnailBrowser* files = browser->fileList();
    // The browser has already made its selection.
    QObject::connect(files, &ThumbnailBrowser::currentChanged, w,
                     [this](view::ImageEntry* e) { folder->moveTo(e, true); });
    QObject::connect(files, &ThumbnailBrowser::activated, w, [this](view::ImageEntry* e) {
        if (e != folder->currentEntry()) folder->moveTo(e, true);
        if (!viewerMode) toggleViewerBrowser();
    });
    QObject::connect(files, &ThumbnailBrowser::contextMenuRequested, w,
                     [this](const QPoint& at) { showContextMenu(app::ContextMenu::FileList, at); });
    // The entries are freed by the removal: nothing of them may stay on screen.
    QObject::connect(files, &ThumbnailBrowser::entriesAboutToBeRemoved, w,
                     [this] { folder->forgetEntries(); });
    QObject::connect(files, &ThumbnailBrowser::entriesRemoved, w, [this](view::ImageEntry* next) {
        if (next)
            folder->moveTo(next);
        else
            folder->clearCurrent();
    });
    QObject::connect(nameBar, &NameBar::clicked, w, [w] { w->runCommand(cmd::kImageProperties); });
    QObject::connect(
        files, &ThumbnailBrowser::sortRequested, w,
        [this](view::SortKey key, view::SortOrder order) { folder->sortBrowser(key, order); });
    QObject::connect(browser, &BrowserPane::nameFilterChanged, w, [this](const QString& text) {
        folder->images().setNameFilter(text.toStdString());
        folder->relistFolder();
    });
    relayout();
}

void WindowParts::relayout() {
    const bool enhanced = settings.enhancedLayout;
    if (browser->enhancedLayout() != enhanced) browser->setEnhancedLayout(enhanced);
    if (viewerMode) {
        moveInto(viewerBox, viewerPage);
        stack->setCurrentWidget(viewerPage);
    } else if (enhanced) {
        moveInto(browser, browserPage);
        moveInto(viewerBox, browser->viewerSlot());
        stack->setCurrentWidget(browserPage);
    } else {
        if (!outerSplitter) {
            outerSplitter = new QSplitter(Qt::Vertical, browserPage);
            outerSplitter->setChildrenCollapsible(false);
            QObject::connect(outerSplitter, &QSplitter::splitterMoved, &window, [this](int pos) {
                settings.paneSplitY = pos;
                frames->clientResized();
            });
        }
        moveInto(outerSplitter, browserPage);
        detach(browser);
        detach(viewerBox);
        outerSplitter->insertWidget(0, browser);
        outerSplitter->insertWidget(1, viewerBox);
        const int h = std::max(1, browserPage->height());
        const int y = settings.paneSplitY > 0 ? settings.paneSplitY : h * 2 / 5;
        outerSplitter->setSizes({y, std::max(1, h - y)});
        stack->setCurrentWidget(browserPage);
    }
    if (outerSplitter) outerSplitter->setVisible(!enhanced && !viewerMode);
    browser->setVisible(!viewerMode);
    viewerBox->setVisible(viewerMode || !browserOnly);
    nameBar->setVisible(nameBarVisible && !browserOnly);
}

std::optional<view::PixelSize> WindowParts::expectedClientSize() const {
    // In viewer mode the viewing area is all of the window but for the name bar; full screen,
    // the window is all of its screen, whatever the window manager does with other windows.
    if (!viewerMode || nameBar->isVisibleTo(&window) ||
        !(window.windowState() & Qt::WindowFullScreen))
        return std::nullopt;
    const QScreen* s = window.screen();
    if (!s) return std::nullopt;
    const view::PixelSize size =
        ViewingArea::deviceSize(s->geometry().size(), s->devicePixelRatio());
    return view::PixelSize{std::max(1, size.width), std::max(1, size.height)};
}

// --- modes ---

void MainWindow::SetViewerMode(bool viewer) {
    WindowParts& p = *m_parts;
    if (viewer) {
        p.viewerMode = true;
        images().suspendThumbnails();
        menuBar()->hide();
        p.relayout();
        p.view->setFocus();
        return;
    }
    p.viewerMode = false;
    // The file named on the command line: its whole folder is listed from now on.
    p.settings.commandLineFile.clear();
    menuBar()->setVisible(!p.browserOnly);
    p.relayout();
    p.browser->fileList()->refresh();
    p.browser->setBrowserView(app::browserViewOf(p.settings));
    // The viewer held the thumbnail thread; a thread that already runs is only told to go on.
    p.folder->resumeShownThumbnails();
    p.browser->fileList()->setCurrent(currentEntry());
    if (!images().folder().empty()) p.browser->folderTree()->setCurrentFolder(images().folder());
    p.browser->fileList()->setFocus();
    refreshToolbar();
}

void MainWindow::placeWindow(const app::Rect& r) {
    if (r.right <= r.left || r.bottom <= r.top) return;
    QRect wanted(r.left, r.top, r.right - r.left, r.bottom - r.top);
    const QScreen* s = screen();
    if (!s) s = QGuiApplication::primaryScreen();
    if (s) {
        const QRect area = s->availableGeometry();
        const view::PixelRect placed =
            view::placeWithin({r.left, r.top, r.right, r.bottom},
                              {area.left(), area.top(), area.right() + 1, area.bottom() + 1});
        wanted =
            QRect(placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top);
    }
    setGeometry(wanted);
}

void MainWindow::SetFullScreen(bool on) {
    const app::Settings& s = m_parts->settings;
    m_parts->fullScreenActive = on;
    if (on) {
        setWindowState(windowState() | Qt::WindowFullScreen);
        return;
    }
    const bool wasFullScreen = windowState() & Qt::WindowFullScreen;
    setWindowState(s.windowShowCmd == app::kShowMaximized ? Qt::WindowMaximized
                                                          : Qt::WindowNoState);
    const app::Rect& r = s.windowRect;
    if (wasFullScreen && s.windowShowCmd != app::kShowMaximized && r.right > r.left &&
        r.bottom > r.top)
        setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void MainWindow::SetBrowserOnly(bool on) {
    WindowParts& p = *m_parts;
    if (on == p.browserOnly) return;
    if (on) {
        if (p.viewerMode || !p.settings.enhancedLayout) return;
        p.browserOnly = true;
        menuBar()->hide();
        p.browser->setBrowserOnly(true);
    } else {
        p.browserOnly = false;
        if (!p.viewerMode) menuBar()->show();
        p.browser->setBrowserOnly(false);
    }
    p.relayout();
}

void WindowParts::toggleViewerBrowser() {
    if (!viewerMode) {
        viewerFromBrowser = true;
        window.SetViewerMode(true);
        window.SetFullScreen(settings.fullScreenViewing);
        return;
    }
    window.SetFullScreen(false);
    window.SetViewerMode(false);
    viewerFromBrowser = false;
}

bool MainWindow::Create(const app::OpenRequest& request) {
    app::Settings& s = m_parts->settings;
    std::error_code ec;
    // A folder named on the command line opens in the browser, as the last folder would.
    const bool folderArgument = request.isFile && !request.print && !request.path.empty() &&
                                fs::is_directory(fs::path(request.path), ec);
    if (folderArgument) s.commandLineFile.clear();
    if (request.isFile && !folderArgument) {
        s.commandLineFile = request.path;
        SetFullScreen(s.fullScreenViewing);
        const fs::path path(request.path);
        if (request.path.empty() || !fs::exists(path, ec) || fs::is_directory(path, ec)) {
            m_parts->status->cannotView(path);
            return false;
        }
        if (!openFile(path)) return false;
        if (request.print)
            QMetaObject::invokeMethod(
                this, [this] { runCommand(cmd::kPrint); }, Qt::QueuedConnection);
        return true;
    }
    SetFullScreen(false);
    fs::path folder = fs::absolute(fs::path(request.path), ec).lexically_normal();
    if (folder.filename().empty()) folder = folder.parent_path();
    if (!request.path.empty() && fs::is_directory(folder, ec))
        m_parts->folder->showBrowserFolder(folder);
    SetViewerMode(false);
    return true;
}

// --- status bar ---

void MainWindow::refreshToolbar() {
    WindowParts& p = *m_parts;
    p.browser->toolbar()->updateButtons(commandContext(),
                                        [&p](app::CommandId id) { return p.commands.handles(id); });
    p.browser->statusBar()->setFullScreenViewing(p.settings.fullScreenViewing);
}

void MainWindow::ReportInternalError(int code, const QString& place, bool fatal) {
    QMessageBox box(QMessageBox::Critical, QString(),
                    tr("Internal error: %1-%2-25d\nPlease send this report to "
                       "support@kalder.org.")
                        .arg(code)
                        .arg(place));
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    if (fatal) std::_Exit(-1);
}

// --- commands ---

app::CommandContext MainWindow::commandContext() const {
    WindowParts& p = *m_parts;
    app::CommandContext c = app::commandContextFrom(p.settings);
    const view::FolderImages& images = p.folder->images();
    c.sortMode = static_cast<std::int32_t>(images.sortKey());
    c.rotation = p.state.rotation();
    c.flippedHorizontally = p.state.flipHorizontal();
    c.flippedVertically = p.state.flipVertical();
    c.inverted = p.view->invert();
    c.colorManagementOff = p.display->colorDisabled();
    c.lensOn = p.view->lens();
    c.batchPanelVisible = batchPanel() && batchPanel()->isVisible();
    c.propertiesPanelVisible = p.properties && p.properties->isVisible();
    c.slideShowRunning = p.frames->slideShow().running();
    c.imageShown = p.view->image() != nullptr && p.frames->shownEntry() != nullptr;
    if (c.imageShown) {
        const image::ImageDocument& doc = p.frames->shownEntry()->document();
        c.pageCount = doc.PageCount();
        const std::int32_t page =
            std::clamp(p.frames->shownPage(), 0, std::max(0, c.pageCount - 1));
        if (page < c.pageCount)
            c.bitsPerPixel = static_cast<std::int32_t>(doc.PageAt(page).bitsPerPixel);
    }
    p.shownFolder = images.folder().string();
    c.shownFolder = p.shownFolder;
    return c;
}

bool MainWindow::runCommand(int command) {
    if (command <= 0 || command > 0xFFFF) return false;
    const bool handled = m_parts->commands.dispatch(static_cast<app::CommandId>(command));
    if (handled) refreshToolbar();
    return handled;
}

void WindowParts::registerCommands() {
    viewer->registerCommands(commands);
    windowCommands->registerCommands(commands);
    QObject::connect(browser->fileList(), &ThumbnailBrowser::entryRenamed, &window,
                     [this](view::ImageEntry* e) { folder->entryRenamed(e); });
}

void WindowParts::updateProperties() {
    if (!properties || !properties->isVisible()) return;
    view::ImageEntry* entry = folder->currentEntry();
    const bool shown = frames->shownEntry() && frames->shownEntry() == entry;
    properties->showEntry(shown ? entry : nullptr, std::max(0, frames->shownPage()));
}

void WindowParts::showContextMenu(app::ContextMenu which, const QPoint& globalPos) {
    QMenu* menu = menus->buildContextMenu(which, &window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

// --- keys, geometry, activation ---

void WindowParts::storeGeometry(bool sizeChanged) {
    // A window opened on a file keeps the stored geometry until the browser is shown.
    if (!settings.commandLineFile.empty() || fullScreenActive || window.isFullScreen()) return;
    if (sizeChanged && !window.isMinimized())
        settings.windowShowCmd = window.isMaximized() ? app::kShowMaximized : app::kShowNormal;
    if (window.isMaximized() || window.isMinimized()) return;
    const QRect g = window.geometry();
    settings.windowRect = {g.left(), g.top(), g.right() + 1, g.bottom() + 1};
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    m_parts->storeGeometry(false);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    m_parts->storeGeometry(true);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    WindowParts& p = *m_parts;
    if (!isActiveWindow()) {
        p.lastFocus = QApplication::focusWidget();
        p.files->activationChanged(false);
        return;
    }
    p.files->activationChanged(true);
    if (p.lastFocus && p.lastFocus->window() == this && p.lastFocus->isVisible())
        p.lastFocus->setFocus();
    else if (p.viewerMode)
        p.view->setFocus();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    m_parts->settings.sortMode = static_cast<std::int32_t>(images().sortKey());
    QMainWindow::closeEvent(event);
}

}  // namespace kalder::gui
