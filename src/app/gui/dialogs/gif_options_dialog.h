#pragma once

#include <QDialog>

#include "image/writers/writer_options.h"

class QCheckBox;

namespace kalder::gui {

// "GIF Options": "Interlaced" and the transparency choice.
class GifOptionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit GifOptionsDialog(const image::GifOptions& options, QWidget* parent = nullptr);
    image::GifOptions options() const { return m_options; }

private:
    void onOk();
    void editTransparency();

    image::GifOptions m_options;
    image::TransparencyOptions m_transparency;
    QCheckBox* m_interlaced = nullptr;
};

}  // namespace kalder::gui
