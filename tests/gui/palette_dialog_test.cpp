// The image palette dialog: its caption, clicks on the swatch grid and the two text lines.
#include "app/gui/tools/palette/palette_dialog.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>
#include <QTest>

#include "view/palette_grid.h"

using kalder::gui::PaletteDialog;
using kalder::gui::PaletteGridWidget;
namespace image = kalder::image;

namespace {

// Entry i is (i, 255 - i, 3i).
const image::ImagePage& palettePage(image::ImagePage& page, std::uint32_t bits,
                                    std::int32_t transparent) {
    page.bitsPerPixel = bits;
    page.transparentIndex = transparent;
    for (int i = 0; i < 256; ++i) {
        page.palette[i * 3] = static_cast<std::uint8_t>(i);
        page.palette[i * 3 + 1] = static_cast<std::uint8_t>(255 - i);
        page.palette[i * 3 + 2] = static_cast<std::uint8_t>(i * 3);
    }
    return page;
}

QPoint centreOf(const PaletteGridWidget& grid, int index) {
    const kalder::view::GridRect s =
        kalder::view::PaletteGrid(grid.width(), grid.height()).swatch(index);
    return {s.left + s.width / 2, s.top + s.height / 2};
}

}  // namespace

TEST(PaletteDialog, ClicksSelectSwatchesAndUpdateTheTexts) {
    image::ImagePage page;
    PaletteDialog dialog(QStringLiteral("anim.gif"), palettePage(page, 8, 5));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("anim.gif - palette"));
    EXPECT_EQ(dialog.colorText(), QStringLiteral("Color 0 (00h): 0, 255, 0 (#00FF00)"));
    EXPECT_EQ(dialog.transparentText(), QStringLiteral("Transparent color: 5 (05h)"));

    PaletteGridWidget& grid = *dialog.grid();
    QTest::mouseClick(&grid, Qt::LeftButton, {}, centreOf(grid, 0x2A));
    EXPECT_EQ(grid.selected(), 0x2A);
    EXPECT_EQ(dialog.colorText(), QStringLiteral("Color 42 (2Ah): 42, 213, 126 (#2AD57E)"));
    // Right of the last column: column 15 of that row.
    QTest::mouseClick(&grid, Qt::LeftButton, {}, QPoint(grid.width() - 1, centreOf(grid, 16).y()));
    EXPECT_EQ(grid.selected(), 31);

    // The frame and the gaps take the theme's colours, the swatch its own colour.
    const QImage shot = grid.grab().toImage();
    const kalder::view::PaletteGrid layout(grid.width(), grid.height());
    const kalder::view::GridRect frame = layout.frame(31), swatch = layout.swatch(31);
    EXPECT_EQ(shot.pixelColor(frame.left, frame.top + 3),
              grid.palette().color(QPalette::Highlight));
    EXPECT_EQ(shot.pixelColor(frame.left + 1, frame.top + 3), grid.palette().color(QPalette::Base));
    EXPECT_EQ(shot.pixelColor(swatch.left, swatch.top), QColor(31, 224, 93));
}

TEST(PaletteDialog, OneBitImageAndNoTransparency) {
    image::ImagePage page;
    PaletteDialog dialog(QStringLiteral("mono.bmp"), palettePage(page, 1, -1));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.transparentText(), QStringLiteral("Transparent color: none"));
    PaletteGridWidget& grid = *dialog.grid();
    QSignalSpy changed(&grid, &PaletteGridWidget::selectionChanged);
    QTest::mouseClick(&grid, Qt::LeftButton, {}, centreOf(grid, 1));
    EXPECT_EQ(grid.selected(), 1);
    // The third cell and the second row stay empty and take no clicks.
    QTest::mouseClick(&grid, Qt::LeftButton, {}, centreOf(grid, 2));
    QTest::mouseClick(&grid, Qt::LeftButton, {}, centreOf(grid, 16));
    EXPECT_EQ(grid.selected(), 1);
    EXPECT_EQ(changed.count(), 1);
    const QImage shot = grid.grab().toImage();
    const QPoint empty = centreOf(grid, 2);
    EXPECT_EQ(shot.pixelColor(empty), grid.palette().color(QPalette::Base));

    // A true-colour page opens nothing.
    EXPECT_FALSE(
        PaletteDialog::showFor(QStringLiteral("photo.jpg"), palettePage(page, 24, -1), nullptr));
}
