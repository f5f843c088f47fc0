#include "app/gui/folder_tree_pane.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QStyledItemDelegate>
#include <QTreeWidgetItemIterator>
#include <algorithm>
#include <unordered_set>

#include "app/gui/operation_feedback.h"
#include "shell/file_operations.h"
#include "shell/folder_watcher.h"
#include "shell/qt/qt_path.h"
#include "view/drop_rules.h"

namespace kalder::gui {
namespace fs = std::filesystem;

namespace {

constexpr int kPathRole = Qt::UserRole;        // the folder's path, raw bytes
constexpr int kPlaceRole = Qt::UserRole + 1;   // PlaceKind of a top-level item, -1 below
constexpr int kListedRole = Qt::UserRole + 2;  // its children have been listed

const QString kTitle = QStringLiteral("Kalder");

// A drag near the top or bottom edge scrolls every 50 ms; resting on a folder opens it after
// 700 ms.
constexpr int kDragScrollMs = 50;
constexpr int kDragExpandMs = 700;
constexpr int kDragEdge = 16;
// Each watched folder holds an inotify instance, of which a user has few: a tree opened
// further than this goes unwatched below.
constexpr std::size_t kMaxWatches = 48;

QIcon placeIcon(const QStyle* style, shell::PlaceKind kind) {
    switch (kind) {
        case shell::PlaceKind::Home:
            return QIcon::fromTheme(QStringLiteral("user-home"),
                                    style->standardIcon(QStyle::SP_DirHomeIcon));
        case shell::PlaceKind::Desktop:
            return QIcon::fromTheme(QStringLiteral("user-desktop"),
                                    style->standardIcon(QStyle::SP_DesktopIcon));
        case shell::PlaceKind::Pictures:
            return QIcon::fromTheme(QStringLiteral("folder-pictures"),
                                    style->standardIcon(QStyle::SP_DirIcon));
        case shell::PlaceKind::Root:
            return QIcon::fromTheme(QStringLiteral("drive-harddisk-system"),
                                    style->standardIcon(QStyle::SP_ComputerIcon));
        case shell::PlaceKind::Drive:
            return QIcon::fromTheme(QStringLiteral("drive-harddisk"),
                                    style->standardIcon(QStyle::SP_DriveHDIcon));
        case shell::PlaceKind::Removable:
            return QIcon::fromTheme(QStringLiteral("drive-removable-media"),
                                    style->standardIcon(QStyle::SP_DriveFDIcon));
        case shell::PlaceKind::Network:
            return QIcon::fromTheme(QStringLiteral("folder-remote"),
                                    style->standardIcon(QStyle::SP_DriveNetIcon));
    }
    return style->standardIcon(QStyle::SP_DirIcon);
}

QIcon folderIcon(const QStyle* style, bool open) {
    return open ? QIcon::fromTheme(QStringLiteral("folder-open"),
                                   style->standardIcon(QStyle::SP_DirOpenIcon))
                : QIcon::fromTheme(QStringLiteral("folder"),
                                   style->standardIcon(QStyle::SP_DirIcon));
}

bool isAncestor(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* item) {
    for (const QTreeWidgetItem* p = item ? item->parent() : nullptr; p; p = p->parent())
        if (p == ancestor) return true;
    return false;
}

}  // namespace

// The label editor hands the accepted name to the pane instead of writing it into the item,
// so the label changes only when the folder really was renamed.
class FolderNameDelegate : public QStyledItemDelegate {
public:
    explicit FolderNameDelegate(FolderTreePane* pane) : QStyledItemDelegate(pane), m_pane(pane) {}
    void setModelData(QWidget* editor, QAbstractItemModel*,
                      const QModelIndex& index) const override {
        auto* edit = qobject_cast<QLineEdit*>(editor);
        QTreeWidgetItem* item = m_pane->itemFromIndex(index);
        if (edit && item) m_pane->commitRename(item, edit->text());
    }

private:
    FolderTreePane* m_pane;
};

struct FolderTreePane::FolderWatch {
    shell::FolderWatcher watcher;
    std::unique_ptr<QSocketNotifier> notifier;
};

FolderTreePane::~FolderTreePane() = default;

FolderTreePane::FolderTreePane(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(1);
    header()->hide();
    setAccessibleName(tr("Folders"));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setAnimated(false);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    setItemDelegate(new FolderNameDelegate(this));
    setDragEnabled(true);
    setAcceptDrops(true);
    setDragDropMode(QAbstractItemView::DragDrop);
    setDropIndicatorShown(false);
    m_dragScrollTimer.setInterval(kDragScrollMs);
    connect(&m_dragScrollTimer, &QTimer::timeout, this, [this] {
        QScrollBar* bar = verticalScrollBar();
        bar->setValue(bar->value() + m_dragScrollStep * bar->singleStep());
    });
    m_dragExpandTimer.setSingleShot(true);
    m_dragExpandTimer.setInterval(kDragExpandMs);
    connect(&m_dragExpandTimer, &QTimer::timeout, this, [this] {
        QTreeWidgetItem* item = itemAt(m_dragHoverPos);
        if (item && itemPath(item) == m_dragHoverPath && !item->isExpanded()) expandItem(item);
    });

    m_watchTimer.setSingleShot(true);
    connect(&m_watchTimer, &QTimer::timeout, this, &FolderTreePane::applyFolderChanges);

    connect(this, &QTreeWidget::itemExpanded, this, &FolderTreePane::onExpanded);
    connect(this, &QTreeWidget::itemCollapsed, this, &FolderTreePane::onCollapsed);
    connect(this, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current) {
        if (m_quiet == 0 && current) emit folderChosen(shell::toQString(itemPath(current)));
    });
    setPlaces(shell::systemPlaces());
}

