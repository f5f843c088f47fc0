#include "app/gui/dialogs/rle_options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QVBoxLayout>

#include "app/gui/dialogs/dialog_buttons.h"

namespace kalder::gui {

RleOptionsDialog::RleOptionsDialog(const QString& title, bool rle, QWidget* parent)
    : QDialog(parent), m_chosen(rle) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    m_rle = new QCheckBox(tr("RLE-compressed"), this);
    m_rle->setObjectName("rle");
    m_rle->setChecked(rle);
    layout->addWidget(m_rle);
    auto* buttons = makeOptionsButtons(this);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        m_chosen = m_rle->isChecked();
        accept();
    });
    layout->addWidget(buttons);
}

}  // namespace kalder::gui
