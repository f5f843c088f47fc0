// The "Color Management" page: profile or custom calibration, the calibration slider and its
// preview box.
#include <QButtonGroup>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "app/gui/dialogs/dialog_base.h"
#include "app/gui/dialogs/options_dialog_pages.h"
#include "app/gui/x11_monitor_profile.h"
#include "shell/qt/qt_path.h"
#include "view/color_calibration.h"
#include "view/color_manager.h"

namespace kalder::gui {

namespace {

constexpr int kColorTemplate = 332;

const char* const kChannelInstruction = QT_TRANSLATE_NOOP(
    "kalder::gui::ColorPage",
    "Use the slider to adjust the color of the inner square so that its color is closest to the "
    "border color emulated with linear pattern.");
const char* const kAdditionalInstruction = QT_TRANSLATE_NOOP(
    "kalder::gui::ColorPage",
    "Use the slider to adjust the colors so that the bright and dark areas of the square are "
    "approximately equal.");

}  // namespace

// The preview box: for a single channel, alternating lines of the pure channel and black with a
// solid square of the level that should match them; for the additional gamma, 256 grey bands.
class CalibrationPreview : public QWidget {
public:
    explicit CalibrationPreview(QWidget* parent) : QWidget(parent) {
        setObjectName(QStringLiteral("preview"));
        setMinimumSize(128, 128);
    }
    void setState(ColorPage::Channel channel, std::array<double, 4> exponents, bool profileMode,
                  view::ColorManager* manager) {
        m_channel = channel;
        m_exponents = exponents;
        m_profileMode = profileMode;
        m_manager = manager;
        update();
    }

    // What the box shows, also for tests.
    QImage render(QSize size) const {
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::black);
        const int w = size.width();
        const int h = size.height();
        if (m_channel != ColorPage::Additional) {
            const QRgb line = channelColor(255);
            for (int y = 0; y < h; y += 2) {
                auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
                std::fill(row, row + w, line);
            }
            const QRgb inner = channelColor(view::channelPreviewLevel(m_exponents[m_channel]));
            for (int y = h / 4; y < h - h / 4; ++y) {
                auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
                std::fill(row + w / 4, row + (w - w / 4), inner);
            }
            return picture;
        }
        const double extra = m_exponents[ColorPage::Additional];
        std::array<double, 3> e{extra, extra, extra};  // red, green, blue
        if (!m_profileMode) {
            e = {m_exponents[ColorPage::Red] * extra, m_exponents[ColorPage::Green] * extra,
                 m_exponents[ColorPage::Blue] * extra};
        }
        for (int i = 0; i < 256; ++i) {
            std::uint8_t bgrx[4] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
            if (m_profileMode && m_manager != nullptr) m_manager->TranslateRow(bgrx, 1);
            const QRgb colour =
                qRgb(view::applyExponent(bgrx[2], e[0]), view::applyExponent(bgrx[1], e[1]),
                     view::applyExponent(bgrx[0], e[2]));
            const view::PreviewBand band = view::additionalGammaBand(i, h);
            for (int y = band.y; y < std::min(h, band.y + band.height); ++y) {
                auto* row = reinterpret_cast<QRgb*>(picture.scanLine(y));
                std::fill(row, row + w, colour);
            }
        }
        return picture;
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, render(size()));
    }

private:
    QRgb channelColor(int level) const {
        switch (m_channel) {
            case ColorPage::Red:
                return qRgb(level, 0, 0);
            case ColorPage::Green:
                return qRgb(0, level, 0);
            default:
                return qRgb(0, 0, level);
        }
    }

    ColorPage::Channel m_channel = ColorPage::Red;
    std::array<double, 4> m_exponents{1.0, 1.0, 1.0, 1.0};
    bool m_profileMode = false;
    view::ColorManager* m_manager = nullptr;
};

