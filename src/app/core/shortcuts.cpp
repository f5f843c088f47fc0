#include "app/core/shortcuts.h"

#include <algorithm>

#include "app/core/commands.h"
#include "app/core/key_names.h"
#include "app/core/translatable.h"
#include "base/strings.h"

namespace kalder::app {
namespace {

constexpr std::uint8_t kShift = kShortcutShift;
constexpr std::uint8_t kCtrl = kShortcutCtrl;
constexpr std::uint8_t kAlt = kShortcutAlt;

// Every built-in entry is a virtual key without menu highlighting.
constexpr Shortcut entry(std::uint8_t modifiers, std::uint16_t key, CommandId command) {
    return Shortcut{
        static_cast<std::uint8_t>(kShortcutVirtualKey | kShortcutNoHighlight | modifiers), 0, key,
        command};
}

constexpr std::array<Shortcut, 90> kDefaultShortcuts = {
    entry(0, 0x79, 2200),       // F10
    entry(kCtrl, 0x43, 57634),  // Ctrl+C
    entry(kCtrl, 0x2D, 57634),  // Ctrl+Insert
    entry(0, 0x72, 905),        // F3
    entry(kShift, 0x76, 904),   // Shift+F7
    entry(kAlt, 0x71, 902),     // Alt+F2
    entry(0, 0x71, 900),        // F2
    entry(kCtrl, 0x51, 581),    // Ctrl+Q
    entry(kCtrl, 0x44, 520),    // Ctrl+D
    entry(kCtrl, 0x4D, 585),    // Ctrl+M
    entry(kCtrl, 0x46, 583),    // Ctrl+F
    entry(kShift, 0x46, 584),   // Shift+F
    entry(kCtrl, 0x26, 502),    // Ctrl+Up Arrow
    entry(0, 0x24, 542),        // Home
    entry(kCtrl, 0x28, 503),    // Ctrl+Down Arrow
    entry(0, 0x23, 543),        // End
    entry(0, 0x33, 512),        // 3
    entry(0, 0x32, 511),        // 2
    entry(0, 0x31, 510),        // 1
    entry(kCtrl, 0x22, 547),    // Ctrl+Page Down
    entry(kCtrl, 0x27, 501),    // Ctrl+Right Arrow
    entry(0, 0xA7, 541),        // Browser Forward
    entry(0, 0x22, 541),        // Page Down
    entry(kShift, 0x22, 545),   // Shift+Page Down
    entry(kCtrl, 0x21, 546),    // Ctrl+Page Up
    entry(kCtrl, 0x25, 500),    // Ctrl+Left Arrow
    entry(0, 0xA6, 540),        // Browser Back
    entry(0, 0x21, 540),        // Page Up
    entry(kShift, 0x21, 544),   // Shift+Page Up
    entry(kCtrl, 0x50, 57607),  // Ctrl+P
    entry(0, 0x74, 550),        // F5
    entry(0, 0x50, 504),        // P
    entry(kCtrl, 0x41, 551),    // Ctrl+A
    entry(kCtrl, 0x20, 587),    // Ctrl+Space
    entry(kShift, 0x45, 562),   // Shift+E
    entry(kShift, 0x4E, 561),   // Shift+N
    entry(kShift, 0x53, 563),   // Shift+S
    entry(kShift, 0x44, 564),   // Shift+D
    entry(kCtrl, 0x31, 571),    // Ctrl+1
    entry(kCtrl, 0x33, 573),    // Ctrl+3
    entry(kCtrl, 0x32, 572),    // Ctrl+2
    entry(kCtrl, 0x70, 800),    // Ctrl+F1
    entry(kShift, 0x70, 801),   // Shift+F1
    entry(0, 0x7A, 499),        // F11
    entry(kAlt, 0x0D, 499),     // Alt+Enter
    entry(0, 0x0D, 498),        // Enter
    entry(0, 0x20, 498),        // Space
    entry(kCtrl, 0x77, 700),    // Ctrl+F8
    entry(kCtrl, 0x53, 703),    // Ctrl+S
    entry(kCtrl, 0x4C, 708),    // Ctrl+L
    entry(kCtrl, 0x4F, 702),    // Ctrl+O
    entry(0, 0x77, 701),        // F8
    entry(kCtrl, 0x42, 680),    // Ctrl+B
    entry(kCtrl, 0x7A, 651),    // Ctrl+F11
    entry(kAlt, 0x41, 614),     // Alt+A
    entry(0, 0x6A, 613),        // Num '*'
    entry(kAlt, 0x57, 611),     // Alt+W
    entry(0, 0x6F, 610),        // Num '/'
    entry(kAlt, 0x48, 612),     // Alt+H
    entry(kAlt, 0x31, 615),     // Alt+1
    entry(kAlt, 0x32, 617),     // Alt+2
    entry(kAlt, 0x33, 616),     // Alt+3
    entry(kAlt, 0xDB, 640),     // Alt+'[{'
    entry(kAlt, 0xDD, 641),     // Alt+']}'
    entry(kCtrl, 0x6D, 621),    // Ctrl+Num '-'
    entry(kCtrl, 0x6B, 620),    // Ctrl+Num '+'
    entry(kCtrl, 0x6A, 622),    // Ctrl+Num '*'
    entry(kCtrl, 0x73, 675),    // Ctrl+F4
    entry(kCtrl, 0x74, 676),    // Ctrl+F5
    entry(0, 0x73, 650),        // F4
    entry(kCtrl, 0x72, 678),    // Ctrl+F3
    entry(0, 0x09, 679),        // Tab
    entry(0, 0x08, 601),        // Backspace
    entry(kCtrl, 0x4E, 652),    // Ctrl+N
    entry(kAlt, 0x25, 681),     // Alt+Left Arrow
    entry(kAlt, 0x24, 685),     // Alt+Home
    entry(kAlt, 0x27, 682),     // Alt+Right Arrow
    entry(kShift, 0x25, 683),   // Shift+Left Arrow
    entry(kShift, 0x27, 684),   // Shift+Right Arrow
    entry(0, 0x30, 671),        // 0
    entry(0, 0xDB, 635),        // '[{'
    entry(0, 0xDD, 634),        // ']}'
    entry(0, 0x76, 672),        // F7
    entry(0, 0x75, 670),        // F6
    entry(0, 0x78, 673),        // F9
    entry(0, 0xC0, 673),        // '`~'
    entry(kCtrl, 0x54, 677),    // Ctrl+T
    entry(0, 0x2D, 662),        // Insert
    entry(0, 0x6B, 660),        // Num '+'
    entry(0, 0x6D, 661),        // Num '-'
};

// The desktop scheme's keys; each replaces whatever the standard table has on it. Delete and
// F2 are the standard ones too, listed so that the scheme reads as a whole.
constexpr std::array<Shortcut, 15> kDesktopKeys = {
    entry(kCtrl, 0x4F, cmd::kOpenFile),       // Ctrl+O
    entry(kCtrl, 0x51, cmd::kExit),           // Ctrl+Q
    entry(kCtrl, 0x57, cmd::kViewerBrowser),  // Ctrl+W: leaves the viewer for the browser
    entry(kCtrl, 0xBB, cmd::kZoomIn),         // Ctrl+'+'
    entry(kCtrl, 0xBD, cmd::kZoomOut),        // Ctrl+'-'
    entry(kCtrl, 0x30, cmd::kFitAll),         // Ctrl+0
    entry(kCtrl, 0x31, cmd::kFit1To1),        // Ctrl+1
    entry(0, 0x7A, cmd::kFullScreen),         // F11
    entry(0, 0x25, cmd::kPreviousFile),       // Left Arrow (the browser keeps its own)
    entry(0, 0x27, cmd::kNextFile),           // Right Arrow
    entry(0, 0x20, cmd::kNextFile),           // Space
    entry(0, 0x08, cmd::kPreviousFile),       // Backspace
    entry(kCtrl, 0xBC, cmd::kOptions),        // Ctrl+','
    entry(0, 0x71, cmd::kRenameFile),         // F2
    entry(0, 0x2E, cmd::kDeleteFiles),        // Delete (to the Trash)
};

bool sameKey(const Shortcut& a, const Shortcut& b) {
    return a.key == b.key && (a.flags & kShortcutModifiers) == (b.flags & kShortcutModifiers);
}

// Page Up, Page Down, End and Home.
constexpr std::uint16_t kFirstPagingKey = 0x21;
constexpr std::uint16_t kLastPagingKey = 0x24;

std::uint8_t modifiersFromQt(int qtModifiers) {
    std::uint8_t bits = 0;
    if (qtModifiers & kQtShiftModifier) bits |= kShortcutShift;
    if (qtModifiers & kQtControlModifier) bits |= kShortcutCtrl;
    if (qtModifiers & kQtAltModifier) bits |= kShortcutAlt;
    return bits;
}

// A menu text as the command list shows it: its first "&" and everything from its last tab on
// removed, and no "...".
std::string commandNamePart(std::string_view text) {
    const std::size_t tab = text.rfind('\t');
    if (tab != std::string_view::npos) text = text.substr(0, tab);
    std::string part(text);
    if (const std::size_t amp = part.find('&'); amp != std::string::npos) part.erase(amp, 1);
    for (std::size_t dots; (dots = part.find("...")) != std::string::npos;) part.erase(dots, 3);
    return part;
}

void collectCommandNames(const MenuItem& menu, const std::string& prefix,
                         std::vector<CommandName>& out) {
    for (const MenuItem& item : menu.items) {
        if (item.kind == MenuItemKind::Submenu) {
            collectCommandNames(
                item, prefix + commandNamePart(translatedText(kCommandsContext, item.text)) + " > ",
                out);
        } else if (item.kind == MenuItemKind::Command && item.id != 0) {
            out.push_back(
                {prefix + commandNamePart(translatedText(kCommandsContext, item.text)), item.id});
        }
    }
}

}  // namespace

std::array<std::uint8_t, 6> shortcutBytes(const Shortcut& e) {
    return {e.flags,
            e.pad,
            static_cast<std::uint8_t>(e.key),
            static_cast<std::uint8_t>(e.key >> 8),
            static_cast<std::uint8_t>(e.command),
            static_cast<std::uint8_t>(e.command >> 8)};
}

Shortcut shortcutFromBytes(std::span<const std::uint8_t, 6> b) {
    return Shortcut{b[0], b[1], static_cast<std::uint16_t>(b[2] | b[3] << 8),
                    static_cast<std::uint16_t>(b[4] | b[5] << 8)};
}

std::span<const Shortcut> defaultShortcuts() { return kDefaultShortcuts; }

std::vector<Shortcut> schemeShortcuts(KeyScheme scheme) {
    if (scheme != KeyScheme::Desktop) return {kDefaultShortcuts.begin(), kDefaultShortcuts.end()};
    // Its own keys first, so that the menus show them beside their commands.
    std::vector<Shortcut> table(kDesktopKeys.begin(), kDesktopKeys.end());
    for (const Shortcut& e : kDefaultShortcuts) {
        const bool taken = std::any_of(kDesktopKeys.begin(), kDesktopKeys.end(),
                                       [&e](const Shortcut& d) { return sameKey(d, e); });
        if (!taken) table.push_back(e);
    }
    return table;
}

std::vector<Shortcut> switchKeyScheme(const std::vector<Shortcut>& current, KeyScheme from,
                                      KeyScheme to) {
    const std::vector<Shortcut> oldBase = schemeShortcuts(from);
    const auto contains = [](const std::vector<Shortcut>& table, const Shortcut& e) {
        return std::find(table.begin(), table.end(), e) != table.end();
    };
    std::vector<Shortcut> added;
    for (const Shortcut& e : current)
        if (!contains(oldBase, e)) added.push_back(e);
    std::vector<Shortcut> table = added;
    for (const Shortcut& e : schemeShortcuts(to)) {
        const bool removedByUser = contains(oldBase, e) && !contains(current, e);
        const bool overridden = std::any_of(added.begin(), added.end(),
                                            [&e](const Shortcut& a) { return sameKey(a, e); });
        if (!removedByUser && !overridden) table.push_back(e);
    }
    if (table.size() > static_cast<std::size_t>(kMaxShortcuts)) table.resize(kMaxShortcuts);
    return table;
}

bool ensureShortcuts(Settings& settings) {
    const std::size_t count = settings.shortcuts.size();
    if (count >= 1 && count <= static_cast<std::size_t>(kMaxShortcuts)) return false;
    settings.shortcuts = schemeShortcuts(settings.keyScheme);
    return true;
}

std::string ShortcutModifierText(const Shortcut& e) {
    std::string text;
    const auto append = [&text](const char* name) {
        if (!text.empty()) text += '+';
        text += translatedText(kKeyNamesContext, name);
    };
    if (e.flags & kShortcutCtrl) append(QT_TRANSLATE_NOOP("KeyNames", "Ctrl"));
    if (e.flags & kShortcutAlt) append(QT_TRANSLATE_NOOP("KeyNames", "Alt"));
    if (e.flags & kShortcutShift) append(QT_TRANSLATE_NOOP("KeyNames", "Shift"));
    return text;
}

std::string ShortcutKeyText(const Shortcut& e) {
    if (!(e.flags & kShortcutVirtualKey)) return {};
    return translatedText(kKeyNamesContext, keyName(e.key));
}

std::optional<CommandId> AcceleratorTable::commandFor(std::uint16_t key,
                                                      std::uint8_t modifiers) const {
    modifiers &= kShortcutModifiers;
    for (const Shortcut& e : m_entries) {
        // Entries without the virtual-key bit would name characters; nothing makes them, and a
        // key press never matches one.
        if (!(e.flags & kShortcutVirtualKey)) continue;
        if (e.key == key && (e.flags & kShortcutModifiers) == modifiers) return e.command;
    }
    return std::nullopt;
}

std::optional<CommandId> AcceleratorTable::commandForQtKey(int qtKey, int qtModifiers) const {
    const auto pressed = shortcutFromQtKey(qtKey, qtModifiers);
    if (!pressed) return std::nullopt;
    return commandFor(pressed->key, pressed->flags);
}

const Shortcut* AcceleratorTable::firstFor(CommandId command) const {
    for (const Shortcut& e : m_entries) {
        if (e.command == command && (e.flags & kShortcutVirtualKey)) return &e;
    }
    return nullptr;
}

AcceleratorTable BuildAcceleratorTable(const Settings& settings) {
    const bool pagingScrolls = settings.controlOptions[0] == 1;
    std::vector<Shortcut> entries;
    entries.reserve(settings.shortcuts.size());
    for (const Shortcut& e : settings.shortcuts) {
        const bool plainPagingKey = (e.flags & kShortcutVirtualKey) &&
                                    !(e.flags & kShortcutModifiers) && e.key >= kFirstPagingKey &&
                                    e.key <= kLastPagingKey;
        if (pagingScrolls && plainPagingKey) continue;
        entries.push_back(e);
    }
    return AcceleratorTable(std::move(entries));
}

std::optional<Shortcut> shortcutFromQtKey(int qtKey, int qtModifiers) {
    const auto code = virtualKeyFromQt(qtKey, (qtModifiers & kQtKeypadModifier) != 0);
    if (!code) return std::nullopt;
    return Shortcut{static_cast<std::uint8_t>(kShortcutVirtualKey | modifiersFromQt(qtModifiers)),
                    0, *code, 0};
}

int qtKeyCombination(const Shortcut& e) {
    if (!(e.flags & kShortcutVirtualKey)) return 0;
    const auto key = qtKeyFromVirtualKey(e.key);
    if (!key) return 0;
    int combination = key->key;
    if (key->keypad) combination |= kQtKeypadModifier;
    if (e.flags & kShortcutShift) combination |= kQtShiftModifier;
    if (e.flags & kShortcutCtrl) combination |= kQtControlModifier;
    if (e.flags & kShortcutAlt) combination |= kQtAltModifier;
    return combination;
}

std::vector<CommandName> buildCommandList() {
    std::vector<CommandName> names;
    collectCommandNames(mainMenu(), "", names);
    return names;
}

ShortcutEditor::ShortcutEditor(std::vector<Shortcut> entries)
    : m_entries(std::move(entries)), m_commands(buildCommandList()) {
    // The table is never empty while it is edited: the first entry seeds new ones.
    if (m_entries.empty()) m_entries.assign(kDefaultShortcuts.begin(), kDefaultShortcuts.end());
}

std::vector<ShortcutEditor::Row> ShortcutEditor::rows() const {
    std::vector<Row> rows;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        const Shortcut& e = m_entries[i];
        const auto command = std::find_if(m_commands.begin(), m_commands.end(),
                                          [&e](const CommandName& c) { return c.id == e.command; });
        if (command == m_commands.end()) continue;
        rows.push_back({i, command->name, ShortcutModifierText(e), ShortcutKeyText(e)});
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return base::lessIgnoringCase(a.command, b.command);
    });
    return rows;
}

