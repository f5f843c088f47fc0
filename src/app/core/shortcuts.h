#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/core/command_ids.h"
#include "app/core/settings.h"

namespace kalder::app {

// Shortcut::flags bits.
inline constexpr std::uint8_t kShortcutVirtualKey = 0x01;
inline constexpr std::uint8_t kShortcutNoHighlight = 0x02;
inline constexpr std::uint8_t kShortcutShift = 0x04;
inline constexpr std::uint8_t kShortcutCtrl = 0x08;
inline constexpr std::uint8_t kShortcutAlt = 0x10;
inline constexpr std::uint8_t kShortcutModifiers = kShortcutShift | kShortcutCtrl | kShortcutAlt;

inline constexpr char kDuplicateShortcutMessage[] =
    "This shortcut is already defined for some other command.";
inline constexpr char kSetDefaultShortcutsQuestion[] =
    "All current shortcuts will be discarded. Do you want to load default shortcuts?";

// One entry as the settings file holds it: flags, pad, key (little-endian), command
// (little-endian).
std::array<std::uint8_t, 6> shortcutBytes(const Shortcut& entry);
Shortcut shortcutFromBytes(std::span<const std::uint8_t, 6> bytes);

// The built-in table (90 entries).
std::span<const Shortcut> defaultShortcuts();
// A scheme's built-in table: the one above, or for Desktop the same with the common desktop keys
// taking over the entries they would clash with.
std::vector<Shortcut> schemeShortcuts(KeyScheme scheme);
// `current` was built on scheme `from`: the same user edits (entries added, entries removed)
// applied to the table of scheme `to`. An added entry wins over a built-in one on its key.
std::vector<Shortcut> switchKeyScheme(const std::vector<Shortcut>& current, KeyScheme from,
                                      KeyScheme to);
// With no usable stored table, the table of settings.keyScheme is copied in. True when it was.
bool ensureShortcuts(Settings& settings);

// The "Modifier" column: "Ctrl", "Alt", "Shift" joined by "+", in that order.
std::string ShortcutModifierText(const Shortcut& entry);
// The "Key" column: the key's name; empty without the virtual-key bit or for an unlisted code.
std::string ShortcutKeyText(const Shortcut& entry);

// What the window applies to key presses.
class AcceleratorTable {
public:
    AcceleratorTable() = default;
    explicit AcceleratorTable(std::vector<Shortcut> entries) : m_entries(std::move(entries)) {}

    // The command of the first entry with this virtual key and exactly these modifier bits
    // (kShortcutShift | kShortcutCtrl | kShortcutAlt).
    std::optional<CommandId> commandFor(std::uint16_t key, std::uint8_t modifiers) const;
    // The same for a Qt key press: `qtKey` is QKeyEvent::key(), `qtModifiers` its modifiers.
    std::optional<CommandId> commandForQtKey(int qtKey, int qtModifiers) const;
    // The first entry for `command`, for showing its keys beside a menu item.
    const Shortcut* firstFor(CommandId command) const;
    const std::vector<Shortcut>& entries() const { return m_entries; }

private:
    std::vector<Shortcut> m_entries;
};

// The stored table, less the plain paging keys (Page Up, Page Down, End, Home) when they are set
// to scroll the image (controlOptions[0] == 1), so that they reach the viewing area.
AcceleratorTable BuildAcceleratorTable(const Settings& settings);

// A Qt key press as an entry's key and modifier bits (virtual-key bit set); none for keys
// without a code. The command is left 0.
std::optional<Shortcut> shortcutFromQtKey(int qtKey, int qtModifiers);
// The entry as a Qt key combination (key | modifiers) for QKeySequence; 0 when Qt has no key
// for it.
int qtKeyCombination(const Shortcut& entry);

// ---------------------------------------------------------------------------------------------
// The "Controls" page of the options dialog.

struct CommandName {
    std::string name;  // "File > Set as Desktop Wallpaper > Centered"
    CommandId id;
};
// Every command item of the main menu, in menu order.
std::vector<CommandName> buildCommandList();

// The working copy of the shortcut table while the options dialog is open.
class ShortcutEditor {
public:
    explicit ShortcutEditor(std::vector<Shortcut> entries);

    const std::vector<Shortcut>& entries() const { return m_entries; }
    const std::vector<CommandName>& commands() const { return m_commands; }

    // "Shortcuts:" rows: every entry whose command is on the command list, sorted by command
    // name. Other entries (the first Open-with application's F10) stay in the table unseen.
    struct Row {
        std::size_t entry;
        std::string command;
        std::string modifier;
        std::string key;
    };
    std::vector<Row> rows() const;

    // "&Add Shortcut...": a new entry with the first entry's flags and key and the first
    // command. It is not in the table until add() is called.
    Shortcut newEntry() const;

    // The "Edit Shortcut" OK button. `key` is the chosen key (none: nothing changes),
    // `modifiers` the check boxes, `command` the chosen command (none: nothing changes, but the
    // dialog still closes with OK). `self` is the entry being edited, none for a new one.
    // Duplicate when another entry has the same key with exactly the same modifiers: then
    // nothing changes and the dialog stays open.
    enum class EditResult { Unchanged, Changed, Duplicate };
    EditResult edit(Shortcut& entry, std::optional<std::uint16_t> key, std::uint8_t modifiers,
                    std::optional<CommandId> command, std::optional<std::size_t> self) const;

    // Appends a new entry; refused at 1000 entries, the most the settings file keeps.
    bool add(const Shortcut& entry);
    // Stores an edited entry back.
    void replace(std::size_t index, const Shortcut& entry);
    // "&Remove Shortcut": refused when it would empty the table.
    bool remove(std::size_t index);
    // "Set &Default Shortcuts" answered Yes: the table of the chosen scheme.
    void setDefaults(KeyScheme scheme = KeyScheme::Standard);
    // The scheme chosen on the page: the user's edits move over to the new table.
    void switchScheme(KeyScheme from, KeyScheme to) {
        m_entries = switchKeyScheme(m_entries, from, to);
    }

    // The options dialog's OK.
    void apply(Settings& settings) const { settings.shortcuts = m_entries; }

private:
    std::vector<Shortcut> m_entries;
    std::vector<CommandName> m_commands;
};

}  // namespace kalder::app