void FolderTreePane::hoverDuringDrag(const QPoint& at) {
    const int h = viewport()->height();
    m_dragScrollStep = at.y() < kDragEdge ? -1 : at.y() >= h - kDragEdge ? 1 : 0;
    if (m_dragScrollStep == 0)
        m_dragScrollTimer.stop();
    else if (!m_dragScrollTimer.isActive())
        m_dragScrollTimer.start();
    QTreeWidgetItem* item = itemAt(at);
    const std::filesystem::path path = item ? itemPath(item) : std::filesystem::path();
    m_dragHoverPos = at;
    if (path == m_dragHoverPath) return;
    m_dragHoverPath = path;
    if (item && !item->isExpanded() &&
        item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator)
        m_dragExpandTimer.start();
    else
        m_dragExpandTimer.stop();
}

void FolderTreePane::endDragHover() {
    m_dragScrollTimer.stop();
    m_dragExpandTimer.stop();
    m_dragScrollStep = 0;
    m_dragHoverPath.clear();
}

void FolderTreePane::setMessageHook(MessageHook hook) { m_message = std::move(hook); }

bool FolderTreePane::updatePlaces(const std::vector<shell::Place>& places) {
    if (places == m_places) return false;
    const fs::path current = currentFolder();
    setPlaces(places);
    if (!current.empty()) setCurrentFolder(current);
    return true;
}

void FolderTreePane::setPlaces(const std::vector<shell::Place>& places) {
    m_places = places;
    ++m_quiet;
    setDropHighlight(nullptr);
    clear();
    for (const shell::Place& place : places) {
        auto* item = new QTreeWidgetItem(QStringList{shell::toQString(place.name)});
        item->setData(0, kPathRole, QByteArray::fromStdString(place.path.string()));
        item->setData(0, kPlaceRole, static_cast<int>(place.kind));
        item->setToolTip(0, shell::toQString(place.path));
        item->setIcon(0, placeIcon(style(), place.kind));
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled);
        // Whether a place has sub-folders is learnt when it is opened.
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        addTopLevelItem(item);
    }
    --m_quiet;
    syncWatches();
}

fs::path FolderTreePane::itemPath(const QTreeWidgetItem* item) {
    if (!item) return {};
    return fs::path(item->data(0, kPathRole).toByteArray().toStdString());
}

bool FolderTreePane::isPlace(const QTreeWidgetItem* item) {
    return item && item->data(0, kPlaceRole).toInt() >= 0 && !item->parent();
}

QTreeWidgetItem* FolderTreePane::makeFolderItem(const std::string& name, const fs::path& path,
                                                bool mayHaveSubFolders) const {
    auto* item = new QTreeWidgetItem(QStringList{shell::toQString(name)});
    item->setData(0, kPathRole, QByteArray::fromStdString(path.string()));
    item->setData(0, kPlaceRole, -1);
    item->setIcon(0, folderIcon(style(), false));
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable |
                   Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled);
    item->setChildIndicatorPolicy(mayHaveSubFolders
                                      ? QTreeWidgetItem::ShowIndicator
                                      : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    return item;
}

