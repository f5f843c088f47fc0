#pragma once

#include <QWidget>
#include <cstdint>
#include <filesystem>

#include "app/core/settings.h"

class QLineEdit;
class QSlider;
class QSplitter;

namespace kalder::app {
struct Settings;
}

namespace kalder::gui {

class FolderTreePane;
class ThumbnailBrowser;
class StatusBar;
class Toolbar;

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
    ThumbnailBrowser* fileList() const { return m_list; }
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

    void setBrowserView(app::BrowserView view);

    // Above the list: the name filter and the thumbnail size slider.
    QLineEdit* filterBox() const { return m_filter; }
    QSlider* sizeSlider() const { return m_size; }

signals:
    // The filter text changed (typed, or cleared with Escape).
    void nameFilterChanged(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    app::Settings& m_settings;
    Toolbar* m_toolbar = nullptr;
    ThumbnailBrowser* m_list = nullptr;
    FolderTreePane* m_tree = nullptr;
    StatusBar* m_status = nullptr;
    QWidget* m_slot = nullptr;
    QWidget* m_listBox = nullptr;  // the filter bar over the list
    QLineEdit* m_filter = nullptr;
    QSlider* m_size = nullptr;
    QSplitter* m_vertical = nullptr;    // enhanced: list above, tree and slot below
    QSplitter* m_horizontal = nullptr;  // tree | slot, or tree | list
    bool m_enhanced = true;
    bool m_splitsApplied = false;
};

}  // namespace kalder::gui
