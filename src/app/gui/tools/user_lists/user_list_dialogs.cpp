#include "app/gui/tools/user_lists/user_list_dialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <clocale>
#include <cstdlib>
#include <map>

#include "app/core/command_ids.h"
#include "app/gui/dialogs/dialog_buttons.h"
#include "app/gui/tools/tool_context.h"
#include "shell/associations.h"
#include "shell/desktop_entry.h"
#include "shell/places.h"
#include "shell/qt/qt_path.h"

namespace kalder::gui {

namespace {

QString fullMessage() {
    return QCoreApplication::translate(
               "kalder::gui::ApplicationsDialog",
               "The menu holds at most %1 entries. Remove one before adding another.")
        .arg(app::kMaxUserListEntries);
}

QString fromStd(const std::string& s) { return QString::fromStdString(s); }

QDialogButtonBox* okCancel(DialogBase* dialog) {
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    buttons->setObjectName(QStringLiteral("buttons"));
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    return buttons;
}

std::string messagesLocale() {
    const char* l = std::setlocale(LC_MESSAGES, nullptr);
    if (l && *l && std::string_view(l) != "C") return l;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"})
        if (const char* v = std::getenv(name); v && *v) return v;
    return {};
}

// Started and left alone; a program that does not start says nothing, as before.
void openCurrentFileWith(const ToolContext& context, const std::string& application) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const std::vector<std::string> argv =
        app::applicationCommand(application, context.currentFile().string());
    if (!argv.empty()) {
        QStringList args;
        for (std::size_t a = 1; a < argv.size(); ++a) args << fromStd(argv[a]);
        QProcess::startDetached(fromStd(argv[0]), args);
    }
    QApplication::restoreOverrideCursor();
}

}  // namespace

AddFavoriteDialog::AddFavoriteDialog(const QString& folder, QWidget* parent)
    : DialogBase(165, parent), m_label(new QLineEdit(this)) {
    setWindowTitle(tr("Add Folder to Favorites"));
    auto* path = new QLineEdit(folder, this);
    path->setObjectName(QStringLiteral("folder"));
    path->setReadOnly(true);
    m_label->setObjectName(QStringLiteral("label"));
    setControlId(m_label, 1061);
    auto* form = new QFormLayout;
    form->addRow(tr("Folder:"), path);
    form->addRow(tr("&Label:"), m_label);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(okCancel(this));
    m_label->setFocus();
    setMinimumWidth(420);
    OnInitDialog();
}

QString AddFavoriteDialog::label() const { return m_label->text().trimmed(); }

DeleteFavoritesDialog::DeleteFavoritesDialog(app::Settings& settings, QWidget* parent)
    : DialogBase(166, parent), m_settings(settings), m_list(new QTreeWidget(this)) {
    setWindowTitle(tr("Delete Folders from Favorites"));
    m_list->setObjectName(QStringLiteral("favorites"));
    m_list->setHeaderLabels({tr("Label"), tr("Folder")});
    m_list->setRootIsDecorated(false);
    const std::size_t count =
        std::min(settings.favoriteFolders.size(), settings.favoriteLabels.size());
    for (std::size_t i = 0; i < count; ++i)
        m_list->addTopLevelItem(new QTreeWidgetItem(
            {fromStd(settings.favoriteLabels[i]), fromStd(settings.favoriteFolders[i])}));
    if (count > 0) m_list->setCurrentItem(m_list->topLevelItem(0));
    m_list->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    auto* remove = makeNamedButton(tr("&Delete"), "delete", this);
    auto* close = makeNamedButton(tr("Close"), "close", this);
    connect(remove, &QPushButton::clicked, this, &DeleteFavoritesDialog::deleteSelected);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(remove);
    buttons->addWidget(close);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);
    resize(560, 300);
    OnInitDialog();
}

void DeleteFavoritesDialog::deleteSelected() {
    QTreeWidgetItem* item = m_list->currentItem();
    if (!item) return;
    const int row = m_list->indexOfTopLevelItem(item);
    const QString question = tr("Do you want to remove \"%1\" from Favorites?").arg(item->text(0));
    if (QMessageBox::question(this, windowTitle(), question, QMessageBox::Yes | QMessageBox::No) !=
        QMessageBox::Yes)
        return;
    app::removeFavorite(m_settings, static_cast<std::size_t>(row));
    delete m_list->takeTopLevelItem(row);
}

