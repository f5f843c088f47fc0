#include "app/gui/palette_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

namespace kalder::gui {

PaletteDialog::PaletteDialog(const image::Palette& palette, int colors, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Image Palette"));
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setSpacing(2);
    colors = std::clamp(colors, 0, 256);
    for (int i = 0; i < colors; ++i) {
        const auto at = static_cast<std::size_t>(i) * 3;
        const int r = palette[at], g = palette[at + 1], b = palette[at + 2];
        auto* swatch = new QLabel(this);
        swatch->setFixedSize(16, 16);
        swatch->setStyleSheet(
            QStringLiteral("background-color: rgb(%1,%2,%3); border: 1px solid gray;")
                .arg(r)
                .arg(g)
                .arg(b));
        swatch->setToolTip(QStringLiteral("%1: %2, %3, %4").arg(i).arg(r).arg(g).arg(b));
        grid->addWidget(swatch, i / 16, i % 16);
    }
    layout->addLayout(grid);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

}  // namespace kalder::gui
