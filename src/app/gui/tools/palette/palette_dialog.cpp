#include "app/gui/tools/palette/palette_dialog.h"

#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "view/palette_grid.h"

namespace kalder::gui {
namespace {

QColor entryColour(const image::Palette& palette, int index) {
    const auto at = static_cast<std::size_t>(index) * 3;
    return QColor(palette[at], palette[at + 1], palette[at + 2]);
}

// The dialog's 202 x 215 layout units at the current font: a quarter of the average letter
// width across, an eighth of the line height down.
QSize dialogSize(const QFontMetrics& metrics) {
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const int average = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    return {202 * average / 4, 215 * metrics.height() / 8};
}

// Two upper-case hexadecimal digits.
QString hex2(int value) {
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

}  // namespace

PaletteGridWidget::PaletteGridWidget(const image::Palette& palette, int entryCount, QWidget* parent)
    : QWidget(parent), m_palette(palette), m_entryCount(std::clamp(entryCount, 0, 256)) {
    setObjectName(QStringLiteral("paletteGrid"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void PaletteGridWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Only the swatches are the image's colours; the rest follows the desktop theme.
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const view::PaletteGrid grid(width(), height());
    if (!grid.usable()) return;
    for (int i = 0; i < m_entryCount; ++i) {
        const view::GridRect s = grid.swatch(i);
        painter.fillRect(s.left, s.top, s.width, s.height, entryColour(m_palette, i));
    }
    if (m_selected < m_entryCount) {
        // Four one-pixel edges, so the outline lands exactly where the grid says.
        const view::GridRect f = grid.frame(m_selected);
        const int right = f.left + f.width - 1, bottom = f.top + f.height - 1;
        const QColor edge = palette().color(QPalette::Highlight);
        painter.fillRect(f.left, f.top, f.width, 1, edge);
        painter.fillRect(f.left, bottom, f.width, 1, edge);
        painter.fillRect(f.left, f.top, 1, f.height, edge);
        painter.fillRect(right, f.top, 1, f.height, edge);
    }
}

void PaletteGridWidget::mousePressEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    const auto index = view::PaletteGrid(width(), height()).hit(at.x(), at.y(), m_entryCount);
    if (!index) return;
    m_selected = *index;
    update();
    emit selectionChanged(m_selected);
}

PaletteDialog::PaletteDialog(const QString& fileName, const image::ImagePage& page, QWidget* parent)
    : QDialog(parent), m_palette(page.palette), m_transparentIndex(page.transparentIndex) {
    setWindowTitle(tr("%1 - palette").arg(fileName));
    const int bits = static_cast<int>(std::clamp<std::uint32_t>(page.bitsPerPixel, 1, 8));
    auto* layout = new QVBoxLayout(this);
    m_grid = new PaletteGridWidget(m_palette, 1 << bits, this);
    layout->addWidget(m_grid, 1);
    m_color = new QLabel(this);
    m_transparent = new QLabel(this);
    layout->addWidget(m_color);
    layout->addWidget(m_transparent);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(tr("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    connect(m_grid, &PaletteGridWidget::selectionChanged, this, &PaletteDialog::updateTexts);
    updateTexts();
    resize(dialogSize(fontMetrics()));
}

bool PaletteDialog::showFor(const QString& fileName, const image::ImagePage& page,
                            QWidget* parent) {
    if (page.bitsPerPixel < 1 || page.bitsPerPixel > 8) return false;
    PaletteDialog dialog(fileName, page, parent);
    dialog.exec();
    return true;
}

QString PaletteDialog::colorText() const { return m_color->text(); }
QString PaletteDialog::transparentText() const { return m_transparent->text(); }

void PaletteDialog::updateTexts() {
    const int index = m_grid->selected();
    const QColor c = entryColour(m_palette, index);
    m_color->setText(tr("Color %1 (%2h): %3, %4, %5 (#%6%7%8)")
                         .arg(index)
                         .arg(hex2(index))
                         .arg(c.red())
                         .arg(c.green())
                         .arg(c.blue())
                         .arg(hex2(c.red()), hex2(c.green()), hex2(c.blue())));
    m_transparent->setText(m_transparentIndex < 0 ? tr("Transparent color: none")
                                                  : tr("Transparent color: %1 (%2h)")
                                                        .arg(m_transparentIndex)
                                                        .arg(hex2(m_transparentIndex)));
}

}  // namespace kalder::gui
