// The browser's mouse work: clicks and the slow second click that renames, the rubber band with
// edge scrolling, and dragging files out as a URI list.
#include <QApplication>
#include <QCursor>
#include <QDrag>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QToolTip>
#include <QUrl>
#include <algorithm>

#include "app/gui/operation_feedback.h"
#include "app/gui/thumbnail_browser.h"
#include "shell/file_operations.h"
#include "shell/qt/qt_path.h"
#include "view/descriptions.h"
#include "view/folder_images.h"

namespace kalder::gui {
namespace fs = std::filesystem;

namespace {

// How close to the left or right edge the cursor must be for the band to scroll the strip.
constexpr int kEdgeZone = 4;

}  // namespace

// --- clicks ---

void ThumbnailBrowser::mousePressEvent(QMouseEvent* event) {
    const bool hadFocus = !m_focusFromClick;
    m_focusFromClick = false;
    m_renameTimer.stop();
    m_tipTimer.stop();
    QToolTip::hideText();
    m_deferredSelect = false;
    m_pressIndex = -1;
    if (m_editor) finishRename(true);
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
    const QPoint at = event->position().toPoint();
    const std::ptrdiff_t i = indexAt(at);
    if (i < 0) {
        if (event->button() == Qt::LeftButton && m_images) {
            for (std::size_t k = 0; k < count(); ++k) m_images->at(k)->selected = false;
            viewport()->update();
            emit selectionChanged();
            // Rows fill the details view's width: a band has nowhere to start.
            if (!details()) startBand(at);
        }
        return;
    }
    const auto index = static_cast<std::size_t>(i);
    view::ImageEntry* e = m_images->at(index);
    if (event->button() == Qt::RightButton) {
        if (!e->selected) moveCurrent(i, false);
        return;
    }
    m_pressPos = at;
    m_pressIndex = i;
    if (event->modifiers() & Qt::ShiftModifier) {
        moveCurrent(i, true);
    } else if (event->modifiers() & Qt::ControlModifier) {
        if (e != m_current) {
            e->selected = !e->selected;
            viewport()->update();
            emit selectionChanged();
        }
    } else if (e == m_current && hadFocus) {
        // A second, slow click on the current item renames it, unless the mouse has left
        // the item when the timer fires or a double click comes first.
        m_renameCandidate = e;
        m_renameTimer.start();
        m_deferredSelect = true;
    } else if (e->selected) {
        // Keep a multiple selection until the release, so that it can be dragged.
        if (e != m_current) {
            m_current = e;
            viewport()->update();
            emit currentChanged(e);
        }
        m_deferredSelect = true;
    } else {
        moveCurrent(i, false);
    }
}

void ThumbnailBrowser::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (m_banding) {
        updateBand(at);
        return;
    }
    if (event->buttons() == Qt::NoButton) {
        hoverAt(at);
        return;
    }
    if (!(event->buttons() & Qt::LeftButton) || m_pressIndex < 0) return;
    if ((at - m_pressPos).manhattanLength() < QApplication::startDragDistance()) return;
    m_renameTimer.stop();
    m_deferredSelect = false;
    m_pressIndex = -1;
    startDrag();
}

void ThumbnailBrowser::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    if (m_banding) {
        updateBand(event->position().toPoint());
        m_banding = false;
        m_edgeTimer.stop();
        viewport()->update();
        return;
    }
    if (m_deferredSelect && m_pressIndex >= 0 && static_cast<std::size_t>(m_pressIndex) < count()) {
        // Selecting the clicked item alone; the current item stays current, so a pending
        // rename is not disturbed.
        m_images->selectOnly(m_images->at(static_cast<std::size_t>(m_pressIndex)));
        m_anchor = static_cast<std::size_t>(m_pressIndex);
        viewport()->update();
        emit selectionChanged();
    }
    m_deferredSelect = false;
    m_pressIndex = -1;
}

void ThumbnailBrowser::mouseDoubleClickEvent(QMouseEvent* event) {
    m_renameTimer.stop();
    m_renameCandidate = nullptr;
    const std::ptrdiff_t i = indexAt(event->position().toPoint());
    if (i >= 0 && event->button() == Qt::LeftButton)
        emit activated(m_images->at(static_cast<std::size_t>(i)));
}

void ThumbnailBrowser::renameTimerFired() {
    const view::ImageEntry* candidate = std::exchange(m_renameCandidate, nullptr);
    if (!candidate || candidate != m_current || !m_images) return;
    const std::ptrdiff_t under = indexAt(viewport()->mapFromGlobal(QCursor::pos()));
    if (under < 0 || m_images->at(static_cast<std::size_t>(under)) != candidate) return;
    startRename();
}

// --- rubber band ---

QRect ThumbnailBrowser::bandRect() const {
    if (!m_banding) return {};
    const int scroll = horizontalScrollBar()->value();
    return QRect(m_bandOrigin, m_bandEnd).normalized().translated(-scroll, 0);
}

void ThumbnailBrowser::startBand(const QPoint& at) {
    m_banding = true;
    m_bandOrigin = at + QPoint(horizontalScrollBar()->value(), 0);
    m_bandEnd = m_bandOrigin;
    m_edgeTimer.start();
}

