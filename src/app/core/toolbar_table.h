#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/core/command_ids.h"

namespace kalder::app {

struct Settings;

// One button the toolbar can hold. The settings store a layout as indexes into this table, so
// its order never changes.
struct ToolbarButton {
    std::int32_t image;  // index into the toolbar image strip; also decorates the menu item
    CommandId command;
    std::uint8_t style;
};

// The 70 buttons.
std::span<const ToolbarButton> toolbarButtonTable();
// The first button of `command`, or none.
std::optional<std::size_t> toolbarButtonIndex(CommandId command);
// The toolbar image of `command` (menus draw it beside unchecked items without an update rule).
std::optional<std::int32_t> toolbarImage(CommandId command);
// The "Available Buttons:" label: the command's main-menu text without its "&" markers; empty
// when the menu does not hold it.
std::string toolbarButtonLabel(std::size_t buttonIndex);

// A layout entry: a button index or a separator.
inline constexpr std::int32_t kToolbarSeparator = -1;
inline constexpr char kToolbarSeparatorLabel[] = "--- separator ---";

// The shipped layout: 28 entries, 22 buttons in 7 groups.
std::vector<std::int32_t> defaultToolbarLayout();
// A stored count of 0 stands for the default layout: fill it in. True when it did.
bool ensureToolbarLayout(Settings& settings);

// What the toolbar shows for a layout. Entries that are neither a separator nor a button index
// (a damaged settings file) are skipped.
struct ToolbarSlot {
    bool separator = false;
    std::size_t buttonIndex = 0;
    CommandId command = 0;
    std::int32_t image = 0;
};
std::vector<ToolbarSlot> toolbarSlots(std::span<const std::int32_t> layout);

// The model of "Customize Toolbar": it edits a working copy, which apply() hands back on OK. On
// Cancel the caller simply drops the object.
class ToolbarCustomizer {
public:
    // Starts from `layout`, leaving out entries toolbarSlots() would skip.
    explicit ToolbarCustomizer(std::span<const std::int32_t> layout);

    const std::vector<std::int32_t>& entries() const { return m_entries; }
    std::optional<std::size_t> selection() const { return m_selection; }
    // "Toolbar Buttons:" row texts.
    std::string entryLabel(std::size_t index) const;

    // Selects row `index`; out of range clears the selection.
    void select(std::size_t index);
    // "&Add ->": appends the button and selects it. False (nothing changes) for an unknown
    // button or when the toolbar already holds 256 entries.
    bool add(std::size_t buttonIndex);
    // "Add &Separator": appends a separator and selects it; false at 256 entries.
    bool addSeparator();
    // "<- &Remove": deletes the selected entry; the entry that took its place (or the new last
    // one) becomes selected. False when nothing is selected.
    bool remove();
    // "Move &Up" / "Move &Down": swap the selected entry with its neighbour; the selection
    // follows it. False at the top or bottom or without a selection.
    bool moveUp();
    bool moveDown();
    // "R&eset": the default layout, nothing selected.
    void reset();

    // OK: the working copy becomes settings.toolbarButtons. The caller rebuilds the toolbar.
    void apply(Settings& settings) const;

private:
    std::vector<std::int32_t> m_entries;
    std::optional<std::size_t> m_selection;
};

}  // namespace kalder::app
