#pragma once

#include <QDialog>

#include "image/image_page.h"

namespace kalder::gui {

// The colours of an image's palette as a grid of swatches, 16 to a row; the status line
// names the colour under the mouse.
class PaletteDialog : public QDialog {
    Q_OBJECT
public:
    PaletteDialog(const image::Palette& palette, int colors, QWidget* parent);
};

}  // namespace kalder::gui
