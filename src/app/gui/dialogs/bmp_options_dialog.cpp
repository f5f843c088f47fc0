#include "app/gui/dialogs/bmp_options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "app/gui/dialogs/dialog_buttons.h"

namespace kalder::gui {

BmpOptionsDialog::BmpOptionsDialog(const image::BmpOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setWindowTitle(QStringLiteral("BMP Options"));
    auto* layout = new QVBoxLayout(this);
    m_rle = new QCheckBox(QStringLiteral("RLE-compressed"), this);
    m_rle->setObjectName("rle");
    m_rle->setChecked(options.rle);
    layout->addWidget(m_rle);
    auto* buttons = makeOptionsButtons(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &BmpOptionsDialog::onOk);
    layout->addWidget(buttons);
}

void BmpOptionsDialog::onOk() {
    m_options.rle = m_rle->isChecked();
    accept();
}

}  // namespace kalder::gui
