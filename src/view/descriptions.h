#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kalder::view {

class EntryList;

// The per-folder description file.
inline constexpr std::string_view kDescriptionFileName = "Descript.ion";

std::filesystem::path descriptionFilePath(const std::filesystem::path& folder);

// The (name, description) pairs of a description file's text, in file order.
std::vector<std::pair<std::string, std::string>> parseDescriptions(std::string_view text);
// One line "name description\r\n" (name quoted when it holds a blank).
std::string descriptionLine(std::string_view name, std::string_view description);

// Gives every entry the description its name has in the folder's file (later lines win,
// names compared ignoring case). A missing or unreadable file changes nothing.
void readDescriptions(const std::filesystem::path& folder, EntryList& entries);
// Writes the entries' non-empty descriptions in list order, or deletes the file when there
// are none. False when writing failed (callers stay silent about it).
bool writeDescriptions(const std::filesystem::path& folder, const EntryList& entries);

}  // namespace kalder::view