Shortcut ShortcutEditor::newEntry() const {
    Shortcut e;
    e.flags = m_entries.front().flags;
    e.key = m_entries.front().key;
    e.command = m_commands.empty() ? 0 : m_commands.front().id;
    return e;
}

ShortcutEditor::EditResult ShortcutEditor::edit(Shortcut& entry, std::optional<std::uint16_t> key,
                                                std::uint8_t modifiers,
                                                std::optional<CommandId> command,
                                                std::optional<std::size_t> self) const {
    if (!key) return EditResult::Unchanged;
    modifiers &= kShortcutModifiers;
    for (std::size_t i = 0; i < m_entries.size(); ++i) {
        if (self && *self == i) continue;
        const Shortcut& other = m_entries[i];
        if (other.key == *key && (other.flags & kShortcutModifiers) == modifiers) {
            return EditResult::Duplicate;
        }
    }
    if (!command) return EditResult::Unchanged;
    entry.key = *key;
    entry.flags = static_cast<std::uint8_t>((entry.flags & ~kShortcutModifiers) | modifiers);
    entry.command = *command;
    return EditResult::Changed;
}

bool ShortcutEditor::add(const Shortcut& entry) {
    if (m_entries.size() >= static_cast<std::size_t>(kMaxShortcuts)) return false;
    m_entries.push_back(entry);
    return true;
}

void ShortcutEditor::replace(std::size_t index, const Shortcut& entry) {
    if (index < m_entries.size()) m_entries[index] = entry;
}

bool ShortcutEditor::remove(std::size_t index) {
    if (index >= m_entries.size() || m_entries.size() < 2) return false;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

void ShortcutEditor::setDefaults(KeyScheme scheme) { m_entries = schemeShortcuts(scheme); }

}  // namespace kalder::app