AddApplicationDialog::AddApplicationDialog(QWidget* parent)
    : DialogBase(204, parent), m_label(new QLineEdit(this)), m_path(new QLineEdit(this)) {
    setWindowTitle(tr("Add Application"));
    m_label->setObjectName(QStringLiteral("label"));
    m_path->setObjectName(QStringLiteral("path"));
    auto* shortcut = makeNamedButton(tr("Browse &shortcut..."), "browseShortcut", this);
    auto* browse = makeNamedButton(tr("&Browse..."), "browse", this);
    connect(shortcut, &QPushButton::clicked, this, &AddApplicationDialog::browseShortcut);
    connect(browse, &QPushButton::clicked, this, &AddApplicationDialog::browse);
    auto* form = new QFormLayout;
    form->addRow(tr("&Label:"), m_label);
    form->addRow(tr("&Path:"), m_path);
    auto* row = new QHBoxLayout;
    row->addWidget(shortcut);
    row->addWidget(browse);
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(row);
    layout->addWidget(okCancel(this));
    setMinimumWidth(460);
    chooseProgram = [](QWidget* owner) {
        // Programs here carry no extension; the executable bit is what makes one.
        return QFileDialog::getOpenFileName(owner, tr("Browse"), QString(),
                                            tr("Executable Files (*);;All Files (*)"));
    };
    OnInitDialog();
}

QString AddApplicationDialog::label() const { return m_label->text().trimmed(); }
QString AddApplicationDialog::path() const { return m_path->text().trimmed(); }

void AddApplicationDialog::accept() {
    if (label().isEmpty() || path().isEmpty()) return;
    DialogBase::accept();
}

void AddApplicationDialog::browse() {
    const QString file = chooseProgram ? chooseProgram(this) : QString();
    if (file.isEmpty() || !QFileInfo::exists(file)) return;
    m_path->setText(file);
    m_label->setText(QFileInfo(file).completeBaseName());
}

void AddApplicationDialog::browseShortcut() {
    BrowseShortcutDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted) return;
    m_path->setText(dialog.path());
    m_label->setText(dialog.label());
}

BrowseShortcutDialog::BrowseShortcutDialog(QWidget* parent)
    : DialogBase(0, parent), m_tree(new QTreeWidget(this)) {
    setWindowTitle(tr("Browse Shortcut"));
    m_tree->setObjectName(QStringLiteral("shortcuts"));
    m_tree->setHeaderHidden(true);
    const QIcon folderIcon = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon fileIcon = style()->standardIcon(QStyle::SP_FileIcon);
    const std::string locale = messagesLocale();
    const char* desktopEnv = std::getenv("XDG_CURRENT_DESKTOP");

    auto* programs = new QTreeWidgetItem(m_tree, {QObject::tr("Applications")});
    programs->setIcon(0, folderIcon);
    std::map<QString, QTreeWidgetItem*> categories;
    for (const shell::InstalledApplication& app : shell::listApplications(
             shell::applicationFolders(), locale, desktopEnv ? desktopEnv : "")) {
        // The first main category groups it, as menus do; the rest stay together.
        const QString category =
            app.entry.categories.empty() ? tr("Other") : fromStd(app.entry.categories[0]);
        QTreeWidgetItem*& group = categories[category];
        if (!group) {
            group = new QTreeWidgetItem(programs, {category});
            group->setIcon(0, folderIcon);
        }
        auto* item = new QTreeWidgetItem(group, {fromStd(app.entry.name)});
        item->setIcon(0, fileIcon);
        item->setData(0, Qt::UserRole, shell::toQString(app.file));
    }

    auto* desktop = new QTreeWidgetItem(m_tree, {tr("Desktop")});
    desktop->setIcon(0, folderIcon);
    for (const shell::Place& place : shell::systemPlaces()) {
        if (place.kind != shell::PlaceKind::Desktop) continue;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator(place.path, ec)) {
            std::string label;
            if (shell::resolveLaunchable(e.path(), label, locale).empty()) continue;
            auto* item = new QTreeWidgetItem(desktop, {fromStd(label)});
            item->setIcon(0, fileIcon);
            item->setData(0, Qt::UserRole, shell::toQString(e.path()));
        }
    }
    desktop->sortChildren(0, Qt::AscendingOrder);
    programs->setExpanded(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tree);
    layout->addWidget(okCancel(this));
    resize(380, 460);
    OnInitDialog();
}

void BrowseShortcutDialog::accept() {
    const QTreeWidgetItem* item = m_tree->currentItem();
    const QString file = item ? item->data(0, Qt::UserRole).toString() : QString();
    std::string label;
    const std::filesystem::path resolved =
        file.isEmpty() ? std::filesystem::path()
                       : shell::resolveLaunchable(shell::toPath(file), label, messagesLocale());
    if (resolved.empty()) {
        showWarning(this, tr("You have selected nothing or an item that cannot be executed."));
        return;
    }
    m_resolvedPath = shell::toQString(resolved);
    m_resolvedLabel = fromStd(label);
    DialogBase::accept();
}

