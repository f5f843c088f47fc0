#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/command_ids.h"

namespace kalder::app {

struct Settings;
enum class BrowserView : std::int32_t;

// ---------------------------------------------------------------------------------------------
// The command table: each command's main-menu text (with "&" before the mnemonic letter) and its
// status-bar prompt (empty when it has none).

struct CommandInfo {
    CommandId id;
    std::string_view text;
    std::string_view prompt;
};

// Every command of the main menu, in menu order.
std::span<const CommandInfo> commandTable();
// The row of `id`, or null for a command outside the table (favorites, Open-with items, ...).
const CommandInfo* findCommand(CommandId id);
// The status-bar prompt of `id`; empty when it has none, which leaves the status text empty.
std::string_view commandPrompt(CommandId id);

// ---------------------------------------------------------------------------------------------
// Menus as data. The Qt window builds its QMenus from these trees.

enum class MenuItemKind : std::uint8_t {
    Command,  // `id` with `text`
    Separator,
    Submenu,       // `text` heads `items`
    FavoriteSlot,  // the favorites go here (see favoriteMenuItems)
    OpenWithSlot,  // the Open-with applications go here (see openWithMenuItems)
};

struct MenuItem {
    MenuItemKind kind = MenuItemKind::Command;
    CommandId id = 0;
    // The text in this menu. A command may read differently in a context menu than in the main
    // menu ("&New Folder" there, "Ne&w Folder" here), so menus carry their own texts.
    std::string_view text;
    std::vector<MenuItem> items;  // Submenu only
};

// The main menu: a Submenu whose items are the top-level menus "&File" … "&Help" and the
// product pages. "F&avorites" is the fourth and "&Open with" the fifth.
const MenuItem& mainMenu();

// The pop-up menus; each value is the item shown at the cursor.
enum class ContextMenu : std::uint16_t {
    ViewingArea = 141,
    FolderTree = 149,
    FileList = 150,
    Toolbar = 210,
};
const MenuItem& contextMenu(ContextMenu which);

// The first item of `menu` (searched depth-first) with command `id`, or null.
const MenuItem* findMenuItem(const MenuItem& menu, CommandId id);

// A dynamic item: a favorite folder or an Open-with application.
struct DynamicMenuItem {
    CommandId id;
    std::string text;
};
// At most this many of each: favorites use 2100…2198 and applications 2200…2298, so a longer
// list would spill into the other range.
inline constexpr std::size_t kMaxDynamicMenuItems = 99;
// One item per favorite (label i, command 2100 + i), for pairs that have both a folder and a label.
std::vector<DynamicMenuItem> favoriteMenuItems(const Settings& settings);
// One item per application (label i, command 2200 + i); the first reads "<label>\tF10". Then
// the desktop's applications for the file's type (name i, command 2300 + i, "&" kept as such),
// those named like one of the user's left out.
std::vector<DynamicMenuItem> openWithMenuItems(
    const Settings& settings, const std::vector<std::string>& typeApplications = {});

// ---------------------------------------------------------------------------------------------
// Menu text helpers.

// The text without its "&" markers ("&&" stands for one "&").
std::string stripMnemonics(std::string_view text);
// The letter after the first single "&", lower-cased; 0 when there is none.
char mnemonicLetter(std::string_view text);
// The label before the last tab and the shortcut text after it (empty when there is no tab).
struct MenuLabelParts {
    std::string_view label;
    std::string_view shortcut;
};
MenuLabelParts splitMenuText(std::string_view text);

// ---------------------------------------------------------------------------------------------
// Update rules: whether an item or button is checked or enabled, from a snapshot of the state.

struct CommandContext {
    // From the settings (commandContextFrom fills these).
    BrowserView browserView{};
    std::int32_t fitMode = 3;
    std::int32_t zoomScope = 0;
    bool nameBarVisible = false;
    bool squeezeInterpolated = true;
    bool stretchInterpolated = true;
    bool showTransparency = true;
    bool loadProgressively = true;
    std::span<const std::string> favoriteFolders;

    // From the window.
    std::int32_t sortMode = 0;  // the browser's order
    bool sortDescending = false;
    bool imageInfoOverlay = false;
    std::int32_t rotation = 0;  // quarter turns clockwise, 0-3
    bool flippedHorizontally = false;
    bool flippedVertically = false;
    bool inverted = false;
    bool colorManagementOff = false;
    bool lensOn = false;
    bool propertiesPanelVisible = false;
    bool jpegTransformPanelVisible = false;
    bool batchPanelVisible = false;
    bool slideShowRunning = false;
    bool imageShown = false;
    std::int32_t bitsPerPixel = 0;  // of the shown page; 0 when unknown
    std::int32_t pageCount = 0;     // decoded pages (frames) of the shown image
    std::string_view shownFolder;
};

// The settings part of the context. `settings` must outlive the context (it keeps a view of the
// favorites).
CommandContext commandContextFrom(const Settings& settings);

// True for commands whose state depends on a rule; an owner-drawn item without one shows its
// toolbar image instead of a check mark.
bool hasUpdateRule(CommandId id);
bool isChecked(CommandId id, const CommandContext& context);
bool isEnabled(CommandId id, const CommandContext& context);

// Folder names compared as the favorites checks compare them: letter case and a trailing "/" do
// not matter.
bool sameFolder(std::string_view a, std::string_view b);

// ---------------------------------------------------------------------------------------------
// Dispatch: the window registers one handler per command or range and runs commands through it.

struct CommandRange {
    CommandId first;
    CommandId last;
    constexpr bool contains(CommandId id) const { return id >= first && id <= last; }
    constexpr std::size_t indexOf(CommandId id) const { return id - first; }
};

namespace cmd {
inline constexpr CommandRange kFrameRange{500, 504};
inline constexpr CommandRange kFileMoveRange{540, 545};
inline constexpr CommandRange kFolderMoveRange{546, 547};
inline constexpr CommandRange kSortRange{561, 564};
inline constexpr CommandRange kWallpaperRange{571, 573};
inline constexpr CommandRange kZoomScopeRange{615, 617};
inline constexpr CommandRange kRotateToRange{630, 633};
inline constexpr CommandRange kPanoramicRange{681, 685};
inline constexpr CommandRange kFavoriteRange{kFavoriteFirst, kFavoriteLast};
inline constexpr CommandRange kOpenWithRange{kOpenWithFirst, kOpenWithLast};
inline constexpr CommandRange kOpenWithTypeRange{kOpenWithTypeFirst, kOpenWithTypeLast};
}  // namespace cmd

using CommandHandler = std::function<void(CommandId)>;

class CommandDispatcher {
public:
    // A handler for one command; it wins over a range that also holds the command.
    void on(CommandId id, CommandHandler handler);
    // A handler for every command of `range`; it receives the command run.
    void onRange(CommandRange range, CommandHandler handler);

    bool handles(CommandId id) const;
    // Runs the command's handler; false when it has none (the command then does nothing).
    bool dispatch(CommandId id) const;

private:
    const CommandHandler* find(CommandId id) const;

    struct Single {
        CommandId id;
        CommandHandler handler;
    };
    struct Ranged {
        CommandRange range;
        CommandHandler handler;
    };
    std::vector<Single> m_singles;
    std::vector<Ranged> m_ranges;
};

}  // namespace kalder::app
