#pragma once

#include <QAbstractScrollArea>
#include <QLineEdit>
#include <QMetaType>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/core/settings.h"
#include "view/browser_sort.h"
class QHeaderView;
class QMimeData;

namespace kalder::shell {
class FileOperations;
}
namespace kalder::view {
class FolderImages;
class ImageEntry;
}  // namespace kalder::view

// The signals carry entries of the folder's list.
Q_DECLARE_OPAQUE_POINTER(kalder::view::ImageEntry*)
Q_DECLARE_METATYPE(kalder::view::ImageEntry*)

namespace kalder::gui {

// The folder's files as custom-drawn cells in columns filled top to bottom; the strip scrolls
// horizontally. The details view instead lists one row per file under a header of columns and
// scrolls vertically. Thumbnails come from the folder's thumbnail loader: poll() repaints the
// cells whose thumbnails have become ready since the last paint. Screen readers see a list of
// items named by file (thumbnail_browser_accessible.cpp).
class ThumbnailBrowser : public QAbstractScrollArea {
    Q_OBJECT
public:
    // The browser view the options name.
    using Mode = app::BrowserView;
    static constexpr int kSmallBox = 80;
    static constexpr int kBigBox = 120;
    static constexpr int kIconSide = 16;  // the small icon, also the gap between columns

    explicit ThumbnailBrowser(QWidget* parent = nullptr);

    void setImages(view::FolderImages* images) { m_images = images; }
    view::FolderImages* images() const { return m_images; }
    std::size_t itemCount() const { return count(); }
    void setFileOperations(shell::FileOperations* operations) { m_operations = operations; }
    void setFileTooltips(bool on) { m_fileTooltips = on; }
    // The horizontal scroll bar's thickness; 0 keeps the style's.
    void setScrollBarSize(int size);

    // Switching between the thumbnail views restarts the thumbnail loader with the new box;
    // the list view suspends it.
    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    // The thumbnail side in logical pixels: the size slider's, else the view's own.
    int box() const;
    // The box of a thumbnail view: the chosen size (clamped), or the view's own (0 chosen).
    static int boxFor(bool big, int thumbnailSize);
    // The side the loader makes thumbnails at: the box in device pixels, so they are sharp on
    // a scaled screen.
    int deviceBox() const;
    // From the size slider (logical pixels, 0 for the view's own); restarts the thumbnails.
    void setThumbnailSize(int side);
    bool thumbnailMode() const { return m_mode != Mode::List && m_mode != Mode::Details; }

    // --- details view ---
    enum Column { NameColumn, SizeColumn, DimensionsColumn, TypeColumn, ModifiedColumn };
    QHeaderView* header() const { return m_header; }
    // Shows the order on the header (the column of the key and its direction); the owner calls
    // it after every sort, a header click included.
    void setSortIndicator(view::SortKey key, view::SortOrder order);
    // The text of a details cell.
    QString columnText(std::size_t index, Column column) const;
    // The picture's own size read from the file once (no decoding); empty when unknown.
    QSize imageSize(std::size_t index) const;
    // What a screen reader says after the name: "1.5 KB, 640 × 480".
    QString accessibleDescription(std::size_t index) const;

    // Rebuilds the cells from the list (after a load, sort, rename or delete).
    void refresh();
    // Makes the entry current and (unless keepSelection) the only selected one, and scrolls it
    // into view; silent.
    void setCurrent(const view::ImageEntry* entry, bool keepSelection = false);
    view::ImageEntry* current() const { return m_current; }
    // Repaints when a visible cell's thumbnail became ready; answers whether it did.
    bool poll();
    // Every visible cell's thumbnail is made (or failed), or no thumbnails are shown.
    bool visibleThumbnailsMade() const;

    // --- layout ---
    int rowHeight() const;
    int rowsPerColumn() const;
    // The cell of entry `index` in viewport coordinates (scrolled).
    QRect cellRect(std::size_t index) const;
    // The entry under a viewport point, or -1.
    std::ptrdiff_t indexAt(const QPoint& p) const;
    // The rectangle the thumbnail of entry `index` is drawn in (empty when there is none).
    QRect thumbnailRect(std::size_t index) const;
    // The name as drawn: cut with "..." when it does not fit.
    QString shownName(std::size_t index) const;

    // Deletes the selected files: to the trash, or for good after a question. Answers
    // whether anything was deleted.
    bool deleteSelected(bool forGood);

    // --- renaming ---
    // Puts the current entry's name into an edit box over its cell (F2, or a slow second
    // click); Enter or leaving the box renames, Escape cancels.
    bool startRename();
    bool renaming() const { return m_editor != nullptr; }
    QLineEdit* renameEditor() const { return m_editor; }
    // Renames the entry's file (the description follows the new name). False, after a
    // message, when the file system refused.
    bool renameEntry(view::ImageEntry* entry, const QString& newName);

