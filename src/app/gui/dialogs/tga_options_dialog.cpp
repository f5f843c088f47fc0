#include "app/gui/dialogs/tga_options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "app/gui/dialogs/dialog_buttons.h"

namespace kalder::gui {

TgaOptionsDialog::TgaOptionsDialog(const image::TgaOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setWindowTitle(QStringLiteral("TGA Options"));
    auto* layout = new QVBoxLayout(this);
    m_rle = new QCheckBox(QStringLiteral("RLE-compressed"), this);
    m_rle->setObjectName("rle");
    m_rle->setChecked(options.rle);
    layout->addWidget(m_rle);
    auto* buttons = makeOptionsButtons(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TgaOptionsDialog::onOk);
    layout->addWidget(buttons);
}

void TgaOptionsDialog::onOk() {
    m_options.rle = m_rle->isChecked();
    accept();
}

}  // namespace kalder::gui
