// The "Controls" page: the shortcut list and its buttons.
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/gui/dialogs/edit_shortcut_dialog.h"
#include "app/gui/dialogs/options_dialog_pages.h"

namespace kalder::gui {

namespace {

constexpr int kControlsTemplate = 333;
constexpr int kEntryRole = Qt::UserRole;

QPushButton* button(const QString& text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}

}  // namespace

ControlsPage::ControlsPage(const app::Settings& s, QWidget* parent)
    : OptionsPage(kControlsTemplate, parent),
      m_editor(s.shortcuts.empty() ? app::schemeShortcuts(s.keyScheme) : s.shortcuts),
      m_controlOptions(s.controlOptions),
      m_scheme(s.keyScheme) {
    setObjectName(QStringLiteral("controlsPage"));
    m_schemes = new QComboBox(this);
    m_schemes->setObjectName(QStringLiteral("keyScheme"));
    m_schemes->addItem(tr("Kalder standard"), int(app::KeyScheme::Standard));
    m_schemes->addItem(tr("Desktop standard"), int(app::KeyScheme::Desktop));
    m_schemes->setCurrentIndex(m_schemes->findData(int(m_scheme)));
    m_schemes->setAccessibleName(tr("Key scheme"));
    auto* schemeLabel = new QLabel(tr("Key &scheme:"), this);
    schemeLabel->setBuddy(m_schemes);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("shortcuts"));
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setHeaderLabels({tr("Command"), tr("Modifier"), tr("Key")});
    m_list->header()->setStretchLastSection(false);
    m_list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_list->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);

    auto* add = button(tr("&Add Shortcut..."), "addShortcut", this);
    auto* edit = button(tr("&Edit Shortcut..."), "editShortcut", this);
    auto* remove = button(tr("&Remove Shortcut"), "removeShortcut", this);
    auto* defaults = button(tr("Set &Default Shortcuts"), "defaultShortcuts", this);
    auto* misc = button(tr("Miscellaneous..."), "miscControls", this);

    auto* buttons = new QHBoxLayout;
    for (auto* b : {add, edit, remove, defaults, misc}) buttons->addWidget(b);
    auto* schemeRow = new QHBoxLayout;
    schemeRow->addWidget(schemeLabel);
    schemeRow->addWidget(m_schemes, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(schemeRow);
    layout->addWidget(new QLabel(tr("Shortcuts:"), this));
    layout->addWidget(m_list);
    layout->addLayout(buttons);

    connect(add, &QPushButton::clicked, this, &ControlsPage::addShortcut);
    connect(edit, &QPushButton::clicked, this, &ControlsPage::editShortcut);
    connect(m_list, &QTreeWidget::itemDoubleClicked, this, &ControlsPage::editShortcut);
    connect(remove, &QPushButton::clicked, this, &ControlsPage::removeShortcut);
    connect(defaults, &QPushButton::clicked, this, &ControlsPage::setDefaults);
    connect(misc, &QPushButton::clicked, this, &ControlsPage::miscellaneous);
    connect(m_schemes, &QComboBox::currentIndexChanged, this, &ControlsPage::chooseScheme);
    fill(std::nullopt);
}

void ControlsPage::chooseScheme(int index) {
    const auto scheme = static_cast<app::KeyScheme>(m_schemes->itemData(index).toInt());
    if (scheme == m_scheme) return;
    // The list's own edits stay on top of the new scheme's keys.
    m_editor.switchScheme(m_scheme, scheme);
    m_scheme = scheme;
    fill(std::nullopt);
}

void ControlsPage::fill(std::optional<std::size_t> select) {
    m_list->clear();
    for (const auto& row : m_editor.rows()) {
        auto* item = new QTreeWidgetItem(
            m_list, {QString::fromStdString(row.command), QString::fromStdString(row.modifier),
                     QString::fromStdString(row.key)});
        item->setData(0, kEntryRole, qulonglong(row.entry));
        if (select && *select == row.entry) {
            m_list->setCurrentItem(item);
            item->setSelected(true);
        }
    }
}

std::optional<std::size_t> ControlsPage::selectedEntry() const {
    const QList<QTreeWidgetItem*> selected = m_list->selectedItems();
    if (selected.isEmpty()) return std::nullopt;
    return std::size_t(selected.front()->data(0, kEntryRole).toULongLong());
}

void ControlsPage::addShortcut() {
    EditShortcutDialog dialog(m_editor, m_editor.newEntry(), std::nullopt, this);
    if (dialog.exec() != QDialog::Accepted) return;
    if (!m_editor.add(dialog.entry())) return;
    fill(m_editor.entries().size() - 1);
}

void ControlsPage::editShortcut() {
    const auto index = selectedEntry();
    if (!index) return;
    EditShortcutDialog dialog(m_editor, m_editor.entries()[*index], index, this);
    if (dialog.exec() != QDialog::Accepted) return;
    m_editor.replace(*index, dialog.entry());
    fill(index);
}

void ControlsPage::removeShortcut() {
    const auto index = selectedEntry();
    if (!index || !m_editor.remove(*index)) return;
    fill(std::nullopt);
}

void ControlsPage::setDefaults() {
    const auto answer = QMessageBox::warning(this, QStringLiteral("Kalder"),
                                             QString::fromLatin1(app::kSetDefaultShortcutsQuestion),
                                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
    m_editor.setDefaults(m_scheme);
    fill(std::nullopt);
}

void ControlsPage::miscellaneous() {
    MiscControlsDialog dialog(m_controlOptions, this);
    if (dialog.exec() == QDialog::Accepted) m_controlOptions = dialog.options();
}

void ControlsPage::store(app::Settings& s) const {
    m_editor.apply(s);
    s.controlOptions = m_controlOptions;
    s.keyScheme = m_scheme;
}

}  // namespace kalder::gui
