#include "app/gui/dialogs/find_image_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/core/settings.h"

namespace kalder::gui {

namespace {

constexpr int kFindImageTemplate = 312;

}  // namespace

view::FindOptions findOptionsFrom(const app::Settings& settings) {
    view::FindOptions options;
    options.matchCase = settings.findOptions[0] != 0;
    options.wholeWords = settings.findOptions[1] != 0;
    options.searchDescriptions = settings.findOptions[2] != 0;
    options.namesWithExtensions = settings.findOptions[3] != 0;
    return options;
}

FindImageDialog::FindImageDialog(app::Settings& settings, QWidget* parent)
    : DialogBase(kFindImageTemplate, parent), m_settings(settings) {
    setWindowTitle(tr("Find Image"));
    m_text = new QLineEdit(QString::fromStdString(settings.findText), this);
    m_text->setObjectName(QStringLiteral("findText"));
    m_text->setMinimumWidth(280);
    m_text->selectAll();

    struct OptionRow {
        const char* text;
        const char* name;
    };
    // In the order of the settings' findOptions entries.
    const OptionRow rows[] = {
        {QT_TR_NOOP("Match &case"), "matchCase"},
        {QT_TR_NOOP("Match whole &words only"), "wholeWords"},
        {QT_TR_NOOP("Search &descriptions"), "searchDescriptions"},
        {QT_TR_NOOP("Search names+&extensions"), "namesWithExtensions"},
    };
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    form->addRow(tr("Find what:"), m_text);
    layout->addLayout(form);
    for (std::size_t i = 0; i < m_options.size(); ++i) {
        m_options[i] = new QCheckBox(tr(rows[i].text), this);
        m_options[i]->setObjectName(QString::fromLatin1(rows[i].name));
        m_options[i]->setChecked(settings.findOptions[i] != 0);
        layout->addWidget(m_options[i]);
    }

    auto* buttons = new QDialogButtonBox(this);
    buttons->setObjectName(QStringLiteral("buttons"));
    QPushButton* find = buttons->addButton(tr("Find"), QDialogButtonBox::AcceptRole);
    find->setObjectName(QStringLiteral("find"));
    find->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);
    buttons->addButton(helpButton(), QDialogButtonBox::HelpRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &FindImageDialog::onFind);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_text->setFocus();
    OnInitDialog();
}

void FindImageDialog::onFind() {
    m_settings.findText = m_text->text().toStdString();
    for (std::size_t i = 0; i < m_options.size(); ++i) {
        m_settings.findOptions[i] = m_options[i]->isChecked() ? 1 : 0;
    }
    accept();
}

}  // namespace kalder::gui
