#include "app/gui/dialogs/png_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/gui/dialogs/dialog_buttons.h"
#include "app/gui/dialogs/transparency_options_dialog.h"

namespace kalder::gui {

PngOptionsDialog::PngOptionsDialog(const image::PngOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options), m_transparency(options.transparency) {
    setWindowTitle(tr("PNG Options"));
    auto* layout = new QVBoxLayout(this);

    auto* transparency = new QPushButton(tr("Transparency..."), this);
    transparency->setObjectName("transparency");
    connect(transparency, &QPushButton::clicked, this, &PngOptionsDialog::editTransparency);
    layout->addWidget(transparency, 0, Qt::AlignLeft);

    auto* form = new QFormLayout;
    layout->addLayout(form);
    m_gamma = new QLineEdit(QString::fromStdString(image::gammaText(options.gamma)), this);
    m_gamma->setObjectName("gamma");
    m_gamma->setPlaceholderText(tr("[default]"));
    form->addRow(tr("Gamma correction:"), m_gamma);
    m_interlaced = new QCheckBox(tr("Interlaced"), this);
    m_interlaced->setObjectName("interlaced");
    m_interlaced->setChecked(options.interlaced);
    layout->addWidget(m_interlaced);

    auto* comments = new QGroupBox(tr("Additional Comments"), this);
    auto* grid = new QGridLayout(comments);
    m_keyword = new QComboBox(comments);
    m_keyword->setObjectName("keyword");
    m_keyword->setEditable(true);
    for (const auto& k : image::pngKeywordChoices()) m_keyword->addItem(QString::fromStdString(k));
    m_text = new QLineEdit(comments);
    m_text->setObjectName("text");
    auto* add = new QPushButton(tr("Add..."), comments);
    add->setObjectName("add");
    auto* remove = new QPushButton(tr("Remove"), comments);
    remove->setObjectName("remove");
    m_texts = new QTreeWidget(comments);
    m_texts->setObjectName("texts");
    m_texts->setColumnCount(2);
    m_texts->setHeaderHidden(true);
    m_texts->setRootIsDecorated(false);
    for (const auto& t : options.texts)
        new QTreeWidgetItem(m_texts,
                            {QString::fromStdString(t.keyword), QString::fromStdString(t.text)});
    grid->addWidget(new QLabel(tr("Keywords:"), comments), 0, 0);
    grid->addWidget(m_keyword, 0, 1);
    grid->addWidget(add, 0, 2);
    grid->addWidget(new QLabel(tr("Text:"), comments), 1, 0);
    grid->addWidget(m_text, 1, 1);
    grid->addWidget(remove, 1, 2);
    grid->addWidget(m_texts, 2, 0, 1, 3);
    layout->addWidget(comments);
    connect(add, &QPushButton::clicked, this, &PngOptionsDialog::addText);
    connect(remove, &QPushButton::clicked, this, &PngOptionsDialog::removeText);

    auto* buttons = makeOptionsButtons(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &PngOptionsDialog::onOk);
    layout->addWidget(buttons);
}

void PngOptionsDialog::editTransparency() {
    TransparencyOptionsDialog dialog(m_transparency, this);
    if (dialog.exec() == QDialog::Accepted) m_transparency = dialog.options();
}

void PngOptionsDialog::addText() {
    const QString keyword = m_keyword->currentText().trimmed();
    if (keyword.isEmpty()) return;
    new QTreeWidgetItem(m_texts, {keyword, m_text->text()});
    m_text->clear();
}

void PngOptionsDialog::removeText() { delete m_texts->currentItem(); }

void PngOptionsDialog::onOk() {
    const auto gamma = image::parseGammaText(m_gamma->text().toStdString());
    if (!gamma.value) {
        showError(this, QString::fromStdString(gamma.message));
        m_gamma->setFocus();
        m_gamma->selectAll();
        return;
    }
    m_options.gamma = *gamma.value;
    m_options.interlaced = m_interlaced->isChecked();
    m_options.texts.clear();
    for (int i = 0; i < m_texts->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_texts->topLevelItem(i);
        m_options.texts.push_back({item->text(0).toStdString(), item->text(1).toStdString()});
    }
    m_options.transparency = m_transparency;
    accept();
}

}  // namespace kalder::gui
