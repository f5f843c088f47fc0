#pragma once

#include <QDialog>

#include "image/writers/writer_options.h"

class QCheckBox;

namespace kalder::gui {

// "TGA Options": one check box, "RLE-compressed".
class TgaOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit TgaOptionsDialog(const image::TgaOptions& options, QWidget* parent = nullptr);
    // The edited options; meaningful after the dialog was accepted.
    image::TgaOptions options() const { return m_options; }

private:
    void onOk();

    image::TgaOptions m_options;
    QCheckBox* m_rle = nullptr;
};

}  // namespace kalder::gui
