#include "app/gui/tools/jpeg_transform/exif_orientation_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTransform>
#include <QVBoxLayout>

#include "app/core/translatable.h"
#include "app/gui/dialogs/dialog_buttons.h"
#include "app/gui/translations.h"
#include "shell/qt/qt_path.h"
#include "tools/jpeg_transform/exif_orientation.h"

namespace kalder::gui {
namespace {

namespace fs = std::filesystem;

constexpr int kTemplate = 352;
// The value chosen last time, while the program runs; for files without a valid tag.
int g_lastValue = 1;

const char* const kValueTexts[8] = {
    QT_TRANSLATE_NOOP("kalder::gui::ExifOrientationDialog", "Top, left side (1)"),
    QT_TRANSLATE_NOOP("kalder::gui::ExifOrientationDialog", "Top, right side (2)"),
    QT_TRANSLATE_NOOP("kalder::gui::ExifOrientationDialog", "Bottom, right side (3)"),
    QT_TRANSLATE_NOOP("kalder::gui::ExifOrientationDialog", "Bottom, left side (4)"),
    QT_TRANSLATE_NOOP("kalder::gui::ExifOrientationDialog", "Left side, top (5)"),
    QT_TRANSLATE_NOOP("kalder::gui::ExifOrientationDialog", "Right side, top (6)"),
    QT_TRANSLATE_NOOP("kalder::gui::ExifOrientationDialog", "Right side, bottom (7)"),
    QT_TRANSLATE_NOOP("kalder::gui::ExifOrientationDialog", "Left side, bottom (8)"),
};

// An upright scene whose top, bottom, left and right cannot be confused: sky over ground, the
// sun in the top-left corner, a house standing on the right.
QImage sampleScene() {
    QImage image(120, 90, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, 120, 60, QColor(140, 190, 240));
    p.fillRect(0, 60, 120, 30, QColor(70, 150, 60));
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(250, 210, 40));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPoint(20, 18), 11, 11);
    p.setBrush(QColor(190, 60, 50));
    p.drawRect(72, 38, 30, 24);
    p.setBrush(QColor(120, 40, 30));
    const QPoint roof[3] = {QPoint(68, 39), QPoint(87, 22), QPoint(106, 39)};
    p.drawPolygon(roof, 3);
    return image;
}

QImage rotated(const QImage& image, int degrees) {
    return image.transformed(QTransform().rotate(degrees));
}

}  // namespace

QImage orientationPreview(const QImage& upright, int orientation) {
    // The stored layout is the inverse of the turn that shows the picture upright.
    switch (orientation) {
        case 2:
            return upright.mirrored(true, false);
        case 3:
            return rotated(upright, 180);
        case 4:
            return upright.mirrored(false, true);
        case 5:
            return rotated(upright, 90).mirrored(true, false);  // transpose
        case 6:
            return rotated(upright, 270);
        case 7:
            return rotated(upright, 90).mirrored(false, true);  // transverse
        case 8:
            return rotated(upright, 90);
        default:
            return upright;
    }
}

ExifOrientationDialog::ExifOrientationDialog(std::vector<fs::path> files, QWidget* parent)
    : DialogBase(kTemplate, parent), m_files(std::move(files)), m_sample(sampleScene()) {
    setWindowTitle(tr("Modify Exif Orientation Tag"));
    auto* group = new QGroupBox(tr("0th row and 0th column"), this);
    auto* grid = new QGridLayout(group);
    for (int i = 0; i < 8; ++i) {
        m_buttons[i] = new QRadioButton(tr(kValueTexts[i]), group);
        grid->addWidget(m_buttons[i], i % 4, i / 4);
        connect(m_buttons[i], &QRadioButton::clicked, this, [this, i] { setValue(i + 1); });
    }
    auto* clockwise = new QPushButton(tr("Turn &Clockwise"), this);
    auto* counter = new QPushButton(tr("Turn Counte&rclockwise"), this);
    clockwise->setAutoDefault(false);
    counter->setAutoDefault(false);
    connect(clockwise, &QPushButton::clicked, this, &ExifOrientationDialog::turnClockwise);
    connect(counter, &QPushButton::clicked, this, &ExifOrientationDialog::turnCounterClockwise);
    m_preview = new QLabel(this);
    m_preview->setFixedSize(130, 130);
    m_preview->setAlignment(Qt::AlignCenter);

    auto* side = new QVBoxLayout;
    side->addWidget(m_preview);
    side->addWidget(clockwise);
    side->addWidget(counter);
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(group, 1);
    top->addLayout(side);
    QDialogButtonBox* buttons = standardButtons(false);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExifOrientationDialog::apply);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);

    askReadOnly = [this](const QString& message, const QString& path) {
        return FileExistsDialog::ask(this, message, path, false);
    };
    reportError = [this](const QString& text) { showError(this, text); };
    // The value the (first) file holds now; the last choice only when it has none.
    const auto tag = m_files.empty() ? std::nullopt : tools::readOrientationTag(m_files.front());
    setValue(tag && tag->value >= 1 && tag->value <= 8 ? tag->value : g_lastValue);
    OnInitDialog();
}

void ExifOrientationDialog::setValue(int value) {
    m_value = value >= 1 && value <= 8 ? value : 1;
    m_buttons[m_value - 1]->setChecked(true);
    redraw();
}

void ExifOrientationDialog::turnClockwise() { setValue(tools::turnClockwise(m_value)); }

void ExifOrientationDialog::turnCounterClockwise() {
    setValue(tools::turnCounterClockwise(m_value));
}

void ExifOrientationDialog::redraw() {
    m_preview->setPixmap(QPixmap::fromImage(orientationPreview(m_sample, m_value)));
}

void ExifOrientationDialog::apply() {
    // Only a value the user applied is remembered; opening on a file's own value is not a choice.
    g_lastValue = m_value;
    m_written = 0;
    bool overwriteAll = false, skipAll = false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (const fs::path& file : m_files) {
        const QString path = shell::toQString(file);
        if (!tools::readOrientationTag(file)) {
            QApplication::restoreOverrideCursor();
            reportError(coreText(app::kMessagesContext, tools::kNoOrientationTagMessage) +
                        QLatin1Char('\n') + path);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            continue;
        }
        if (tools::isReadOnly(file) && !overwriteAll) {
            if (skipAll) continue;
            QApplication::restoreOverrideCursor();
            const auto answer = askReadOnly(tr("File is read-only:"), path);
            QApplication::setOverrideCursor(Qt::WaitCursor);
            if (answer.choice == FileExistsDialog::Cancel) break;
            if (answer.choice == FileExistsDialog::Skip) continue;
            if (answer.choice == FileExistsDialog::SkipAll) {
                skipAll = true;
                continue;
            }
            if (answer.choice == FileExistsDialog::OverwriteAll) overwriteAll = true;
        }
        if (tools::writeExifOrientation(file, m_value) == tools::OrientationWrite::Done) {
            ++m_written;
        } else {
            QApplication::restoreOverrideCursor();
            reportError(coreText(app::kMessagesContext, tools::kCannotModifyMessage) +
                        QLatin1Char('\n') + path);
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    }
    QApplication::restoreOverrideCursor();
    accept();
}

}  // namespace kalder::gui
