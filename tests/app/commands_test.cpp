#include "app/core/commands.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/core/settings.h"

namespace kalder::app {
namespace {

// ---------------------------------------------------------------------------------------------
// Texts and prompts, spot-checked against what users have always seen.

struct TextCase {
    CommandId id;
    const char* text;
    const char* prompt;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.id; }

class CommandTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(CommandTextTest, HasItsExactTextAndPrompt) {
    const TextCase& c = GetParam();
    const CommandInfo* info = findCommand(c.id);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->text, c.text);
    EXPECT_EQ(info->prompt, c.prompt);
    EXPECT_EQ(commandPrompt(c.id), c.prompt);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandTextTest,
    ::testing::Values(
        TextCase{57634, "&Copy Image to Clipboard", "Copy the current image to the clipboard"},
        TextCase{520, "Descr&ibe Image...", "Add or edit image descriptions"},
        TextCase{674, "Image Pale&tte...", "Display the image palette"},
        TextCase{572, "&Tiled", "Set wallpaper and cover the desktop with it as tile"},
        TextCase{905, "Copy/Move File(s) to &Folder...",
                 "Copy currently selected file(s) to the specified folder"},
        TextCase{904, "Ne&w Folder", "Create a new folder in the currently selected folder"},
        TextCase{903, "D&elete Folder", "Delete currently selected folder"},
        TextCase{564, "by &Date/Time",
                 "Sort images in the image browser by date of their creation/last modification"},
        TextCase{550, "Refres&h", "Reload the current image file"},
        TextCase{581, "Acquire...", "Acquire images from a scanner or camera through SANE"},
        TextCase{582, "Select Source...", ""}, TextCase{530, "E&xit", "Close the program"},
        TextCase{544, "Previous Selected File", ""},
        TextCase{701, "S&tart/Stop Slide Show",
                 "Start or stop automatic moving of the selection through current folder"},
        TextCase{504, "&Start/Stop Animation", "Start or stop the GIF animation"},
        TextCase{673, "Interactive &Lens", "Tun on or off the interactive lens mode"},
        TextCase{662, "Zoom &1:1", "Reset zoom showing the image in its original size"},
        TextCase{614, "A&utofit",
                 "Choose between \"Fit Height\" and \"Fit Width\" automatically basing on image "
                 "proportion"},
        TextCase{617, "Zoom &large images only",
                 "Allow to zoom large images only (larger than the viewing area)"},
        TextCase{635, "Rotate by 90 &Deg. Counterclockwise",
                 "Rotate the image by 90 degrees counterclockwise"},
        TextCase{633, "90 D&eg. Counterclockwise",
                 "Show image rotated 90 degrees counterclockwise"},
        TextCase{640, "Flip &Horizontally", "Flip (mirrors) image horizontally"},
        TextCase{622, "&Reset Gamma",
                 "Reset gamma setting showing the image with its original brightness"},
        TextCase{685, "Reset Position", ""}, TextCase{652, "Negativ&e", "Invert image colors"},
        TextCase{680, "&Browser Only (Esc to exit)", ""},
        TextCase{651, "&Disable Color Management Options",
                 "Disable the color management options when displaying images"},
        TextCase{2002, "&Configure...", "Bring up the \"Open with\" configuration dialog"},
        TextCase{707, "&PSD Decompiler...",
                 "Extract layers from selected PSD files as a bunch of BMP or PNG files"},
        TextCase{703, "&File Associations...",
                 "Allow you to associate different file types with Kalder"},
        TextCase{802, "&About...", "Display some information about Kalder"}));

TEST(CommandTable, HasNoDuplicateIdentifiers) {
    std::set<CommandId> seen;
    for (const CommandInfo& c : commandTable()) {
        EXPECT_TRUE(seen.insert(c.id).second) << c.id;
        EXPECT_FALSE(c.text.empty()) << c.id;
    }
}

TEST(CommandTable, CommandsOutsideItHaveNoPrompt) {
    EXPECT_EQ(findCommand(2100), nullptr);
    EXPECT_EQ(commandPrompt(2200), "");
    EXPECT_EQ(commandPrompt(cmd::kHelpTopic), "");
}

// ---------------------------------------------------------------------------------------------
// Menus.

void collectCommands(const MenuItem& menu, std::vector<CommandId>& out) {
    for (const MenuItem& item : menu.items) {
        if (item.kind == MenuItemKind::Command) out.push_back(item.id);
        if (item.kind == MenuItemKind::Submenu) collectCommands(item, out);
    }
}

TEST(MainMenu, HoldsEveryCommandOnceInTableOrder) {
    std::vector<CommandId> ids;
    collectCommands(mainMenu(), ids);
    std::vector<CommandId> table;
    for (const CommandInfo& c : commandTable()) table.push_back(c.id);
    EXPECT_EQ(ids, table);
}

TEST(MainMenu, ItemsUseTheTableTexts) {
    for (const CommandInfo& c : commandTable()) {
        const MenuItem* item = findMenuItem(mainMenu(), c.id);
        ASSERT_NE(item, nullptr) << c.id;
        EXPECT_EQ(item->text, c.text);
    }
}

TEST(MainMenu, TopLevelOrderPutsFavoritesFourthAndOpenWithFifth) {
    const auto& top = mainMenu().items;
    ASSERT_GE(top.size(), 7u);
    const char* expected[] = {"&File",      "&Browse", "&View", "F&avorites",
                              "&Open with", "&Tools",  "&Help"};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(top[i].kind, MenuItemKind::Submenu);
        EXPECT_EQ(top[i].text, expected[i]);
    }
    EXPECT_EQ(top[3].items.front().kind, MenuItemKind::FavoriteSlot);
    EXPECT_EQ(top[4].items.front().kind, MenuItemKind::OpenWithSlot);
    // With no applications the menu shows only the separator and "&Configure...".
    ASSERT_EQ(top[4].items.size(), 3u);
    EXPECT_EQ(top[4].items[1].kind, MenuItemKind::Separator);
    EXPECT_EQ(top[4].items[2].id, cmd::kConfigureOpenWith);
}

