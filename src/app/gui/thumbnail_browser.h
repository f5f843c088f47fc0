#pragma once

#include <QAbstractScrollArea>
#include <QLineEdit>
#include <QMetaType>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/core/settings.h"
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
// horizontally. Thumbnails come from the folder's thumbnail loader: poll() repaints the cells
// whose thumbnails have become ready since the last paint.
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
    void setFileOperations(shell::FileOperations* operations) { m_operations = operations; }
    void setFileTooltips(bool on) { m_fileTooltips = on; }
    // The horizontal scroll bar's thickness; 0 keeps the style's.
    void setScrollBarSize(int size);

    // Switching between the thumbnail views restarts the thumbnail loader with the new box;
    // the list view suspends it.
    void setMode(Mode mode);
    Mode mode() const { return m_mode; }
    int box() const { return m_mode == Mode::BigThumbnails ? kBigBox : kSmallBox; }

    // Rebuilds the cells from the list (after a load, sort, rename or delete).
    void refresh();
    // Makes the entry current and (unless keepSelection) the only selected one, and scrolls it
    // into view; silent.
    void setCurrent(const view::ImageEntry* entry, bool keepSelection = false);
    view::ImageEntry* current() const { return m_current; }
    // Repaints when a visible cell's thumbnail became ready; answers whether it did.
    bool poll();

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
    std::size_t count() const;
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
};

}  // namespace kalder::gui
