// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/window_commands.h"

#include <QApplication>
#include <QMessageBox>
#include <QProcess>
#include <algorithm>
#include <filesystem>

#include "app/core/command_ids.h"
#include "app/core/commands.h"
#include "app/core/startup.h"
#include "app/gui/browser_pane.h"
#include "app/gui/customize_toolbar_dialog.h"
#include "app/gui/dialogs/dialog_base.h"
#include "app/gui/dialogs/options_dialog.h"
#include "app/gui/file_commands.h"
#include "app/gui/folder_navigator.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/icons.h"
#include "app/gui/main_window.h"
#include "app/gui/main_window_p.h"
#include "app/gui/name_bar.h"
#include "app/gui/properties_panel.h"
#include "app/gui/slide_show_dialog.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/toolbar.h"
#include "app/gui/tools/palette/palette_dialog.h"
#include "app/gui/viewer_frames.h"
#include "app/gui/viewing_area.h"
#include "image/image_document.h"
#include "kalder_config.h"
#include "shell/places.h"
#include "shell/qt/qt_path.h"
#include "view/folder_images.h"
#include "view/image_entry.h"

namespace kalder::gui {
namespace fs = std::filesystem;
namespace cmd = app::cmd;

void WindowCommands::registerCommands(app::CommandDispatcher& d) {
    // Browsing.
    for (app::CommandId id = cmd::kPreviousFile; id <= cmd::kPreviousFile + 5; ++id)
        d.on(id, [this](app::CommandId c) { m_p.folder->navigate(c); });
    d.on(cmd::kSelectAllFiles, [this](auto) {
        if (m_p.viewerMode) return;
        m_p.folder->images().selectAll();
        m_p.browser->fileList()->viewport()->update();
    });
    d.on(cmd::kRefresh, [this](auto) {
        // The tree's view of the folder (its sub-folders, the drives) is read again too.
        FolderTreePane* tree = m_p.browser->folderTree();
        tree->updatePlaces(shell::systemPlaces());
        if (!m_p.folder->images().folder().empty())
            tree->refreshFolder(m_p.folder->images().folder());
        m_p.folder->relistFolder();
    });
    for (app::CommandId id = cmd::kSmallThumbnails; id <= cmd::kDetailsView; ++id)
        d.on(id, [this](app::CommandId c) {
            m_p.settings.browserView = c - cmd::kSmallThumbnails;
            // The thumbnail views' own commands bring back their own sizes.
            if (c == cmd::kSmallThumbnails || c == cmd::kBigThumbnails) {
                m_p.settings.thumbnailSize = 0;
                m_p.browser->fileList()->setThumbnailSize(0);
            }
            m_p.browser->setBrowserView(app::browserViewOf(m_p.settings));
            if (m_p.viewerMode) m_p.folder->images().suspendThumbnails();
        });
    d.onRange(cmd::kSortRange, [this](app::CommandId c) {
        m_p.folder->sortBrowser(static_cast<view::SortKey>(cmd::kSortRange.indexOf(c)),
                                m_p.folder->images().sortOrder());
    });
    d.on(cmd::kSortAscending, [this](auto) {
        m_p.folder->sortBrowser(m_p.folder->images().sortKey(), view::SortOrder::Ascending);
    });
    d.on(cmd::kSortDescending, [this](auto) {
        m_p.folder->sortBrowser(m_p.folder->images().sortKey(), view::SortOrder::Descending);
    });
    d.on(cmd::kImageInfoOverlay, [this](auto) {
        m_p.settings.imageInfoOverlay = !m_p.settings.imageInfoOverlay;
        m_p.frames->showImageFacts();
    });
    m_p.files->registerCommands(d);
    // Slide show and animation.
    d.on(cmd::kSlideShow, [this](auto) {
        m_p.frames->slideShow().toggle();
        if (m_p.frames->slideShow().running())
            m_p.frames->slideTimer().start();
        else
            m_p.frames->slideTimer().stop();
    });
    d.on(cmd::kAdjustSlideShow, [this](auto) { adjustSlideShow(); });
    d.onRange(cmd::kFrameRange, [this](app::CommandId c) { m_p.frames->frameCommand(c); });
    d.on(cmd::kImageProperties, [this](auto) { showProperties(); });
    d.on(cmd::kImagePalette, [this](auto) {
        if (!m_p.frames->shownEntry() || m_p.frames->shownPage() < 0 ||
            m_p.frames->shownEntry()->document().PageCount() <= m_p.frames->shownPage())
            return;
        PaletteDialog::showFor(shell::toQString(m_p.frames->shownEntry()->path().filename()),
                               m_p.frames->shownEntry()->document().PageAt(m_p.frames->shownPage()),
                               &m_w);
    });
    d.onRange(cmd::kFavoriteRange, [this](app::CommandId c) {
        const std::size_t i = cmd::kFavoriteRange.indexOf(c);
        if (i >= m_p.settings.favoriteFolders.size()) return;
        std::error_code ec;
        const fs::path folder(m_p.settings.favoriteFolders[i]);
        if (fs::is_directory(folder, ec)) m_p.folder->showBrowserFolder(folder);
    });

    // Window.
    d.on(cmd::kViewerBrowser, [this](auto) { m_p.toggleViewerBrowser(); });
    d.on(cmd::kFullScreen, [this](auto) {
        m_p.settings.fullScreenViewing = !m_p.settings.fullScreenViewing;
        if (m_p.viewerMode) m_w.SetFullScreen(m_p.settings.fullScreenViewing);
    });
    d.on(cmd::kBrowserOnly, [this](auto) { m_w.SetBrowserOnly(!m_p.browserOnly); });
    d.on(cmd::kNameBar, [this](auto) {
        m_p.nameBarVisible = !m_p.nameBarVisible;
        m_p.settings.nameBarVisible = m_p.nameBarVisible;
        m_p.nameBar->setVisible(m_p.nameBarVisible && !m_p.browserOnly);
    });
    d.on(cmd::kMoveFocus, [this](auto) {
        if (m_p.viewerMode) {
            m_p.view->setFocus();
            return;
        }
        std::vector<QWidget*> chain;
        if (m_p.viewerBox->isVisible()) chain.push_back(m_p.view);
        for (QWidget* w : {static_cast<QWidget*>(m_p.browser->fileList()),
                           static_cast<QWidget*>(m_p.browser->folderTree())})
            if (w->isVisible()) chain.push_back(w);
        if (chain.empty()) return;
        const auto it = std::find(chain.begin(), chain.end(), QApplication::focusWidget());
        const std::size_t next = it == chain.end() ? 0 : (it - chain.begin() + 1) % chain.size();
        chain[next]->setFocus(Qt::TabFocusReason);
    });
    d.on(cmd::kExit, [this](auto) { m_w.close(); });
    d.on(cmd::kCustomizeToolbar, [this](auto) { customizeToolbar(); });
    d.on(cmd::kRun, [this](auto) { runCurrentFile(); });
    d.on(cmd::kAbout, [this](auto) { about(); });
    d.on(cmd::kOptions, [this](auto) { options(); });
    d.on(cmd::kHelpContents,
         [this](auto) { DialogBase::openHelpTopic(&m_w, QStringLiteral("index")); });
}

void WindowCommands::showProperties() {
    if (!m_p.properties) {
        m_p.properties = new PropertiesPanel(m_p.settings, &m_w);
        QObject::connect(m_p.properties, &PropertiesPanel::describeRequested, &m_w,
                         [this] { m_w.runCommand(cmd::kDescribeImage); });
    }
    m_p.properties->show();
    m_p.properties->raise();
    // Its keys (Escape above all) must reach it, not the viewer behind it.
    m_p.properties->activateWindow();
    QApplication::setActiveWindow(m_p.properties);
    m_p.properties->list()->setFocus(Qt::ActiveWindowFocusReason);
    m_p.updateProperties();
}

void WindowCommands::adjustSlideShow() {
    SlideShowDialog dialog(m_p.settings, &m_w);
    if (dialog.exec() != QDialog::Accepted) return;
    m_p.frames->slideShow().setSettings(
        {m_p.settings.slideDelay, m_p.settings.slideBackward, m_p.settings.slideRepeat});
    if (m_p.frames->slideShow().running()) {
        m_p.frames->slideShow().start();
        m_p.frames->slideTimer().start();
    } else {
        m_p.frames->slideTimer().stop();
    }
}

void WindowCommands::options() {
    OptionsDialog dialog(m_p.settings, &m_w);
    // OK writes the record; every consumer then takes what concerns it.
    QObject::connect(&dialog, &OptionsDialog::settingsApplied, &m_w, [this] {
        m_w.applySettings();
        m_w.saveSettings();
    });
    dialog.exec();
}

void WindowCommands::customizeToolbar() {
    CustomizeToolbarDialog dialog(m_p.settings, &m_w);
    if (dialog.exec() != QDialog::Accepted) return;
    m_p.browser->toolbar()->RebuildToolbar(m_p.settings.toolbarButtons);
    m_w.refreshToolbar();
}

void WindowCommands::runCurrentFile() {
    if (!m_p.view->image()) return;
    fs::path file = m_p.folder->currentFile();
    if (!m_p.viewerMode) {
        const std::vector<const view::ImageEntry*> selected =
            m_p.folder->images().selectedEntries();
        if (!selected.empty()) file = selected.front()->path();
    }
    if (!file.empty())
        QProcess::startDetached(QStringLiteral("xdg-open"), {shell::toQString(file)});
}

void WindowCommands::about() {
    QMessageBox box(&m_w);
    box.setWindowTitle(MainWindow::tr("About Kalder"));
    box.setIconPixmap(applicationIcon().pixmap(48, 48));
    box.setTextFormat(Qt::RichText);
    // The release, with the version the settings and the registry store record beside it.
    box.setText(MainWindow::tr("<h3>Kalder %1</h3><p>(%2)</p>")
                    .arg(QLatin1String(config::kVersion), QLatin1String(app::kVersionText)));
    box.setInformativeText(MainWindow::tr(
        "<p>An image viewer and image-folder browser.</p><p>&copy; Brenmoor Software</p>"));
    box.exec();
}

}  // namespace kalder::gui
