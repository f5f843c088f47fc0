#include "app/gui/dialogs/edit_shortcut_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QMessageBox>
#include <QVBoxLayout>
#include <algorithm>

#include "app/core/key_names.h"
#include "app/core/translatable.h"
#include "app/gui/translations.h"

namespace kalder::gui {

namespace {

constexpr int kEditShortcutTemplate = 334;
constexpr int kMiscControlsTemplate = 355;

}  // namespace

EditShortcutDialog::EditShortcutDialog(const app::ShortcutEditor& editor,
                                       const app::Shortcut& entry, std::optional<std::size_t> self,
                                       QWidget* parent)
    : DialogBase(kEditShortcutTemplate, parent), m_editor(editor), m_entry(entry), m_self(self) {
    setWindowTitle(tr("Edit Shortcut"));

    m_command = new QComboBox(this);
    m_command->setObjectName(QStringLiteral("command"));
    std::vector<app::CommandName> commands = editor.commands();
    std::stable_sort(commands.begin(), commands.end(),
                     [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const auto& command : commands) {
        m_command->addItem(QString::fromStdString(command.name), int(command.id));
    }
    m_command->setCurrentIndex(m_command->findData(int(entry.command)));

    m_key = new QComboBox(this);
    m_key->setObjectName(QStringLiteral("key"));
    for (const auto& key : app::keyNameTable()) {
        m_key->addItem(coreText(app::kKeyNamesContext, key.name), int(key.code));
    }
    // The first row with the code; none when the table does not list it.
    m_key->setCurrentIndex(m_key->findData(int(entry.key)));

    m_ctrl = new QCheckBox(tr("With &Ctrl Key"), this);
    m_ctrl->setObjectName(QStringLiteral("ctrl"));
    m_ctrl->setChecked(entry.flags & app::kShortcutCtrl);
    m_alt = new QCheckBox(tr("With &Alt Key"), this);
    m_alt->setObjectName(QStringLiteral("alt"));
    m_alt->setChecked(entry.flags & app::kShortcutAlt);
    m_shift = new QCheckBox(tr("With &Shift Key"), this);
    m_shift->setObjectName(QStringLiteral("shift"));
    m_shift->setChecked(entry.flags & app::kShortcutShift);

    auto* form = new QFormLayout;
    form->addRow(tr("Command:"), m_command);
    form->addRow(tr("Key:"), m_key);
    QDialogButtonBox* buttons = standardButtons(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &EditShortcutDialog::onOk);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_ctrl);
    layout->addWidget(m_alt);
    layout->addWidget(m_shift);
    layout->addWidget(buttons);
    OnInitDialog();
}

void EditShortcutDialog::onOk() {
    std::optional<std::uint16_t> key;
    if (m_key->currentIndex() >= 0) key = std::uint16_t(m_key->currentData().toInt());
    std::uint8_t modifiers = 0;
    if (m_ctrl->isChecked()) modifiers |= app::kShortcutCtrl;
    if (m_alt->isChecked()) modifiers |= app::kShortcutAlt;
    if (m_shift->isChecked()) modifiers |= app::kShortcutShift;
    std::optional<app::CommandId> command;
    if (m_command->currentIndex() >= 0) command = app::CommandId(m_command->currentData().toInt());

    app::Shortcut edited = m_entry;
    if (m_editor.edit(edited, key, modifiers, command, m_self) ==
        app::ShortcutEditor::EditResult::Duplicate) {
        QMessageBox::critical(this, QStringLiteral("Kalder"),
                              QString::fromLatin1(app::kDuplicateShortcutMessage));
        return;
    }
    m_entry = edited;
    accept();
}

MiscControlsDialog::MiscControlsDialog(const std::array<std::int32_t, 8>& options, QWidget* parent)
    : DialogBase(kMiscControlsTemplate, parent), m_options(options) {
    setWindowTitle(tr("Miscellaneous Controls"));

    m_paging = new QComboBox(this);
    m_paging->setObjectName(QStringLiteral("pagingKeys"));
    m_paging->addItems({tr("<specified by shortcuts>"), tr("scroll the image")});
    m_paging->setCurrentIndex(std::clamp(options[0], 0, 1));
    setControlId(m_paging, 1715);
    m_wheel = new QComboBox(this);
    m_wheel->setObjectName(QStringLiteral("mouseWheel"));
    m_wheel->addItems(
        {tr("switches the current image"), tr("zooms the image"), tr("scrolls the image")});
    m_wheel->setCurrentIndex(std::clamp(options[1], 0, 2));
    setControlId(m_wheel, 1718);

    auto* drag = new QGroupBox(tr("Drag-and-Drop"), this);
    m_explorerDrag =
        new QCheckBox(tr("As in the As in &Windows Explorer (moves files, +Ctrl copies files)file "
                         "manager (moves files, +Ctrl copies files)"),
                      drag);
    m_explorerDrag->setObjectName(QStringLiteral("explorerDrag"));
    m_explorerDrag->setChecked(options[2] != 0);
    m_askDrag = new QCheckBox(tr("&Ask before copying/moving files"), drag);
    m_askDrag->setObjectName(QStringLiteral("askDrag"));
    m_askDrag->setChecked(options[3] != 0);
    auto* dragLayout = new QVBoxLayout(drag);
    dragLayout->addWidget(m_explorerDrag);
    dragLayout->addWidget(m_askDrag);

    auto* form = new QFormLayout;
    form->addRow(tr("Page Up/Down/Home/End keys"), m_paging);
    form->addRow(tr("Mouse wheel"), m_wheel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(drag);
    layout->addWidget(standardButtons());
    OnInitDialog();
}

std::array<std::int32_t, 8> MiscControlsDialog::options() const {
    std::array<std::int32_t, 8> result = m_options;
    result[0] = m_paging->currentIndex();
    result[1] = m_wheel->currentIndex();
    result[2] = m_explorerDrag->isChecked() ? 1 : 0;
    result[3] = m_askDrag->isChecked() ? 1 : 0;
    return result;
}

}  // namespace kalder::gui