void ThumbnailBrowser::updateBand(const QPoint& at) {
    if (!m_banding || !m_images) return;
    m_bandEnd = at + QPoint(horizontalScrollBar()->value(), 0);
    const QRect band = bandRect();
    bool changed = false;
    for (std::size_t i = 0; i < count(); ++i) {
        const bool inside = band.intersects(cellRect(i));
        view::ImageEntry* e = m_images->at(i);
        if (e->selected != inside) {
            e->selected = inside;
            changed = true;
        }
    }
    viewport()->update();
    if (changed) emit selectionChanged();
}

void ThumbnailBrowser::edgeScroll() {
    if (!m_banding) {
        m_edgeTimer.stop();
        return;
    }
    const QPoint at = viewport()->mapFromGlobal(QCursor::pos());
    QScrollBar* bar = horizontalScrollBar();
    // One column per tick.
    if (at.x() < kEdgeZone)
        bar->setValue(bar->value() - bar->singleStep());
    else if (at.x() >= viewport()->width() - kEdgeZone)
        bar->setValue(bar->value() + bar->singleStep());
    else
        return;
    updateBand(at);
}

// --- renaming ---

QRect ThumbnailBrowser::nameRect(std::size_t index) const {
    const QRect cell = cellRect(index);
    const int height = fontMetrics().height() + 6;
    if (!thumbnailMode()) {
        const int left = cell.left() + kIconSide + kIconSide / 8 + 1;
        const int room = details() ? m_header->sectionSize(NameColumn) : cell.width();
        const int width =
            std::max(room - (left - cell.left()), fontMetrics().averageCharWidth() * 24);
        return QRect(left, cell.center().y() - height / 2, width, height);
    }
    return QRect(cell.left(), cell.top() + box() + 3, cell.width(), height);
}

bool ThumbnailBrowser::startRename() {
    if (!m_images || !m_current || !m_operations) return false;
    if (m_editor) finishRename(false);
    ensureVisible(m_current->index());
    m_editing = m_current;
    auto* editor = new QLineEdit(viewport());
    const QString name = shell::toQString(m_current->name());
    editor->setText(name);
    editor->setGeometry(nameRect(m_current->index()));
    // The base name is selected, as the extension is seldom what the user wants to change.
    const qsizetype dot = name.lastIndexOf('.');
    editor->setSelection(0, dot > 0 ? dot : name.size());
    editor->installEventFilter(this);
    m_editor = editor;
    editor->show();
    editor->setFocus(Qt::OtherFocusReason);
    return true;
}

bool ThumbnailBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_editor) {
        if (event->type() == QEvent::KeyPress) {
            // Enter and Escape end the edit and nothing else: the line edit would pass them
            // on to the list, where Enter opens the viewer.
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter) {
                finishRename(key != Qt::Key_Escape);
                return true;
            }
        }
        if (event->type() == QEvent::FocusOut) finishRename(true);
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void ThumbnailBrowser::finishRename(bool accept) {
    if (!m_editor) return;
    // The editor goes first: the messages below take the focus, which would end it again.
    QLineEdit* editor = m_editor;
    m_editor = nullptr;
    view::ImageEntry* entry = std::exchange(m_editing, nullptr);
    const QString text = editor->text().trimmed();
    editor->removeEventFilter(this);
    editor->hide();
    editor->deleteLater();
    setFocus(Qt::OtherFocusReason);
    if (accept && entry && m_images && m_images->entries().contains(entry))
        renameEntry(entry, text);
}

bool ThumbnailBrowser::renameEntry(view::ImageEntry* entry, const QString& newName) {
    if (!m_images || !m_operations || !entry || !m_images->entries().contains(entry)) return false;
    const std::string name = shell::toPath(newName).string();
    if (name.empty() || name == entry->name()) return false;
    if (!shell::isValidFileName(name)) {
        warn(tr("A file name cannot contain \"/\" or be \".\" or \"..\"."));
        return false;
    }
    const shell::OperationResult result = m_operations->rename(entry->path(), name);
    if (!result.ok) {
        warn(errorList(result.errors));
        return false;
    }
    m_images->renameEntry(entry, name);
    // The description is kept under the new name.
    view::writeDescriptions(m_images->folder(), m_images->entries());
    relayout();
    setCurrent(entry, true);
    emit entryRenamed(entry);
    return true;
}

// --- dragging out ---

void ThumbnailBrowser::startDrag() {
    if (!m_images) return;
    const std::vector<const view::ImageEntry*> chosen = m_images->selectedEntries();
    if (chosen.empty()) return;
    auto* data = new QMimeData;
    QList<QUrl> urls;
    // The drop may list the folder again (a drop on our own tree), freeing the entries: only
    // their names are kept across the drag.
    std::vector<std::string> names;
    for (const view::ImageEntry* e : chosen) {
        urls.push_back(shell::toUrl(e->path()));
        names.push_back(e->name());
    }
    data->setUrls(urls);
    Qt::DropAction action = Qt::IgnoreAction;
    if (runDrag) {
        action = runDrag(data);
        delete data;
    } else {
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        action = drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
    }
    // Whatever the target said, only the files that really left the folder leave the list.
    if (action == Qt::MoveAction) dropVanished(names);
}

std::size_t ThumbnailBrowser::dropVanished(const std::vector<std::string>& names) {
    if (!m_images) return 0;
    std::vector<const view::ImageEntry*> gone;
    for (const std::string& name : names) {
        const view::ImageEntry* e = m_images->find(name);
        std::error_code ec;
        if (e && !fs::exists(fs::symlink_status(e->path(), ec))) gone.push_back(e);
    }
    if (!gone.empty()) removeGone(gone);
    return gone.size();
}

}  // namespace kalder::gui
