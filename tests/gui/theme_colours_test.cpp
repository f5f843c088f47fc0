// The surfaces we draw ourselves follow the desktop theme's palette; the image keeps its colours.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDialogButtonBox>
#include <QImage>
#include <QPalette>
#include <QTest>

#include "app/core/shortcuts.h"
#include "app/core/toolbar_table.h"
#include "app/gui/icons.h"
#include "app/gui/menus.h"
#include "app/gui/name_bar.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/toolbar.h"
#include "app/gui/tools/palette/palette_dialog.h"
#include "app/gui/viewing_area.h"
#include "image/bitmap32.h"
#include "view/palette_grid.h"

namespace kalder::gui {
namespace {

QPalette darkPalette() {
    QPalette p;
    p.setColor(QPalette::Window, QColor(0x24, 0x26, 0x2a));
    p.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xec));
    p.setColor(QPalette::Base, QColor(0x18, 0x19, 0x1c));
    p.setColor(QPalette::Text, QColor(0xf0, 0xf0, 0xf0));
    p.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    p.setColor(QPalette::HighlightedText, QColor(0xff, 0xff, 0xff));
    p.setColor(QPalette::Mid, QColor(0x50, 0x52, 0x57));
    return p;
}

QImage shot(QWidget& w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// Whether some pixel of the image is bright, as light text on a dark ground makes it.
bool hasLightPixel(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (QColor(image.pixel(x, y)).lightness() > 160) return true;
    return false;
}

TEST(ThemeColours, CustomDrawnSurfacesFollowADarkPalette) {
    const QPalette dark = darkPalette();
    QApplication::setPalette(dark);
    const QColor window = dark.color(QPalette::Window);

    // Name bar: the theme's window colours, or the user's colour with its own contrast.
    NameBar bar;
    bar.resize(240, 24);
    bar.setBackgroundColor(std::nullopt);
    bar.setFile(QStringLiteral("IMG_0012.jpg"), QString());
    QImage image = shot(bar);
    EXPECT_EQ(QColor(image.pixel(image.width() - 2, 2)), window);
    EXPECT_TRUE(hasLightPixel(image));
    bar.setBackgroundColor(0x00FFFFFFu);
    EXPECT_EQ(QColor(shot(bar).pixel(bar.width() - 2, 2)), QColor(Qt::white));

    // Viewer: the margins around the picture are the theme's; the picture's pixels are its own.
    ViewingArea area;
    area.resize(200, 150);
    area.SetBackground(std::nullopt);
    area.SetWallpaper(false);
    area.SetOsdSize(view::OsdSize::Off);
    image::Bitmap32 red;
    ASSERT_TRUE(red.Create(40, 30));
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 40; ++x) {
            std::uint8_t* p = red.row(y) + x * 4;
            p[0] = 0, p[1] = 0, p[2] = 0xff;
        }
    red.markAllDone();
    area.show();
    area.SetImage(&red, true);
    image = shot(area);
    EXPECT_EQ(QColor(image.pixel(2, 2)), window);
    EXPECT_EQ(QColor(image.pixel(100, 75)), QColor(0xff, 0, 0));
    area.SetBackground(0x00000000u);  // the user's black
    EXPECT_EQ(QColor(shot(area).pixel(2, 2)), QColor(Qt::black));

    // File browser: an empty folder shows the theme's base colour.
    ThumbnailBrowser browser;
    browser.resize(200, 120);
    browser.show();
    image = shot(browser);
    EXPECT_EQ(QColor(image.pixel(image.width() / 2, image.height() / 2)),
              dark.color(QPalette::Base));

    // Palette grid: gaps and the selection frame from the theme, swatches the image's.
    image::Palette entries{};
    entries[3] = 0x12, entries[4] = 0x34, entries[5] = 0x56;
    PaletteGridWidget grid(entries, 2);
    grid.resize(256, 256);
    grid.show();
    image = shot(grid);
    const view::PaletteGrid layout(grid.width(), grid.height());
    const view::GridRect swatch = layout.swatch(1), empty = layout.swatch(5);
    EXPECT_EQ(QColor(image.pixel(swatch.left + 1, swatch.top + 1)), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(QColor(image.pixel(empty.left + 1, empty.top + 1)), dark.color(QPalette::Base));
    const view::GridRect frame = layout.frame(0);
    EXPECT_EQ(QColor(image.pixel(frame.left, frame.top + 2)), dark.color(QPalette::Highlight));
}

TEST(DesktopLook, PlainDialogButtonsCarryNoIcons) {
    applyDesktopLook();
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help);
    for (QAbstractButton* button : box.buttons()) EXPECT_TRUE(button->icon().isNull());
    // Toolbar commands still have theirs: the theme's, or the drawn one.
    EXPECT_FALSE(commandIcon(app::cmd::kNextFile).isNull());
    EXPECT_FALSE(commandIcon(app::cmd::kZoomIn).isNull());
}

TEST(Toolbar, TooltipsShowTheLiveKeysAndUnofferedCommandsAreHidden) {
    Toolbar bar;
    bar.RebuildToolbar(app::defaultToolbarLayout());
    app::AcceleratorTable table(app::schemeShortcuts(app::KeyScheme::Desktop));
    bar.setAccelerators(&table);
    const auto actionOf = [&bar](app::CommandId id) -> QAction* {
        for (QAction* a : bar.actions())
            if (MenuBuilder::commandOf(a) == id) return a;
        return nullptr;
    };
    QAction* next = actionOf(app::cmd::kNextFile);
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->toolTip(), QStringLiteral("Next File (Right Arrow)"));
    // The table is rebuilt in place when the shortcuts change; the next update shows it.
    table = app::AcceleratorTable(app::schemeShortcuts(app::KeyScheme::Standard));
    bar.updateButtons({}, {});
    EXPECT_EQ(next->toolTip(), QStringLiteral("Next File (Browser Forward)"));

    bar.updateButtons({}, [](app::CommandId id) { return id != app::cmd::kPrint; });
    EXPECT_FALSE(actionOf(app::cmd::kPrint)->isVisible());
    EXPECT_TRUE(next->isVisible());

    bar.setTextUnderIcons(true);
    EXPECT_EQ(bar.toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
}

}  // namespace
}  // namespace kalder::gui