void FolderTreePane::insertSorted(QTreeWidgetItem* parent, QTreeWidgetItem* child) {
    const std::string name = itemPath(child).filename().string();
    int at = 0;
    while (at < parent->childCount() &&
           !shell::folderNameLess(name, itemPath(parent->child(at)).filename().string()))
        ++at;
    parent->insertChild(at, child);
}

QTreeWidgetItem* FolderTreePane::childNamed(QTreeWidgetItem* parent,
                                            const std::string& name) const {
    for (int i = 0; i < parent->childCount(); ++i)
        if (itemPath(parent->child(i)).filename() == name) return parent->child(i);
    return nullptr;
}

QTreeWidgetItem* FolderTreePane::findItem(const fs::path& folder) const {
    const fs::path wanted = folder.lexically_normal();
    for (QTreeWidgetItemIterator it(const_cast<FolderTreePane*>(this)); *it; ++it)
        if (shell::isSameOrInside(itemPath(*it), wanted) &&
            shell::isSameOrInside(wanted, itemPath(*it)))
            return *it;
    return nullptr;
}

void FolderTreePane::populate(QTreeWidgetItem* item) {
    WaitCursor wait;
    const fs::path folder = itemPath(item);
    QList<QTreeWidgetItem*> children;
    for (const shell::SubFolder& sub : shell::listSubFolders(folder))
        children << makeFolderItem(sub.name, folder / sub.name, sub.mayHaveSubFolders);
    item->addChildren(children);
    item->setData(0, kListedRole, true);
    if (children.isEmpty())
        item->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    syncWatches();
}

void FolderTreePane::discardChildren(QTreeWidgetItem* item) {
    if (m_dropItem && isAncestor(item, m_dropItem)) setDropHighlight(nullptr);
    ++m_quiet;
    qDeleteAll(item->takeChildren());
    --m_quiet;
    item->setData(0, kListedRole, false);
    syncWatches();
}

void FolderTreePane::onExpanded(QTreeWidgetItem* item) {
    if (!item->data(0, kListedRole).toBool()) populate(item);
    if (!isPlace(item)) item->setIcon(0, folderIcon(style(), true));
}

void FolderTreePane::onCollapsed(QTreeWidgetItem* item) {
    const bool wasInside = isAncestor(item, currentItem());
    if (wasInside) selectQuietly(item);
    discardChildren(item);
    // The children are listed again on the next expansion, so the button stays.
    item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    if (!isPlace(item)) item->setIcon(0, folderIcon(style(), false));
    if (wasInside && m_quiet == 0) emit folderChosen(shell::toQString(itemPath(item)));
}

void FolderTreePane::selectQuietly(QTreeWidgetItem* item) {
    ++m_quiet;
    setCurrentItem(item);
    --m_quiet;
}

bool FolderTreePane::setCurrentFolder(const fs::path& folder) {
    std::error_code ec;
    const fs::path wanted = fs::absolute(folder, ec).lexically_normal();
    if (ec || !fs::is_directory(wanted, ec)) return false;
    QTreeWidgetItem* item = nullptr;
    std::size_t bestDepth = 0;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const fs::path place = itemPath(topLevelItem(i));
        const std::size_t depth = std::distance(place.begin(), place.end());
        if (shell::isSameOrInside(place, wanted) && (!item || depth > bestDepth)) {
            item = topLevelItem(i);
            bestDepth = depth;
        }
    }
    if (!item) return false;
    ++m_quiet;
    const fs::path placePath = itemPath(item);
    fs::path walked = placePath;
    for (const fs::path& part : wanted.lexically_relative(placePath)) {
        if (part.empty() || part == ".") continue;
        if (!item->data(0, kListedRole).toBool()) populate(item);
        item->setExpanded(true);
        walked /= part;
        QTreeWidgetItem* child = childNamed(item, part.string());
        if (!child) {
            // A hidden folder is not listed, but it can still be the one shown.
            child = makeFolderItem(part.string(), walked, shell::hasSubFolder(walked));
            insertSorted(item, child);
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
        item = child;
    }
    // A folder the user has just clicked is current already and under the pointer: scrolling
    // now would put another row under the press, and the view would select that one.
    const bool clicked = currentItem() == item;
    setCurrentItem(item);
    --m_quiet;
    if (!clicked) scrollToItem(item, QAbstractItemView::PositionAtCenter);
    return true;
}

fs::path FolderTreePane::currentFolder() const { return itemPath(currentItem()); }

