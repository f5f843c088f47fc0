#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include <QWidget>

class QListWidget;
class QSplitter;

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

class FolderTreePane;
class StatusBar;
class Toolbar;

// The current folder's image files, sorted. A plain list behind the browser pane until the
// thumbnail browser's model takes its place.
class FolderListing {
public:
    // Lists the folder's viewable files; false when it cannot be read.
    bool load(const std::filesystem::path& folder);
    // 0 by name, 1 by extension, 2 by size, 3 by date.
    void sort(std::int32_t mode);
    std::int32_t sortMode() const { return m_sortMode; }
    const std::vector<std::filesystem::path>& files() const { return m_files; }
    const std::filesystem::path& folder() const { return m_folder; }
    std::optional<std::size_t> indexOf(const std::filesystem::path& file) const;

private:
    std::filesystem::path m_folder;
    std::vector<std::filesystem::path> m_files;
    std::int32_t m_sortMode = 0;
};

// The browser's panes: the toolbar on top, the status bar at the bottom, and between them the
// file list and the folder tree. In the enhanced layout the list lies above and the tree below,
// with the viewer slot beside the tree; in the classic layout the tree is left of the list and
// the viewer lies outside, under the whole pane. The splitters write their positions into
// settings.paneSplitY and paneSplitX.
class BrowserPane : public QWidget {
    Q_OBJECT
public:
    BrowserPane(app::Settings& settings, QWidget* parent = nullptr);

    Toolbar* toolbar() const { return m_toolbar; }
    QListWidget* fileList() const { return m_list; }
    FolderTreePane* folderTree() const { return m_tree; }
    StatusBar* statusBar() const { return m_status; }
    // Where the viewer goes in the enhanced layout.
    QWidget* viewerSlot() const { return m_slot; }

    void setEnhancedLayout(bool on);
    bool enhancedLayout() const { return m_enhanced; }
    // Only the file list (enhanced layout only; the caller checks).
    void setBrowserOnly(bool on);
    // Places the splitters at the stored positions, within their limits.
    void applySplits();

    // 0 small thumbnails, 1 big thumbnails, 2 list.
    void setBrowserView(std::int32_t view);
    void showFiles(const FolderListing& listing);
    // Selects row `index` without reporting it.
    void selectFile(std::optional<std::size_t> index);
    std::optional<std::size_t> selectedFile() const;
    std::vector<std::size_t> selectedFiles() const;

signals:
    void fileSelected(int index);
    void fileActivated(int index);
    void fileListContextMenu(const QPoint& globalPos);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    app::Settings& m_settings;
    Toolbar* m_toolbar = nullptr;
    QListWidget* m_list = nullptr;
    FolderTreePane* m_tree = nullptr;
    StatusBar* m_status = nullptr;
    QWidget* m_slot = nullptr;
    QSplitter* m_vertical = nullptr;    // enhanced: list above, tree and slot below
    QSplitter* m_horizontal = nullptr;  // tree | slot, or tree | list
    bool m_enhanced = true;
    bool m_splitsApplied = false;
    bool m_silent = false;
};

}  // namespace kalder::gui