TEST(ContextMenus, EveryCommandIsInTheTable) {
    for (ContextMenu which : {ContextMenu::ViewingArea, ContextMenu::FolderTree,
                              ContextMenu::FileList, ContextMenu::Toolbar}) {
        std::vector<CommandId> ids;
        collectCommands(contextMenu(which), ids);
        EXPECT_FALSE(ids.empty());
        for (CommandId id : ids) EXPECT_NE(findCommand(id), nullptr) << id;
    }
}

TEST(ContextMenus, ViewingAreaHasOpenWithAsItsEighthItem) {
    const auto& items = contextMenu(ContextMenu::ViewingArea).items;
    ASSERT_GE(items.size(), 8u);
    EXPECT_EQ(items[7].kind, MenuItemKind::Submenu);
    EXPECT_EQ(items[7].text, "Open with");
    EXPECT_EQ(items[7].items.front().kind, MenuItemKind::OpenWithSlot);
    // Its rotate sub-menu names the panoramic sub-menu differently.
    const MenuItem* scroll = findMenuItem(contextMenu(ContextMenu::ViewingArea), cmd::kScrollLeft);
    ASSERT_NE(scroll, nullptr);
    bool found = false;
    for (const MenuItem& item : items) {
        if (item.text != "&Rotate/Flip") continue;
        for (const MenuItem& sub : item.items) found |= sub.text == "Panoramic &Scroll";
    }
    EXPECT_TRUE(found);
}

TEST(ContextMenus, UseTheirOwnWordings) {
    struct Case {
        ContextMenu menu;
        CommandId id;
        const char* text;
    };
    const Case cases[] = {
        {ContextMenu::FolderTree, cmd::kNewFolder, "&New Folder"},
        {ContextMenu::FolderTree, cmd::kRenameFolder, "R&ename Folder"},
        {ContextMenu::FolderTree, cmd::kDeleteFolder, "De&lete Folder"},
        {ContextMenu::FolderTree, cmd::kAddFavorite, "&Add Folder to Favorites..."},
        {ContextMenu::ViewingArea, cmd::kDescribeImage, "&Describe Image..."},
        {ContextMenu::ViewingArea, cmd::kNegative, "&Negative"},
        {ContextMenu::ViewingArea, cmd::kNameBar, "Na&me Bar"},
        {ContextMenu::Toolbar, cmd::kCustomizeToolbar, "&Customize..."},
        // The same command as the main menu's item, under the same text.
        {ContextMenu::FileList, cmd::kCopyMoveToFolder, "Copy/Move File(s) to &Folder..."},
    };
    for (const Case& c : cases) {
        const MenuItem* item = findMenuItem(contextMenu(c.menu), c.id);
        ASSERT_NE(item, nullptr) << c.id;
        EXPECT_EQ(item->text, c.text);
    }
}

