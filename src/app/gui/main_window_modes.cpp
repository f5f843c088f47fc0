// The main window's panes, modes, commands and keys.
// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
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
#include "app/gui/customize_toolbar_dialog.h"
#include "app/gui/dialogs/dialog_base.h"
#include "app/gui/dialogs/options_dialog.h"
#include "app/gui/display_setup.h"
#include "app/gui/file_commands.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/icons.h"
#include "app/gui/main_window.h"
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

void MainWindow::buildPanes() {
    m_stack = new QStackedWidget(this);
    setCentralWidget(m_stack);
    m_browserPage = new QWidget(m_stack);
    plainLayout(m_browserPage);
    m_viewerPage = new QWidget(m_stack);
    plainLayout(m_viewerPage);
    m_stack->addWidget(m_browserPage);
    m_stack->addWidget(m_viewerPage);

    m_viewerBox = new QWidget(m_viewerPage);
    QVBoxLayout* box = plainLayout(m_viewerBox);
    m_view = new ViewingArea(m_viewerBox);
    m_nameBar = new NameBar(m_viewerBox);
    box->addWidget(m_view, 1);
    box->addWidget(m_nameBar);
    m_nameBar->hide();
    m_viewerPage->layout()->addWidget(m_viewerBox);

    m_browser = new BrowserPane(m_settings, m_browserPage);
    m_browserPage->layout()->addWidget(m_browser);

    MenuBuilder::Hooks hooks;
    hooks.context = [this] { return commandContext(); };
    hooks.available = [this](app::CommandId id) { return handles(id); };
    hooks.run = [this](app::CommandId id) { runCommand(id); };
    hooks.prompt = [this](app::CommandId id) { m_status->showCommandPrompt(id); };
    hooks.typeApplications = [this] {
        return openWithTypeApplications(currentEntry() ? currentFile() : fs::path());
    };
    m_menus = new MenuBuilder(m_settings, std::move(hooks), this);
    m_menus->setAccelerators(&m_keys->table());
    m_menus->buildMainMenu(menuBar());
    menuBar()->hide();
    m_browser->toolbar()->RebuildToolbar(m_settings.toolbarButtons);

    connect(m_browser->toolbar(), &Toolbar::commandTriggered, this,
            [this](app::CommandId id) { runCommand(id); });
    connect(m_browser->toolbar(), &Toolbar::contextMenuRequested, this,
            [this](const QPoint& at) { showContextMenu(app::ContextMenu::Toolbar, at); });
    connect(m_browser->folderTree(), &FolderTreePane::folderChosen, this,
            [this](const QString& path) { showBrowserFolder(shell::toPath(path)); });
    connect(m_browser->folderTree(), &FolderTreePane::contextMenuRequested, this,
            [this](const QPoint& at) { showContextMenu(app::ContextMenu::FolderTree, at); });
    ThumbnailBrowser* files = m_browser->fileList();
    // The browser has already made its selection.
    connect(files, &ThumbnailBrowser::currentChanged, this,
            [this](view::ImageEntry* e) { moveTo(e, true); });
    connect(files, &ThumbnailBrowser::activated, this, [this](view::ImageEntry* e) {
        if (e != m_entry) moveTo(e, true);
        if (!m_viewerMode) toggleViewerBrowser();
    });
    connect(files, &ThumbnailBrowser::contextMenuRequested, this,
            [this](const QPoint& at) { showContextMenu(app::ContextMenu::FileList, at); });
    // The entries are freed by the removal: nothing of them may stay on screen.
    connect(files, &ThumbnailBrowser::entriesAboutToBeRemoved, this, [this] {
        m_files->forgetFindStart();
        m_frames->clearShown();
        m_entry = nullptr;
    });
    connect(files, &ThumbnailBrowser::entriesRemoved, this, [this](view::ImageEntry* next) {
        if (next) {
            moveTo(next);
            return;
        }
        m_current.clear();
        m_status->showNoFile();
    });
    connect(m_nameBar, &NameBar::clicked, this, [this] { runCommand(cmd::kImageProperties); });
    connect(files, &ThumbnailBrowser::sortRequested, this, &MainWindow::sortBrowser);
    connect(m_browser, &BrowserPane::nameFilterChanged, this, [this](const QString& text) {
        m_images->setNameFilter(text.toStdString());
        relistFolder();
    });
    relayout();
}

