#pragma once

#include <filesystem>

#include <QTreeView>

class QFileSystemModel;

namespace kalder::gui {

// The folder tree: the file system's folders, one chosen at a time.
class FolderTreePane : public QTreeView {
    Q_OBJECT
public:
    explicit FolderTreePane(QWidget* parent = nullptr);

    // Expands to and selects `folder`; false when it is not a folder.
    bool setCurrentFolder(const std::filesystem::path& folder);
    std::filesystem::path currentFolder() const;

signals:
    void folderChosen(const QString& path);
    void contextMenuRequested(const QPoint& globalPos);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    QFileSystemModel* m_model = nullptr;
    bool m_settingFolder = false;
};

}  // namespace kalder::gui