TEST(DynamicMenus, FirstOpenWithApplicationShowsF10) {
    Settings s;
    EXPECT_TRUE(openWithMenuItems(s).empty());
    s.openWithLabels = {"Editor", "Viewer"};
    s.openWithPaths = {"/usr/bin/editor", "/usr/bin/viewer"};
    const auto items = openWithMenuItems(s);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].id, 2200);
    EXPECT_EQ(items[0].text, "Editor\tF10");
    EXPECT_EQ(items[1].id, 2201);
    EXPECT_EQ(items[1].text, "Viewer");

    // The desktop's applications for the type follow, each keeping its place in their list.
    const auto more = openWithMenuItems(s, {"Viewer", "Paint & Draw", ""});
    ASSERT_EQ(more.size(), 3u);
    EXPECT_EQ(more[2].id, 2301);
    EXPECT_EQ(more[2].text, "Paint && Draw");
}

TEST(DynamicMenus, OnlyCompletePairsAndNoSpillIntoTheNextRange) {
    Settings s;
    s.favoriteLabels = {"a", "b", "c"};
    s.favoriteFolders = {"/a", "/b"};
    EXPECT_EQ(favoriteMenuItems(s).size(), 2u);

    s.favoriteLabels.assign(150, "x");
    s.favoriteFolders.assign(150, "/x");
    const auto items = favoriteMenuItems(s);
    ASSERT_EQ(items.size(), kMaxDynamicMenuItems);
    EXPECT_EQ(items.front().id, 2100);
    EXPECT_EQ(items.back().id, 2198);
}

TEST(MenuText, MnemonicsAndShortcutPart) {
    EXPECT_EQ(stripMnemonics("Copy/Move File(s) to &Folder..."), "Copy/Move File(s) to Folder...");
    EXPECT_EQ(stripMnemonics("R&&D &Notes"), "R&D Notes");
    EXPECT_EQ(stripMnemonics("trailing&"), "trailing");
    EXPECT_EQ(mnemonicLetter("Descr&ibe Image..."), 'i');
    EXPECT_EQ(mnemonicLetter("R&&D &Notes"), 'n');
    EXPECT_EQ(mnemonicLetter("Run..."), 0);
    const auto parts = splitMenuText("Editor\tF10");
    EXPECT_EQ(parts.label, "Editor");
    EXPECT_EQ(parts.shortcut, "F10");
    EXPECT_EQ(splitMenuText("E&xit").shortcut, "");
}

// ---------------------------------------------------------------------------------------------
// Update rules.

TEST(UpdateRules, PaletteNeedsAPaletteImage) {
    CommandContext c;
    EXPECT_FALSE(isEnabled(cmd::kImagePalette, c));  // nothing shown
    c.imageShown = true;
    c.bitsPerPixel = 24;
    EXPECT_FALSE(isEnabled(cmd::kImagePalette, c));
    c.bitsPerPixel = 8;
    EXPECT_TRUE(isEnabled(cmd::kImagePalette, c));
    c.bitsPerPixel = 1;
    EXPECT_TRUE(isEnabled(cmd::kImagePalette, c));
    c.bitsPerPixel = 16;
    EXPECT_FALSE(isEnabled(cmd::kImagePalette, c));
    // Everything else stays enabled.
    EXPECT_TRUE(isEnabled(cmd::kPrint, c));
}

TEST(UpdateRules, FrameCommandsNeedAnImageWithSeveralFrames) {
    struct Row {
        bool shown;
        std::int32_t pages;
        bool enabled;
    };
    for (const Row& r :
         {Row{false, 0, false}, Row{true, 1, false}, Row{false, 5, false}, Row{true, 2, true}}) {
        CommandContext c;
        c.imageShown = r.shown;
        c.pageCount = r.pages;
        for (CommandId id = cmd::kPreviousFrame; id <= cmd::kAnimation; ++id)
            EXPECT_EQ(isEnabled(id, c), r.enabled) << id << " pages " << r.pages;
        EXPECT_TRUE(isEnabled(cmd::kNextFile, c));
    }
}

TEST(UpdateRules, FavoriteOfTheShownFolderIsCheckedWhateverTheCase) {
    const std::vector<std::string> favorites = {"/home/ann/Pictures", "/srv/Photos/"};
    CommandContext c;
    c.favoriteFolders = favorites;
    c.shownFolder = "/HOME/ann/pictures";
    EXPECT_TRUE(isChecked(2100, c));
    EXPECT_FALSE(isChecked(2101, c));
    c.shownFolder = "/srv/photos";
    EXPECT_TRUE(isChecked(2101, c));
    EXPECT_FALSE(isChecked(2102, c));  // beyond the list
    c.shownFolder = "";
    EXPECT_FALSE(isChecked(2100, c));
    EXPECT_FALSE(sameFolder("/srv/photo", "/srv/photos"));
    EXPECT_TRUE(sameFolder("/", "/"));
}

