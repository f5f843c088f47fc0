#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "app/core/shortcuts.h"
#include "app/gui/dialogs/dialog_base.h"

class QCheckBox;
class QComboBox;

namespace kalder::gui {

// "Edit Shortcut": the command, the key and the Ctrl, Alt and Shift boxes of one entry. OK
// refuses a key combination another entry already has.
class EditShortcutDialog : public DialogBase {
    Q_OBJECT
public:
    // `self` is the edited entry's index in the editor's table; none for a new entry.
    EditShortcutDialog(const app::ShortcutEditor& editor, const app::Shortcut& entry,
                       std::optional<std::size_t> self, QWidget* parent = nullptr);
    // The entry as OK left it.
    const app::Shortcut& entry() const { return m_entry; }

private:
    void onOk();

    const app::ShortcutEditor& m_editor;
    app::Shortcut m_entry;
    std::optional<std::size_t> m_self;
    QComboBox* m_command;
    QComboBox* m_key;
    QCheckBox* m_ctrl;
    QCheckBox* m_alt;
    QCheckBox* m_shift;
};

// "Miscellaneous Controls": what the paging keys and the mouse wheel do in the viewing area, and
// how dragging files behaves (controlOptions[0] to [3]).
class MiscControlsDialog : public DialogBase {
    Q_OBJECT
public:
    MiscControlsDialog(const std::array<std::int32_t, 8>& options, QWidget* parent = nullptr);
    // The options with the four values the controls show.
    std::array<std::int32_t, 8> options() const;

private:
    std::array<std::int32_t, 8> m_options;
    QComboBox* m_paging;
    QComboBox* m_wheel;
    QCheckBox* m_explorerDrag;
    QCheckBox* m_askDrag;
};

}  // namespace kalder::gui
