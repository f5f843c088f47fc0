#include "app/core/shortcuts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <utility>

#include "app/core/commands.h"
#include "app/core/key_names.h"

namespace kalder::app {
namespace {

constexpr std::uint8_t kNone = 0;
constexpr std::uint8_t kCtrl = kShortcutCtrl;
constexpr std::uint8_t kAlt = kShortcutAlt;
constexpr std::uint8_t kShift = kShortcutShift;

std::uint16_t code(const char* name) {
    const auto c = keyCodeFromName(name);
    EXPECT_TRUE(c.has_value()) << name;
    return c.value_or(0);
}

// ---------------------------------------------------------------------------------------------
// Key names and the Qt translation.

TEST(KeyNames, EveryRowRoundTrips) {
    const auto table = keyNameTable();
    ASSERT_EQ(table.size(), 167u);
    std::set<std::string_view> names;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const KeyName& row = table[i];
        EXPECT_TRUE(names.insert(row.name).second) << row.name;
        EXPECT_EQ(keyCodeFromName(row.name), row.code) << row.name;
        // A code shows by the name of its first row.
        const auto first = std::find_if(table.begin(), table.end(),
                                        [&](const KeyName& k) { return k.code == row.code; });
        EXPECT_EQ(keyName(row.code), first->name) << row.name;
    }
}

TEST(KeyNames, SpotChecksAndSharedCodes) {
    EXPECT_EQ(keyName(0x30), "0");
    EXPECT_EQ(keyName(0x6A), "Num '*'");
    EXPECT_EQ(keyName(0xA6), "Browser Back");
    EXPECT_EQ(keyName(0xDE), "''\"'");
    EXPECT_EQ(keyName(0xDC), "'\\|'");
    EXPECT_EQ(keyName(0xFB), "Zoom");
    // Two names share 0x15 and 0x19; the first row's name wins.
    EXPECT_EQ(keyName(0x15), "IME Hangul mode");
    EXPECT_EQ(keyCodeFromName("IME Kana mode"), 0x15);
    EXPECT_EQ(keyName(0x19), "IME Hanja mode");
    // Codes the list does not hold have no name.
    EXPECT_EQ(keyName(0x07), "");
    EXPECT_EQ(keyName(0xFFFF), "");
    EXPECT_FALSE(keyCodeFromName("num '*'").has_value());
}

TEST(QtKeys, EveryListedKeyThatQtKnowsRoundTrips) {
    // Qt has one key for both sides of Ctrl, Shift and Alt.
    const std::set<std::uint16_t> sided = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4};
    // Keys Qt has no key value for.
    const std::set<std::uint16_t> noQtKey = {0x01, 0x02, 0x04, 0x05, 0x06, 0xF6, 0xF7, 0xF9,
                                             0xF8, 0x1E, 0x18, 0x17, 0xE5, 0xFD, 0x6C};
    for (const KeyName& row : keyNameTable()) {
        const auto qt = qtKeyFromVirtualKey(row.code);
        if (noQtKey.count(row.code)) {
            EXPECT_FALSE(qt.has_value()) << row.name;
            continue;
        }
        ASSERT_TRUE(qt.has_value()) << row.name;
        const auto back = virtualKeyFromQt(qt->key, qt->keypad);
        ASSERT_TRUE(back.has_value()) << row.name;
        if (sided.count(row.code)) {
            EXPECT_NE(*back, row.code) << row.name;
        } else {
            EXPECT_EQ(*back, row.code) << row.name;
        }
    }
}

struct QtCase {
    const char* name;
    int qtKey;
    bool keypad;
    int code;  // -1: none
};

void PrintTo(const QtCase& c, std::ostream* os) { *os << c.name; }

class QtKeyTest : public ::testing::TestWithParam<QtCase> {};

