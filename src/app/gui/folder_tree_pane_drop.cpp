// The folder tree as a drop target for files and as a drag source for its folders.
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPalette>
#include <algorithm>

#include "app/core/settings.h"
#include "app/core/translatable.h"
#include "app/gui/folder_tree_pane.h"
#include "app/gui/operation_feedback.h"
#include "app/gui/translations.h"
#include "shell/file_operations.h"
#include "shell/qt/qt_path.h"
#include "view/drop_rules.h"

namespace kalder::gui {
namespace fs = std::filesystem;

namespace {

const QString kUriList = QStringLiteral("text/uri-list");

view::DropModifiers modifiersOf(Qt::KeyboardModifiers keys) {
    return {keys.testFlag(Qt::ControlModifier), keys.testFlag(Qt::ShiftModifier),
            keys.testFlag(Qt::AltModifier)};
}

}  // namespace

std::vector<fs::path> FolderTreePane::droppedPaths(const QMimeData* mime) const {
    if (!mime || !mime->hasFormat(kUriList)) return {};
    const QByteArray text = mime->data(kUriList);
    return view::parseUriList(
        std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

QTreeWidgetItem* FolderTreePane::dropItemAt(const QPoint& pos) const {
    QTreeWidgetItem* item = itemAt(pos);
    if (!item || !m_operations) return nullptr;
    std::error_code ec;
    const fs::path path = itemPath(item);
    return view::mayDropOn(path, fs::is_directory(path, ec), m_draggedFolder) ? item : nullptr;
}

void FolderTreePane::setDropHighlight(QTreeWidgetItem* item) {
    if (item == m_dropItem) return;
    if (m_dropItem) {
        m_dropItem->setData(0, Qt::BackgroundRole, QVariant());
        m_dropItem->setData(0, Qt::ForegroundRole, QVariant());
    }
    m_dropItem = item;
    if (m_dropItem) {
        m_dropItem->setBackground(0, palette().brush(QPalette::Highlight));
        m_dropItem->setForeground(0, palette().brush(QPalette::HighlightedText));
    }
}

fs::path FolderTreePane::dropTarget() const { return itemPath(m_dropItem); }

void FolderTreePane::dragEnterEvent(QDragEnterEvent* event) {
    if (droppedPaths(event->mimeData()).empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
}

void FolderTreePane::dragMoveEvent(QDragMoveEvent* event) {
    hoverDuringDrag(event->position().toPoint());
    QTreeWidgetItem* item = dropItemAt(event->position().toPoint());
    const bool explorerLike = !m_settings || m_settings->controlOptions[2] != 0;
    const view::DropEffect effect =
        view::dropEffect(modifiersOf(event->modifiers()), explorerLike,
                         event->possibleActions().testFlag(Qt::CopyAction),
                         event->possibleActions().testFlag(Qt::MoveAction));
    if (!item || effect == view::DropEffect::None || droppedPaths(event->mimeData()).empty()) {
        setDropHighlight(nullptr);
        event->ignore();
        return;
    }
    setDropHighlight(item);
    event->setDropAction(effect == view::DropEffect::Move ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
}

void FolderTreePane::dragLeaveEvent(QDragLeaveEvent* event) {
    endDragHover();
    setDropHighlight(nullptr);
    event->accept();
}

void FolderTreePane::dropEvent(QDropEvent* event) {
    endDragHover();
    setDropHighlight(nullptr);
    QTreeWidgetItem* item = dropItemAt(event->position().toPoint());
    const std::vector<fs::path> sources = droppedPaths(event->mimeData());
    const bool explorerLike = !m_settings || m_settings->controlOptions[2] != 0;
    const view::DropEffect effect =
        view::dropEffect(modifiersOf(event->modifiers()), explorerLike,
                         event->possibleActions().testFlag(Qt::CopyAction),
                         event->possibleActions().testFlag(Qt::MoveAction));
    event->setDropAction(Qt::IgnoreAction);
    event->ignore();
    if (!item || sources.empty() || effect == view::DropEffect::None) return;
    const fs::path target = itemPath(item);
    if (view::dropsIntoOwnSubFolder(sources, target)) {
        tell(MessageKind::Critical, coreText(app::kMessagesContext, view::kOwnSubFolderMessage));
        return;
    }
    if (m_settings && m_settings->controlOptions[3] != 0 &&
        !ask(QString::fromStdString(
            view::askBeforeDropQuestion(effect, sources.size(), target.string()))))
        return;
    const bool move = effect == view::DropEffect::Move;
    if (finishDrop(sources, item, move)) {
        event->setDropAction(move ? Qt::MoveAction : Qt::CopyAction);
        event->accept();
    }
}

bool FolderTreePane::finishDrop(const std::vector<fs::path>& sources, QTreeWidgetItem* target,
                                bool move) {
    const fs::path folder = itemPath(target);
    // Replaced files go to the trash first, so saying yes here can be undone.
    const shell::ConflictHandler onConflict = [this](const fs::path&, const fs::path& existing) {
        const QString question = QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                     .arg(shell::toQString(existing));
        return ask(question) ? shell::ConflictChoice::Overwrite : shell::ConflictChoice::Skip;
    };
    shell::OperationResult result;
    {
        WaitCursor wait;
        result = move ? m_operations->moveTo(sources, folder, onConflict)
                      : m_operations->copyTo(sources, folder, onConflict);
    }
    refreshFolder(folder);
    QStringList done;
    std::vector<fs::path> leftFolders;
    for (const fs::path& source : result.done) {
        done << shell::toQString(source);
        if (move && std::find(leftFolders.begin(), leftFolders.end(), source.parent_path()) ==
                        leftFolders.end())
            leftFolders.push_back(source.parent_path());
    }
    // A folder moved out of another tree folder leaves that one too.
    for (const fs::path& left : leftFolders) refreshFolder(left);
    if (!result.errors.empty()) tell(MessageKind::Warning, errorList(result.errors));
    if (done.isEmpty()) return false;
    emit filesDropped(done, shell::toQString(folder), move);
    return true;
}

void FolderTreePane::startDrag(Qt::DropActions) {
    QTreeWidgetItem* item = currentItem();
    if (!item || isPlace(item)) return;
    const fs::path folder = itemPath(item);
    auto* mime = new QMimeData;
    mime->setData(kUriList, QByteArray::fromStdString(view::formatUriList({folder})));
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(item->icon(0).pixmap(iconSize().isValid() ? iconSize() : QSize(16, 16)));
    m_draggedFolder = folder;
    const Qt::DropAction action = runDrag(drag);
    m_draggedFolder.clear();
    setDropHighlight(nullptr);
    // Another program may have moved it away.
    std::error_code ec;
    if (action == Qt::MoveAction && !fs::exists(folder, ec)) refreshFolder(folder.parent_path());
}

Qt::DropAction FolderTreePane::runDrag(QDrag* drag) {
    return drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

}  // namespace kalder::gui