bool FolderTreePane::newFolder() {
    QTreeWidgetItem* parent = currentItem();
    if (!parent || !m_operations) return false;
    const fs::path folder = itemPath(parent);
    const shell::FileResult<fs::path> created = m_operations->newFolder(folder);
    if (!created) {
        tell(MessageKind::Critical, tr("Cannot create the folder."));
        return false;
    }
    QTreeWidgetItem* child = nullptr;
    ++m_quiet;
    if (parent->data(0, kListedRole).toBool()) {
        child = makeFolderItem(created->filename().string(), *created, false);
        insertSorted(parent, child);
    }
    parent->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
    parent->setExpanded(true);  // lists the children, the new one among them, when not done yet
    if (!child) child = childNamed(parent, created->filename().string());
    --m_quiet;
    if (!child) return false;
    setCurrentItem(child);  // the browser shows the new folder
    scrollToItem(child);
    editItem(child);
    return true;
}

bool FolderTreePane::renameCurrent() {
    QTreeWidgetItem* item = currentItem();
    if (!item || !(item->flags() & Qt::ItemIsEditable) || !m_operations) return false;
    scrollToItem(item);
    editItem(item);
    return true;
}

void FolderTreePane::commitRename(QTreeWidgetItem* item, const QString& text) {
    // A message box takes the focus from the editor, which would commit the same text again.
    if (m_renaming || !m_operations || isPlace(item)) return;
    const fs::path oldPath = itemPath(item);
    const std::string newName = shell::toPath(text).string();
    if (newName.empty() || newName == oldPath.filename().string()) return;
    m_renaming = true;
    const shell::OperationResult result = m_operations->rename(oldPath, newName);
    if (!result.ok) {
        tell(MessageKind::Critical, errorList(result.errors));
        m_renaming = false;
        return;
    }
    const fs::path newPath = oldPath.parent_path() / newName;
    item->setText(0, text);
    setItemPath(item, newPath);
    syncWatches();
    m_renaming = false;
    emit folderRenamed(shell::toQString(oldPath), shell::toQString(newPath));
}

void FolderTreePane::setItemPath(QTreeWidgetItem* item, const fs::path& path) {
    item->setData(0, kPathRole, QByteArray::fromStdString(path.string()));
    for (int i = 0; i < item->childCount(); ++i)
        setItemPath(item->child(i), path / itemPath(item->child(i)).filename());
}

bool FolderTreePane::deleteCurrent() {
    QTreeWidgetItem* item = currentItem();
    if (!item || isPlace(item) || !m_operations) return false;
    const fs::path folder = itemPath(item);
    if (!ask(tr("Do you want to move the folder %1 to the Trash?").arg(shell::toQString(folder))))
        return false;
    const shell::OperationResult result = m_operations->deleteFiles({folder}, true);
    if (!result.ok || result.aborted || result.done.empty()) {
        if (!result.errors.empty()) tell(MessageKind::Warning, errorList(result.errors));
        return false;
    }
    QTreeWidgetItem* parent = item->parent();
    if (m_dropItem && (m_dropItem == item || isAncestor(item, m_dropItem)))
        setDropHighlight(nullptr);
    ++m_quiet;
    setCurrentItem(parent);
    delete item;
    if (parent->childCount() == 0) {
        // The last sub-folder went: the parent closes and loses its button.
        parent->setExpanded(false);
        parent->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    }
    --m_quiet;
    emit folderChosen(shell::toQString(itemPath(parent)));
    return true;
}

bool FolderTreePane::selectSibling(int direction) {
    QTreeWidgetItem* item = currentItem();
    if (!item || direction == 0) return false;
    QTreeWidgetItem* parent = item->parent();
    const int index = parent ? parent->indexOfChild(item) : indexOfTopLevelItem(item);
    const int count = parent ? parent->childCount() : topLevelItemCount();
    const int next = index + (direction < 0 ? -1 : 1);
    if (next < 0 || next >= count) return false;
    QTreeWidgetItem* sibling = parent ? parent->child(next) : topLevelItem(next);
    setCurrentItem(sibling);
    scrollToItem(sibling);
    return true;
}