    // --- rubber band ---
    bool bandActive() const { return m_banding; }
    // The band in viewport coordinates (empty when there is none).
    QRect bandRect() const;

    // Removes the entries of these names whose files are no longer there (after a move out of
    // the folder), as after a delete; answers how many went.
    std::size_t dropVanished(const std::vector<std::string>& names);

    // What the tooltip of entry `index` says: the whole name when it is cut, else the file's
    // facts (with file information tooltips on), else nothing.
    QString tooltipText(std::size_t index) const;

    // Hooks for tests: a message box, and the drag itself (answers the action the target took).
    std::function<void(const QString& text)> showWarning;
    std::function<bool(const QString& question)> confirm;
    std::function<Qt::DropAction(QMimeData* data)> runDrag;

signals:
    // The user made another entry current (click or key).
    void currentChanged(kalder::view::ImageEntry* entry);
    // A click on a details column's header: sort by its key, or turn the order round.
    void sortRequested(kalder::view::SortKey key, kalder::view::SortOrder order);
    void selectionChanged();
    void activated(kalder::view::ImageEntry* entry);
    void contextMenuRequested(const QPoint& globalPos);
    // The selected entries are about to be freed.
    void entriesAboutToBeRemoved();
    // Entries were removed; `next` is the new current entry (or nullptr).
    void entriesRemoved(kalder::view::ImageEntry* next);
    // The entry's file has a new name; the loaders were stopped, so the image is asked for again.
    void entryRenamed(kalder::view::ImageEntry* entry);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool viewportEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    // Outside the details view: calls visit(index, cell) for the cells that reach into `area`
    // (viewport coordinates), left to right, until visit returns false.
    void forEachCellIn(const QRect& area,
                       const std::function<bool(std::size_t, const QRect&)>& visit) const;
    std::size_t count() const;
    bool details() const { return m_mode == Mode::Details; }
    void drawDetailsRow(QPainter& p, std::size_t index, const QRect& row);
    void headerClicked(int section);
    // Screen readers hear of the new current item and the selection.
    void announceCurrent();
    int cellWidth(std::size_t index) const;
    void relayout();
    void drawCell(QPainter& p, std::size_t index, const QRect& cell);
    void moveCurrent(std::ptrdiff_t index, bool extend);
    void selectRange(std::size_t from, std::size_t to);
    void ensureVisible(std::size_t index);
    void updateThumbnailStart();
    void removeGone(const std::vector<const view::ImageEntry*>& gone);
    void warn(const QString& text);
    // Mouse helpers (thumbnail_browser_mouse.cpp).
    void startBand(const QPoint& at);
    void updateBand(const QPoint& at);
    void edgeScroll();
    void renameTimerFired();
    void finishRename(bool accept);
    void startDrag();
    QRect nameRect(std::size_t index) const;
    void hoverAt(const QPoint& at);
    void showTip();

    view::FolderImages* m_images = nullptr;
    shell::FileOperations* m_operations = nullptr;
    Mode m_mode = Mode::SmallThumbnails;
    bool m_fileTooltips = true;
    view::ImageEntry* m_current = nullptr;
    std::size_t m_anchor = 0;
    int m_rows = 1;
    std::vector<int> m_columnX;      // content x of each column
    std::vector<int> m_columnWidth;  // widest cell of each column
    int m_contentWidth = 0;
    std::vector<bool> m_drawnReady;  // the cell was painted with its thumbnail

    // Press state: a plain click on a selected item selects it alone only on release, so that
    // a multiple selection can be dragged.
    QPoint m_pressPos;
    std::ptrdiff_t m_pressIndex = -1;
    bool m_deferredSelect = false;
    bool m_focusFromClick = false;
    // Rubber band, in content coordinates (x includes the scroll offset).
    bool m_banding = false;
    QPoint m_bandOrigin;
    QPoint m_bandEnd;
    QTimer m_edgeTimer;
    // Slow second click on the current item.
    QTimer m_renameTimer;
    const view::ImageEntry* m_renameCandidate = nullptr;
    QPointer<QLineEdit> m_editor;
    // The item under the mouse and the timer that brings up its tooltip.
    std::ptrdiff_t m_tipIndex = -1;
    QTimer m_tipTimer;
    view::ImageEntry* m_editing = nullptr;
    int m_thumbnailSize = 0;
    QHeaderView* m_header = nullptr;
    mutable std::unordered_map<const view::ImageEntry*, QSize> m_sizes;
};

}  // namespace kalder::gui