TEST_P(QtKeyTest, MapsToTheStoredCode) {
    const QtCase& c = GetParam();
    const auto got = virtualKeyFromQt(c.qtKey, c.keypad);
    if (c.code < 0) {
        EXPECT_FALSE(got.has_value());
    } else {
        EXPECT_EQ(got, static_cast<std::uint16_t>(c.code));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, QtKeyTest,
    ::testing::Values(
        QtCase{"F1", 0x01000030, false, 0x70}, QtCase{"F24", 0x01000047, false, 0x87},
        QtCase{"F25", 0x01000048, false, -1}, QtCase{"A", 0x41, false, 0x41},
        QtCase{"Digit5", 0x35, false, 0x35}, QtCase{"Keypad5", 0x35, true, 0x65},
        QtCase{"KeypadPlus", 0x2b, true, 0x6B}, QtCase{"Plus", 0x2b, false, 0xBB},
        QtCase{"Equal", 0x3d, false, 0xBB}, QtCase{"KeypadStar", 0x2a, true, 0x6A},
        QtCase{"BraceLeft", 0x7b, false, 0xDB}, QtCase{"KeypadHome", 0x01000010, true, 0x24},
        QtCase{"Return", 0x01000004, false, 0x0D}, QtCase{"KeypadEnter", 0x01000005, true, 0x0D},
        QtCase{"Backtab", 0x01000002, false, 0x09}, QtCase{"Back", 0x01000061, false, 0xA6},
        QtCase{"PlayPause", 0x01000086, false, 0xB3}, QtCase{"Lowercase", 0x61, false, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// The built-in table.

TEST(DefaultShortcuts, NinetyEntriesWithoutDuplicateKeys) {
    const auto table = defaultShortcuts();
    ASSERT_EQ(table.size(), 90u);
    std::set<std::pair<std::uint16_t, int>> keys;
    for (const Shortcut& e : table) {
        EXPECT_EQ(e.flags & (kShortcutVirtualKey | kShortcutNoHighlight),
                  kShortcutVirtualKey | kShortcutNoHighlight);
        EXPECT_TRUE(keys.insert({e.key, e.flags & kShortcutModifiers}).second)
            << ShortcutModifierText(e) << " " << ShortcutKeyText(e);
        EXPECT_FALSE(ShortcutKeyText(e).empty()) << e.key;
        EXPECT_TRUE(findCommand(e.command) != nullptr || e.command == cmd::kOpenWithFirst)
            << e.command;
    }
}

struct DefaultCase {
    std::uint8_t modifiers;
    const char* key;
    CommandId command;
};

TEST(DefaultShortcuts, SpotChecks) {
    Settings settings;
    ensureShortcuts(settings);
    const AcceleratorTable table = BuildAcceleratorTable(settings);
    const DefaultCase cases[] = {
        {kNone, "F10", 2200},
        {kCtrl, "C", 57634},
        {kCtrl, "Insert", 57634},
        {kAlt, "F2", 902},
        {kNone, "F2", 900},
        {kShift, "F", 584},
        {kNone, "Browser Back", 540},
        {kShift, "Page Down", 545},
        {kCtrl, "Space", 587},
        {kAlt, "Enter", 499},
        {kNone, "Enter", 498},
        {kNone, "Num '*'", 613},
        {kCtrl, "Num '*'", 622},
        {kAlt, "'[{'", 640},
        {kNone, "']}'", 634},
        {kNone, "'`~'", 673},
        {kNone, "Backspace", 601},
        {kShift, "Right Arrow", 684},
        {kNone, "0", 671},
        {kNone, "Num '-'", 661},
        {kCtrl, "F11", 651},
    };
    for (const DefaultCase& c : cases) {
        EXPECT_EQ(table.commandFor(code(c.key), c.modifiers), c.command) << c.key;
    }
    EXPECT_FALSE(table.commandFor(code("Z"), kNone).has_value());
    EXPECT_FALSE(table.commandFor(code("C"), kCtrl | kShift).has_value());
}

TEST(DefaultShortcuts, FilledInOnlyWithoutAUsableTable) {
    Settings settings;
    EXPECT_TRUE(ensureShortcuts(settings));
    EXPECT_EQ(settings.shortcuts.size(), 90u);

    settings.shortcuts = {Shortcut{0x0B, 0, 0x43, 530}};
    EXPECT_FALSE(ensureShortcuts(settings));
    EXPECT_EQ(settings.shortcuts.size(), 1u);

    settings.shortcuts.assign(1001, Shortcut{0x03, 0, 0x43, 530});
    EXPECT_TRUE(ensureShortcuts(settings));
    EXPECT_EQ(settings.shortcuts.size(), 90u);
}

// ---------------------------------------------------------------------------------------------
// Key schemes.

TEST(KeySchemes, NoTwoEntriesShareAKeyInEitherScheme) {
    for (const KeyScheme scheme : {KeyScheme::Standard, KeyScheme::Desktop}) {
        const std::vector<Shortcut> table = schemeShortcuts(scheme);
        for (std::size_t i = 0; i < table.size(); ++i) {
            EXPECT_TRUE(findCommand(table[i].command) != nullptr ||
                        table[i].command == cmd::kOpenWithFirst)
                << table[i].command;
            for (std::size_t j = i + 1; j < table.size(); ++j) {
                EXPECT_FALSE(table[i].key == table[j].key &&
                             (table[i].flags & kShortcutModifiers) ==
                                 (table[j].flags & kShortcutModifiers))
                    << static_cast<int>(scheme) << ": " << ShortcutModifierText(table[i]) << "+"
                    << ShortcutKeyText(table[i]) << " for " << table[i].command << " and "
                    << table[j].command;
            }
        }
    }
}

TEST(KeySchemes, DesktopKeysTakeOverAndTheRestStays) {
    Settings settings;
    settings.keyScheme = KeyScheme::Desktop;
    ensureShortcuts(settings);
    const AcceleratorTable table = BuildAcceleratorTable(settings);
    const DefaultCase cases[] = {
        {kCtrl, "O", cmd::kOpenFile},
        {kCtrl, "Q", cmd::kExit},
        {kCtrl, "W", cmd::kViewerBrowser},
        {kCtrl, "'+'", cmd::kZoomIn},
        {kCtrl, "'-'", cmd::kZoomOut},
        {kCtrl, "0", cmd::kFitAll},
        {kCtrl, "1", cmd::kFit1To1},
        {kNone, "F11", cmd::kFullScreen},
        {kNone, "Left Arrow", cmd::kPreviousFile},
        {kNone, "Right Arrow", cmd::kNextFile},
        {kNone, "Space", cmd::kNextFile},
        {kNone, "Backspace", cmd::kPreviousFile},
        {kCtrl, "','", cmd::kOptions},
        {kNone, "F2", cmd::kRenameFile},
        {kNone, "Delete", cmd::kDeleteFiles},
        // Untouched standard keys.
        {kNone, "Page Down", cmd::kNextFile},
        {kCtrl, "C", cmd::kCopyImage},
        {kNone, "Num '+'", cmd::kZoomIn},
    };
    for (const DefaultCase& c : cases)
        EXPECT_EQ(table.commandFor(code(c.key), c.modifiers), c.command) << c.key;
    // Ctrl+plus is Ctrl+= on most layouts; Qt reports either key.
    EXPECT_EQ(table.commandForQtKey(0x3d, kQtControlModifier), cmd::kZoomIn);
    EXPECT_EQ(table.firstFor(cmd::kOptions)->key, code("','"));
}

TEST(KeySchemes, UserEditsSurviveASwitchBothWays) {
    std::vector<Shortcut> table = schemeShortcuts(KeyScheme::Standard);
    ShortcutEditor editor(table);
    // Refresh moves from F5 to Ctrl+R; Ctrl+P (print) is removed; Ctrl+O is given to Find
    // Image, over the standard Options key and the desktop Open key.
    const auto at = [&](std::uint8_t mods, const char* key) {
        const auto it = std::find_if(table.begin(), table.end(), [&](const Shortcut& e) {
            return e.key == code(key) && (e.flags & kShortcutModifiers) == mods;
        });
        return static_cast<std::size_t>(it - table.begin());
    };
    Shortcut refresh = table[at(kNone, "F5")];
    ASSERT_EQ(editor.edit(refresh, code("R"), kCtrl, cmd::kRefresh, at(kNone, "F5")),
              ShortcutEditor::EditResult::Changed);
    editor.replace(at(kNone, "F5"), refresh);
    Shortcut open = table[at(kCtrl, "O")];
    open.command = cmd::kFindImage;
    editor.replace(at(kCtrl, "O"), open);
    ASSERT_TRUE(editor.remove(at(kCtrl, "P")));

    // Out to the desktop scheme and back: the edits hold, the scheme's own keys follow it.
    for (const auto& [from, to] : {std::pair{KeyScheme::Standard, KeyScheme::Desktop},
                                   std::pair{KeyScheme::Desktop, KeyScheme::Standard}}) {
        editor.switchScheme(from, to);
        const AcceleratorTable switched(editor.entries());
        const bool desktop = to == KeyScheme::Desktop;
        EXPECT_EQ(switched.commandFor(code("R"), kCtrl), cmd::kRefresh);
        EXPECT_FALSE(switched.commandFor(code("F5"), kNone).has_value());
        EXPECT_FALSE(switched.commandFor(code("P"), kCtrl).has_value());
        EXPECT_EQ(switched.commandFor(code("O"), kCtrl), cmd::kFindImage);
        EXPECT_EQ(switched.commandFor(code("Q"), kCtrl), desktop ? cmd::kExit : cmd::kAcquire);
        EXPECT_EQ(switched.commandFor(code("Right Arrow"), kNone).has_value(), desktop);
    }
    EXPECT_EQ(editor.entries().size(), table.size() - 1);

    editor.setDefaults(KeyScheme::Desktop);
    EXPECT_EQ(editor.entries(), schemeShortcuts(KeyScheme::Desktop));
}

TEST(ShortcutEntry, SixBytesAsTheSettingsFileHoldsThem) {
    const Shortcut e{0x0B, 0x7F, 0x0043, 57634};
    const std::array<std::uint8_t, 6> bytes = {0x0B, 0x7F, 0x43, 0x00, 0x22, 0xE1};
    EXPECT_EQ(shortcutBytes(e), bytes);
    EXPECT_EQ(shortcutFromBytes(bytes), e);

    // The settings file writes the same bytes at its very end (shortcuts come late).
    Settings settings;
    settings.shortcuts = {e};
    const auto file = writeSettingsFile(settings);
    const auto at = std::search(file.begin(), file.end(), bytes.begin(), bytes.end());
    EXPECT_NE(at, file.end());
    Settings reread;
    ASSERT_EQ(readSettingsFile(file, reread), SettingsLoad::Complete);
    EXPECT_EQ(reread.shortcuts, settings.shortcuts);
}

// ---------------------------------------------------------------------------------------------
// Texts of the "Modifier" and "Key" columns.

TEST(ShortcutTexts, ModifierOrderAndKeyNames) {
    EXPECT_EQ(ShortcutModifierText(Shortcut{0x01, 0, 0x41, 1}), "");
    EXPECT_EQ(ShortcutModifierText(Shortcut{0x01 | kShift, 0, 0x41, 1}), "Shift");
    EXPECT_EQ(ShortcutModifierText(Shortcut{0x01 | kShift | kAlt, 0, 0x41, 1}), "Alt+Shift");
    EXPECT_EQ(ShortcutModifierText(Shortcut{0x01 | kShift | kAlt | kCtrl, 0, 0x41, 1}),
              "Ctrl+Alt+Shift");
    EXPECT_EQ(ShortcutKeyText(Shortcut{0x01, 0, 0x22, 1}), "Page Down");
    EXPECT_EQ(ShortcutKeyText(Shortcut{0x00, 0, 0x22, 1}), "");  // not a virtual key
    EXPECT_EQ(ShortcutKeyText(Shortcut{0x01, 0, 0x07, 1}), "");  // not in the list
}

// ---------------------------------------------------------------------------------------------
// The accelerator table.

TEST(AcceleratorTable, PagingKeysScrollTheImageWhenChosen) {
    Settings settings;
    ensureShortcuts(settings);
    settings.controlOptions[0] = 1;
    const AcceleratorTable scrolling = BuildAcceleratorTable(settings);
    EXPECT_EQ(scrolling.entries().size(), 86u);  // Page Up, Page Down, Home, End
    for (const char* key : {"Page Up", "Page Down", "Home", "End"}) {
        EXPECT_FALSE(scrolling.commandFor(code(key), kNone).has_value()) << key;
    }
    EXPECT_EQ(scrolling.commandFor(code("Page Up"), kShift), cmd::kPreviousSelectedFile);
    EXPECT_EQ(scrolling.commandFor(code("Page Up"), kCtrl), cmd::kPreviousFolder);
    EXPECT_EQ(scrolling.commandFor(code("Home"), kAlt), cmd::kScrollReset);

    settings.controlOptions[0] = 0;
    const AcceleratorTable switching = BuildAcceleratorTable(settings);
    EXPECT_EQ(switching.commandFor(code("Page Up"), kNone), cmd::kPreviousFile);
    EXPECT_EQ(switching.commandFor(code("Home"), kNone), cmd::kFirstFile);
}

TEST(AcceleratorTable, FirstMatchingEntryWins) {
    const AcceleratorTable table(
        {Shortcut{0x03, 0, 0x41, 10}, Shortcut{0x03, 0, 0x41, 20}, Shortcut{0x00, 0, 0x42, 30}});
    EXPECT_EQ(table.commandFor(0x41, kNone), 10);
    EXPECT_FALSE(table.commandFor(0x42, kNone).has_value());  // character entries never fire
    EXPECT_EQ(table.firstFor(20), &table.entries()[1]);
    EXPECT_EQ(table.firstFor(30), nullptr);
}

TEST(AcceleratorTable, QtKeyPresses) {
    Settings settings;
    ensureShortcuts(settings);
    const AcceleratorTable table = BuildAcceleratorTable(settings);
    EXPECT_EQ(table.commandForQtKey(0x43 /* C */, kQtControlModifier), cmd::kCopyImage);
    EXPECT_EQ(table.commandForQtKey(0x01000004 /* Return */, kQtAltModifier), cmd::kFullScreen);
    EXPECT_EQ(table.commandForQtKey(0x01000005 /* Enter */, kQtKeypadModifier),
              cmd::kViewerBrowser);
    EXPECT_EQ(table.commandForQtKey(0x2a /* Asterisk */, kQtKeypadModifier), cmd::kFitAll);
    EXPECT_EQ(table.commandForQtKey(0x2b /* Plus */, kQtKeypadModifier | kQtControlModifier),
              cmd::kGammaIncrease);
    EXPECT_EQ(table.commandForQtKey(0x5b /* BracketLeft */, kQtAltModifier),
              cmd::kFlipHorizontally);
    EXPECT_EQ(table.commandForQtKey(0x01000061 /* Back */, 0), cmd::kPreviousFile);
    EXPECT_EQ(table.commandForQtKey(0x01000039 /* F10 */, 0), cmd::kOpenWithFirst);
    // Meta is not a shortcut modifier; a key without a code runs nothing.
    EXPECT_EQ(table.commandForQtKey(0x46 /* F */, kQtShiftModifier | kQtMetaModifier),
              cmd::kFindNextImage);
    EXPECT_FALSE(table.commandForQtKey(0x01000048 /* F25 */, 0).has_value());
}

TEST(QtKeyCombination, ForMenusAndKeySequences) {
    EXPECT_EQ(qtKeyCombination(Shortcut{0x0B, 0, 0x43, 1}), 0x43 | kQtControlModifier);
    EXPECT_EQ(qtKeyCombination(Shortcut{0x03 | kAlt | kShift, 0, 0x0D, 1}),
              0x01000004 | kQtAltModifier | kQtShiftModifier);
    EXPECT_EQ(qtKeyCombination(Shortcut{0x03, 0, 0x6B, 1}), 0x2b | kQtKeypadModifier);
    EXPECT_EQ(qtKeyCombination(Shortcut{0x03, 0, 0xF6, 1}), 0);  // Attn
    EXPECT_EQ(qtKeyCombination(Shortcut{0x02, 0, 0x43, 1}), 0);  // not a virtual key
}

// ---------------------------------------------------------------------------------------------
// The "Controls" page.

TEST(CommandList, NamesFromTheMenuChain) {
    const auto list = buildCommandList();
    std::set<CommandId> ids;
    for (const CommandName& c : list) EXPECT_TRUE(ids.insert(c.id).second) << c.name;
    EXPECT_EQ(list.size(), commandTable().size());
    const auto nameOf = [&](CommandId id) {
        const auto it = std::find_if(list.begin(), list.end(),
                                     [id](const CommandName& c) { return c.id == id; });
        return it == list.end() ? std::string() : it->name;
    };
    EXPECT_EQ(nameOf(571), "File > Set as Desktop Wallpaper > Centered");
    EXPECT_EQ(nameOf(905), "File > Copy/Move File(s) to Folder");
    EXPECT_EQ(nameOf(680), "View > Browser Only (Esc to exit)");
    EXPECT_EQ(nameOf(630), "View > Rotate/Flip > Rotate to Position > 0 Deg.");
    EXPECT_EQ(nameOf(2000), "Favorites > Add Folder");
    EXPECT_EQ(nameOf(2200), "");
    EXPECT_EQ(list.front().name, "File > Open");
}

TEST(ShortcutEditor, RowsLeaveOutCommandsOffTheMenuButKeepThem) {
    ShortcutEditor editor(
        std::vector<Shortcut>(defaultShortcuts().begin(), defaultShortcuts().end()));
    const auto rows = editor.rows();
    EXPECT_EQ(rows.size(), 89u);  // all but F10 for the first Open-with application
    EXPECT_TRUE(std::is_sorted(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
        return std::lexicographical_compare(
            a.command.begin(), a.command.end(), b.command.begin(), b.command.end(),
            [](char x, char y) { return std::tolower(x) < std::tolower(y); });
    }));
    const auto copy = std::find_if(rows.begin(), rows.end(), [](const auto& r) {
        return r.command == "File > Copy Image to Clipboard" && r.key == "C";
    });
    ASSERT_NE(copy, rows.end());
    EXPECT_EQ(copy->modifier, "Ctrl");
    Settings settings;
    editor.apply(settings);
    EXPECT_EQ(settings.shortcuts.size(), 90u);
    EXPECT_EQ(settings.shortcuts.front().command, 2200);
}

TEST(ShortcutEditor, AddWithoutChangingTheKeyIsADuplicate) {
    ShortcutEditor editor(
        std::vector<Shortcut>(defaultShortcuts().begin(), defaultShortcuts().end()));
    Shortcut fresh = editor.newEntry();
    EXPECT_EQ(fresh.key, 0x79);  // the first entry's key, F10
    EXPECT_EQ(fresh.command, cmd::kOpenFile);
    EXPECT_EQ(editor.edit(fresh, fresh.key, fresh.flags & kShortcutModifiers, fresh.command,
                          std::nullopt),
              ShortcutEditor::EditResult::Duplicate);
    EXPECT_EQ(editor.edit(fresh, code("F12"), kNone, cmd::kExit, std::nullopt),
              ShortcutEditor::EditResult::Changed);
    EXPECT_TRUE(editor.add(fresh));
    EXPECT_EQ(editor.entries().back().key, code("F12"));
    EXPECT_EQ(editor.entries().back().command, cmd::kExit);
}

TEST(ShortcutEditor, RefusesAKeyAnotherCommandHoldsButNotWithOtherModifiers) {
    ShortcutEditor editor(
        std::vector<Shortcut>(defaultShortcuts().begin(), defaultShortcuts().end()));
    const std::size_t exitIndex = 3;  // F3, Copy/Move
    Shortcut entry = editor.entries()[exitIndex];
    EXPECT_EQ(editor.edit(entry, code("C"), kCtrl, cmd::kExit, exitIndex),
              ShortcutEditor::EditResult::Duplicate);
    EXPECT_EQ(entry, editor.entries()[exitIndex]);  // untouched
    EXPECT_EQ(editor.edit(entry, code("C"), kCtrl | kShift, cmd::kExit, exitIndex),
              ShortcutEditor::EditResult::Changed);
    EXPECT_EQ(entry.flags, kShortcutVirtualKey | kShortcutNoHighlight | kCtrl | kShift);
    editor.replace(exitIndex, entry);

    // An entry may keep its own key.
    Shortcut same = editor.entries()[exitIndex];
    EXPECT_EQ(editor.edit(same, same.key, kCtrl | kShift, cmd::kRun, exitIndex),
              ShortcutEditor::EditResult::Changed);
    // No key chosen, or no command chosen: nothing changes.
    Shortcut untouched = same;
    EXPECT_EQ(editor.edit(untouched, std::nullopt, kNone, cmd::kRun, exitIndex),
              ShortcutEditor::EditResult::Unchanged);
    EXPECT_EQ(editor.edit(untouched, code("F12"), kNone, std::nullopt, exitIndex),
              ShortcutEditor::EditResult::Unchanged);
    EXPECT_EQ(untouched, same);
}

TEST(ShortcutEditor, RemoveStopsAtOneAndDefaultsComeBack) {
    ShortcutEditor editor({Shortcut{0x03, 0, 0x41, 530}, Shortcut{0x03, 0, 0x42, 530}});
    EXPECT_FALSE(editor.remove(2));
    EXPECT_TRUE(editor.remove(0));
    EXPECT_FALSE(editor.remove(0));
    EXPECT_EQ(editor.entries().size(), 1u);
    editor.setDefaults();
    EXPECT_EQ(editor.entries().size(), 90u);
}

TEST(ShortcutEditor, StopsAddingAtTheSettingsFileLimit) {
    ShortcutEditor editor(std::vector<Shortcut>(999, Shortcut{0x03, 0, 0x41, 530}));
    EXPECT_TRUE(editor.add(Shortcut{0x03, 0, 0x42, 530}));
    EXPECT_FALSE(editor.add(Shortcut{0x03, 0, 0x43, 530}));
    EXPECT_EQ(editor.entries().size(), 1000u);
}

}  // namespace
}  // namespace kalder::app
