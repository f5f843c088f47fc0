#include "app/gui/menus.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "app/core/settings.h"
#include "app/core/shortcuts.h"
#include "app/core/startup.h"
#include "app/core/toolbar_table.h"
#include "app/gui/browser_pane.h"
#include "app/gui/customize_toolbar_dialog.h"
#include "app/gui/main_window.h"
#include "app/gui/status_bar.h"
#include "app/gui/toolbar.h"
#include "app/gui/window_status.h"
#include "image/format_table.h"
#include "image/image_reader.h"
#include "support/test_support.h"

namespace app = kalder::app;
namespace cmd = kalder::app::cmd;
using kalder::gui::MainWindow;
using kalder::gui::MenuBuilder;
using kalder::test::Bytes;
using kalder::test::TempDir;

namespace {

// Every command action under `menu`, depth first.
void collect(QMenu* menu, std::vector<QAction*>& out) {
    for (QAction* a : menu->actions()) {
        if (a->menu())
            collect(a->menu(), out);
        else if (!a->isSeparator() && MenuBuilder::commandOf(a) != 0)
            out.push_back(a);
    }
}

std::vector<QAction*> menuBarActions(QMenuBar* bar) {
    std::vector<QAction*> out;
    for (QAction* top : bar->actions())
        if (top->menu()) collect(top->menu(), out);
    return out;
}

QAction* find(const std::vector<QAction*>& actions, app::CommandId id) {
    for (QAction* a : actions)
        if (MenuBuilder::commandOf(a) == id) return a;
    return nullptr;
}

QString label(const QAction* a) { return a->text().section(QLatin1Char('\t'), 0, 0); }

// Opens every menu's update pass, as showing it would.
void updateAll(MenuBuilder& builder, QMenu* menu) {
    builder.updateMenu(menu);
    for (QAction* a : menu->actions())
        if (a->menu()) updateAll(builder, a->menu());
}

// A BMP of the given depth (8: a 256-entry gray palette; 24: plain pixels).
std::vector<std::uint8_t> bmp(int bits) {
    const int w = 8, h = 4;
    const int stride = ((w * bits / 8) + 3) & ~3;
    const int palette = bits == 8 ? 256 * 4 : 0;
    Bytes b;
    b.str("BM").u32le(54 + palette + stride * h).u32le(0).u32le(54 + palette);
    b.u32le(40).u32le(w).u32le(h).u16le(1).u16le(bits).u32le(0).u32le(stride * h);
    b.u32le(2835).u32le(2835).u32le(bits == 8 ? 256 : 0).u32le(0);
    for (int i = 0; i < palette / 4; ++i) b.u8(i).u8(i).u8(i).u8(0);
    for (int y = 0; y < h; ++y) b.fill(stride, 0x40);
    return b.data;
}

}  // namespace

TEST(Menus, TheMainMenuCarriesEveryCommandWithItsTextAndKeys) {
    MainWindow window;
    const std::vector<QAction*> actions = menuBarActions(window.menuBar());
    QStringList titles;
    for (QAction* top : window.menuBar()->actions()) titles << top->text();
    EXPECT_EQ(titles, (QStringList{"&File", "&Browse", "&View", "F&avorites", "&Open with",
                                   "&Tools", "&Help", "Ot&her Products"}));
    for (const app::CommandInfo& info : app::commandTable()) {
        const QAction* a = find(actions, info.id);
        ASSERT_NE(a, nullptr) << info.id;
        const app::MenuItem* item = app::findMenuItem(app::mainMenu(), info.id);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(label(a).toStdString(), std::string(item->text)) << info.id;
    }
    // The keys of the accelerator table follow a tab.
    EXPECT_EQ(find(actions, cmd::kCopyImage)->text(), "&Copy Image to Clipboard\tCtrl+C");
    EXPECT_EQ(find(actions, cmd::kViewerBrowser)->text(), "&Viewer/Browser\tEnter");
    EXPECT_EQ(find(actions, cmd::kAbout)->text(), "&About...");
    // Unchecked items without an update rule show their toolbar image; ruled ones do not.
    EXPECT_FALSE(find(actions, cmd::kPrint)->icon().isNull());
    EXPECT_TRUE(find(actions, cmd::kFitAll)->icon().isNull());
    EXPECT_TRUE(find(actions, cmd::kFitAll)->isCheckable());
}

TEST(Menus, PromptsGoToTheStatusBarAndComeBack) {
    MainWindow window;
    window.status().setStatusText("ready");
    const std::vector<QAction*> actions = menuBarActions(window.menuBar());
    QAction* print = find(actions, cmd::kPrint);
    emit qobject_cast<QMenu*>(print->parent())->hovered(print);
    EXPECT_EQ(window.browserPane()->statusBar()->statusText(), "Bring up the Print dialog");
    QAction* source = find(actions, cmd::kSelectSource);  // has no prompt
    emit qobject_cast<QMenu*>(source->parent())->hovered(source);
    EXPECT_EQ(window.browserPane()->statusBar()->statusText(), "");
    emit qobject_cast<QMenu*>(source->parent())->aboutToHide();
    EXPECT_EQ(window.browserPane()->statusBar()->statusText(), "ready");
}