void MainWindow::relayout() {
    const bool enhanced = m_settings.enhancedLayout;
    if (m_browser->enhancedLayout() != enhanced) m_browser->setEnhancedLayout(enhanced);
    if (m_viewerMode) {
        moveInto(m_viewerBox, m_viewerPage);
        m_stack->setCurrentWidget(m_viewerPage);
    } else if (enhanced) {
        moveInto(m_browser, m_browserPage);
        moveInto(m_viewerBox, m_browser->viewerSlot());
        m_stack->setCurrentWidget(m_browserPage);
    } else {
        if (!m_outerSplitter) {
            m_outerSplitter = new QSplitter(Qt::Vertical, m_browserPage);
            m_outerSplitter->setChildrenCollapsible(false);
            connect(m_outerSplitter, &QSplitter::splitterMoved, this, [this](int pos) {
                m_settings.paneSplitY = pos;
                m_frames->clientResized();
            });
        }
        moveInto(m_outerSplitter, m_browserPage);
        detach(m_browser);
        detach(m_viewerBox);
        m_outerSplitter->insertWidget(0, m_browser);
        m_outerSplitter->insertWidget(1, m_viewerBox);
        const int h = std::max(1, m_browserPage->height());
        const int y = m_settings.paneSplitY > 0 ? m_settings.paneSplitY : h * 2 / 5;
        m_outerSplitter->setSizes({y, std::max(1, h - y)});
        m_stack->setCurrentWidget(m_browserPage);
    }
    if (m_outerSplitter) m_outerSplitter->setVisible(!enhanced && !m_viewerMode);
    m_browser->setVisible(!m_viewerMode);
    m_viewerBox->setVisible(m_viewerMode || !m_browserOnly);
    m_nameBar->setVisible(m_nameBarVisible && !m_browserOnly);
}

// --- modes ---

