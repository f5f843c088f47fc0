#pragma once

// The two lists the user keeps in the main menu: favorite folders and "Open with" applications,
// each a pair of parallel arrays in the settings.

#include <cstddef>
#include <string>
#include <vector>

#include "app/core/settings.h"

namespace kalder::app {

// Each list has a command range of a hundred identifiers; an entry beyond it would have no command.
inline constexpr std::size_t kMaxUserListEntries = 100;

enum class AddResult { Added, Empty, Full };

// An empty label (or folder) adds nothing.
AddResult addFavorite(Settings& settings, const std::string& folder, const std::string& label);
void removeFavorite(Settings& settings, std::size_t index);

// Both the path and the label must be given.
AddResult addApplication(Settings& settings, const std::string& path, const std::string& label);

// The rows of the applications dialog. Additions reach the settings at once; removals and moves
// only change the rows until `apply` rebuilds the arrays in row order, so a dialog left with ESC
// keeps what it added and nothing else.
class ApplicationRows {
public:
    struct Row {
        std::string label;
        std::size_t index;  // into the settings' arrays as they were when the row was made
    };

    explicit ApplicationRows(const Settings& settings);

    const std::vector<Row>& rows() const { return m_rows; }
    void append(const Settings& settings);  // the entry just added to the settings
    // Each returns the row to select afterwards (-1: none).
    int remove(int row);
    int moveUp(int row);
    int moveDown(int row);
    void apply(Settings& settings) const;

private:
    std::vector<Row> m_rows;
};

// How an application entry is started on an image: the program and its arguments, never through
// a shell. An entry that names a desktop entry runs that entry's Exec line.
std::vector<std::string> applicationCommand(const std::string& applicationPath,
                                            const std::string& imagePath);

}  // namespace kalder::app
