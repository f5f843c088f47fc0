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
#include "app/gui/browser_pane.h"
#include "app/gui/customize_toolbar_dialog.h"
#include "app/gui/dialogs/dialog_base.h"
#include "app/gui/dialogs/options_dialog.h"
#include "app/gui/file_commands.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/icons.h"
#include "app/gui/main_window.h"
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
        d.on(id, [this](app::CommandId c) { m_w.navigate(c); });
    d.on(cmd::kSelectAllFiles, [this](auto) {
        if (m_w.m_viewerMode) return;
        m_w.m_images->selectAll();
        m_w.m_browser->fileList()->viewport()->update();
    });
    d.on(cmd::kRefresh, [this](auto) {
        // The tree's view of the folder (its sub-folders, the drives) is read again too.
        FolderTreePane* tree = m_w.m_browser->folderTree();
        tree->updatePlaces(shell::systemPlaces());
        if (!m_w.m_images->folder().empty()) tree->refreshFolder(m_w.m_images->folder());
        m_w.relistFolder();
    });
    for (app::CommandId id = cmd::kSmallThumbnails; id <= cmd::kDetailsView; ++id)
        d.on(id, [this](app::CommandId c) {
            m_w.m_settings.browserView = c - cmd::kSmallThumbnails;
            // The thumbnail views' own commands bring back their own sizes.
            if (c == cmd::kSmallThumbnails || c == cmd::kBigThumbnails) {
                m_w.m_settings.thumbnailSize = 0;
                m_w.m_browser->fileList()->setThumbnailSize(0);
            }
            m_w.m_browser->setBrowserView(app::browserViewOf(m_w.m_settings));
            if (m_w.m_viewerMode) m_w.m_images->suspendThumbnails();
        });
    d.onRange(cmd::kSortRange, [this](app::CommandId c) {
        m_w.sortBrowser(static_cast<view::SortKey>(cmd::kSortRange.indexOf(c)),
                        m_w.m_images->sortOrder());
    });
    d.on(cmd::kSortAscending,
         [this](auto) { m_w.sortBrowser(m_w.m_images->sortKey(), view::SortOrder::Ascending); });
    d.on(cmd::kSortDescending,
         [this](auto) { m_w.sortBrowser(m_w.m_images->sortKey(), view::SortOrder::Descending); });
    d.on(cmd::kImageInfoOverlay, [this](auto) {
        m_w.m_settings.imageInfoOverlay = !m_w.m_settings.imageInfoOverlay;
        m_w.m_frames->showImageFacts();
    });
    m_w.m_files->registerCommands(d);
    // Slide show and animation.
    d.on(cmd::kSlideShow, [this](auto) {
        m_w.m_frames->slideShow().toggle();
        if (m_w.m_frames->slideShow().running())
            m_w.m_frames->slideTimer().start();
        else
            m_w.m_frames->slideTimer().stop();
    });
    d.on(cmd::kAdjustSlideShow, [this](auto) { adjustSlideShow(); });
    d.onRange(cmd::kFrameRange, [this](app::CommandId c) { m_w.m_frames->frameCommand(c); });
    d.on(cmd::kImageProperties, [this](auto) { showProperties(); });
    d.on(cmd::kImagePalette, [this](auto) {
        if (!m_w.m_frames->shownEntry() || m_w.m_frames->shownPage() < 0 ||
            m_w.m_frames->shownEntry()->document().PageCount() <= m_w.m_frames->shownPage())
            return;
        PaletteDialog::showFor(
            shell::toQString(m_w.m_frames->shownEntry()->path().filename()),
            m_w.m_frames->shownEntry()->document().PageAt(m_w.m_frames->shownPage()), &m_w);
    });
    d.onRange(cmd::kFavoriteRange, [this](app::CommandId c) {
        const std::size_t i = cmd::kFavoriteRange.indexOf(c);
        if (i >= m_w.m_settings.favoriteFolders.size()) return;
        std::error_code ec;
        const fs::path folder(m_w.m_settings.favoriteFolders[i]);
        if (fs::is_directory(folder, ec)) m_w.showBrowserFolder(folder);
    });

    // Window.
    d.on(cmd::kViewerBrowser, [this](auto) { m_w.toggleViewerBrowser(); });
    d.on(cmd::kFullScreen, [this](auto) {
        m_w.m_settings.fullScreenViewing = !m_w.m_settings.fullScreenViewing;
        if (m_w.m_viewerMode) m_w.SetFullScreen(m_w.m_settings.fullScreenViewing);
    });
    d.on(cmd::kBrowserOnly, [this](auto) { m_w.SetBrowserOnly(!m_w.m_browserOnly); });
    d.on(cmd::kNameBar, [this](auto) {
        m_w.m_nameBarVisible = !m_w.m_nameBarVisible;
        m_w.m_settings.nameBarVisible = m_w.m_nameBarVisible;
        m_w.m_nameBar->setVisible(m_w.m_nameBarVisible && !m_w.m_browserOnly);
    });
    d.on(cmd::kMoveFocus, [this](auto) {
        if (m_w.m_viewerMode) {
            m_w.m_view->setFocus();
            return;
        }
        std::vector<QWidget*> chain;
        if (m_w.m_viewerBox->isVisible()) chain.push_back(m_w.m_view);
        for (QWidget* w : {static_cast<QWidget*>(m_w.m_browser->fileList()),
                           static_cast<QWidget*>(m_w.m_browser->folderTree())})
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
    if (!m_w.m_properties) {
        m_w.m_properties = new PropertiesPanel(m_w.m_settings, &m_w);
        QObject::connect(m_w.m_properties, &PropertiesPanel::describeRequested, &m_w,
                         [this] { m_w.runCommand(cmd::kDescribeImage); });
    }
    m_w.m_properties->show();
    m_w.m_properties->raise();
    // Its keys (Escape above all) must reach it, not the viewer behind it.
    m_w.m_properties->activateWindow();
    QApplication::setActiveWindow(m_w.m_properties);
    m_w.m_properties->list()->setFocus(Qt::ActiveWindowFocusReason);
    m_w.updateProperties();
}

void WindowCommands::adjustSlideShow() {
    SlideShowDialog dialog(m_w.m_settings, &m_w);
    if (dialog.exec() != QDialog::Accepted) return;
    m_w.m_frames->slideShow().setSettings(
        {m_w.m_settings.slideDelay, m_w.m_settings.slideBackward, m_w.m_settings.slideRepeat});
    if (m_w.m_frames->slideShow().running()) {
        m_w.m_frames->slideShow().start();
        m_w.m_frames->slideTimer().start();
    } else {
        m_w.m_frames->slideTimer().stop();
    }
}

void WindowCommands::options() {
    OptionsDialog dialog(m_w.m_settings, &m_w);
    // OK writes the record; every consumer then takes what concerns it.
    QObject::connect(&dialog, &OptionsDialog::settingsApplied, &m_w, [this] {
        m_w.applySettings();
        m_w.saveSettings();
    });
    dialog.exec();
}

void WindowCommands::customizeToolbar() {
    CustomizeToolbarDialog dialog(m_w.m_settings, &m_w);
    if (dialog.exec() != QDialog::Accepted) return;
    m_w.m_browser->toolbar()->RebuildToolbar(m_w.m_settings.toolbarButtons);
    m_w.refreshToolbar();
}

void WindowCommands::runCurrentFile() {
    if (!m_w.m_view->image()) return;
    fs::path file = m_w.m_current;
    if (!m_w.m_viewerMode) {
        const std::vector<const view::ImageEntry*> selected = m_w.m_images->selectedEntries();
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
