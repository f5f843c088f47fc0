#include "app/core/toolbar_table.h"

#include <algorithm>
#include <array>

#include "app/core/commands.h"
#include "app/core/settings.h"
#include "app/core/translatable.h"

namespace kalder::app {
namespace {

// (image, command, style). Stored layouts index this table: append, never reorder.
constexpr std::array<ToolbarButton, 70> kButtons = {{
    {1, 57634, 0},
    {4, 520, 0},
    {23, 571, 0},
    {22, 572, 0},
    {24, 573, 0},
    {3, 905, 0},
    {2, 900, 0},
    {5, 901, 0},
    {6, 904, 0},
    {7, 902, 0},
    {8, 903, 0},
    {10, 510, 0},
    {9, 511, 0},
    {11, 512, 0},
    {68, 586, 0},
    {12, 550, 0},
    {13, 57607, 0},
    {60, 581, 0},
    {59, 585, 0},
    {14, 540, 0},
    {15, 541, 0},
    {16, 542, 0},
    {17, 543, 0},
    {18, 701, 0},
    {25, 500, 0},
    {26, 501, 0},
    {19, 502, 0},
    {20, 503, 0},
    {21, 504, 0},
    {66, 546, 0},
    {67, 547, 0},
    {69, 583, 0},
    {70, 584, 0},
    {28, 601, 0},
    {29, 673, 0},
    {33, 670, 0},
    {34, 672, 0},
    {35, 650, 0},
    {30, 660, 0},
    {31, 661, 0},
    {32, 662, 0},
    {57, 610, 0},
    {36, 613, 0},
    {39, 614, 0},
    {37, 611, 0},
    {38, 612, 0},
    {40, 635, 0},
    {41, 634, 0},
    {42, 640, 0},
    {43, 641, 0},
    {44, 671, 0},
    {45, 620, 0},
    {46, 621, 0},
    {47, 622, 0},
    {62, 677, 0},
    {48, 652, 0},
    {56, 676, 0},
    {58, 675, 0},
    {27, 499, 0},
    {49, 2000, 0},
    {50, 2001, 0},
    {51, 705, 0},
    {52, 706, 0},
    {61, 708, 0},
    {63, 702, 0},
    {54, 703, 0},
    {55, 800, 0},
    // The product pages at the end of the main menu.
    {61, cmd::kProductPage1, 0},
    {64, cmd::kProductPage2, 0},
    {65, cmd::kProductPage3, 0},
}};

constexpr CommandId kSeparatorMark = 0;
// The default layout by command, 0 marking a separator.
constexpr std::array<CommandId, 28> kDefaultLayout = {
    cmd::kRenameFile,     cmd::kDeleteFiles,
    cmd::kPrint,          kSeparatorMark,
    cmd::kPreviousFile,   cmd::kNextFile,
    cmd::kSlideShow,      kSeparatorMark,
    cmd::kFullScreen,     cmd::kImageProperties,
    kSeparatorMark,       cmd::kZoomIn,
    cmd::kZoomOut,        cmd::kZoomReset,
    kSeparatorMark,       cmd::kFit1To1,
    cmd::kFitWidth,       cmd::kFitHeight,
    cmd::kFitAll,         cmd::kAutofit,
    kSeparatorMark,       cmd::kGammaIncrease,
    cmd::kGammaDecrease,  cmd::kGammaReset,
    kSeparatorMark,       cmd::kJpegTransformations,
    cmd::kBatchConvertor, cmd::kCompanionEditor,
};

bool validEntry(std::int32_t entry) {
    return entry == kToolbarSeparator ||
           (entry >= 0 && static_cast<std::size_t>(entry) < kButtons.size());
}

}  // namespace

std::span<const ToolbarButton> toolbarButtonTable() { return kButtons; }

std::optional<std::size_t> toolbarButtonIndex(CommandId command) {
    const auto it =
        std::find_if(kButtons.begin(), kButtons.end(),
                     [command](const ToolbarButton& b) { return b.command == command; });
    if (it == kButtons.end()) return std::nullopt;
    return static_cast<std::size_t>(it - kButtons.begin());
}

std::optional<std::int32_t> toolbarImage(CommandId command) {
    const auto index = toolbarButtonIndex(command);
    if (!index) return std::nullopt;
    return kButtons[*index].image;
}

std::string toolbarButtonLabel(std::size_t buttonIndex) {
    if (buttonIndex >= kButtons.size()) return {};
    const CommandId command = kButtons[buttonIndex].command;
    const MenuItem* item = findMenuItem(mainMenu(), command);
    for (ContextMenu menu : {ContextMenu::ViewingArea, ContextMenu::FileList,
                             ContextMenu::FolderTree, ContextMenu::Toolbar})
        if (!item) item = findMenuItem(contextMenu(menu), command);
    if (item) return stripMnemonics(translatedText(kCommandsContext, item->text));
    // A command no menu lists is named by its prompt's first line.
    const std::string prompt = translatedText(kCommandsContext, commandPrompt(command));
    return prompt.substr(0, prompt.find('\n'));
}

std::vector<std::int32_t> defaultToolbarLayout() {
    std::vector<std::int32_t> layout;
    layout.reserve(kDefaultLayout.size());
    for (CommandId command : kDefaultLayout) {
        if (command == kSeparatorMark) {
            layout.push_back(kToolbarSeparator);
        } else if (const auto index = toolbarButtonIndex(command)) {
            layout.push_back(static_cast<std::int32_t>(*index));
        }
    }
    return layout;
}

bool ensureToolbarLayout(Settings& settings) {
    if (!settings.toolbarButtons.empty()) return false;
    settings.toolbarButtons = defaultToolbarLayout();
    return true;
}

std::vector<ToolbarSlot> toolbarSlots(std::span<const std::int32_t> layout) {
    std::vector<ToolbarSlot> slots;
    slots.reserve(layout.size());
    for (std::int32_t entry : layout) {
        if (!validEntry(entry)) continue;
        if (entry == kToolbarSeparator) {
            slots.push_back(ToolbarSlot{true, 0, 0, 0});
        } else {
            const auto index = static_cast<std::size_t>(entry);
            slots.push_back(
                ToolbarSlot{false, index, kButtons[index].command, kButtons[index].image});
        }
    }
    return slots;
}

ToolbarCustomizer::ToolbarCustomizer(std::span<const std::int32_t> layout) {
    for (std::int32_t entry : layout) {
        if (validEntry(entry) && m_entries.size() < static_cast<std::size_t>(kMaxToolbarButtons)) {
            m_entries.push_back(entry);
        }
    }
}

std::string ToolbarCustomizer::entryLabel(std::size_t index) const {
    if (index >= m_entries.size()) return {};
    if (m_entries[index] == kToolbarSeparator) return kToolbarSeparatorLabel;
    return toolbarButtonLabel(static_cast<std::size_t>(m_entries[index]));
}

void ToolbarCustomizer::select(std::size_t index) {
    if (index < m_entries.size()) {
        m_selection = index;
    } else {
        m_selection.reset();
    }
}

bool ToolbarCustomizer::add(std::size_t buttonIndex) {
    if (buttonIndex >= kButtons.size()) return false;
    if (m_entries.size() >= static_cast<std::size_t>(kMaxToolbarButtons)) return false;
    m_entries.push_back(static_cast<std::int32_t>(buttonIndex));
    m_selection = m_entries.size() - 1;
    return true;
}

bool ToolbarCustomizer::addSeparator() {
    if (m_entries.size() >= static_cast<std::size_t>(kMaxToolbarButtons)) return false;
    m_entries.push_back(kToolbarSeparator);
    m_selection = m_entries.size() - 1;
    return true;
}

bool ToolbarCustomizer::remove() {
    if (!m_selection || *m_selection >= m_entries.size()) return false;
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(*m_selection));
    if (m_entries.empty()) {
        m_selection.reset();
    } else {
        m_selection = std::min(*m_selection, m_entries.size() - 1);
    }
    return true;
}

bool ToolbarCustomizer::moveUp() {
    if (!m_selection || *m_selection == 0 || *m_selection >= m_entries.size()) return false;
    std::swap(m_entries[*m_selection], m_entries[*m_selection - 1]);
    --*m_selection;
    return true;
}

bool ToolbarCustomizer::moveDown() {
    if (!m_selection || *m_selection + 1 >= m_entries.size()) return false;
    std::swap(m_entries[*m_selection], m_entries[*m_selection + 1]);
    ++*m_selection;
    return true;
}

void ToolbarCustomizer::reset() {
    m_entries = defaultToolbarLayout();
    m_selection.reset();
}

void ToolbarCustomizer::apply(Settings& settings) const { settings.toolbarButtons = m_entries; }

}  // namespace kalder::app
