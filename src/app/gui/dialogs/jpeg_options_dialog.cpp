#include "app/gui/dialogs/jpeg_options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "app/gui/dialogs/dialog_buttons.h"

namespace kalder::gui {

JpegOptionsDialog::JpegOptionsDialog(const image::JpegOptions& options, QWidget* parent)
    : QDialog(parent), m_options(options) {
    setWindowTitle(tr("JPEG Options"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);
    m_quality = addPercentSlider(grid, 0, tr("Quality:"), options.quality, "quality");
    m_smoothing = addPercentSlider(grid, 1, tr("Smoothing:"), options.smoothing, "smoothing");

    m_sampling = new QComboBox(this);
    m_sampling->setObjectName("sampling");
    m_sampling->addItems(
        {tr("High quality(4:4:4)"), tr("Middle quality (4:3:3)"), tr("Low quality (4:2:2)")});
    m_sampling->setCurrentIndex(std::clamp(options.sampling, 0, 2));
    grid->addWidget(new QLabel(tr("Sampling factor:"), this), 2, 0);
    grid->addWidget(m_sampling, 2, 1, 1, 2);

    m_progressive = new QCheckBox(tr("Progressive"), this);
    m_progressive->setObjectName("progressive");
    m_progressive->setChecked(options.progressive);
    m_gray = new QCheckBox(tr("Gray-scale"), this);
    m_gray->setObjectName("gray");
    m_gray->setChecked(options.gray);
    m_copyExif = new QCheckBox(tr("Copy Exif information"), this);
    m_copyExif->setObjectName("copyExif");
    m_copyExif->setChecked(options.copyExif);
    layout->addWidget(m_progressive);
    layout->addWidget(m_gray);
    layout->addWidget(m_copyExif);

    auto* buttons = makeOptionsButtons(this);
    connect(buttons, &QDialogButtonBox::accepted, this, &JpegOptionsDialog::onOk);
    layout->addWidget(buttons);
}

QSlider* JpegOptionsDialog::addPercentSlider(QGridLayout* grid, int row, const QString& label,
                                             int value, const char* name) {
    auto* slider = new QSlider(Qt::Horizontal, this);
    slider->setObjectName(name);
    slider->setRange(0, 100);
    slider->setValue(std::clamp(value, 0, 100));
    auto* shown = new QLabel(this);
    shown->setMinimumWidth(shown->fontMetrics().horizontalAdvance(QStringLiteral("100%")));
    auto update = [shown](int v) { shown->setText(QStringLiteral("%1%").arg(v)); };
    update(slider->value());
    connect(slider, &QSlider::valueChanged, shown, update);
    auto* caption = new QLabel(label, this);
    caption->setBuddy(slider);
    grid->addWidget(caption, row, 0);
    grid->addWidget(slider, row, 1);
    grid->addWidget(shown, row, 2);
    return slider;
}

void JpegOptionsDialog::onOk() {
    m_options.quality = m_quality->value();
    m_options.smoothing = m_smoothing->value();
    m_options.sampling = m_sampling->currentIndex();
    m_options.progressive = m_progressive->isChecked();
    m_options.gray = m_gray->isChecked();
    m_options.copyExif = m_copyExif->isChecked();
    accept();
}

}  // namespace kalder::gui
