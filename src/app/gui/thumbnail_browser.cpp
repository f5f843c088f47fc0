// The browser model's headers name a member "slots", which Qt's keyword macros would eat: they
// come before any Qt header.
#include "app/gui/thumbnail_browser.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QHeaderView>
#include <QHelpEvent>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "app/gui/icons.h"
#include "app/gui/operation_feedback.h"
#include "app/gui/thumbnail_browser_accessible.h"
#include "image/image_document.h"
#include "shell/file_operations.h"
#include "shell/qt/qt_path.h"
#include "view/descriptions.h"
#include "view/folder_images.h"
#include "view/image_facts.h"

namespace kalder::gui {
namespace fs = std::filesystem;

namespace {

constexpr int kEdgeScrollMs = 100;
constexpr int kSlowClickMs = 750;
// Tooltip timing, in double-click times: up after 2, the next one after 2 while one is up,
// gone after 20.
constexpr int kTipInitialFactor = 2;
constexpr int kTipReshowFactor = 2;
constexpr int kTipShowFactor = 20;

QString entryName(const view::ImageEntry* e) { return shell::toQString(e->name()); }

// The sort key of a details column; the dimensions have none.
std::optional<view::SortKey> columnKey(int column) {
    switch (column) {
        case ThumbnailBrowser::NameColumn:
            return view::SortKey::Name;
        case ThumbnailBrowser::SizeColumn:
            return view::SortKey::Size;
        case ThumbnailBrowser::TypeColumn:
            return view::SortKey::Extension;
        case ThumbnailBrowser::ModifiedColumn:
            return view::SortKey::Date;
        default:
            return std::nullopt;
    }
}

int keyColumn(view::SortKey key) {
    switch (key) {
        case view::SortKey::Size:
            return ThumbnailBrowser::SizeColumn;
        case view::SortKey::Extension:
            return ThumbnailBrowser::TypeColumn;
        case view::SortKey::Date:
            return ThumbnailBrowser::ModifiedColumn;
        default:
            return ThumbnailBrowser::NameColumn;
    }
}

}  // namespace

ThumbnailBrowser::ThumbnailBrowser(QWidget* parent) : QAbstractScrollArea(parent) {
    qRegisterMetaType<view::ImageEntry*>();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    m_edgeTimer.setInterval(kEdgeScrollMs);
    connect(&m_edgeTimer, &QTimer::timeout, this, &ThumbnailBrowser::edgeScroll);
    m_renameTimer.setSingleShot(true);
    m_renameTimer.setInterval(kSlowClickMs);
    connect(&m_renameTimer, &QTimer::timeout, this, &ThumbnailBrowser::renameTimerFired);
    m_tipTimer.setSingleShot(true);
    connect(&m_tipTimer, &QTimer::timeout, this, &ThumbnailBrowser::showTip);
    installBrowserAccessibility();
    setAccessibleName(tr("Files"));

    m_header = new QHeaderView(Qt::Horizontal, this);
    auto* columns = new QStandardItemModel(0, 5, m_header);
    columns->setHorizontalHeaderLabels(
        {tr("Name"), tr("Size"), tr("Dimensions"), tr("Type"), tr("Modified")});
    m_header->setModel(columns);
    m_header->setSectionsClickable(true);
    m_header->setSortIndicatorShown(true);
    m_header->setSortIndicator(NameColumn, Qt::AscendingOrder);
    m_header->setStretchLastSection(true);
    m_header->resizeSection(NameColumn, fontMetrics().averageCharWidth() * 32);
    m_header->setAccessibleName(tr("Columns"));
    m_header->hide();
    // The header turns its arrow on a click; what it shows afterwards is the list's order.
    connect(m_header, &QHeaderView::sortIndicatorChanged, this,
            [this](int section, Qt::SortOrder) { headerClicked(section); });
    connect(m_header, &QHeaderView::sectionResized, viewport(), qOverload<>(&QWidget::update));
    // With a screen reader on, the base class's construction already had a plain interface
    // made (and cached) for this widget; it gives way to the list's.
    if (QAccessibleInterface* plain = QAccessible::queryAccessibleInterface(this);
        plain && plain->role() != QAccessible::List)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(plain));
}

