#pragma once

#include <QDialog>

#include "image/writers/writer_options.h"

class QCheckBox;

namespace kalder::gui {

// "BMP Options": one check box, "RLE-compressed".
class BmpOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit BmpOptionsDialog(const image::BmpOptions& options, QWidget* parent = nullptr);
    // The edited options; meaningful after the dialog was accepted.
    image::BmpOptions options() const { return m_options; }

private:
    void onOk();

    image::BmpOptions m_options;
    QCheckBox* m_rle = nullptr;
};

}  // namespace kalder::gui
