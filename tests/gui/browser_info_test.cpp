// The browser model's headers come before Qt's keyword macros can reach them.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <functional>
#include <vector>

#include "app/core/command_ids.h"
#include "app/core/startup.h"
#include "app/gui/browser_pane.h"
#include "app/gui/main_window.h"
#include "app/gui/status_bar.h"
#include "app/gui/thumbnail_browser.h"
#include "app/gui/thumbnail_browser_accessible.h"
#include "app/gui/viewing_area.h"
#include "image/format_table.h"
#include "image/image_reader.h"
#include "support/test_support.h"
#include "view/folder_images.h"

using kalder::gui::MainWindow;
using kalder::gui::ThumbnailBrowser;
using kalder::test::Bytes;
using kalder::test::TempDir;
namespace view = kalder::view;
namespace cmd = kalder::app::cmd;

namespace {

using kalder::test::haveBmpReader;

bool waitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 10000); }

// An uncompressed TIFF of `pages` grey pages, each `w` x `h`, page i filled with 40 * (i + 1).
std::vector<std::uint8_t> greyTiff(int pages, std::uint32_t w, std::uint32_t h) {
    constexpr std::uint32_t kEntries = 9;
    const std::uint32_t ifdSize = 2 + kEntries * 12 + 4;
    const std::uint32_t pageSize = ifdSize + w * h;
    Bytes b;
    b.str("II").u16le(42).u32le(8);
    for (int p = 0; p < pages; ++p) {
        const std::uint32_t at = 8 + static_cast<std::uint32_t>(p) * pageSize;
        const std::uint32_t next = p + 1 < pages ? at + pageSize : 0;
        const auto entry = [&](std::uint32_t tag, std::uint32_t type, std::uint32_t value) {
            b.u16le(tag).u16le(type).u32le(1);
            if (type == 3)
                b.u16le(value).u16le(0);
            else
                b.u32le(value);
        };
        b.u16le(kEntries);
        entry(256, 4, w);             // width
        entry(257, 4, h);             // height
        entry(258, 3, 8);             // bits per sample
        entry(259, 3, 1);             // no compression
        entry(262, 3, 1);             // black is zero
        entry(273, 4, at + ifdSize);  // strip offset
        entry(277, 3, 1);             // samples per pixel
        entry(278, 4, h);             // rows per strip
        entry(279, 4, w * h);         // strip byte count
        b.u32le(next);
        b.fill(static_cast<std::size_t>(w) * h, static_cast<std::uint8_t>(40 * (p + 1)));
    }
    return std::move(b.data);
}

std::vector<std::uint8_t> smallBmp(int w, int h) {
    return kalder::test::bmp24(w, h, [](int, int) { return 0x336699u; });
}

// A window browsing a folder of three small BMPs.
struct BrowserWindow {
    TempDir dir;
    MainWindow window;

    BrowserWindow() {
        for (const char* name : {"IMG_0011.bmp", "IMG_0012.bmp", "holiday.bmp"})
            kalder::test::writeFile(dir / name, smallBmp(20, 10));
        window.resize(800, 600);
        window.show();
        EXPECT_TRUE(window.Create({dir.path().string(), false, false}));
    }
    ThumbnailBrowser* list() const { return window.browserPane()->fileList(); }
};

// What the browser tells screen readers, while a test listens.
struct AccessibleEvents {
    struct Seen {
        QAccessible::Event type;
        int child;
    };
    std::vector<Seen> seen;
    AccessibleEvents() {
        kalder::gui::setBrowserEventSink([this](QAccessibleEvent* e) {
            seen.push_back({e->type(), e->child()});
        });
    }
    ~AccessibleEvents() { kalder::gui::setBrowserEventSink(nullptr); }
    bool has(QAccessible::Event type, int child) const {
        for (const Seen& s : seen)
            if (s.type == type && s.child == child) return true;
        return false;
    }
};

}  // namespace

