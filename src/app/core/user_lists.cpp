#include "app/core/user_lists.h"

#include <algorithm>
#include <utility>

#include "shell/desktop_entry.h"

namespace kalder::app {

namespace {

AddResult addPair(std::vector<std::string>& values, std::vector<std::string>& labels,
                  const std::string& value, const std::string& label) {
    if (value.empty() || label.empty()) return AddResult::Empty;
    // The arrays are parallel; a settings file may have left them uneven, and the shorter one
    // is what the menu shows.
    const std::size_t count = std::min(values.size(), labels.size());
    if (count >= kMaxUserListEntries) return AddResult::Full;
    values.resize(count);
    labels.resize(count);
    values.push_back(value);
    labels.push_back(label);
    return AddResult::Added;
}

}  // namespace

AddResult addFavorite(Settings& settings, const std::string& folder, const std::string& label) {
    return addPair(settings.favoriteFolders, settings.favoriteLabels, folder, label);
}

void removeFavorite(Settings& settings, std::size_t index) {
    if (index < settings.favoriteFolders.size())
        settings.favoriteFolders.erase(settings.favoriteFolders.begin() + index);
    if (index < settings.favoriteLabels.size())
        settings.favoriteLabels.erase(settings.favoriteLabels.begin() + index);
}

AddResult addApplication(Settings& settings, const std::string& path, const std::string& label) {
    return addPair(settings.openWithPaths, settings.openWithLabels, path, label);
}

ApplicationRows::ApplicationRows(const Settings& settings) {
    const std::size_t count =
        std::min(settings.openWithPaths.size(), settings.openWithLabels.size());
    for (std::size_t i = 0; i < count; ++i) m_rows.push_back({settings.openWithLabels[i], i});
}

void ApplicationRows::append(const Settings& settings) {
    if (settings.openWithLabels.empty()) return;
    m_rows.push_back({settings.openWithLabels.back(), settings.openWithLabels.size() - 1});
}

int ApplicationRows::remove(int row) {
    if (row < 0 || row >= static_cast<int>(m_rows.size())) return -1;
    m_rows.erase(m_rows.begin() + row);
    if (m_rows.empty()) return -1;
    return std::min(row, static_cast<int>(m_rows.size()) - 1);
}

int ApplicationRows::moveUp(int row) {
    if (row <= 0 || row >= static_cast<int>(m_rows.size())) return row;
    std::swap(m_rows[row], m_rows[row - 1]);
    return row - 1;
}

int ApplicationRows::moveDown(int row) {
    if (row < 0 || row + 1 >= static_cast<int>(m_rows.size())) return row;
    std::swap(m_rows[row], m_rows[row + 1]);
    return row + 1;
}

void ApplicationRows::apply(Settings& settings) const {
    std::vector<std::string> paths, labels;
    for (const Row& row : m_rows) {
        if (row.index >= settings.openWithPaths.size()) continue;
        paths.push_back(settings.openWithPaths[row.index]);
        labels.push_back(row.label);
    }
    settings.openWithPaths = std::move(paths);
    settings.openWithLabels = std::move(labels);
}

std::vector<std::string> applicationCommand(const std::string& applicationPath,
                                            const std::string& imagePath) {
    const std::string suffix = ".desktop";
    if (applicationPath.size() > suffix.size() &&
        applicationPath.compare(applicationPath.size() - suffix.size(), suffix.size(), suffix) ==
            0) {
        if (const auto entry = shell::readDesktopEntry(applicationPath))
            if (auto argv = shell::expandExec(*entry, imagePath, applicationPath)) {
                // A launcher that takes no file still gets the image, as a program path would.
                if (entry->exec.find('%') == std::string::npos) argv->push_back(imagePath);
                return *argv;
            }
        return {};
    }
    return {applicationPath, imagePath};
}

}  // namespace kalder::app
