#include "app/gui/dialogs/tiff_options_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QVBoxLayout>

#include "app/core/translatable.h"
#include "app/gui/dialogs/dialog_buttons.h"
#include "app/gui/translations.h"

namespace kalder::gui {

TiffOptionsDialog::TiffOptionsDialog(const image::TiffOptions& options, std::int32_t bits,
                                     QWidget* parent)
    : QDialog(parent), m_options(options) {
    setWindowTitle(tr("TIFF Options"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    layout->addLayout(form);
    m_compression = new QComboBox(this);
    m_compression->setObjectName("compression");
    for (const auto& choice : image::tiffCompressionChoices(bits))
        m_compression->addItem(coreText(app::kChoicesContext, choice.name), choice.value);
    const int index = options.compressionIndex;
    m_compression->setCurrentIndex(index >= 0 && index < m_compression->count() ? index : 0);
    form->addRow(tr("Compression:"), m_compression);
    auto* buttons = makeOptionsButtons(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TiffOptionsDialog::onOk);
    layout->addWidget(buttons);
}

void TiffOptionsDialog::onOk() {
    m_options.compressionIndex = m_compression->currentIndex();
    accept();
}

}  // namespace kalder::gui