TEST(ViewerFacts, AThreePageTiffShowsPageOneOfThreeAndTheZoom) {
    if (!kalder::image::createReaderForCode(kalder::image::FormatCode::Tiff))
        GTEST_SKIP() << "no TIFF reader in this build";
    TempDir dir;
    kalder::test::writeFile(dir / "pages.tif", greyTiff(3, 40, 30));
    MainWindow window;
    window.settings().fitMode = 0;
    window.settings().imageInfoOverlay = true;
    window.applySettings();
    window.resize(400, 300);
    window.show();
    QSignalSpy shown(&window, &MainWindow::imageShown);
    ASSERT_TRUE(window.openFile(dir / "pages.tif"));
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(10000));
    kalder::gui::StatusBar* bar = window.browserPane()->statusBar();
    ASSERT_TRUE(waitFor([&] { return bar->imageFactsText().contains(QStringLiteral("/ 3")); }))
        << bar->imageFactsText().toStdString();
    const QString facts = bar->imageFactsText();
    EXPECT_TRUE(facts.contains(QStringLiteral("page 1 / 3"))) << facts.toStdString();
    EXPECT_TRUE(facts.startsWith(QStringLiteral("100 %"))) << facts.toStdString();
    EXPECT_TRUE(facts.contains(QStringLiteral("40 \u00d7 30"))) << facts.toStdString();
    EXPECT_TRUE(facts.contains(QStringLiteral("1 / 1"))) << facts.toStdString();
    // The viewer has no status bar of its own: the overlay shows the same, and a screen reader
    // hears the file's name and facts.
    EXPECT_EQ(window.viewingArea()->factsOverlay(), facts);
    EXPECT_EQ(window.viewingArea()->accessibleName(), QStringLiteral("pages.tif"));
    EXPECT_EQ(window.viewingArea()->accessibleDescription(), facts);

    // The next page and a zoom step show at once.
    ASSERT_TRUE(window.runCommand(cmd::kNextFrame));
    ASSERT_TRUE(window.runCommand(cmd::kZoomIn));
    EXPECT_TRUE(waitFor([&] {
        return bar->imageFactsText().contains(QStringLiteral("page 2 / 3")) &&
               bar->imageFactsText().startsWith(QStringLiteral("200 %"));
    })) << bar->imageFactsText().toStdString();
    ASSERT_TRUE(window.runCommand(cmd::kImageInfoOverlay));
    EXPECT_TRUE(waitFor([&] { return window.viewingArea()->factsOverlay().isEmpty(); }));
}

TEST(BrowserAccessibility, TheListsItemsAreNamedByFileWithSizeAndState) {
    if (!haveBmpReader()) GTEST_SKIP();
    BrowserWindow w;
    ThumbnailBrowser* list = w.list();
    AccessibleEvents events;
    QApplication::setActiveWindow(&w.window);
    list->setFocus();
    ASSERT_TRUE(waitFor([&] { return list->hasFocus(); }));

    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(list);
    ASSERT_NE(iface, nullptr);
    EXPECT_EQ(iface->role(), QAccessible::List);
    EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("Files"));
    ASSERT_EQ(iface->childCount(), 3);
    // Names sort without regard to case: "holiday" comes first.
    EXPECT_EQ(iface->child(0)->text(QAccessible::Name), QStringLiteral("holiday.bmp"));
    QAccessibleInterface* second = iface->child(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->role(), QAccessible::ListItem);
    EXPECT_EQ(second->text(QAccessible::Name), QStringLiteral("IMG_0011.bmp"));
    EXPECT_TRUE(second->text(QAccessible::Description).endsWith(QStringLiteral("20 \u00d7 10")))
        << second->text(QAccessible::Description).toStdString();
    EXPECT_EQ(iface->indexOfChild(second), 1);
    EXPECT_EQ(second->parent(), iface);
    EXPECT_TRUE(iface->child(0)->state().selected);
    EXPECT_TRUE(iface->child(0)->state().focused);
    EXPECT_FALSE(second->state().selected);

    // Down moves the current item: the reader hears the focus and the selection move.
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_TRUE(second->state().selected);
    EXPECT_TRUE(second->state().focused);
    EXPECT_FALSE(iface->child(0)->state().focused);
    EXPECT_TRUE(events.has(QAccessible::Focus, 1));
    EXPECT_TRUE(events.has(QAccessible::Selection, 1));
    // The same interface keeps naming its file after the order changed.
    ASSERT_TRUE(w.window.runCommand(cmd::kSortDescending));
    EXPECT_EQ(second->text(QAccessible::Name), QStringLiteral("IMG_0011.bmp"));
    EXPECT_EQ(iface->child(0)->text(QAccessible::Name), QStringLiteral("IMG_0012.bmp"));
    EXPECT_EQ(iface->child(2)->text(QAccessible::Name), QStringLiteral("holiday.bmp"));
}

TEST(BrowserAccessibility, EveryControlOfTheBrowserAndTheStatusBarHasAName) {
    BrowserWindow w;
    // Walks what a screen reader walks, below the browser's panes.
    std::vector<std::string> unnamed;
    const std::function<void(QAccessibleInterface*)> walk = [&](QAccessibleInterface* i) {
        if (!i || i->state().invisible) return;
        switch (i->role()) {
            case QAccessible::PushButton:
            case QAccessible::CheckBox:
            case QAccessible::Slider:
            case QAccessible::EditableText:
            case QAccessible::List:
            case QAccessible::ListItem:
            case QAccessible::Tree:
            case QAccessible::StaticText:
                if (i->text(QAccessible::Name).trimmed().isEmpty())
                    unnamed.push_back(i->object() ? i->object()->metaObject()->className()
                                                  : "item");
                break;
            default:
                break;
        }
        for (int c = 0; c < i->childCount(); ++c) walk(i->child(c));
    };
    kalder::gui::BrowserPane* pane = w.window.browserPane();
    const std::vector<QWidget*> parts = {pane->fileList(), pane->filterBox(), pane->sizeSlider(),
                                         pane->statusBar()};
    for (QWidget* part : parts) walk(QAccessible::queryAccessibleInterface(part));
    EXPECT_TRUE(unnamed.empty()) << unnamed.size() << " unnamed, the first a "
                                 << (unnamed.empty() ? "" : unnamed.front());
}

