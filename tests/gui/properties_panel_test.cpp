// The folder model's headers come before Qt's keyword macros can reach them.
#include "app/gui/properties_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <mutex>

#include "app/core/settings.h"
#include "image/format_table.h"
#include "image/image_reader.h"
#include "support/test_support.h"
#include "view/folder_images.h"

using kalder::gui::PropertiesPanel;
using kalder::test::Bytes;
using kalder::test::TempDir;
namespace view = kalder::view;

namespace {

std::vector<std::uint8_t> bmp(int bits, int w, int h) {
    const int stride = ((w * bits / 8) + 3) & ~3;
    const int palette = bits == 8 ? 256 * 4 : 0;
    Bytes b;
    b.str("BM").u32le(54 + palette + stride * h).u32le(0).u32le(54 + palette);
    b.u32le(40).u32le(w).u32le(h).u16le(1).u16le(bits).u32le(0).u32le(stride * h);
    b.u32le(2835).u32le(2835).u32le(bits == 8 ? 256 : 0).u32le(0);
    for (int i = 0; i < palette / 4; ++i) b.u8(i).u8(0).u8(255 - i).u8(0);
    for (int y = 0; y < h; ++y) b.fill(stride, 0x40);
    return b.data;
}

bool haveBmpReader() {
    return kalder::image::createReaderForCode(kalder::image::FormatCode::Bmp) != nullptr;
}

QString valueOf(const QTreeWidget* list, const QString& tag) {
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        if (list->topLevelItem(i)->text(0) == tag) return list->topLevelItem(i)->text(1);
    return {};
}

// Decodes every file of a folder through the display loader.
struct Decoded {
    TempDir dir;
    view::FolderImages images;
    void load() {
        ASSERT_TRUE(images.loadFolder(dir.path()));
        view::DisplayRequest r;
        r.entry = images.at(0);
        images.request(r, false);
        ASSERT_TRUE(images.displayLoader().waitUntilIdle(std::chrono::seconds(5)));
    }
};

}  // namespace

TEST(PropertiesPanel, ListsTheFileAndPageAndCopiesTheReport) {
    if (!haveBmpReader()) GTEST_SKIP();
    Decoded d;
    kalder::test::writeFile(d.dir / "a.bmp", bmp(8, 12, 5));
    kalder::test::writeFile(d.dir / "b.bmp", bmp(24, 30, 20));
    d.load();
    ASSERT_GT(d.images.at(0)->pageCount(), 0);
    ASSERT_GT(d.images.at(1)->pageCount(), 0);

    kalder::app::Settings settings;
    settings.propertiesPanelRect = {40, 50, 440, 450};
    PropertiesPanel panel(settings, nullptr);
    EXPECT_EQ(panel.size(), QSize(400, 400)) << "placed where it was last";
    EXPECT_EQ(panel.list()->headerItem()->text(0), QStringLiteral("Tag"));
    EXPECT_EQ(panel.list()->headerItem()->text(1), QStringLiteral("Value"));
    EXPECT_FALSE(panel.describeButton()->isEnabled());

    panel.showEntry(d.images.at(0), 0);
    EXPECT_EQ(panel.windowTitle(), QStringLiteral("a.bmp"));
    EXPECT_EQ(valueOf(panel.list(), QStringLiteral("Width")), QStringLiteral("12 pixels"));
    EXPECT_EQ(valueOf(panel.list(), QStringLiteral("Height")), QStringLiteral("5 pixels"));
    EXPECT_TRUE(panel.paletteButton()->isEnabled()) << "8 bits have a palette";
    EXPECT_TRUE(panel.describeButton()->isEnabled());

    panel.copyReport();
    const QString text = QApplication::clipboard()->text();
    EXPECT_EQ(text, panel.reportText());
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n")));
    EXPECT_EQ(text.count(QStringLiteral("\r\n")), panel.list()->topLevelItemCount());
    EXPECT_TRUE(text.contains(QStringLiteral("12 pixels")));

    panel.showEntry(d.images.at(1), 0);
    EXPECT_EQ(valueOf(panel.list(), QStringLiteral("Width")), QStringLiteral("30 pixels"));
    EXPECT_EQ(valueOf(panel.list(), QStringLiteral("Color Type")), QStringLiteral("true-color"));
    EXPECT_FALSE(panel.paletteButton()->isEnabled()) << "no palette at 24 bits";

    QSignalSpy describe(&panel, &PropertiesPanel::describeRequested);
    panel.describeButton()->click();
    EXPECT_EQ(describe.count(), 1);

    // A comment the reader adds later joins the list.
    panel.show();
    {
        std::lock_guard lock(d.images.at(1)->commentsLock());
        d.images.at(1)->comments().push_back("taken at dawn");
    }
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return valueOf(panel.list(), QStringLiteral("Comment")) ==
                   QStringLiteral("taken at dawn");
        },
        5000));
    EXPECT_TRUE(panel.reportText().contains(QStringLiteral("taken at dawn")));

    panel.showEntry(nullptr, 0);
    EXPECT_EQ(panel.list()->topLevelItemCount(), 0);
    panel.copyReport();
    EXPECT_EQ(QApplication::clipboard()->text(), text) << "an empty list copies nothing";
}
