#include "app/core/key_names.h"

#include <algorithm>
#include <array>

#include "app/core/translatable.h"

namespace kalder::app {
namespace {

// The "Key:" list in list order. Stored shortcuts hold the codes, so they must not change.
constexpr std::array<KeyName, 167> kKeyNames = {{
    {0x30, "0"},
    {0x31, "1"},
    {0x32, "2"},
    {0x33, "3"},
    {0x34, "4"},
    {0x35, "5"},
    {0x36, "6"},
    {0x37, "7"},
    {0x38, "8"},
    {0x39, "9"},
    {0x41, "A"},
    {0x42, "B"},
    {0x43, "C"},
    {0x44, "D"},
    {0x45, "E"},
    {0x46, "F"},
    {0x47, "G"},
    {0x48, "H"},
    {0x49, "I"},
    {0x4A, "J"},
    {0x4B, "K"},
    {0x4C, "L"},
    {0x4D, "M"},
    {0x4E, "N"},
    {0x4F, "O"},
    {0x50, "P"},
    {0x51, "Q"},
    {0x52, "R"},
    {0x53, "S"},
    {0x54, "T"},
    {0x55, "U"},
    {0x56, "V"},
    {0x57, "W"},
    {0x58, "X"},
    {0x59, "Y"},
    {0x5A, "Z"},
    {0x1B, QT_TRANSLATE_NOOP("KeyNames", "Esc")},
    {0x20, QT_TRANSLATE_NOOP("KeyNames", "Space")},
    {0x09, QT_TRANSLATE_NOOP("KeyNames", "Tab")},
    {0x0D, QT_TRANSLATE_NOOP("KeyNames", "Enter")},
    {0x08, QT_TRANSLATE_NOOP("KeyNames", "Backspace")},
    {0x21, QT_TRANSLATE_NOOP("KeyNames", "Page Up")},
    {0x22, QT_TRANSLATE_NOOP("KeyNames", "Page Down")},
    {0x24, QT_TRANSLATE_NOOP("KeyNames", "Home")},
    {0x23, QT_TRANSLATE_NOOP("KeyNames", "End")},
    {0x26, QT_TRANSLATE_NOOP("KeyNames", "Up Arrow")},
    {0x28, QT_TRANSLATE_NOOP("KeyNames", "Down Arrow")},
    {0x25, QT_TRANSLATE_NOOP("KeyNames", "Left Arrow")},
    {0x27, QT_TRANSLATE_NOOP("KeyNames", "Right Arrow")},
    {0x2D, QT_TRANSLATE_NOOP("KeyNames", "Insert")},
    {0x2E, QT_TRANSLATE_NOOP("KeyNames", "Delete")},
    {0x6B, QT_TRANSLATE_NOOP("KeyNames", "Num '+'")},
    {0x6D, QT_TRANSLATE_NOOP("KeyNames", "Num '-'")},
    {0x6A, QT_TRANSLATE_NOOP("KeyNames", "Num '*'")},
    {0x6F, QT_TRANSLATE_NOOP("KeyNames", "Num '/'")},
    {0x70, "F1"},
    {0x71, "F2"},
    {0x72, "F3"},
    {0x73, "F4"},
    {0x74, "F5"},
    {0x75, "F6"},
    {0x76, "F7"},
    {0x77, "F8"},
    {0x78, "F9"},
    {0x79, "F10"},
    {0x7A, "F11"},
    {0x7B, "F12"},
    {0x7C, "F13"},
    {0x7D, "F14"},
    {0x7E, "F15"},
    {0x7F, "F16"},
    {0x80, "F17"},
    {0x81, "F18"},
    {0x82, "F19"},
    {0x83, "F20"},
    {0x84, "F21"},
    {0x85, "F22"},
    {0x86, "F23"},
    {0x87, "F24"},
    {0xA6, QT_TRANSLATE_NOOP("KeyNames", "Browser Back")},
    {0xA7, QT_TRANSLATE_NOOP("KeyNames", "Browser Forward")},
    {0xA8, QT_TRANSLATE_NOOP("KeyNames", "Browser Refresh")},
    {0xA9, QT_TRANSLATE_NOOP("KeyNames", "Browser Stop")},
    {0xAA, QT_TRANSLATE_NOOP("KeyNames", "Browser Search")},
    {0xAB, QT_TRANSLATE_NOOP("KeyNames", "Browser Favorites")},
    {0xAC, QT_TRANSLATE_NOOP("KeyNames", "Browser Start and Home")},
    {0xAD, QT_TRANSLATE_NOOP("KeyNames", "Volume Mute")},
    {0xAE, QT_TRANSLATE_NOOP("KeyNames", "Volume Down")},
    {0xAF, QT_TRANSLATE_NOOP("KeyNames", "Volume Up")},
    {0xB0, QT_TRANSLATE_NOOP("KeyNames", "Next Track")},
    {0xB1, QT_TRANSLATE_NOOP("KeyNames", "Previous Track")},
    {0xB2, QT_TRANSLATE_NOOP("KeyNames", "Stop Media")},
    {0xB3, QT_TRANSLATE_NOOP("KeyNames", "Play/Pause Media")},
    {0xB4, QT_TRANSLATE_NOOP("KeyNames", "Start Mail")},
    {0xB5, QT_TRANSLATE_NOOP("KeyNames", "Select Media")},
    {0xB6, QT_TRANSLATE_NOOP("KeyNames", "Start Application 1")},
    {0xB7, QT_TRANSLATE_NOOP("KeyNames", "Start Application 2")},
    {0x11, QT_TRANSLATE_NOOP("KeyNames", "Ctrl")},
    {0xA2, QT_TRANSLATE_NOOP("KeyNames", "Left Ctrl")},
    {0xA3, QT_TRANSLATE_NOOP("KeyNames", "Right Ctrl")},
    {0x12, QT_TRANSLATE_NOOP("KeyNames", "Alt")},
    {0x10, QT_TRANSLATE_NOOP("KeyNames", "Shift")},
    {0xA0, QT_TRANSLATE_NOOP("KeyNames", "Left Shift")},
    {0xA1, QT_TRANSLATE_NOOP("KeyNames", "Right Shift")},
    {0x14, QT_TRANSLATE_NOOP("KeyNames", "Caps Lock")},
    {0x90, QT_TRANSLATE_NOOP("KeyNames", "Num Lock")},
    {0x91, QT_TRANSLATE_NOOP("KeyNames", "Scroll Lock")},
    {0x60, QT_TRANSLATE_NOOP("KeyNames", "Num 0")},
    {0x61, QT_TRANSLATE_NOOP("KeyNames", "Num 1")},
    {0x62, QT_TRANSLATE_NOOP("KeyNames", "Num 2")},
    {0x63, QT_TRANSLATE_NOOP("KeyNames", "Num 3")},
    {0x64, QT_TRANSLATE_NOOP("KeyNames", "Num 4")},
    {0x65, QT_TRANSLATE_NOOP("KeyNames", "Num 5")},
    {0x66, QT_TRANSLATE_NOOP("KeyNames", "Num 6")},
    {0x67, QT_TRANSLATE_NOOP("KeyNames", "Num 7")},
    {0x68, QT_TRANSLATE_NOOP("KeyNames", "Num 8")},
    {0x69, QT_TRANSLATE_NOOP("KeyNames", "Num 9")},
    {0xBB, "'+'"},
    {0xBC, "','"},
    {0xBD, "'-'"},
    {0xBE, "'.'"},
    {0xBA, "';:'"},
    {0xBF, "'/?'"},
    {0xC0, "'`~'"},
    {0xDB, "'[{'"},
    {0xDC, "'\\|'"},
    {0xDD, "']}'"},
    {0xDE, "''\"'"},
    {0x01, QT_TRANSLATE_NOOP("KeyNames", "Left mouse button")},
    {0x02, QT_TRANSLATE_NOOP("KeyNames", "Right mouse button")},
    {0x04, QT_TRANSLATE_NOOP("KeyNames", "Middle mouse button")},
    {0x05, QT_TRANSLATE_NOOP("KeyNames", "X1 mouse button")},
    {0x06, QT_TRANSLATE_NOOP("KeyNames", "X2 mouse button")},
    {0x5D, QT_TRANSLATE_NOOP("KeyNames", "Applications")},
    {0xF6, QT_TRANSLATE_NOOP("KeyNames", "Attn")},
    {0x0C, QT_TRANSLATE_NOOP("KeyNames", "Clear")},
    {0x5F, QT_TRANSLATE_NOOP("KeyNames", "Computer Sleep")},
    {0x03, QT_TRANSLATE_NOOP("KeyNames", "Control-break processing")},
    {0xF7, QT_TRANSLATE_NOOP("KeyNames", "CrSel")},
    {0x6E, QT_TRANSLATE_NOOP("KeyNames", "Decimal")},
    {0xF9, QT_TRANSLATE_NOOP("KeyNames", "Erase EOF")},
    {0x2B, QT_TRANSLATE_NOOP("KeyNames", "Execute")},
    {0xF8, QT_TRANSLATE_NOOP("KeyNames", "ExSel")},
    {0x2F, QT_TRANSLATE_NOOP("KeyNames", "Help")},
    {0x1E, QT_TRANSLATE_NOOP("KeyNames", "IME Accept")},
    {0x1C, QT_TRANSLATE_NOOP("KeyNames", "IME Convert")},
    {0x18, QT_TRANSLATE_NOOP("KeyNames", "IME Final mode")},
    {0x15, QT_TRANSLATE_NOOP("KeyNames", "IME Hangul mode")},
    {0x19, QT_TRANSLATE_NOOP("KeyNames", "IME Hanja mode")},
    {0x17, QT_TRANSLATE_NOOP("KeyNames", "IME Junja mode")},
    {0x15, QT_TRANSLATE_NOOP("KeyNames", "IME Kana mode")},
    {0x19, QT_TRANSLATE_NOOP("KeyNames", "IME Kanji mode")},
    {0x1F, QT_TRANSLATE_NOOP("KeyNames", "IME Mode change request")},
    {0x1D, QT_TRANSLATE_NOOP("KeyNames", "IME Nonconvert")},
    {0xE5, QT_TRANSLATE_NOOP("KeyNames", "IME Process")},
    {0xA4, QT_TRANSLATE_NOOP("KeyNames", "Left Menu")},
    {0x5B, QT_TRANSLATE_NOOP("KeyNames", "Left Windows")},
    {0xFD, QT_TRANSLATE_NOOP("KeyNames", "PA1")},
    {0x13, QT_TRANSLATE_NOOP("KeyNames", "Pause")},
    {0xFA, QT_TRANSLATE_NOOP("KeyNames", "Play")},
    {0x2A, QT_TRANSLATE_NOOP("KeyNames", "Print")},
    {0x2C, QT_TRANSLATE_NOOP("KeyNames", "Print Screen")},
    {0xA5, QT_TRANSLATE_NOOP("KeyNames", "Right Menu")},
    {0x5C, QT_TRANSLATE_NOOP("KeyNames", "Right Windows")},
    {0x29, QT_TRANSLATE_NOOP("KeyNames", "Select")},
    {0x6C, QT_TRANSLATE_NOOP("KeyNames", "Separator")},
    {0xFB, QT_TRANSLATE_NOOP("KeyNames", "Zoom")},
}};

// Qt key values of the keys that are computed rather than listed.
constexpr int kQtKey0 = 0x30;         // Qt::Key_0 (Key_1 … Key_9 follow)
constexpr int kQtKeyA = 0x41;         // Qt::Key_A (… Key_Z = 0x5a)
constexpr int kQtKeySpace = 0x20;     // Qt::Key_Space
constexpr int kQtKeyF1 = 0x01000030;  // Qt::Key_F1 (… Key_F24 = 0x01000047)

constexpr std::uint16_t kVkNum0 = 0x60;
constexpr std::uint16_t kVkF1 = 0x70;
constexpr int kFunctionKeys = 24;

struct QtRow {
    int qtKey;
    bool keypad;
    std::uint16_t code;
};

// Qt key ↔ virtual-key code. Both directions take the first row that matches, so each code's
// first row gives its Qt key and each Qt key's first row gives its code; later rows only add
// further Qt keys (shifted symbols, the modifier sides) for a code.
constexpr QtRow kQtRows[] = {
    // Keypad keys with codes of their own.
    {0x2a, true, 0x6A},  // Key_Asterisk on the keypad: Num '*'
    {0x2b, true, 0x6B},  // Key_Plus on the keypad: Num '+'
    {0x2d, true, 0x6D},  // Key_Minus on the keypad: Num '-'
    {0x2f, true, 0x6F},  // Key_Slash on the keypad: Num '/'
    {0x2e, true, 0x6E},  // Key_Period on the keypad: Decimal
    {0x2c, true, 0x6E},  // Key_Comma on the keypad (decimal comma layouts): Decimal
    // Editing and movement.
    {0x01000000, false, 0x1B},  // Key_Escape
    {0x01000001, false, 0x09},  // Key_Tab
    {0x01000002, false, 0x09},  // Key_Backtab (Shift+Tab)
    {0x01000003, false, 0x08},  // Key_Backspace
    {0x01000004, false, 0x0D},  // Key_Return
    {0x01000005, false, 0x0D},  // Key_Enter (keypad)
    {0x01000006, false, 0x2D},  // Key_Insert
    {0x01000007, false, 0x2E},  // Key_Delete
    {0x01000008, false, 0x13},  // Key_Pause
    {0x01000009, false, 0x2C},  // Key_Print (Print Screen)
    {0x0100000a, false, 0x2C},  // Key_SysReq (Alt+Print Screen)
    {0x0100000b, false, 0x0C},  // Key_Clear
    {0x01000010, false, 0x24},  // Key_Home
    {0x01000011, false, 0x23},  // Key_End
    {0x01000012, false, 0x25},  // Key_Left
    {0x01000013, false, 0x26},  // Key_Up
    {0x01000014, false, 0x27},  // Key_Right
    {0x01000015, false, 0x28},  // Key_Down
    {0x01000016, false, 0x21},  // Key_PageUp
    {0x01000017, false, 0x22},  // Key_PageDown
    // Modifiers and locks; Qt does not tell the left and right keys apart.
    {0x01000020, false, 0x10},  // Key_Shift
    {0x01000021, false, 0x11},  // Key_Control
    {0x01000023, false, 0x12},  // Key_Alt
    {0x01000020, false, 0xA0},  // Key_Shift: Left Shift
    {0x01000020, false, 0xA1},  // Key_Shift: Right Shift
    {0x01000021, false, 0xA2},  // Key_Control: Left Ctrl
    {0x01000021, false, 0xA3},  // Key_Control: Right Ctrl
    {0x01000023, false, 0xA4},  // Key_Alt: Left Menu
    {0x01001103, false, 0xA5},  // Key_AltGr: Right Menu
    {0x01000024, false, 0x14},  // Key_CapsLock
    {0x01000025, false, 0x90},  // Key_NumLock
    {0x01000026, false, 0x91},  // Key_ScrollLock
    {0x01000053, false, 0x5B},  // Key_Super_L: Left Windows
    {0x01000054, false, 0x5C},  // Key_Super_R: Right Windows
    {0x01000022, false, 0x5B},  // Key_Meta: Left Windows
    {0x01000055, false, 0x5D},  // Key_Menu: Applications
    {0x01000058, false, 0x2F},  // Key_Help
    // Browser and media keys.
    {0x01000061, false, 0xA6},  // Key_Back
    {0x01000062, false, 0xA7},  // Key_Forward
    {0x01000064, false, 0xA8},  // Key_Refresh
    {0x01000063, false, 0xA9},  // Key_Stop
    {0x01000092, false, 0xAA},  // Key_Search
    {0x01000091, false, 0xAB},  // Key_Favorites
    {0x01000090, false, 0xAC},  // Key_HomePage
    {0x01000071, false, 0xAD},  // Key_VolumeMute
    {0x01000070, false, 0xAE},  // Key_VolumeDown
    {0x01000072, false, 0xAF},  // Key_VolumeUp
    {0x01000083, false, 0xB0},  // Key_MediaNext
    {0x01000082, false, 0xB1},  // Key_MediaPrevious
    {0x01000081, false, 0xB2},  // Key_MediaStop
    {0x01000086, false, 0xB3},  // Key_MediaTogglePlayPause
    {0x01000080, false, 0xB3},  // Key_MediaPlay
    {0x01000085, false, 0xB3},  // Key_MediaPause
    {0x010000a0, false, 0xB4},  // Key_LaunchMail
    {0x010000a1, false, 0xB5},  // Key_LaunchMedia
    {0x010000a2, false, 0xB6},  // Key_Launch0: Start Application 1
    {0x010000a3, false, 0xB7},  // Key_Launch1: Start Application 2
    // Rare keys.
    {0x01010000, false, 0x29},  // Key_Select
    {0x01020001, false, 0x03},  // Key_Cancel: Control-break processing
    {0x01020002, false, 0x2A},  // Key_Printer: Print
    {0x01020003, false, 0x2B},  // Key_Execute
    {0x01020004, false, 0x5F},  // Key_Sleep: Computer Sleep
    {0x01020005, false, 0xFA},  // Key_Play
    {0x01020006, false, 0xFB},  // Key_Zoom
    // Input-method keys.
    {0x01001131, false, 0x15},  // Key_Hangul: IME Hangul mode
    {0x0100112d, false, 0x15},  // Key_Kana_Lock: IME Kana mode
    {0x01001121, false, 0x19},  // Key_Kanji: IME Kanji mode
    {0x01001134, false, 0x19},  // Key_Hangul_Hanja: IME Hanja mode
    {0x01001123, false, 0x1C},  // Key_Henkan: IME Convert
    {0x01001122, false, 0x1D},  // Key_Muhenkan: IME Nonconvert
    {0x0100117e, false, 0x1F},  // Key_Mode_switch: IME Mode change request
    // Punctuation keys: the unshifted symbol first, then the shifted one (US layout).
    {0x3d, false, 0xBB},  // Key_Equal: '+'
    {0x2b, false, 0xBB},  // Key_Plus: '+'
    {0x2c, false, 0xBC},  // Key_Comma: ','
    {0x3c, false, 0xBC},  // Key_Less: ','
    {0x2d, false, 0xBD},  // Key_Minus: '-'
    {0x5f, false, 0xBD},  // Key_Underscore: '-'
    {0x2e, false, 0xBE},  // Key_Period: '.'
    {0x3e, false, 0xBE},  // Key_Greater: '.'
    {0x3b, false, 0xBA},  // Key_Semicolon: ';:'
    {0x3a, false, 0xBA},  // Key_Colon: ';:'
    {0x2f, false, 0xBF},  // Key_Slash: '/?'
    {0x3f, false, 0xBF},  // Key_Question: '/?'
    {0x60, false, 0xC0},  // Key_QuoteLeft: '`~'
    {0x7e, false, 0xC0},  // Key_AsciiTilde: '`~'
    {0x5b, false, 0xDB},  // Key_BracketLeft: '[{'
    {0x7b, false, 0xDB},  // Key_BraceLeft: '[{'
    {0x5c, false, 0xDC},  // Key_Backslash: '\|'
    {0x7c, false, 0xDC},  // Key_Bar: '\|'
    {0x5d, false, 0xDD},  // Key_BracketRight: ']}'
    {0x7d, false, 0xDD},  // Key_BraceRight: ']}'
    {0x27, false, 0xDE},  // Key_Apostrophe: ''"'
    {0x22, false, 0xDE},  // Key_QuoteDbl: ''"'
    // Shifted digits (US layout): Shift+1 arrives as Key_Exclam.
    {0x21, false, 0x31},  // Key_Exclam
    {0x40, false, 0x32},  // Key_At
    {0x23, false, 0x33},  // Key_NumberSign
    {0x24, false, 0x34},  // Key_Dollar
    {0x25, false, 0x35},  // Key_Percent
    {0x5e, false, 0x36},  // Key_AsciiCircum
    {0x26, false, 0x37},  // Key_Ampersand
    {0x2a, false, 0x38},  // Key_Asterisk
    {0x28, false, 0x39},  // Key_ParenLeft
    {0x29, false, 0x30},  // Key_ParenRight
};

const QtRow* findQtRow(int qtKey, bool keypad) {
    for (const QtRow& row : kQtRows) {
        if (row.qtKey == qtKey && row.keypad == keypad) return &row;
    }
    return nullptr;
}

}  // namespace

std::span<const KeyName> keyNameTable() { return kKeyNames; }

std::string_view keyName(std::uint16_t code) {
    for (const KeyName& row : kKeyNames) {
        if (row.code == code) return row.name;
    }
    return {};
}

std::optional<std::uint16_t> keyCodeFromName(std::string_view name) {
    for (const KeyName& row : kKeyNames) {
        if (row.name == name) return row.code;
    }
    return std::nullopt;
}

std::optional<std::uint16_t> virtualKeyFromQt(int qtKey, bool keypad) {
    if (qtKey >= kQtKey0 && qtKey <= kQtKey0 + 9) {
        const int digit = qtKey - kQtKey0;
        return static_cast<std::uint16_t>(keypad ? kVkNum0 + digit : 0x30 + digit);
    }
    if (qtKey >= kQtKeyA && qtKey < kQtKeyA + 26) return static_cast<std::uint16_t>(qtKey);
    if (qtKey == kQtKeySpace) return 0x20;
    if (qtKey >= kQtKeyF1 && qtKey < kQtKeyF1 + kFunctionKeys) {
        return static_cast<std::uint16_t>(kVkF1 + (qtKey - kQtKeyF1));
    }
    const QtRow* row = findQtRow(qtKey, keypad);
    // Keypad keys without a code of their own (Home, arrows, Enter with Num Lock off) are the
    // main keyboard's keys.
    if (!row && keypad) row = findQtRow(qtKey, false);
    if (!row) return std::nullopt;
    return row->code;
}

std::optional<QtKey> qtKeyFromVirtualKey(std::uint16_t code) {
    if (code >= 0x30 && code <= 0x39) return QtKey{kQtKey0 + (code - 0x30), false};
    if (code >= 0x41 && code <= 0x5A) return QtKey{code, false};
    if (code == 0x20) return QtKey{kQtKeySpace, false};
    if (code >= kVkNum0 && code <= kVkNum0 + 9) return QtKey{kQtKey0 + (code - kVkNum0), true};
    if (code >= kVkF1 && code < kVkF1 + kFunctionKeys)
        return QtKey{kQtKeyF1 + (code - kVkF1), false};
    const auto it = std::find_if(std::begin(kQtRows), std::end(kQtRows),
                                 [code](const QtRow& row) { return row.code == code; });
    if (it == std::end(kQtRows)) return std::nullopt;
    return QtKey{it->qtKey, it->keypad};
}

}  // namespace kalder::app