ColorPage::ColorPage(const app::Settings& s, QWidget* parent)
    : OptionsPage(kColorTemplate, parent), m_manager(std::make_unique<view::ColorManager>()) {
    setObjectName(QStringLiteral("colorPage"));
    m_exponents = {s.gammaRed, s.gammaGreen, s.gammaBlue, s.gammaExtra};
    m_profilePath = s.colorProfilePath;

    m_profiles = new QRadioButton(tr("Color profiles"), this);
    m_profiles->setObjectName(QStringLiteral("useColorProfiles"));
    m_custom = new QRadioButton(tr("Custom calibration"), this);
    m_custom->setObjectName(QStringLiteral("customCalibration"));
    auto* mode = new QButtonGroup(this);
    mode->addButton(m_profiles);
    mode->addButton(m_custom);
    (s.useColorProfiles ? m_profiles : m_custom)->setChecked(true);

    m_useDefault = new QCheckBox(tr("Use default color profile"), this);
    m_useDefault->setObjectName(QStringLiteral("useDefaultProfile"));
    m_useDefault->setChecked(s.useDefaultProfile);
    auto* select = new QPushButton(tr("Select profile..."), this);
    select->setObjectName(QStringLiteral("selectProfile"));
    m_select = select;
    m_path = new QLineEdit(shell::toQString(m_profilePath), this);
    m_path->setObjectName(QStringLiteral("profilePath"));
    m_path->setReadOnly(true);

    const char* names[4] = {QT_TR_NOOP("Red"), QT_TR_NOOP("Green"), QT_TR_NOOP("Blue"),
                            QT_TR_NOOP("Additional gamma")};
    const char* objects[4] = {"channelRed", "channelGreen", "channelBlue", "channelAdditional"};
    auto* channels = new QButtonGroup(this);
    for (int i = 0; i < 4; ++i) {
        m_channels[i] = new QRadioButton(tr(names[i]), this);
        m_channels[i]->setObjectName(QLatin1String(objects[i]));
        channels->addButton(m_channels[i], i);
    }
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("calibrationSlider"));
    m_slider->setRange(0, view::kCalibrationSliderMax);
    auto* up = new QToolButton(this);
    up->setObjectName(QStringLiteral("calibrationUp"));
    up->setArrowType(Qt::RightArrow);
    auto* down = new QToolButton(this);
    down->setObjectName(QStringLiteral("calibrationDown"));
    down->setArrowType(Qt::LeftArrow);
    m_value = new QLabel(this);
    m_value->setObjectName(QStringLiteral("currentValue"));
    m_instruction = new QLabel(this);
    m_instruction->setObjectName(QStringLiteral("instruction"));
    m_instruction->setWordWrap(true);
    m_preview = new CalibrationPreview(this);

    auto* profileRow = new QHBoxLayout;
    profileRow->addWidget(m_useDefault);
    profileRow->addWidget(select);
    auto* profileBox = new QVBoxLayout;
    profileBox->addWidget(m_profiles);
    profileBox->addLayout(profileRow);
    profileBox->addWidget(m_path);
    profileBox->addWidget(m_custom);
    auto* channelRow = new QHBoxLayout;
    for (auto* button : m_channels) channelRow->addWidget(button);
    auto* sliderRow = new QHBoxLayout;
    sliderRow->addWidget(down);
    sliderRow->addWidget(m_slider, 1);
    sliderRow->addWidget(up);
    auto* left = new QVBoxLayout;
    left->addLayout(channelRow);
    left->addLayout(sliderRow);
    left->addWidget(m_value);
    left->addWidget(m_instruction);
    left->addStretch();
    auto* calibration = new QHBoxLayout;
    calibration->addLayout(left, 1);
    calibration->addWidget(m_preview);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(profileBox);
    layout->addLayout(calibration);

    connect(channels, &QButtonGroup::idClicked, this,
            [this](int id) { selectChannel(static_cast<Channel>(id)); });
    connect(m_slider, &QSlider::valueChanged, this, &ColorPage::onSlider);
    connect(up, &QToolButton::clicked, this, [this] { m_slider->setValue(m_slider->value() + 1); });
    connect(down, &QToolButton::clicked, this,
            [this] { m_slider->setValue(m_slider->value() - 1); });
    connect(m_profiles, &QRadioButton::toggled, this, [this] {
        updateEnabled();
        updatePreviewTransform();
    });
    connect(m_useDefault, &QCheckBox::toggled, this, [this] {
        updateEnabled();
        updatePreviewTransform();
    });
    connect(select, &QPushButton::clicked, this, &ColorPage::selectProfile);

    m_channels[Red]->setChecked(true);
    selectChannel(Red);
    updateEnabled();
    updatePreviewTransform();
}

ColorPage::~ColorPage() = default;

void ColorPage::selectChannel(Channel channel) {
    m_channel = channel;
    m_channels[channel]->setChecked(true);
    // Showing a value moves the slider without storing the rounded position back.
    const QSignalBlocker blocker(m_slider);
    m_slider->setValue(view::exponentToSlider(m_exponents[channel]));
    m_instruction->setText(
        tr(channel == Additional ? kAdditionalInstruction : kChannelInstruction));
    showValue();
}

void ColorPage::onSlider(int position) {
    m_exponents[m_channel] = view::sliderToExponent(position);
    showValue();
}

void ColorPage::showValue() {
    m_value->setText(tr("Current value: %1")
                         .arg(view::calibrationLabelValue(m_exponents[m_channel]), 0, 'f', 3));
    m_preview->setState(m_channel, m_exponents, m_profiles->isChecked(), m_manager.get());
}

void ColorPage::updateEnabled() {
    const bool profiles = m_profiles->isChecked();
    m_useDefault->setEnabled(profiles);
    m_select->setEnabled(profiles && !m_useDefault->isChecked());
    m_path->setEnabled(profiles && !m_useDefault->isChecked());
}

void ColorPage::selectProfile() {
    const QString chosen =
        QFileDialog::getOpenFileName(this, tr("Select profile"), shell::toQString(m_profilePath),
                                     tr("Color Profiles (*.icm *.icc);;All Files (*)"));
    if (chosen.isEmpty()) return;
    m_profilePath = shell::toPath(chosen).string();
    m_path->setText(chosen);
    updatePreviewTransform();
}

void ColorPage::updatePreviewTransform() {
    // The additional-gamma preview goes through the profile the images would use.
    if (m_profiles->isChecked()) {
        std::optional<view::ProfileError> error;
        if (m_useDefault->isChecked()) {
            error = m_manager->SetMonitorProfile(*createMonitorProfileSource());
        } else {
            error = m_manager->SetProfile(
                m_profilePath.empty() ? std::nullopt
                                      : std::optional<std::filesystem::path>(m_profilePath));
        }
        if (!error) m_manager->SetSourceGamma(1.0 / 2.2);
    } else {
        m_manager->SetProfile(std::nullopt);
    }
    showValue();
}

void ColorPage::store(app::Settings& s) const {
    s.useColorProfiles = m_profiles->isChecked();
    s.useDefaultProfile = m_useDefault->isChecked();
    s.colorProfilePath = m_profilePath;
    s.gammaRed = m_exponents[Red];
    s.gammaGreen = m_exponents[Green];
    s.gammaBlue = m_exponents[Blue];
    s.gammaExtra = m_exponents[Additional];
}

}  // namespace kalder::gui