void MainWindow::SetViewerMode(bool viewer) {
    if (viewer) {
        m_viewerMode = true;
        m_images->suspendThumbnails();
        menuBar()->hide();
        relayout();
        m_view->setFocus();
        return;
    }
    m_viewerMode = false;
    // The file named on the command line: its whole folder is listed from now on.
    m_settings.commandLineFile.clear();
    menuBar()->setVisible(!m_browserOnly);
    relayout();
    m_browser->fileList()->refresh();
    m_browser->setBrowserView(app::browserViewOf(m_settings));
    // The viewer held the thumbnail thread; a thread that already runs is only told to go on.
    resumeShownThumbnails();
    m_browser->fileList()->setCurrent(m_entry);
    if (!m_images->folder().empty()) m_browser->folderTree()->setCurrentFolder(m_images->folder());
    m_browser->fileList()->setFocus();
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
    m_fullScreenActive = on;
    if (on) {
        setWindowState(windowState() | Qt::WindowFullScreen);
        return;
    }
    const bool wasFullScreen = windowState() & Qt::WindowFullScreen;
    setWindowState(m_settings.windowShowCmd == app::kShowMaximized ? Qt::WindowMaximized
                                                                   : Qt::WindowNoState);
    const app::Rect& r = m_settings.windowRect;
    if (wasFullScreen && m_settings.windowShowCmd != app::kShowMaximized && r.right > r.left &&
        r.bottom > r.top)
        setGeometry(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void MainWindow::SetBrowserOnly(bool on) {
    if (on == m_browserOnly) return;
    if (on) {
        if (m_viewerMode || !m_settings.enhancedLayout) return;
        m_browserOnly = true;
        menuBar()->hide();
        m_browser->setBrowserOnly(true);
    } else {
        m_browserOnly = false;
        if (!m_viewerMode) menuBar()->show();
        m_browser->setBrowserOnly(false);
    }
    relayout();
}

void MainWindow::toggleViewerBrowser() {
    if (!m_viewerMode) {
        m_viewerFromBrowser = true;
        SetViewerMode(true);
        SetFullScreen(m_settings.fullScreenViewing);
        return;
    }
    SetFullScreen(false);
    SetViewerMode(false);
    m_viewerFromBrowser = false;
}

bool MainWindow::Create(const app::OpenRequest& request) {
    std::error_code ec;
    // A folder named on the command line opens in the browser, as the last folder would.
    const bool folderArgument = request.isFile && !request.print && !request.path.empty() &&
                                fs::is_directory(fs::path(request.path), ec);
    if (folderArgument) m_settings.commandLineFile.clear();
    if (request.isFile && !folderArgument) {
        m_settings.commandLineFile = request.path;
        SetFullScreen(m_settings.fullScreenViewing);
        const fs::path path(request.path);
        if (request.path.empty() || !fs::exists(path, ec) || fs::is_directory(path, ec)) {
            m_status->cannotView(path);
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
    if (!request.path.empty() && fs::is_directory(folder, ec)) showBrowserFolder(folder);
    SetViewerMode(false);
    return true;
}

void MainWindow::showBrowserFolder(const fs::path& folder) {
    if (!loadFolder(folder)) return;
    m_settings.lastFolder = folder.string();
    if (!m_viewerMode) m_browser->folderTree()->setCurrentFolder(folder);
    if (m_images->size() > 0) {
        moveTo(m_images->at(0));
        return;
    }
    m_current.clear();
    m_status->showNoFile();
}

void MainWindow::listCurrentFolder(bool afterMove) {
    if (m_images->folder().empty()) return;
    // Only the current entry keeps its pages through a reload.
    if (m_frames->shownEntry() != m_entry) m_frames->clearShown();
    m_files->forgetFindStart();
    const view::ImageEntry* before = m_entry;
    // Files we moved away from under the current one hand its place to the file that followed.
    m_entry = afterMove ? m_images->reloadKeepingPlace(m_entry) : m_images->reload(m_entry);
    // Another entry (or none) means the pages on screen went with the old one.
    if (m_entry != before) {
        m_frames->clearShown();
        m_status->forgetReported();
    } else {
        m_frames->dropReleasedFrame();
    }
    m_current = m_entry ? m_entry->path() : fs::path();
    m_status->showTitle();
    m_browser->fileList()->refresh();
    if (!m_viewerMode) {
        m_browser->setBrowserView(app::browserViewOf(m_settings));
        m_browser->fileList()->setCurrent(m_entry);
    }
}

// --- status bar ---

void MainWindow::refreshToolbar() {
    m_browser->toolbar()->updateButtons(commandContext(),
                                        [this](app::CommandId id) { return handles(id); });
    m_browser->statusBar()->setFullScreenViewing(m_settings.fullScreenViewing);
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
    app::CommandContext c = app::commandContextFrom(m_settings);
    c.sortMode = static_cast<std::int32_t>(m_images->sortKey());
    c.rotation = m_state.rotation();
    c.flippedHorizontally = m_state.flipHorizontal();
    c.flippedVertically = m_state.flipVertical();
    c.inverted = m_view->invert();
    c.colorManagementOff = m_display->colorDisabled();
    c.lensOn = m_view->lens();
    c.batchPanelVisible = batchPanel() && batchPanel()->isVisible();
    c.propertiesPanelVisible = m_properties && m_properties->isVisible();
    c.slideShowRunning = m_frames->slideShow().running();
    c.imageShown = m_view->image() != nullptr && m_frames->shownEntry() != nullptr;
    if (c.imageShown) {
        const image::ImageDocument& doc = m_frames->shownEntry()->document();
        c.pageCount = doc.PageCount();
        const std::int32_t page =
            std::clamp(m_frames->shownPage(), 0, std::max(0, c.pageCount - 1));
        if (page < c.pageCount)
            c.bitsPerPixel = static_cast<std::int32_t>(doc.PageAt(page).bitsPerPixel);
    }
    m_shownFolder = m_images->folder().string();
    c.shownFolder = m_shownFolder;
    return c;
}

bool MainWindow::runCommand(int command) {
    if (command <= 0 || command > 0xFFFF) return false;
    const bool handled = m_commands.dispatch(static_cast<app::CommandId>(command));
    if (handled) refreshToolbar();
    return handled;
}

void MainWindow::registerCommands() {
    auto& d = m_commands;
    m_viewer->registerCommands(d);

    m_windowCommands->registerCommands(d);
    connect(m_browser->fileList(), &ThumbnailBrowser::entryRenamed, this,
            [this](view::ImageEntry* e) { entryRenamed(e); });
}

void MainWindow::updateProperties() {
    if (!m_properties || !m_properties->isVisible()) return;
    const bool shown = m_frames->shownEntry() && m_frames->shownEntry() == m_entry;
    m_properties->showEntry(shown ? m_entry : nullptr, std::max(0, m_frames->shownPage()));
}

bool MainWindow::saveSettings() {
    m_settings.sortMode = static_cast<std::int32_t>(m_images->sortKey());
    return m_saveSettings && m_saveSettings(m_settings);
}

void MainWindow::showContextMenu(app::ContextMenu which, const QPoint& globalPos) {
    QMenu* menu = m_menus->buildContextMenu(which, this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(globalPos);
}

// --- keys, geometry, activation ---

void MainWindow::storeGeometry(bool sizeChanged) {
    // A window opened on a file keeps the stored geometry until the browser is shown.
    if (!m_settings.commandLineFile.empty() || m_fullScreenActive || isFullScreen()) return;
    if (sizeChanged && !isMinimized())
        m_settings.windowShowCmd = isMaximized() ? app::kShowMaximized : app::kShowNormal;
    if (isMaximized() || isMinimized()) return;
    const QRect g = geometry();
    m_settings.windowRect = {g.left(), g.top(), g.right() + 1, g.bottom() + 1};
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    storeGeometry(false);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    storeGeometry(true);
}

void MainWindow::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (!isActiveWindow()) {
        m_lastFocus = QApplication::focusWidget();
        m_files->activationChanged(false);
        return;
    }
    m_files->activationChanged(true);
    if (m_lastFocus && m_lastFocus->window() == this && m_lastFocus->isVisible())
        m_lastFocus->setFocus();
    else if (m_viewerMode)
        m_view->setFocus();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    m_settings.sortMode = static_cast<std::int32_t>(m_images->sortKey());
    QMainWindow::closeEvent(event);
}

}  // namespace kalder::gui
