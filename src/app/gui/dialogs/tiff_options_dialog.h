#pragma once

#include <QDialog>

#include "image/writers/writer_options.h"

class QComboBox;

namespace kalder::gui {

// "TIFF Options": the compressions that suit an image of `bits` per pixel.
class TiffOptionsDialog : public QDialog {
    Q_OBJECT
public:
    TiffOptionsDialog(const image::TiffOptions& options, std::int32_t bits,
                      QWidget* parent = nullptr);
    image::TiffOptions options() const { return m_options; }

private:
    void onOk();

    image::TiffOptions m_options;
    QComboBox* m_compression = nullptr;
};

}  // namespace kalder::gui