void FolderTreePane::refreshFolder(const fs::path& folder) {
    QTreeWidgetItem* item = findItem(folder);
    if (!item) return;
    const fs::path path = itemPath(item);
    if (!item->isExpanded() || !item->data(0, kListedRole).toBool()) {
        if (!item->data(0, kListedRole).toBool())
            item->setChildIndicatorPolicy(shell::hasSubFolder(path)
                                              ? QTreeWidgetItem::ShowIndicator
                                              : QTreeWidgetItem::DontShowIndicatorWhenChildless);
        return;
    }
    const std::vector<shell::SubFolder> listed = shell::listSubFolders(path);
    std::unordered_set<std::string> listedNames;
    for (const shell::SubFolder& s : listed) listedNames.insert(s.name);
    const bool currentInside = isAncestor(item, currentItem());
    ++m_quiet;
    // Children that are gone leave; the others keep their own expanded sub-trees.
    for (int i = item->childCount() - 1; i >= 0; --i) {
        QTreeWidgetItem* child = item->child(i);
        const std::string name = itemPath(child).filename().string();
        if (listedNames.count(name)) continue;
        if (m_dropItem && (m_dropItem == child || isAncestor(child, m_dropItem)))
            setDropHighlight(nullptr);
        if (child == currentItem() || isAncestor(child, currentItem())) setCurrentItem(item);
        delete child;
    }
    std::unordered_set<std::string> shown;
    for (int i = 0; i < item->childCount(); ++i)
        shown.insert(itemPath(item->child(i)).filename().string());
    for (const shell::SubFolder& sub : listed)
        if (!shown.count(sub.name))
            insertSorted(item, makeFolderItem(sub.name, path / sub.name, sub.mayHaveSubFolders));
    item->setChildIndicatorPolicy(item->childCount() > 0
                                      ? QTreeWidgetItem::ShowIndicator
                                      : QTreeWidgetItem::DontShowIndicatorWhenChildless);
    --m_quiet;
    syncWatches();
    // The shown folder went away with its tree item: show the refreshed one instead.
    if (currentInside && currentItem() == item) emit folderChosen(shell::toQString(path));
}

void FolderTreePane::syncWatches() {
    std::map<fs::path, QTreeWidgetItem*> listed;
    for (QTreeWidgetItemIterator it(this); *it; ++it)
        if ((*it)->data(0, kListedRole).toBool()) listed.emplace(itemPath(*it), *it);
    for (auto it = m_watches.begin(); it != m_watches.end();)
        it = listed.count(it->first) ? std::next(it) : m_watches.erase(it);
    for (const auto& [path, item] : listed) {
        if (m_watches.size() >= kMaxWatches) break;
        if (m_watches.count(path)) continue;
        auto watch = std::make_unique<FolderWatch>();
        if (!watch->watcher.isValid() || !watch->watcher.watch(path)) continue;
        watch->notifier =
            std::make_unique<QSocketNotifier>(watch->watcher.fd(), QSocketNotifier::Read);
        FolderWatch* raw = watch.get();
        connect(watch->notifier.get(), &QSocketNotifier::activated, this,
                [this, raw] { readFolderEvents(*raw); });
        m_watches.emplace(path, std::move(watch));
    }
}

void FolderTreePane::readFolderEvents(FolderWatch& watch) {
    if (!watch.watcher.readEvents()) return;
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
        watch.watcher.settlesAt() - shell::FolderWatcher::Clock::now());
    m_watchTimer.start(static_cast<int>(std::max<std::int64_t>(0, wait.count())));
}

void FolderTreePane::applyFolderChanges() {
    std::vector<fs::path> changed;
    bool pending = false;
    for (auto& [path, watch] : m_watches) {
        const std::vector<shell::FolderChange> changes = watch->watcher.takeChanges();
        // Only folders coming, going or renamed change the tree; written files do not.
        if (std::any_of(changes.begin(), changes.end(), [](const shell::FolderChange& c) {
                return c.kind != shell::FolderChange::Kind::Modified;
            }))
            changed.push_back(path);
        pending = pending || watch->watcher.hasChanges();
    }
    // Refreshing may drop watches (a folder that went): the paths were copied first.
    for (const fs::path& path : changed) refreshFolder(path);
    if (pending) m_watchTimer.start(static_cast<int>(shell::FolderWatcher::kDebounce.count()));
}

void FolderTreePane::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier) {
        deleteCurrent();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void FolderTreePane::contextMenuEvent(QContextMenuEvent* event) {
    if (QTreeWidgetItem* item = itemAt(event->pos()); item && item != currentItem())
        setCurrentItem(item);
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

bool FolderTreePane::ask(const QString& question) {
    if (m_message) return m_message(MessageKind::Question, question);
    return QMessageBox::question(this, kTitle, question, QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

void FolderTreePane::tell(MessageKind kind, const QString& text) {
    if (m_message) {
        m_message(kind, text);
        return;
    }
    if (kind == MessageKind::Critical)
        QMessageBox::critical(this, kTitle, text);
    else
        QMessageBox::warning(this, kTitle, text);
}

}  // namespace kalder::gui