TEST(BrowserControls, TheFilterNarrowsByNameAndEscapeClearsIt) {
    if (!haveBmpReader()) GTEST_SKIP();
    BrowserWindow w;
    QLineEdit* filter = w.window.browserPane()->filterBox();
    ASSERT_EQ(w.list()->itemCount(), 3u);
    QApplication::setActiveWindow(&w.window);
    filter->setFocus();
    QTest::keyClicks(filter, QStringLiteral("img_"));
    EXPECT_EQ(w.list()->itemCount(), 2u);
    QTest::keyClicks(filter, QStringLiteral("0012"));
    ASSERT_EQ(w.list()->itemCount(), 1u);
    EXPECT_EQ(w.window.currentFile().filename(), "IMG_0012.bmp");
    // Escape empties the box and nothing else: the window stays.
    QTest::keyClick(filter, Qt::Key_Escape);
    EXPECT_TRUE(filter->text().isEmpty());
    EXPECT_EQ(w.list()->itemCount(), 3u);
    EXPECT_TRUE(w.window.isVisible());
    EXPECT_EQ(w.window.currentFile().filename(), "IMG_0012.bmp");
}

TEST(BrowserControls, TheSliderSetsTheThumbnailSideAndTheViewCommandsTakeTheirsBack) {
    BrowserWindow w;
    QSlider* slider = w.window.browserPane()->sizeSlider();
    EXPECT_EQ(slider->minimum(), 48);
    EXPECT_EQ(slider->maximum(), 512);
    EXPECT_EQ(slider->value(), ThumbnailBrowser::kSmallBox);
    slider->setValue(200);
    EXPECT_EQ(w.list()->box(), 200);
    EXPECT_EQ(w.list()->deviceBox(), qRound(200 * w.list()->devicePixelRatioF()));
    EXPECT_EQ(w.window.settings().thumbnailSize, 200);
    EXPECT_GT(w.list()->rowHeight(), 200);
    ASSERT_TRUE(w.window.runCommand(cmd::kBigThumbnails));
    EXPECT_EQ(w.list()->box(), ThumbnailBrowser::kBigBox);
    EXPECT_EQ(slider->value(), ThumbnailBrowser::kBigBox);
    ASSERT_TRUE(w.window.runCommand(cmd::kListView));
    EXPECT_FALSE(slider->isEnabled());
}

TEST(BrowserControls, DetailsColumnsSortBothWaysByAClickOnTheHeader) {
    if (!haveBmpReader()) GTEST_SKIP();
    BrowserWindow w;
    kalder::test::writeFile(w.dir / "big.bmp", smallBmp(64, 48));
    ASSERT_TRUE(w.window.runCommand(cmd::kRefresh));
    ASSERT_TRUE(w.window.runCommand(cmd::kDetailsView));
    ThumbnailBrowser* list = w.list();
    QHeaderView* header = list->header();
    ASSERT_TRUE(header->isVisible());
    ASSERT_EQ(list->itemCount(), 4u);
    EXPECT_EQ(list->columnText(0, ThumbnailBrowser::NameColumn), QStringLiteral("big.bmp"));
    EXPECT_EQ(list->columnText(0, ThumbnailBrowser::DimensionsColumn),
              QStringLiteral("64 \u00d7 48"));
    EXPECT_EQ(list->columnText(0, ThumbnailBrowser::TypeColumn), QStringLiteral("BMP"));
    EXPECT_FALSE(list->columnText(0, ThumbnailBrowser::ModifiedColumn).isEmpty());
    // Rows lie under each other: the second one is one row down.
    EXPECT_EQ(list->cellRect(1).top() - list->cellRect(0).top(), list->rowHeight());
    EXPECT_EQ(list->indexAt(list->cellRect(2).center()), 2);

    const auto click = [&](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 4, 4));
    };
    click(ThumbnailBrowser::SizeColumn);
    EXPECT_EQ(list->columnText(3, ThumbnailBrowser::NameColumn), QStringLiteral("big.bmp"));
    EXPECT_EQ(header->sortIndicatorSection(), ThumbnailBrowser::SizeColumn);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    click(ThumbnailBrowser::SizeColumn);
    EXPECT_EQ(list->columnText(0, ThumbnailBrowser::NameColumn), QStringLiteral("big.bmp"));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    EXPECT_TRUE(w.window.settings().sortDescending);
    EXPECT_EQ(w.window.settings().sortMode, 2);
    // The dimensions have no order of their own: the header keeps showing the size's.
    click(ThumbnailBrowser::DimensionsColumn);
    EXPECT_EQ(header->sortIndicatorSection(), ThumbnailBrowser::SizeColumn);
    // The Sort menu turns it round too.
    ASSERT_TRUE(w.window.runCommand(cmd::kSortAscending));
    EXPECT_EQ(list->columnText(3, ThumbnailBrowser::NameColumn), QStringLiteral("big.bmp"));
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
}
