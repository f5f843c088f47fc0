#pragma once

// The dialogs of the "F&avorites" and "&Open with" menus, and their commands.

#include <QString>
#include <filesystem>
#include <functional>
#include <string>

#include "app/core/user_lists.h"
#include "app/gui/dialogs/dialog_base.h"

class QLineEdit;
class QListWidget;
class QTreeWidget;

namespace kalder::gui {

class ToolContext;

// "Add Folder to Favorites": the folder and a label for it.
class AddFavoriteDialog : public DialogBase {
    Q_OBJECT
public:
    explicit AddFavoriteDialog(const QString& folder, QWidget* parent = nullptr);
    QString label() const;

private:
    QLineEdit* m_label;
};

// "Delete Folders from Favorites": each "&Delete" asks, then removes the entry at once.
class DeleteFavoritesDialog : public DialogBase {
    Q_OBJECT
public:
    DeleteFavoritesDialog(app::Settings& settings, QWidget* parent = nullptr);

private:
    void deleteSelected();
    app::Settings& m_settings;
    QTreeWidget* m_list;
};

// "Add Application": a label and a program, typed or browsed for.
class AddApplicationDialog : public DialogBase {
    Q_OBJECT
public:
    explicit AddApplicationDialog(QWidget* parent = nullptr);
    QString label() const;
    QString path() const;
    void accept() override;  // only with both fields filled in

    // The "&Browse..." file chooser; tests replace it.
    std::function<QString(QWidget* parent)> chooseProgram;

private:
    void browseShortcut();
    void browse();
    QLineEdit* m_label;
    QLineEdit* m_path;
};

// "Browse Shortcut": the installed applications under "Applications" (by category) and
// the desktop folder's launchers and programs under "Desktop".
class BrowseShortcutDialog : public DialogBase {
    Q_OBJECT
public:
    explicit BrowseShortcutDialog(QWidget* parent = nullptr);
    void accept() override;  // only on an item that can be run

    // What the choice resolved to: the program (or the launcher when its command is more than a
    // program) and the label to give it.
    QString path() const { return m_resolvedPath; }
    QString label() const { return m_resolvedLabel; }

private:
    QTreeWidget* m_tree;
    QString m_resolvedPath;
    QString m_resolvedLabel;
};

// "Add/Remove Application Shortcuts". "Close" stores the list's order; ESC keeps only what
// "&Add..." stored.
class ApplicationsDialog : public DialogBase {
    Q_OBJECT
public:
    ApplicationsDialog(app::Settings& settings, QWidget* parent = nullptr);
    void accept() override;

    // The "Add Application" step; tests replace it. Answers false when nothing was added.
    std::function<bool(QString& label, QString& path)> askApplication;

private:
    void add();
    void refill(int select);
    app::Settings& m_settings;
    app::ApplicationRows m_rows;
    QListWidget* m_list;
};

// 2000, 2001, 2002, the 2200+ and the 2300+ ranges.
void registerUserListCommands(ToolContext& context);
// The names of the desktop's applications for the type of `file`, in the
// order the 2300+ commands run them; none for an empty path.
std::vector<std::string> openWithTypeApplications(const std::filesystem::path& file);

}  // namespace kalder::gui
