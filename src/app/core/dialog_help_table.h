#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace kalder::app {

// What the dialog base gives each dialog: tooltips on chosen controls, a help topic for the
// "&Help" button and a banner picture. Dialogs are keyed by their template number; a dialog
// without a row gets none of the three.

struct DialogTooltip {
    // The control: its identifier for controls without a caption, else 0 and its caption
    // (with "&"). Captions that occur twice in a dialog ("All", "d") name its controls with
    // that caption in order.
    std::int32_t control = 0;
    std::string_view caption;
    std::string_view text;
};

struct DialogHelpEntry {
    std::int32_t templateNumber = 0;
    std::string_view dialog;  // the dialog's title or, for a page, "Dialog / Page"
    std::span<const DialogTooltip> tooltips;
    std::string_view helpTopic;  // topic id, empty for none
    std::int32_t banner = 0;     // banner picture number, 0 for none
};

// The 47 rows in their stored order.
std::span<const DialogHelpEntry> dialogHelpTable();
// The row of a template number; null when the dialog has none.
const DialogHelpEntry* findDialogHelp(std::int32_t templateNumber);

// Where a topic id lives among the help pages: a file of the help folder and an anchor in it
// (empty for the top of the page).
struct HelpLocation {
    std::string_view page;
    std::string_view anchor;
};
std::optional<HelpLocation> helpLocation(std::string_view topic);
// Every topic id the help pages answer, the table's and "index".
std::span<const std::string_view> helpTopics();

// The folders that may hold the help pages, in the order they are tried: help/ beside the
// program, share/kalder/help of an installation (wherever it was moved), then help/ one or two
// folders up (the build tree, where tests run from a sub-folder), then the configured
// installation's share/kalder/help.
std::vector<std::filesystem::path> helpDirectoryCandidates(const std::filesystem::path& exeDir);
// The first candidate with an index.html; none when the pages are missing.
std::optional<std::filesystem::path> findHelpDirectory(const std::filesystem::path& exeDir);

// The picture control that shows a dialog's banner.
inline constexpr std::int32_t kBannerControl = 1001;
// The "&Help" button of every dialog.
inline constexpr std::int32_t kHelpButtonControl = 1174;
// A tooltip stays up this many double-click times.
inline constexpr std::int32_t kTooltipDurationFactor = 30;
inline constexpr std::int32_t kTooltipMaxWidth = 256;

// How long a tooltip stays up for a given double-click time (milliseconds, at most 65535).
std::int32_t tooltipDuration(std::int32_t doubleClickMs);

}  // namespace kalder::app