int ThumbnailBrowser::boxFor(bool big, int thumbnailSize) {
    if (thumbnailSize > 0)
        return std::clamp(thumbnailSize, app::kMinThumbnailSize, app::kMaxThumbnailSize);
    return big ? kBigBox : kSmallBox;
}

int ThumbnailBrowser::box() const { return boxFor(m_mode == Mode::BigThumbnails, m_thumbnailSize); }

int ThumbnailBrowser::deviceBox() const {
    return static_cast<int>(std::lround(box() * devicePixelRatioF()));
}

void ThumbnailBrowser::setThumbnailSize(int side) {
    side = side <= 0 ? 0 : std::clamp(side, app::kMinThumbnailSize, app::kMaxThumbnailSize);
    if (side == m_thumbnailSize) return;
    m_thumbnailSize = side;
    if (m_images && thumbnailMode()) {
        m_images->startThumbnails(deviceBox(), true);
        m_images->resumeThumbnails();
    }
    relayout();
    if (m_current) ensureVisible(m_current->index());
    updateThumbnailStart();
}

std::size_t ThumbnailBrowser::count() const { return m_images ? m_images->size() : 0; }

void ThumbnailBrowser::setMode(Mode mode) {
    const Mode old = m_mode;
    m_mode = mode;
    if (m_images) {
        if (!thumbnailMode()) {
            m_images->suspendThumbnails();
        } else if (old != mode || !m_images->thumbnailLoader().started()) {
            m_images->startThumbnails(deviceBox(), old != mode);
            m_images->resumeThumbnails();
            updateThumbnailStart();
        }
    }
    // The details view scrolls down its rows under the header; the others sideways.
    setHorizontalScrollBarPolicy(details() ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(details() ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    if (old != mode) {
        horizontalScrollBar()->setValue(0);
        verticalScrollBar()->setValue(0);
    }
    m_header->setVisible(details());
    setViewportMargins(0, details() ? m_header->sizeHint().height() : 0, 0, 0);
    relayout();
    if (m_current) ensureVisible(m_current->index());
}

void ThumbnailBrowser::announceCurrent() {
    if (m_current) announceBrowserItem(this, m_current->index());
}

void ThumbnailBrowser::setSortIndicator(view::SortKey key, view::SortOrder order) {
    const QSignalBlocker quiet(m_header);
    m_header->setSortIndicator(keyColumn(key), order == view::SortOrder::Descending
                                                   ? Qt::DescendingOrder
                                                   : Qt::AscendingOrder);
}

void ThumbnailBrowser::headerClicked(int section) {
    if (!m_images) return;
    const std::optional<view::SortKey> key = columnKey(section);
    if (!key) {
        setSortIndicator(m_images->sortKey(), m_images->sortOrder());
        return;
    }
    const bool same = m_images->sortKey() == *key;
    const bool descending = same && m_images->sortOrder() == view::SortOrder::Ascending;
    emit sortRequested(*key, descending ? view::SortOrder::Descending : view::SortOrder::Ascending);
}

QSize ThumbnailBrowser::imageSize(std::size_t index) const {
    if (!m_images || index >= count()) return {};
    const view::ImageEntry* e = m_images->at(index);
    const auto found = m_sizes.find(e);
    if (found != m_sizes.end()) return found->second;
    image::ImageInfo info;
    QSize size;
    if (image::ReadImageInfo(e->path(), info, true) && info.width > 0 && info.height > 0)
        size = QSize(info.width, info.height);
    m_sizes.emplace(e, size);
    return size;
}

QString ThumbnailBrowser::columnText(std::size_t index, Column column) const {
    if (!m_images || index >= count()) return {};
    view::ImageEntry* e = m_images->at(index);
    if ((column == SizeColumn || column == ModifiedColumn) && !e->hasStatus()) e->refreshStatus();
    switch (column) {
        case NameColumn:
            return entryName(e);
        case SizeColumn:
            return e->hasStatus() ? QString::fromStdString(view::shortFileSize(e->fileSize()))
                                  : QString();
        case DimensionsColumn: {
            const QSize s = imageSize(index);
            return s.isEmpty() ? QString() : tr("%1 \u00d7 %2").arg(s.width()).arg(s.height());
        }
        case TypeColumn: {
            const std::string& name = e->name();
            const std::size_t dot = name.rfind('.');
            return dot == std::string::npos ? QString()
                                            : shell::toQString(name.substr(dot + 1)).toUpper();
        }
        case ModifiedColumn:
            return e->hasStatus()
                       ? QString::fromStdString(view::formatFileTime(e->modificationTime()))
                       : QString();
    }
    return {};
}

QString ThumbnailBrowser::accessibleDescription(std::size_t index) const {
    const QString size = columnText(index, SizeColumn);
    const QString dimensions = columnText(index, DimensionsColumn);
    if (size.isEmpty() || dimensions.isEmpty()) return size + dimensions;
    return tr("%1, %2").arg(size, dimensions);
}

// --- layout ---

int ThumbnailBrowser::rowHeight() const {
    const int font = fontMetrics().height();
    if (!thumbnailMode()) return std::max(kIconSide, font) + (details() ? 4 : 1);
    return box() + font + 8;
}

int ThumbnailBrowser::rowsPerColumn() const { return m_rows; }

int ThumbnailBrowser::cellWidth(std::size_t index) const {
    if (details()) return std::max(1, viewport()->width());
    if (m_mode != Mode::List) return box() + 6;
    const int text = fontMetrics().horizontalAdvance(entryName(m_images->at(index)));
    return kIconSide + kIconSide / 8 + text + 3;
}

void ThumbnailBrowser::relayout() {
    const std::size_t n = count();
    if (details()) {
        // One column of full-width rows.
        m_rows = static_cast<int>(std::max<std::size_t>(1, n));
        m_columnX.assign(n ? 1 : 0, 0);
        m_columnWidth.assign(n ? 1 : 0, viewport()->width());
        m_contentWidth = viewport()->width();
        m_drawnReady.assign(n, false);
        m_sizes.clear();
        QScrollBar* bar = verticalScrollBar();
        const int height = static_cast<int>(n) * rowHeight();
        bar->setRange(0, std::max(0, height - viewport()->height()));
        bar->setPageStep(std::max(1, viewport()->height()));
        bar->setSingleStep(rowHeight());
        if (m_header)
            m_header->setGeometry(viewport()->x(), viewport()->y() - m_header->sizeHint().height(),
                                  viewport()->width(), m_header->sizeHint().height());
        viewport()->update();
        return;
    }
    m_rows = std::max(1, (viewport()->height() - 1) / rowHeight());
    const std::size_t columns =
        (n + static_cast<std::size_t>(m_rows) - 1) / static_cast<std::size_t>(m_rows);
    m_columnX.assign(columns, 0);
    m_columnWidth.assign(columns, 0);
    int x = kIconSide;
    for (std::size_t c = 0; c < columns; ++c) {
        int widest = 0;
        for (std::size_t i = c * static_cast<std::size_t>(m_rows);
             i < std::min(n, (c + 1) * static_cast<std::size_t>(m_rows)); ++i)
            widest = std::max(widest, cellWidth(i));
        m_columnX[c] = x;
        m_columnWidth[c] = widest;
        x += widest + kIconSide;
    }
    m_contentWidth = x;
    m_drawnReady.assign(n, false);
    QScrollBar* bar = horizontalScrollBar();
    bar->setRange(0, std::max(0, m_contentWidth - viewport()->width()));
    bar->setPageStep(std::max(1, viewport()->width()));
    bar->setSingleStep(m_columnWidth.empty() ? 20 : m_columnWidth.front() + kIconSide);
    viewport()->update();
}

QRect ThumbnailBrowser::cellRect(std::size_t index) const {
    if (index >= count() || m_columnX.empty()) return {};
    const std::size_t column = index / static_cast<std::size_t>(m_rows);
    const int row = static_cast<int>(index % static_cast<std::size_t>(m_rows));
    if (details())
        return {0, row * rowHeight() - verticalScrollBar()->value(), viewport()->width(),
                rowHeight()};
    const int width = m_mode == Mode::List ? m_columnWidth[column] : cellWidth(index);
    return {m_columnX[column] - horizontalScrollBar()->value(), row * rowHeight(), width,
            rowHeight()};
}

std::ptrdiff_t ThumbnailBrowser::indexAt(const QPoint& p) const {
    if (details()) {
        if (p.y() < 0 || p.x() < 0 || p.x() >= viewport()->width()) return -1;
        const auto row =
            static_cast<std::size_t>((p.y() + verticalScrollBar()->value()) / rowHeight());
        return row < count() ? static_cast<std::ptrdiff_t>(row) : -1;
    }
    const int x = p.x() + horizontalScrollBar()->value();
    for (std::size_t c = 0; c < m_columnX.size(); ++c) {
        if (x < m_columnX[c] || x >= m_columnX[c] + m_columnWidth[c]) continue;
        const int row = p.y() / rowHeight();
        if (p.y() < 0 || row >= m_rows) return -1;
        const std::size_t i = c * static_cast<std::size_t>(m_rows) + static_cast<std::size_t>(row);
        if (i >= count() || !cellRect(i).contains(p)) return -1;
        return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
}

QRect ThumbnailBrowser::thumbnailRect(std::size_t index) const {
    if (!thumbnailMode() || index >= count()) return {};
    QRect r;
    const double ratio = devicePixelRatioF();
    m_images->at(index)->withThumbnail([&](const image::Bitmap32* t) {
        if (!t || t->isEmpty()) return;
        // The thumbnail counts device pixels; on screen it takes their logical size.
        const int w = static_cast<int>(std::lround(t->width() / ratio));
        const int h = static_cast<int>(std::lround(t->height() / ratio));
        const QRect cell = cellRect(index);
        const QRect area(cell.left() + 3, cell.top() + 3, box(), box());
        r = QRect(area.left() + (box() - w) / 2, area.top() + (box() - h) / 2, w, h);
    });
    return r;
}

QString ThumbnailBrowser::shownName(std::size_t index) const {
    const QString name = entryName(m_images->at(index));
    if (!thumbnailMode()) return name;
    const QFontMetrics fm = fontMetrics();
    const int room = cellWidth(index) - 6;
    if (fm.horizontalAdvance(name) <= room) return name;
    const QString dots = QStringLiteral("...");
    qsizetype keep = name.size();
    while (keep > 0 && fm.horizontalAdvance(name.left(keep) + dots) > room) --keep;
    return name.left(keep) + dots;
}

// --- painting ---

void ThumbnailBrowser::paintEvent(QPaintEvent* event) {
    QPainter p(viewport());
    const QPalette& pal = palette();
    p.fillRect(event->rect(), pal.color(QPalette::Base));
    const std::size_t n = count();
    if (m_drawnReady.size() != n) m_drawnReady.assign(n, false);
    if (details()) {
        const int top = event->rect().top() + verticalScrollBar()->value();
        const int bottom = event->rect().bottom() + verticalScrollBar()->value();
        const auto first = static_cast<std::size_t>(std::max(0, top / rowHeight()));
        const auto last = static_cast<std::size_t>(std::max(0, bottom / rowHeight()));
        for (std::size_t i = first; i < n && i <= last; ++i) drawCell(p, i, cellRect(i));
        return;
    }
    forEachCellIn(event->rect(), [&](std::size_t i, const QRect& cell) {
        drawCell(p, i, cell);
        return true;
    });
    if (m_banding) {
        QColor edge = pal.color(QPalette::Highlight);
        QColor inside = edge;
        inside.setAlpha(48);
        p.setPen(QPen(edge, 1, Qt::DotLine));
        p.setBrush(inside);
        p.drawRect(bandRect().adjusted(0, 0, -1, -1));
    }
}

void ThumbnailBrowser::drawCell(QPainter& p, std::size_t index, const QRect& cell) {
    const view::ImageEntry* e = m_images->at(index);
    const QPalette& pal = palette();
    QColor fill = pal.color(QPalette::Base);
    QColor text = pal.color(QPalette::Text);
    if (e->selected) {
        fill = hasFocus() ? pal.color(QPalette::Highlight) : pal.color(QPalette::Button);
        text = hasFocus() ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::ButtonText);
    }
    // A 1-pixel border in the window colour stays around every cell.
    p.fillRect(cell.adjusted(1, 1, -1, -1), fill);
    p.setPen(text);
    if (details()) {
        drawDetailsRow(p, index, cell);
        return;
    }
    if (m_mode == Mode::List) {
        const int iconY = cell.top() + (cell.height() - kIconSide) / 2;
        p.drawPixmap(cell.left() + 1, iconY, applicationIcon().pixmap(kIconSide, kIconSide));
        const QRect textRect(cell.left() + kIconSide + kIconSide / 8 + 1, cell.top(),
                             cell.width() - kIconSide - kIconSide / 8 - 1, cell.height());
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, entryName(e));
        return;
    }
    const int b = box();
    p.setPen(pal.color(QPalette::Mid));
    p.drawRect(QRect(cell.left() + 2, cell.top() + 2, b + 1, b + 1));
    bool ready = false;
    const double ratio = devicePixelRatioF();
    e->withThumbnail([&](const image::Bitmap32* t) {
        if (!t || t->isEmpty()) return;
        ready = true;
        // A view over the loader's pixels; their fourth byte is not an alpha value, so the
        // copy that is drawn drops it. Made at the device box, it is drawn pixel for pixel.
        const QImage view(t->pixels(), t->width(), t->height(), static_cast<qsizetype>(t->stride()),
                          QImage::Format_RGB32);
        QImage shown = view.convertToFormat(QImage::Format_RGB888);
        shown.setDevicePixelRatio(ratio);
        const int w = static_cast<int>(std::lround(t->width() / ratio));
        const int h = static_cast<int>(std::lround(t->height() / ratio));
        p.drawImage(QPoint(cell.left() + 3 + (b - w) / 2, cell.top() + 3 + (b - h) / 2), shown);
    });
    if (index < m_drawnReady.size()) m_drawnReady[index] = ready;
    p.setPen(text);
    const QRect nameRect(cell.left() + 3, cell.top() + b + 5, cell.width() - 6,
                         cell.height() - b - 5);
    p.drawText(nameRect, Qt::AlignHCenter | Qt::AlignTop, shownName(index));
}

void ThumbnailBrowser::drawDetailsRow(QPainter& p, std::size_t index, const QRect& row) {
    for (int c = NameColumn; c <= ModifiedColumn; ++c) {
        const int x = m_header->sectionViewportPosition(c);
        const int w = m_header->sectionSize(c);
        if (w <= 0 || x + w < 0) continue;
        QRect area(row.left() + x + 3, row.top(), w - 6, row.height());
        if (c == NameColumn) {
            const int iconY = row.top() + (row.height() - kIconSide) / 2;
            p.drawPixmap(area.left(), iconY, applicationIcon().pixmap(kIconSide, kIconSide));
            area.setLeft(area.left() + kIconSide + kIconSide / 4);
        }
        const QString text = p.fontMetrics().elidedText(columnText(index, static_cast<Column>(c)),
                                                        Qt::ElideRight, area.width());
        const bool number = c == SizeColumn || c == DimensionsColumn;
        p.drawText(area, (number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, text);
    }
}

bool ThumbnailBrowser::poll() {
    if (!thumbnailMode() || !isVisible()) return false;
    const std::size_t n = count();
    if (m_drawnReady.size() != n) m_drawnReady.assign(n, false);
    bool ready = false;
    forEachCellIn(viewport()->rect(), [&](std::size_t i, const QRect&) {
        ready = !m_drawnReady[i] && m_images->at(i)->thumbnailReady();
        return !ready;
    });
    if (ready) viewport()->update();
    return ready;
}

bool ThumbnailBrowser::visibleThumbnailsMade() const {
    if (!thumbnailMode() || !isVisible() || !m_images) return true;
    bool made = true;
    forEachCellIn(viewport()->rect(), [&](std::size_t i, const QRect&) {
        made = m_images->at(i)->thumbnailDone();
        return made;
    });
    return made;
}

void ThumbnailBrowser::forEachCellIn(
    const QRect& area, const std::function<bool(std::size_t, const QRect&)>& visit) const {
    // Cells run down each column, then on to the next column to the right.
    for (std::size_t i = 0; i < count(); ++i) {
        const QRect cell = cellRect(i);
        if (cell.right() < area.left()) continue;
        if (cell.left() > area.right()) break;
        if (!visit(i, cell)) return;
    }
}

// --- current and selection ---

void ThumbnailBrowser::refresh() {
    if (m_current && (!m_images || !m_images->entries().contains(m_current))) m_current = nullptr;
    m_sizes.clear();
    relayout();
    updateThumbnailStart();
}

void ThumbnailBrowser::setScrollBarSize(int size) {
    if (size > 0)
        horizontalScrollBar()->setFixedHeight(size);
    else
        horizontalScrollBar()->setFixedHeight(horizontalScrollBar()->sizeHint().height());
}

void ThumbnailBrowser::setCurrent(const view::ImageEntry* entry, bool keepSelection) {
    if (!m_images) return;
    m_current =
        entry && m_images->entries().contains(entry) ? m_images->at(entry->index()) : nullptr;
    if (!keepSelection) m_images->selectOnly(m_current);
    if (m_current) {
        if (!keepSelection) m_anchor = m_current->index();
        ensureVisible(m_current->index());
    }
    viewport()->update();
    announceCurrent();
}

void ThumbnailBrowser::selectRange(std::size_t from, std::size_t to) {
    if (from > to) std::swap(from, to);
    for (std::size_t i = 0; i < count(); ++i) m_images->at(i)->selected = i >= from && i <= to;
}

void ThumbnailBrowser::moveCurrent(std::ptrdiff_t index, bool extend) {
    if (index < 0 || static_cast<std::size_t>(index) >= count()) return;
    const auto i = static_cast<std::size_t>(index);
    if (extend) {
        selectRange(m_anchor, i);
    } else {
        m_images->selectOnly(m_images->at(i));
        m_anchor = i;
    }
    const bool changed = m_current != m_images->at(i);
    m_current = m_images->at(i);
    ensureVisible(i);
    viewport()->update();
    announceCurrent();
    emit selectionChanged();
    if (changed) emit currentChanged(m_current);
}

void ThumbnailBrowser::ensureVisible(std::size_t index) {
    const QRect r = cellRect(index);
    if (r.isNull()) return;
    if (details()) {
        QScrollBar* down = verticalScrollBar();
        if (r.top() < 0)
            down->setValue(down->value() + r.top());
        else if (r.bottom() >= viewport()->height())
            down->setValue(down->value() + r.bottom() - viewport()->height() + 1);
        return;
    }
    QScrollBar* bar = horizontalScrollBar();
    if (r.left() < 0)
        bar->setValue(bar->value() + r.left() - kIconSide);
    else if (r.right() >= viewport()->width())
        bar->setValue(bar->value() + r.right() - viewport()->width() + 1 + kIconSide);
}

void ThumbnailBrowser::updateThumbnailStart() {
    if (!m_images || !thumbnailMode()) return;
    const std::ptrdiff_t first = indexAt(QPoint(kIconSide + 1, 1));
    std::size_t i = first >= 0 ? static_cast<std::size_t>(first) : 0;
    if (first < 0) {
        // The first column whose cells reach into the view.
        const int x = horizontalScrollBar()->value();
        for (std::size_t c = 0; c < m_columnX.size(); ++c)
            if (m_columnX[c] + m_columnWidth[c] > x) {
                i = c * static_cast<std::size_t>(m_rows);
                break;
            }
    }
    if (i < count()) m_images->setThumbnailStart(m_images->at(i));
}

// --- deleting ---

bool ThumbnailBrowser::deleteSelected(bool forGood) {
    if (!m_images || !m_operations) return false;
    const std::vector<const view::ImageEntry*> chosen = m_images->selectedEntries();
    if (chosen.empty()) return false;
    if (forGood) {
        const QString what = chosen.size() == 1
                                 ? QStringLiteral("\"%1\"").arg(entryName(chosen.front()))
                                 : QStringLiteral("these %1 files").arg(chosen.size());
        const QString question = tr("Delete %1 for good? This cannot be undone.").arg(what);
        const bool yes =
            confirm ? confirm(question)
                    : QMessageBox::question(this, tr("Delete"), question) == QMessageBox::Yes;
        if (!yes) return false;
    }
    std::vector<fs::path> paths;
    for (const view::ImageEntry* e : chosen) paths.push_back(e->path());
    const shell::OperationResult result = m_operations->deleteFiles(paths, !forGood);
    // Only the files that really went leave the list.
    std::vector<const view::ImageEntry*> gone;
    for (const view::ImageEntry* e : chosen)
        if (std::find(result.done.begin(), result.done.end(), e->path()) != result.done.end())
            gone.push_back(e);
    if (!result.errors.empty()) {
        warn(errorList(result.errors));
    }
    if (gone.empty()) return false;
    removeGone(gone);
    return true;
}

void ThumbnailBrowser::removeGone(const std::vector<const view::ImageEntry*>& gone) {
    if (std::find(gone.begin(), gone.end(), m_current) != gone.end()) m_current = nullptr;
    if (m_editing && std::find(gone.begin(), gone.end(), m_editing) != gone.end())
        finishRename(false);
    m_renameCandidate = nullptr;
    emit entriesAboutToBeRemoved();
    view::ImageEntry* next = m_images->removeEntries(gone);
    // The descriptions of the files that left go with them.
    view::writeDescriptions(m_images->folder(), m_images->entries());
    relayout();
    if (next) setCurrent(next);
    emit entriesRemoved(next);
}

void ThumbnailBrowser::warn(const QString& text) {
    if (showWarning)
        showWarning(text);
    else
        QMessageBox::warning(this, QStringLiteral("Kalder"), text);
}

// --- events ---

void ThumbnailBrowser::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    relayout();
    // The current cell may have been scrolled into a view that was not laid out yet (at
    // start-up it is a few pixels wide): in the real view it must not stay cut off.
    if (m_current) {
        const QRect cell = cellRect(m_current->index());
        if (cell.intersects(viewport()->rect()) && !viewport()->rect().contains(cell))
            ensureVisible(m_current->index());
    }
    updateThumbnailStart();
}

void ThumbnailBrowser::scrollContentsBy(int, int) {
    viewport()->update();
    updateThumbnailStart();
}

void ThumbnailBrowser::keyPressEvent(QKeyEvent* event) {
    const std::size_t n = count();
    const bool extend = event->modifiers() & Qt::ShiftModifier;
    if (event->key() == Qt::Key_Delete) {
        deleteSelected(extend);
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (m_current) emit activated(m_current);
        return;
    }
    if (n == 0) return QAbstractScrollArea::keyPressEvent(event);
    const auto rows = static_cast<std::ptrdiff_t>(m_rows);
    const auto last = static_cast<std::ptrdiff_t>(n) - 1;
    const std::ptrdiff_t at = m_current ? static_cast<std::ptrdiff_t>(m_current->index()) : -1;
    if (at < 0) {
        moveCurrent(0, false);
        return;
    }
    const std::ptrdiff_t column = at / rows;
    std::ptrdiff_t target = at;
    // One column of rows: sideways keys have nowhere to go.
    if (details() && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) return;
    switch (event->key()) {
        case Qt::Key_Left:
            target = column == 0 ? 0 : at - rows;
            break;
        case Qt::Key_Right:
            target = (column + 1) * rows <= last ? std::min(at + rows, last) : at;
            break;
        case Qt::Key_Up:
            target = std::max<std::ptrdiff_t>(0, at - 1);
            break;
        case Qt::Key_Down:
            target = std::min(last, at + 1);
            break;
        case Qt::Key_Home:
            target = 0;
            break;
        case Qt::Key_End:
            target = last;
            break;
        default:
            QAbstractScrollArea::keyPressEvent(event);
            return;
    }
    moveCurrent(target, extend);
}

void ThumbnailBrowser::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

QString ThumbnailBrowser::tooltipText(std::size_t index) const {
    if (!m_images || index >= count()) return {};
    const view::ImageEntry* e = m_images->at(index);
    // A cut name is shown whole; otherwise the file's facts, when they are wanted.
    if (thumbnailMode() && shownName(index) != entryName(e)) return entryName(e);
    if (!m_fileTooltips) return {};
    return QString::fromStdString(view::fileInformationText(e->path(), true))
        .replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

void ThumbnailBrowser::hoverAt(const QPoint& at) {
    const std::ptrdiff_t i = indexAt(at);
    if (i == m_tipIndex) return;
    m_tipIndex = i;
    if (i < 0) {
        m_tipTimer.stop();
        QToolTip::hideText();
        return;
    }
    // Moving on from a tip that is up shows the next one after the shorter reshow delay.
    const int dct = QApplication::doubleClickInterval();
    m_tipTimer.start(QToolTip::isVisible() ? kTipReshowFactor * dct : kTipInitialFactor * dct);
}

void ThumbnailBrowser::showTip() {
    if (m_tipIndex < 0 || static_cast<std::size_t>(m_tipIndex) >= count()) return;
    const auto index = static_cast<std::size_t>(m_tipIndex);
    const QString tip = tooltipText(index);
    if (tip.isEmpty()) {
        QToolTip::hideText();
        return;
    }
    QToolTip::showText(QCursor::pos(), tip, viewport(), cellRect(index),
                       kTipShowFactor * QApplication::doubleClickInterval());
}

bool ThumbnailBrowser::viewportEvent(QEvent* event) {
    // Tips follow our own delays (in double-click times), not the style's.
    if (event->type() == QEvent::ToolTip) return true;
    if (event->type() == QEvent::Leave) {
        m_tipIndex = -1;
        m_tipTimer.stop();
        QToolTip::hideText();
    }
    return QAbstractScrollArea::viewportEvent(event);
}

void ThumbnailBrowser::wheelEvent(QWheelEvent* event) {
    // The strip only scrolls sideways: the wheel's usual turn moves it, as in any strip.
    const QPoint delta = event->angleDelta();
    if (!details() && std::abs(delta.y()) > std::abs(delta.x())) {
        QCoreApplication::sendEvent(horizontalScrollBar(), event);
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void ThumbnailBrowser::focusInEvent(QFocusEvent* event) {
    // A click that gives the browser the focus is not a second click on the current item.
    m_focusFromClick = event->reason() == Qt::MouseFocusReason;
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
}

void ThumbnailBrowser::focusOutEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusOutEvent(event);
    viewport()->update();
}

}  // namespace kalder::gui
