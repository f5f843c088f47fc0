#include "app/gui/dialogs/transparency_options_dialog.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "app/gui/dialogs/dialog_buttons.h"

namespace kalder::gui {

TransparencyOptionsDialog::TransparencyOptionsDialog(const image::TransparencyOptions& options,
                                                     QWidget* parent)
    : QDialog(parent), m_options(options) {
    setWindowTitle(tr("Transparency Options"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);

    m_retain = new QRadioButton(tr("&Retain original transparency"), this);
    m_retain->setObjectName("retain");
    m_remove = new QRadioButton(tr("R&emove any transparency"), this);
    m_remove->setObjectName("remove");
    m_color = new QRadioButton(tr("&Use RGB to specify the transparent color"), this);
    m_color->setObjectName("useColor");
    m_index = new QRadioButton(tr("U&se the transparent palette index"), this);
    m_index->setObjectName("useIndex");
    m_chooseColor = new QPushButton(tr("&Choose Color..."), this);
    m_chooseColor->setObjectName("chooseColor");
    m_swatch = new QLabel(this);
    m_swatch->setFixedSize(32, 20);
    m_swatch->setFrameShape(QFrame::Box);
    auto* indexLabel = new QLabel(tr("Palette index:"), this);
    m_indexEdit = new QLineEdit(QString::number(options.paletteIndex), this);
    m_indexEdit->setObjectName("paletteIndex");
    // Digits only; the range is checked on OK so that the user hears why.
    m_indexEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression("-?[0-9]{0,6}"), m_indexEdit));
    indexLabel->setBuddy(m_indexEdit);

    grid->addWidget(m_retain, 0, 0, 1, 3);
    grid->addWidget(m_remove, 1, 0, 1, 3);
    grid->addWidget(m_color, 2, 0, 1, 3);
    grid->addWidget(m_chooseColor, 3, 1);
    grid->addWidget(m_swatch, 3, 2);
    grid->addWidget(m_index, 4, 0, 1, 3);
    grid->addWidget(indexLabel, 5, 1);
    grid->addWidget(m_indexEdit, 5, 2);
    grid->setColumnMinimumWidth(0, 16);

    switch (options.mode) {
        case image::TransparencyMode::Retain:
            m_retain->setChecked(true);
            break;
        case image::TransparencyMode::Remove:
            m_remove->setChecked(true);
            break;
        case image::TransparencyMode::Color:
            m_color->setChecked(true);
            break;
        case image::TransparencyMode::PaletteIndex:
            m_index->setChecked(true);
            break;
    }
    for (QRadioButton* b : {m_retain, m_remove, m_color, m_index})
        connect(b, &QRadioButton::toggled, this, &TransparencyOptionsDialog::updateEnabled);
    connect(m_chooseColor, &QPushButton::clicked, this, &TransparencyOptionsDialog::chooseColor);
    showColor();
    updateEnabled();

    auto* buttons = makeOptionsButtons(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TransparencyOptionsDialog::onOk);
    layout->addWidget(buttons);
}

void TransparencyOptionsDialog::updateEnabled() {
    m_chooseColor->setEnabled(m_color->isChecked());
    m_indexEdit->setEnabled(m_index->isChecked());
}

void TransparencyOptionsDialog::showColor() {
    const QColor c(m_options.color & 0xff, (m_options.color >> 8) & 0xff,
                   (m_options.color >> 16) & 0xff);
    m_swatch->setStyleSheet(QStringLiteral("background-color: %1").arg(c.name()));
}

void TransparencyOptionsDialog::chooseColor() {
    const QColor initial(m_options.color & 0xff, (m_options.color >> 8) & 0xff,
                         (m_options.color >> 16) & 0xff);
    const QColor c = QColorDialog::getColor(initial, this);
    if (!c.isValid()) return;
    m_options.color = static_cast<std::uint32_t>(c.red()) |
                      static_cast<std::uint32_t>(c.green()) << 8 |
                      static_cast<std::uint32_t>(c.blue()) << 16;
    showColor();
}

void TransparencyOptionsDialog::onOk() {
    image::TransparencyMode mode = image::TransparencyMode::Retain;
    if (m_remove->isChecked()) mode = image::TransparencyMode::Remove;
    if (m_color->isChecked()) mode = image::TransparencyMode::Color;
    if (m_index->isChecked()) mode = image::TransparencyMode::PaletteIndex;
    if (mode == image::TransparencyMode::PaletteIndex) {
        const auto check = image::checkPaletteIndex(m_indexEdit->text().toStdString());
        if (!check.value) {
            showWarning(this, QString::fromStdString(check.message));
            m_indexEdit->setText(QStringLiteral("0"));
            m_indexEdit->setFocus();
            return;
        }
        m_options.paletteIndex = *check.value;
    }
    m_options.mode = mode;
    accept();
}

}  // namespace kalder::gui