ApplicationsDialog::ApplicationsDialog(app::Settings& settings, QWidget* parent)
    : DialogBase(202, parent),
      m_settings(settings),
      m_rows(settings),
      m_list(new QListWidget(this)) {
    setWindowTitle(tr("Add/Remove Application Shortcuts"));
    m_list->setObjectName(QStringLiteral("applications"));
    auto* add = makeNamedButton(tr("&Add..."), "add", this);
    auto* remove = makeNamedButton(tr("R&emove"), "remove", this);
    auto* up = makeNamedButton(tr("Move &up"), "up", this);
    auto* down = makeNamedButton(tr("Move &down"), "down", this);
    auto* close = makeNamedButton(tr("Close"), "close", this);
    connect(add, &QPushButton::clicked, this, &ApplicationsDialog::add);
    connect(remove, &QPushButton::clicked, this,
            [this] { refill(m_rows.remove(m_list->currentRow())); });
    connect(up, &QPushButton::clicked, this,
            [this] { refill(m_rows.moveUp(m_list->currentRow())); });
    connect(down, &QPushButton::clicked, this,
            [this] { refill(m_rows.moveDown(m_list->currentRow())); });
    connect(close, &QPushButton::clicked, this, &ApplicationsDialog::accept);
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {add, remove, up, down, close}) buttons->addWidget(b);
    buttons->addStretch();
    auto* left = new QVBoxLayout;
    auto* caption = new QLabel(tr("&Applications:"), this);
    caption->setBuddy(m_list);
    left->addWidget(caption);
    left->addWidget(m_list);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    askApplication = [this](QString& label, QString& path) {
        AddApplicationDialog dialog(this);
        if (dialog.exec() != QDialog::Accepted) return false;
        label = dialog.label();
        path = dialog.path();
        return true;
    };
    refill(m_rows.rows().empty() ? -1 : 0);
    OnInitDialog();
}

void ApplicationsDialog::refill(int select) {
    m_list->clear();
    for (const app::ApplicationRows::Row& row : m_rows.rows()) m_list->addItem(fromStd(row.label));
    if (select >= 0 && select < m_list->count()) m_list->setCurrentRow(select);
}

void ApplicationsDialog::add() {
    const std::size_t count =
        std::min(m_settings.openWithPaths.size(), m_settings.openWithLabels.size());
    if (count >= app::kMaxUserListEntries) {
        showWarning(this, fullMessage());
        return;
    }
    QString label, path;
    if (!askApplication || !askApplication(label, path)) return;
    if (app::addApplication(m_settings, shell::toPath(path).string(), label.toStdString()) !=
        app::AddResult::Added)
        return;
    m_rows.append(m_settings);
    refill(static_cast<int>(m_rows.rows().size()) - 1);
}

void ApplicationsDialog::accept() {
    m_rows.apply(m_settings);
    DialogBase::accept();
}

void registerUserListCommands(ToolContext& context) {
    auto& commands = context.commands();
    commands.on(app::cmd::kAddFavorite, [&context](app::CommandId) {
        const std::filesystem::path folder = context.treeFolder();
        if (folder.empty()) return;
        QWidget* window = context.dialogParent();
        app::Settings& settings = context.settings();
        if (std::min(settings.favoriteFolders.size(), settings.favoriteLabels.size()) >=
            app::kMaxUserListEntries) {
            showWarning(window, fullMessage());
            return;
        }
        AddFavoriteDialog dialog(shell::toQString(folder), window);
        if (dialog.exec() != QDialog::Accepted) return;
        app::addFavorite(settings, folder.string(), dialog.label().toStdString());
    });
    commands.on(app::cmd::kDeleteFavorites, [&context](app::CommandId) {
        DeleteFavoritesDialog dialog(context.settings(), context.dialogParent());
        dialog.exec();
    });
    commands.on(app::cmd::kConfigureOpenWith, [&context](app::CommandId) {
        ApplicationsDialog dialog(context.settings(), context.dialogParent());
        dialog.exec();
    });
    commands.onRange(app::cmd::kOpenWithRange, [&context](app::CommandId id) {
        const std::size_t i = app::cmd::kOpenWithRange.indexOf(id);
        const app::Settings& settings = context.settings();
        if (!context.currentEntry() || i >= settings.openWithPaths.size()) return;
        openCurrentFileWith(context, settings.openWithPaths[i]);
    });
    commands.onRange(app::cmd::kOpenWithTypeRange, [&context](app::CommandId id) {
        const std::size_t i = app::cmd::kOpenWithTypeRange.indexOf(id);
        if (!context.currentEntry()) return;
        const std::vector<shell::TypeApplication> apps =
            shell::applicationsForType(shell::mimeTypeOfFile(context.currentFile()));
        if (i < apps.size()) openCurrentFileWith(context, apps[i].file.string());
    });
}

std::vector<std::string> openWithTypeApplications(const std::filesystem::path& file) {
    std::vector<std::string> names;
    if (file.empty()) return names;
    for (const shell::TypeApplication& app :
         shell::applicationsForType(shell::mimeTypeOfFile(file)))
        names.push_back(app.name);
    return names;
}

}  // namespace kalder::gui
