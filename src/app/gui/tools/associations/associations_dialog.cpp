#include "app/gui/tools/associations/associations_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <system_error>

#include "app/core/command_ids.h"
#include "app/core/settings.h"
#include "app/gui/tools/tool_context.h"
#include "image/format_table.h"
#include "shell/associations.h"
#include "shell/registry_store.h"

namespace kalder::gui {
namespace {
namespace fs = std::filesystem;

constexpr int kAssociationsTemplate = 167;
constexpr int kChangedTemplate = 187;

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<int>(s.size())); }

fs::path ownExecutable() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path{} : exe;
}

void saveSettings(const app::Settings& settings) {
    const fs::path exe = ownExecutable();
    if (!exe.empty()) settings.Save(app::settingsFilePath(exe.parent_path()));
}

// The engine with the undo store it writes; both live for one command.
struct EngineRun {
    shell::RegistryStore store{shell::RegistryStore::defaultPath()};
    bool readable = store.load();
    shell::Associations engine{shell::XdgFolders::fromEnvironment(), store, ownExecutable()};
};

}  // namespace

AssociationsDialog::AssociationsDialog(app::Settings& settings, shell::Associations& engine,
                                       QWidget* parent)
    : DialogBase(kAssociationsTemplate, parent), m_settings(settings), m_engine(engine) {
    setWindowTitle(tr("File Associations"));
    m_list = new QTreeWidget(this);
    m_list->setRootIsDecorated(false);
    m_list->setHeaderLabels({tr("Type"), tr("Extension(s)")});
    const auto extensions = image::extensionTable();
    for (const image::FormatRecord& f : image::formatTable()) {
        QString exts;
        bool all = true;
        for (auto i = f.firstExtension; i <= f.lastExtension; ++i) {
            const auto index = static_cast<std::size_t>(i);
            exts += qs(extensions[index].extension.substr(1)) + QLatin1Char(' ');
            all = all && m_engine.IsAssociated(index);
        }
        auto* row = new QTreeWidgetItem(
            m_list, {qs(f.description.empty() ? f.shortName : f.description), exts});
        row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
        row->setCheckState(0, all ? Qt::Checked : Qt::Unchecked);
    }
    m_list->resizeColumnToContents(0);
    m_list->resizeColumnToContents(1);

    auto* allButton = new QPushButton(tr("All"), this);
    auto* noneButton = new QPushButton(tr("None"), this);
    auto* invertButton = new QPushButton(tr("Invert"), this);
    connect(allButton, &QPushButton::clicked, this, [this] { setAll(1); });
    connect(noneButton, &QPushButton::clicked, this, [this] { setAll(0); });
    connect(invertButton, &QPushButton::clicked, this, [this] { setAll(2); });
    m_verify = new QCheckBox(tr("&Verify file associations every time on startup"), this);
    m_verify->setChecked(m_settings.verifyAssociations);

    QDialogButtonBox* buttons = standardButtons(false);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        apply();
        QApplication::restoreOverrideCursor();
        accept();
    });

    auto* side = new QVBoxLayout;
    side->addWidget(allButton);
    side->addWidget(noneButton);
    side->addWidget(invertButton);
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    top->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_verify);
    layout->addWidget(buttons);
    OnInitDialog();
}

void AssociationsDialog::setAll(int mode) {
    for (int r = 0; r < m_list->topLevelItemCount(); ++r) {
        QTreeWidgetItem* row = m_list->topLevelItem(r);
        const bool on = mode == 1 || (mode == 2 && row->checkState(0) != Qt::Checked);
        row->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
}

bool AssociationsDialog::apply() {
    const auto formats = image::formatTable();
    for (int r = 0; r < m_list->topLevelItemCount() && r < static_cast<int>(formats.size()); ++r) {
        const image::FormatRecord& f = formats[static_cast<std::size_t>(r)];
        const bool wanted = m_list->topLevelItem(r)->checkState(0) == Qt::Checked;
        m_engine.SetFormatAssociated(static_cast<std::size_t>(r), wanted);
        const auto code = static_cast<std::size_t>(f.code);
        if (code < m_settings.associateFormat.size()) m_settings.associateFormat[code] = wanted;
    }
    m_settings.verifyAssociations = m_verify->isChecked();
    return m_engine.flush();
}

AssociationsChangedDialog::AssociationsChangedDialog(app::Settings& settings,
                                                     shell::Associations& engine, QWidget* parent)
    : DialogBase(kChangedTemplate, parent), m_settings(settings), m_engine(engine) {
    setWindowTitle(tr("File Associations Changed"));
    auto* text =
        new QLabel(tr("Kalder has detected that some file types are not currently associated "
                      "with it. Please choose which associations should be set."),
                   this);
    text->setWordWrap(true);
    auto* setAll = new QPushButton(tr("&Set All"), this);
    auto* choose = new QPushButton(tr("&Choose.."), this);
    auto* notSet = new QPushButton(tr("Do &not Set"), this);
    setAll->setDefault(true);
    connect(setAll, &QPushButton::clicked, this, &AssociationsChangedDialog::setAllClicked);
    connect(choose, &QPushButton::clicked, this, &AssociationsChangedDialog::chooseClicked);
    connect(notSet, &QPushButton::clicked, this, &AssociationsChangedDialog::doNotSetClicked);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(setAll);
    buttons->addWidget(choose);
    buttons->addWidget(notSet);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addLayout(buttons);
    OnInitDialog();
    // The title bar shows the title in a font of its own beside its buttons: leave room for
    // twice the title's width in ours, and never less than the buttons need.
    setMinimumWidth(
        std::max(layout->sizeHint().width(), 2 * fontMetrics().horizontalAdvance(windowTitle())));
}

void AssociationsChangedDialog::setAllClicked() {
    // Every extension, whatever the flags say; the flags stay as they are.
    m_engine.AssociateAll();
    m_engine.flush();
    accept();
}

void AssociationsChangedDialog::chooseClicked() {
    AssociationsDialog dialog(m_settings, m_engine, this);
    if (dialog.exec() == QDialog::Accepted) {
        saveSettings(m_settings);
        accept();
    }
}

void AssociationsChangedDialog::doNotSetClicked() {
    m_settings.associateFormat.fill(false);
    accept();
}

void registerAssociationCommands(ToolContext& context) {
    context.commands().on(app::cmd::kFileAssociations, [&context](app::CommandId) {
        EngineRun run;
        if (!run.readable) return;  // our undo values would be lost
        AssociationsDialog dialog(context.settings(), run.engine, context.dialogParent());
        if (dialog.exec() == QDialog::Accepted) saveSettings(context.settings());
    });
}

void askAboutChangedAssociations(ToolContext& context) {
    EngineRun run;
    if (!run.readable) return;
    AssociationsChangedDialog dialog(context.settings(), run.engine, context.dialogParent());
    dialog.exec();
}

}  // namespace kalder::gui
