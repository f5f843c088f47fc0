#include "app/gui/slide_show_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "app/core/settings.h"
#include "app/gui/dialogs/dialog_base.h"

namespace kalder::gui {

SlideShowDialog::SlideShowDialog(app::Settings& settings, QWidget* parent)
    : QDialog(parent), m_settings(settings) {
    setWindowTitle(tr("Adjust Slide Show"));
    auto* layout = new QVBoxLayout(this);

    auto* delayBox = new QGroupBox(tr("Delay"), this);
    auto* delayLayout = new QHBoxLayout(delayBox);
    m_delay = new QSlider(Qt::Horizontal, delayBox);
    m_delay->setRange(1, 10);
    m_delay->setTickPosition(QSlider::TicksBelow);
    m_delay->setValue(std::clamp(settings.slideDelay, 1, 10));
    m_delayLabel = new QLabel(delayBox);
    delayLayout->addWidget(m_delay, 1);
    delayLayout->addWidget(m_delayLabel);
    auto showDelay = [this](int v) { m_delayLabel->setText(tr("%1 seconds").arg(v)); };
    showDelay(m_delay->value());
    connect(m_delay, &QSlider::valueChanged, this, showDelay);
    layout->addWidget(delayBox);

    auto* sequence = new QGroupBox(tr("Sequence"), this);
    auto* sequenceLayout = new QVBoxLayout(sequence);
    m_forward = new QRadioButton(tr("&Forward"), sequence);
    m_backward = new QRadioButton(tr("&Backward"), sequence);
    m_repeat = new QCheckBox(tr("&Repeat"), sequence);
    (settings.slideBackward ? m_backward : m_forward)->setChecked(true);
    m_repeat->setChecked(settings.slideRepeat);
    for (QWidget* w : {static_cast<QWidget*>(m_forward), static_cast<QWidget*>(m_backward),
                       static_cast<QWidget*>(m_repeat)})
        sequenceLayout->addWidget(w);
    layout->addWidget(sequence);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* help = buttons->addButton(tr("&Help"), QDialogButtonBox::HelpRole);
    connect(help, &QPushButton::clicked, this,
            [this] { DialogBase::openHelpTopic(this, QStringLiteral("slide_show")); });
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        store();
        accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

void SlideShowDialog::store() {
    m_settings.slideDelay = m_delay->value();
    m_settings.slideBackward = m_backward->isChecked();
    m_settings.slideRepeat = m_repeat->isChecked();
}

}  // namespace kalder::gui
