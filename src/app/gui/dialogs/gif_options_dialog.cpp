#include "app/gui/dialogs/gif_options_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/gui/dialogs/dialog_buttons.h"
#include "app/gui/dialogs/transparency_options_dialog.h"

namespace kalder::gui {

GifOptionsDialog::GifOptionsDialog(const image::GifOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options), m_transparency(options.transparency) {
    setWindowTitle(tr("GIF Options"));
    auto* layout = new QVBoxLayout(this);
    m_interlaced = new QCheckBox(tr("Interlaced"), this);
    m_interlaced->setObjectName("interlaced");
    m_interlaced->setChecked(options.interlaced);
    layout->addWidget(m_interlaced);
    auto* transparency = new QPushButton(tr("Transparency..."), this);
    transparency->setObjectName("transparency");
    connect(transparency, &QPushButton::clicked, this, &GifOptionsDialog::editTransparency);
    layout->addWidget(transparency);
    auto* buttons = makeOptionsButtons(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &GifOptionsDialog::onOk);
    layout->addWidget(buttons);
}

void GifOptionsDialog::editTransparency() {
    TransparencyOptionsDialog dialog(m_transparency, this);
    if (dialog.exec() == QDialog::Accepted) m_transparency = dialog.options();
}

void GifOptionsDialog::onOk() {
    m_options.interlaced = m_interlaced->isChecked();
    m_options.transparency = m_transparency;
    accept();
}

}  // namespace kalder::gui
