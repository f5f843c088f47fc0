#include "app/gui/folder_tree_pane.h"

#include <QContextMenuEvent>
#include <QFileSystemModel>
#include <QHeaderView>

namespace kalder::gui {

FolderTreePane::FolderTreePane(QWidget* parent) : QTreeView(parent) {
    m_model = new QFileSystemModel(this);
    m_model->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    m_model->setRootPath(QStringLiteral("/"));
    setModel(m_model);
    for (int c = 1; c < m_model->columnCount(); ++c) hideColumn(c);
    header()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    setAnimated(false);
    // The model lists folders in the background: keep the chosen one in view as they arrive.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this] {
        if (currentIndex().isValid()) scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter);
    });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!m_settingFolder && current.isValid())
                    emit folderChosen(m_model->filePath(current));
            });
}

bool FolderTreePane::setCurrentFolder(const std::filesystem::path& folder) {
    const QModelIndex index = m_model->index(QString::fromStdString(folder.string()));
    if (!index.isValid() || !m_model->isDir(index)) return false;
    m_settingFolder = true;
    setCurrentIndex(index);
    expand(index);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
    m_settingFolder = false;
    return true;
}

std::filesystem::path FolderTreePane::currentFolder() const {
    const QModelIndex index = currentIndex();
    if (!index.isValid()) return {};
    return std::filesystem::path(m_model->filePath(index).toStdString());
}

void FolderTreePane::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid()) setCurrentIndex(index);
    emit contextMenuRequested(event->globalPos());
    event->accept();
}

}  // namespace kalder::gui