TEST(Menus, UpdateRulesCheckAndEnableTheRightItems) {
    MainWindow window;
    window.settings().fitMode = 1;
    window.settings().browserView = 2;
    window.applySettings();
    window.runCommand(cmd::kNegative);
    const std::vector<QAction*> actions = menuBarActions(window.menuBar());
    for (QAction* top : window.menuBar()->actions()) updateAll(*window.menus(), top->menu());
    EXPECT_TRUE(find(actions, cmd::kFitWidth)->isChecked());
    EXPECT_FALSE(find(actions, cmd::kFitAll)->isChecked());
    EXPECT_TRUE(find(actions, cmd::kListView)->isChecked());
    EXPECT_FALSE(find(actions, cmd::kSmallThumbnails)->isChecked());
    EXPECT_TRUE(find(actions, cmd::kNegative)->isChecked());
    EXPECT_TRUE(find(actions, cmd::kRotateTo0)->isChecked());
    EXPECT_TRUE(find(actions, cmd::kZoomIn)->isEnabled());
    // Acquire has its handler now, so it is enabled.
    EXPECT_TRUE(find(actions, cmd::kAcquire)->isEnabled());

    // A view number out of range (a damaged file) is the list view in the menu as on screen.
    window.settings().browserView = 7;
    window.applySettings();
    for (QAction* top : window.menuBar()->actions()) updateAll(*window.menus(), top->menu());
    EXPECT_TRUE(find(actions, cmd::kListView)->isChecked());
}

TEST(Menus, ThePaletteCommandNeedsAnImageOfEightBitsOrFewer) {
    if (!kalder::image::createReaderForCode(kalder::image::FormatCode::Bmp)) GTEST_SKIP();
    TempDir dir;
    kalder::test::writeFile(dir / "gray.bmp", bmp(8));
    kalder::test::writeFile(dir / "true.bmp", bmp(24));
    MainWindow window;
    window.resize(300, 200);
    window.show();
    QSignalSpy shown(&window, &MainWindow::imageShown);
    // The rule is checked on a builder that has every command, with the window's state.
    MenuBuilder::Hooks hooks;
    hooks.context = [&] { return window.commandContext(); };
    MenuBuilder builder(window.settings(), hooks);
    QMenuBar bar;
    builder.buildMainMenu(&bar);
    QMenu* file = bar.actions().front()->menu();
    QAction* palette = find(menuBarActions(&bar), cmd::kImagePalette);
    ASSERT_NE(palette, nullptr);

    builder.updateMenu(file);
    EXPECT_FALSE(palette->isEnabled()) << "no image";
    ASSERT_TRUE(window.openFile(dir / "true.bmp"));
    // A prefetched image is announced at once.
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    shown.clear();
    builder.updateMenu(file);
    EXPECT_FALSE(palette->isEnabled()) << "24 bits";
    ASSERT_TRUE(window.openFile(dir / "gray.bmp"));
    // A prefetched image is announced at once.
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    shown.clear();
    builder.updateMenu(file);
    EXPECT_TRUE(palette->isEnabled()) << "8 bits";
}

TEST(Menus, FavoritesAndOpenWithItemsAreRebuiltBeforeTheirMenuOpens) {
    TempDir dir;
    MainWindow window;
    ASSERT_TRUE(window.Create({dir.path().string(), false, false}));
    QMenu* favorites = window.menuBar()->actions()[3]->menu();
    QMenu* openWith = window.menuBar()->actions()[4]->menu();
    window.menus()->updateMenu(openWith);
    std::vector<QAction*> items;
    collect(openWith, items);
    ASSERT_EQ(items.size(), 1u) << "only \"&Configure...\" without applications";
    EXPECT_EQ(items[0]->text(), "&Configure...");

    std::string upper = dir.path().string();
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    window.settings().favoriteFolders = {"/nowhere", upper};
    window.settings().favoriteLabels = {"Nowhere", "Here"};
    window.settings().openWithPaths = {"/usr/bin/a", "/usr/bin/b"};
    window.settings().openWithLabels = {"Editor", "Other"};
    for (int round = 0; round < 2; ++round) {  // rebuilding does not pile items up
        window.menus()->updateMenu(favorites);
        window.menus()->updateMenu(openWith);
    }
    items.clear();
    collect(favorites, items);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0]->text(), "Nowhere");
    EXPECT_EQ(MenuBuilder::commandOf(items[1]), cmd::kFavoriteFirst + 1);
    EXPECT_FALSE(items[0]->isChecked());
    EXPECT_TRUE(items[1]->isChecked()) << "the shown folder, in other letter case";
    items.clear();
    collect(openWith, items);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0]->text(), "Editor\tF10");
    EXPECT_EQ(items[1]->text(), "Other");

    QMenu* context = window.menus()->buildContextMenu(app::ContextMenu::ViewingArea, &window);
    QMenu* contextOpenWith = context->actions()[7]->menu();
    ASSERT_NE(contextOpenWith, nullptr);
    window.menus()->updateMenu(contextOpenWith);
    EXPECT_EQ(contextOpenWith->actions()[0]->text(), "Editor\tF10");
}

