#include "app/core/toolbar_table.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "app/core/commands.h"
#include "app/core/settings.h"

namespace kalder::app {
namespace {

struct Shape {
    int buttons = 0;
    int groups = 0;
};

Shape shapeOf(const std::vector<ToolbarSlot>& slots) {
    Shape shape;
    bool inGroup = false;
    for (const ToolbarSlot& slot : slots) {
        if (slot.separator) {
            inGroup = false;
            continue;
        }
        ++shape.buttons;
        if (!inGroup) ++shape.groups;
        inGroup = true;
    }
    return shape;
}

std::vector<CommandId> commandsOf(const std::vector<ToolbarSlot>& slots) {
    std::vector<CommandId> ids;
    for (const ToolbarSlot& slot : slots) ids.push_back(slot.separator ? 0 : slot.command);
    return ids;
}

TEST(ToolbarButtonTable, SeventyButtonsEachForOneMenuCommand) {
    const auto table = toolbarButtonTable();
    ASSERT_EQ(table.size(), 70u);
    std::set<CommandId> commands;
    for (const ToolbarButton& b : table) {
        EXPECT_TRUE(commands.insert(b.command).second) << b.command;
        EXPECT_NE(findCommand(b.command), nullptr) << b.command;
        EXPECT_NE(findMenuItem(mainMenu(), b.command), nullptr) << b.command;
        EXPECT_GT(b.image, 0) << b.command;
        EXPECT_EQ(b.style, 0);
    }
    // A few rows as (command: image).
    EXPECT_EQ(toolbarImage(57634), 1);
    EXPECT_EQ(toolbarImage(586), 68);
    EXPECT_EQ(toolbarImage(610), 57);
    EXPECT_EQ(toolbarImage(708), 61);
    EXPECT_EQ(toolbarImage(813), 65);
    EXPECT_FALSE(toolbarImage(cmd::kExit).has_value());
}

TEST(ToolbarButtonTable, AvailableButtonLabels) {
    EXPECT_EQ(toolbarButtonLabel(0), "Copy Image to Clipboard");
    EXPECT_EQ(toolbarButtonLabel(*toolbarButtonIndex(cmd::kCopyMoveToFolder)),
              "Copy/Move File(s) to Folder...");
    EXPECT_EQ(toolbarButtonLabel(70), "");
    // Every button has a name a screen reader can read, menu item or not.
    for (std::size_t i = 0; i < toolbarButtonTable().size(); ++i)
        EXPECT_FALSE(toolbarButtonLabel(i).empty()) << toolbarButtonTable()[i].command;
}

TEST(DefaultToolbar, FilledInWhenNoLayoutIsStored) {
    Settings settings;  // what a missing file leaves: count 0
    ASSERT_TRUE(settings.toolbarButtons.empty());
    EXPECT_TRUE(ensureToolbarLayout(settings));
    EXPECT_EQ(settings.toolbarButtons.size(), 28u);
    const auto slots = toolbarSlots(settings.toolbarButtons);
    const Shape shape = shapeOf(slots);
    EXPECT_EQ(shape.buttons, 22);
    EXPECT_EQ(shape.groups, 7);
    const std::vector<CommandId> expected = {900, 901, 57607, 0,   540, 541, 701, 0,   499, 650,
                                             0,   660, 661,   662, 0,   610, 611, 612, 613, 614,
                                             0,   620, 621,   622, 0,   670, 672, 708};
    EXPECT_EQ(commandsOf(slots), expected);
    // A stored layout is kept.
    EXPECT_FALSE(ensureToolbarLayout(settings));
}

TEST(ToolbarSlots, SkipEntriesThatAreNoButton) {
    const std::vector<std::int32_t> damaged = {0, -2, 70, kToolbarSeparator, 69, 100000};
    const auto slots = toolbarSlots(damaged);
    ASSERT_EQ(slots.size(), 3u);
    EXPECT_EQ(slots[0].command, 57634);
    EXPECT_TRUE(slots[1].separator);
    EXPECT_EQ(slots[2].command, 813);
}

TEST(ToolbarCustomizer, ResetThenCancelLeavesTheToolbarUnchanged) {
    Settings settings;
    settings.toolbarButtons = {5, kToolbarSeparator, 7};
    {
        ToolbarCustomizer dialog(settings.toolbarButtons);
        dialog.reset();
        EXPECT_EQ(dialog.entries(), defaultToolbarLayout());
        // Cancel: the dialog goes away without apply().
    }
    EXPECT_EQ(settings.toolbarButtons, (std::vector<std::int32_t>{5, kToolbarSeparator, 7}));

    ToolbarCustomizer dialog(settings.toolbarButtons);
    dialog.reset();
    dialog.apply(settings);
    EXPECT_EQ(settings.toolbarButtons, defaultToolbarLayout());
}

TEST(ToolbarCustomizer, AddAppendsAndSelectsAndAllowsRepeats) {
    ToolbarCustomizer dialog(std::vector<std::int32_t>{});
    EXPECT_FALSE(dialog.selection().has_value());
    EXPECT_TRUE(dialog.add(6));
    EXPECT_TRUE(dialog.add(6));
    EXPECT_TRUE(dialog.addSeparator());
    EXPECT_EQ(dialog.entries(), (std::vector<std::int32_t>{6, 6, kToolbarSeparator}));
    EXPECT_EQ(dialog.selection(), 2u);
    EXPECT_EQ(dialog.entryLabel(2), "--- separator ---");
    EXPECT_EQ(dialog.entryLabel(0), "Rename File");
    EXPECT_FALSE(dialog.add(70));  // no such button
}

TEST(ToolbarCustomizer, StopsAddingAtTheSettingsFileLimit) {
    ToolbarCustomizer dialog(std::vector<std::int32_t>(255, 0));
    EXPECT_TRUE(dialog.addSeparator());
    EXPECT_EQ(dialog.entries().size(), 256u);
    EXPECT_FALSE(dialog.add(1));
    EXPECT_FALSE(dialog.addSeparator());
    EXPECT_EQ(dialog.entries().size(), 256u);

    // What it hands back is a layout the settings file keeps.
    Settings settings;
    dialog.apply(settings);
    Settings reread;
    const auto bytes = writeSettingsFile(settings);
    EXPECT_EQ(readSettingsFile(bytes, reread), SettingsLoad::Complete);
    EXPECT_EQ(reread.toolbarButtons, settings.toolbarButtons);
}

TEST(ToolbarCustomizer, RemoveSelectsTheEntryThatTookItsPlace) {
    ToolbarCustomizer dialog(std::vector<std::int32_t>{1, 2, 3});
    EXPECT_FALSE(dialog.remove());  // nothing selected
    dialog.select(1);
    EXPECT_TRUE(dialog.remove());
    EXPECT_EQ(dialog.entries(), (std::vector<std::int32_t>{1, 3}));
    EXPECT_EQ(dialog.selection(), 1u);
    EXPECT_TRUE(dialog.remove());  // the last one: the new last is selected
    EXPECT_EQ(dialog.selection(), 0u);
    EXPECT_TRUE(dialog.remove());
    EXPECT_TRUE(dialog.entries().empty());
    EXPECT_FALSE(dialog.selection().has_value());
}

TEST(ToolbarCustomizer, MovesStopAtTheEndsAndTheSelectionFollows) {
    ToolbarCustomizer dialog(std::vector<std::int32_t>{1, kToolbarSeparator, 3});
    dialog.select(0);
    EXPECT_FALSE(dialog.moveUp());
    EXPECT_TRUE(dialog.moveDown());
    EXPECT_EQ(dialog.entries(), (std::vector<std::int32_t>{kToolbarSeparator, 1, 3}));
    EXPECT_EQ(dialog.selection(), 1u);
    EXPECT_TRUE(dialog.moveDown());
    EXPECT_FALSE(dialog.moveDown());
    EXPECT_TRUE(dialog.moveUp());
    EXPECT_EQ(dialog.entries(), (std::vector<std::int32_t>{kToolbarSeparator, 1, 3}));
    dialog.select(9);
    EXPECT_FALSE(dialog.selection().has_value());
    EXPECT_FALSE(dialog.moveUp());
}

TEST(ToolbarCustomizer, DropsDamagedEntriesFromTheWorkingCopy) {
    ToolbarCustomizer dialog(std::vector<std::int32_t>{4, -7, 99, kToolbarSeparator});
    EXPECT_EQ(dialog.entries(), (std::vector<std::int32_t>{4, kToolbarSeparator}));
}

}  // namespace
}  // namespace kalder::app
