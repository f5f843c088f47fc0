#pragma once

#include <QDialog>

#include "image/writers/writer_options.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QSlider;

namespace kalder::gui {

// "JPEG Options": quality, smoothing, sampling and three switches.
class JpegOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit JpegOptionsDialog(const image::JpegOptions& options, QWidget* parent = nullptr);
    image::JpegOptions options() const { return m_options; }

private:
    void onOk();
    QSlider* addPercentSlider(QGridLayout* grid, int row, const QString& label, int value,
                              const char* name);

    image::JpegOptions m_options;
    QSlider* m_quality = nullptr;
    QSlider* m_smoothing = nullptr;
    QComboBox* m_sampling = nullptr;
    QCheckBox* m_progressive = nullptr;
    QCheckBox* m_gray = nullptr;
    QCheckBox* m_copyExif = nullptr;
};

}  // namespace kalder::gui