TEST(Menus, TheContextMenusHoldTheirItems) {
    MainWindow window;
    auto ids = [&](app::ContextMenu which) {
        QMenu* menu = window.menus()->buildContextMenu(which, &window);
        std::vector<QAction*> actions;
        collect(menu, actions);
        std::vector<app::CommandId> out;
        for (QAction* a : actions) out.push_back(MenuBuilder::commandOf(a));
        return out;
    };
    EXPECT_EQ(ids(app::ContextMenu::FolderTree),
              (std::vector<app::CommandId>{904, 902, 903, 2000, 550}));
    EXPECT_EQ(ids(app::ContextMenu::Toolbar), (std::vector<app::CommandId>{704}));
    const auto list = ids(app::ContextMenu::FileList);
    EXPECT_EQ(list.front(), cmd::kSelectAllFiles);
    EXPECT_EQ(list.back(), cmd::kRefresh);
    const auto viewer = ids(app::ContextMenu::ViewingArea);
    EXPECT_EQ(viewer.front(), cmd::kViewerBrowser);
    EXPECT_EQ(viewer.back(), cmd::kNameBar);
}

// --- toolbar ---

TEST(Toolbar, TheDefaultToolbarShowsTheDefaultLayout) {
    MainWindow window;
    const auto layoutSlots = app::toolbarSlots(app::defaultToolbarLayout());
    std::vector<app::CommandId> expected;
    for (const app::ToolbarSlot& s : layoutSlots) expected.push_back(s.separator ? 0 : s.command);
    EXPECT_EQ(window.browserPane()->toolbar()->slotCommands(), expected);
    int buttons = 0, groups = 1;
    for (app::CommandId id : expected) id ? ++buttons : ++groups;
    // The listed layout: 28 entries, 22 buttons in 7 groups.
    EXPECT_EQ(buttons, 22);
    EXPECT_EQ(groups, 7);
}

TEST(Toolbar, ResetThenCancelLeavesTheToolbarAndOkAppliesTheList) {
    MainWindow window;
    const std::vector<std::int32_t> custom{0, -1, 1};
    window.settings().toolbarButtons = custom;
    window.applySettings();
    const auto before = window.browserPane()->toolbar()->slotCommands();
    ASSERT_EQ(before.size(), 3u);
    {
        kalder::gui::CustomizeToolbarDialog dialog(window.settings(), &window);
        dialog.button("R&eset")->click();
        EXPECT_EQ(dialog.toolbarList()->count(), 28);
        dialog.reject();
    }
    EXPECT_EQ(window.settings().toolbarButtons, custom);
    EXPECT_EQ(window.browserPane()->toolbar()->slotCommands(), before);

    kalder::gui::CustomizeToolbarDialog dialog(window.settings(), &window);
    EXPECT_EQ(dialog.toolbarList()->item(1)->text(), "--- separator ---");
    dialog.availableList()->setCurrentRow(2);
    dialog.button("&Add ->")->click();
    EXPECT_EQ(dialog.toolbarList()->currentRow(), 3);
    dialog.button("Move &Up")->click();
    dialog.button("<- &Remove")->click();
    EXPECT_EQ(dialog.toolbarList()->count(), 3);
    dialog.button("Add &Separator")->click();
    dialog.accept();
    EXPECT_EQ(window.settings().toolbarButtons, (std::vector<std::int32_t>{0, -1, 1, -1}));
}

TEST(Toolbar, TheCustomizeDialogStopsAtTheLimit) {
    app::Settings settings;
    settings.toolbarButtons.assign(255, 0);
    kalder::gui::CustomizeToolbarDialog dialog(settings);
    dialog.button("Add &Separator")->click();
    dialog.button("Add &Separator")->click();
    dialog.button("&Add ->")->click();
    EXPECT_EQ(dialog.toolbarList()->count(), 256);
    dialog.accept();
    EXPECT_EQ(settings.toolbarButtons.size(), 256u);
}

TEST(StatusBar, ThePartsReadTheirTextsAndFollowTheFixedWidths) {
    MainWindow window;
    TempDir dir;
    window.resize(800, 600);
    ASSERT_TRUE(window.Create({dir.path().string(), false, false}));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    kalder::gui::StatusBar* bar = window.browserPane()->statusBar();
    EXPECT_EQ(bar->partText(2), "Press F1 for help");
    window.settings().fullScreenViewing = false;
    window.runCommand(cmd::kNameBar);
    EXPECT_EQ(bar->partText(1), "Windowed");
    window.runCommand(cmd::kFullScreen);
    EXPECT_TRUE(window.settings().fullScreenViewing);
    EXPECT_FALSE(window.viewerMode()) << "in the browser it only changes the setting";
    EXPECT_EQ(bar->partText(1), "Full-Screen");
    EXPECT_LT(bar->partRight(0), bar->partRight(1));
    EXPECT_LT(bar->partRight(1), bar->width());
    EXPECT_GT(bar->partRight(0), bar->width() / 2);
}
