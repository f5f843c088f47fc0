#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace kalder::app {

// Shortcuts store keys as the virtual-key codes of the accelerator entries our settings file has
// always held. This unit names those codes and translates them to and from Qt's key values, which
// are plain integers here so that the translation is tested without Qt.

struct KeyName {
    std::uint16_t code;
    std::string_view name;
};

// The 167 rows of the "Key:" list, in list order. A few codes have two names; a code shows by
// the name of its first row.
std::span<const KeyName> keyNameTable();
// The name of the first row with `code`; empty when no row has it.
std::string_view keyName(std::uint16_t code);
// The code of the row named `name` (exact spelling).
std::optional<std::uint16_t> keyCodeFromName(std::string_view name);

// Qt's modifier bits (Qt::KeyboardModifier values).
inline constexpr int kQtShiftModifier = 0x02000000;
inline constexpr int kQtControlModifier = 0x04000000;
inline constexpr int kQtAltModifier = 0x08000000;
inline constexpr int kQtMetaModifier = 0x10000000;
inline constexpr int kQtKeypadModifier = 0x20000000;

struct QtKey {
    int key;      // a Qt::Key value
    bool keypad;  // the key is on the numeric keypad (Qt::KeypadModifier)
};

// The virtual-key code for a Qt key. Keypad keys that have codes of their own (digits, operators,
// the decimal key) use them; other keypad keys fall back to the main-keyboard code. Shifted
// symbols map to the code of the key that carries them on a US keyboard ("{" to '[{').
std::optional<std::uint16_t> virtualKeyFromQt(int qtKey, bool keypad);
// The Qt key for a code, or none for codes Qt has no key for (mouse buttons, Attn, CrSel, ...).
// The left and right variants of Ctrl, Shift and Alt map to the one Qt key for each, so they come
// back as the plain modifier code.
std::optional<QtKey> qtKeyFromVirtualKey(std::uint16_t code);

}  // namespace kalder::app
