#include "app/gui/tools/print/custom_size_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "tools/print_layout/print_layout.h"

namespace kalder::gui {

CustomSizeDialog::CustomSizeDialog(double widthMm, double heightMm, QWidget* parent)
    : DialogBase(0, parent), m_widthMm(widthMm), m_heightMm(heightMm) {
    setWindowTitle(tr("Custom size"));
    m_width = new QLineEdit(this);
    m_height = new QLineEdit(this);
    m_inches = new QRadioButton(tr("Inches"), this);
    m_millimetres = new QRadioButton(tr("Millimeters"), this);
    m_original = new QCheckBox(tr("Original size"), this);
    m_millimetres->setChecked(true);

    auto* form = new QFormLayout;
    form->addRow(tr("Width:"), m_width);
    form->addRow(tr("Height:"), m_height);
    auto* units = new QHBoxLayout;
    units->addWidget(m_inches);
    units->addWidget(m_millimetres);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(units);
    layout->addWidget(m_original);
    layout->addWidget(buttons);

    // The fields always show the held millimetres in the chosen unit.
    connect(m_inches, &QRadioButton::toggled, this, [this](bool) {
        if (!m_original->isChecked()) showSizes();
    });
    connect(m_original, &QCheckBox::toggled, this, [this](bool on) {
        for (QWidget* w : {static_cast<QWidget*>(m_width), static_cast<QWidget*>(m_height),
                           static_cast<QWidget*>(m_inches), static_cast<QWidget*>(m_millimetres)})
            w->setEnabled(!on);
    });
    connect(m_width, &QLineEdit::editingFinished, this, [this] { readSizes(); });
    connect(m_height, &QLineEdit::editingFinished, this, [this] { readSizes(); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] { tryAccept(); });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    showSizes();
    OnInitDialog();
}

bool CustomSizeDialog::inches() const { return m_inches->isChecked(); }
bool CustomSizeDialog::originalSize() const { return m_original->isChecked(); }

void CustomSizeDialog::showSizes() {
    const double factor = inches() ? tools::kMmToInches : 1.0;
    m_width->setText(QString::number(m_widthMm * factor, 'g', 6));
    m_height->setText(QString::number(m_heightMm * factor, 'g', 6));
}

bool CustomSizeDialog::readSizes() {
    bool okW = false;
    bool okH = false;
    const double factor = inches() ? tools::kInchesToMm : 1.0;
    const double w = m_width->text().trimmed().toDouble(&okW) * factor;
    const double h = m_height->text().trimmed().toDouble(&okH) * factor;
    if (!okW || !okH || !tools::customSizeAllowed(w) || !tools::customSizeAllowed(h)) return false;
    m_widthMm = w;
    m_heightMm = h;
    return true;
}

bool CustomSizeDialog::tryAccept() {
    if (!originalSize() && !readSizes()) {
        m_width->setFocus();
        return false;
    }
    accept();
    return true;
}

}  // namespace kalder::gui