// Each radio group has exactly one item checked, the one its value selects.
struct RadioCase {
    const char* name;
    std::vector<CommandId> group;
    void (*set)(CommandContext&, int);
};

void PrintTo(const RadioCase& c, std::ostream* os) { *os << c.name; }

class RadioGroupTest : public ::testing::TestWithParam<RadioCase> {};

TEST_P(RadioGroupTest, ChecksTheItemOfTheValue) {
    const RadioCase& c = GetParam();
    for (std::size_t value = 0; value < c.group.size(); ++value) {
        CommandContext context;
        c.set(context, static_cast<int>(value));
        for (std::size_t i = 0; i < c.group.size(); ++i) {
            EXPECT_EQ(isChecked(c.group[i], context), i == value)
                << "value " << value << ", command " << c.group[i];
            EXPECT_TRUE(hasUpdateRule(c.group[i]));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Groups, RadioGroupTest,
    ::testing::Values(
        RadioCase{"BrowserView",
                  {510, 511, 512},
                  [](CommandContext& c, int v) { c.browserView = static_cast<BrowserView>(v); }},
        RadioCase{"Sort", {561, 562, 563, 564}, [](CommandContext& c, int v) { c.sortMode = v; }},
        RadioCase{
            "Fit", {610, 611, 612, 613, 614}, [](CommandContext& c, int v) { c.fitMode = v; }},
        RadioCase{"ZoomScope", {615, 616, 617}, [](CommandContext& c, int v) { c.zoomScope = v; }},
        RadioCase{
            "Rotation", {630, 631, 632, 633}, [](CommandContext& c, int v) { c.rotation = v; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateRules, TogglesFollowTheirState) {
    Settings s;
    s.squeezeInterpolated = false;
    s.nameBarVisible = true;
    CommandContext c = commandContextFrom(s);
    EXPECT_FALSE(isChecked(cmd::kSqueezeInterpolated, c));
    EXPECT_TRUE(isChecked(cmd::kStretchInterpolated, c));
    EXPECT_TRUE(isChecked(cmd::kNameBar, c));
    EXPECT_TRUE(isChecked(cmd::kFitAll, c));  // the default fit mode
    EXPECT_FALSE(isChecked(cmd::kSlideShow, c));
    c.slideShowRunning = true;
    c.batchPanelVisible = true;
    EXPECT_TRUE(isChecked(cmd::kSlideShow, c));
    EXPECT_TRUE(isChecked(cmd::kBatchConvertor, c));
    EXPECT_FALSE(isChecked(cmd::kJpegTransformations, c));
}

TEST(UpdateRules, WhichCommandsHaveOne) {
    EXPECT_TRUE(hasUpdateRule(cmd::kImagePalette));
    EXPECT_TRUE(hasUpdateRule(2150));
    EXPECT_FALSE(hasUpdateRule(cmd::kNextFile));
    EXPECT_FALSE(hasUpdateRule(2200));
    EXPECT_FALSE(hasUpdateRule(cmd::kZoomIn));
}

// ---------------------------------------------------------------------------------------------
// Dispatch.

TEST(CommandDispatcher, SinglesWinOverRangesAndRangesGetTheCommand) {
    CommandDispatcher d;
    std::vector<std::pair<char, CommandId>> calls;
    d.onRange(cmd::kFileMoveRange, [&](CommandId id) { calls.push_back({'r', id}); });
    d.on(cmd::kNextFile, [&](CommandId id) { calls.push_back({'s', id}); });
    EXPECT_TRUE(d.dispatch(cmd::kPreviousFile));
    EXPECT_TRUE(d.dispatch(cmd::kNextFile));
    EXPECT_TRUE(d.dispatch(cmd::kNextSelectedFile));
    EXPECT_FALSE(d.dispatch(cmd::kExit));
    EXPECT_FALSE(d.handles(cmd::kPreviousFolder));
    const std::vector<std::pair<char, CommandId>> expected = {{'r', 540}, {'s', 541}, {'r', 545}};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(cmd::kOpenWithRange.indexOf(2203), 3u);
}

TEST(CommandDispatcher, ALaterHandlerReplacesAnEarlierOne) {
    CommandDispatcher d;
    int which = 0;
    d.on(cmd::kExit, [&](CommandId) { which = 1; });
    d.on(cmd::kExit, [&](CommandId) { which = 2; });
    d.dispatch(cmd::kExit);
    EXPECT_EQ(which, 2);
}

}  // namespace
}  // namespace kalder::app
