#include "tools/print_layout/print_layout.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "support/test_support.h"
#include "tools/jpeg_transform/jpeg_test_files.h"
#include "tools/print_layout/print_preparer.h"
#include "tools/recording_tool_host.h"

namespace kalder::tools {
namespace {

const PrintPage kA4{200, 287, false};

TEST(PrintLayoutTest, RepeatsFillPagesInOrder) {
    // 5 items, "2 images", repeat 2: ten cells on five pages, page 3 holds item 2 twice.
    auto cells = layoutCells(PrintLayout::Two, kA4, 5, 2);
    ASSERT_EQ(cells.size(), 10u);
    EXPECT_EQ(pageCount(cells), 5);
    EXPECT_EQ(cells[4].page, 2);
    EXPECT_EQ(cells[5].page, 2);
    EXPECT_EQ(cells[4].item, 2u);
    EXPECT_EQ(cells[5].item, 2u);
    // Portrait stacks the two cells; landscape puts them side by side.
    EXPECT_DOUBLE_EQ(cells[5].y, (287 - 3) / 2.0 + 3);
    EXPECT_DOUBLE_EQ(cells[5].width, 200);
    auto wide = layoutCells(PrintLayout::Two, {287, 200, true}, 1, 2);
    EXPECT_DOUBLE_EQ(wide[1].x, (287 - 3) / 2.0 + 3);
    EXPECT_DOUBLE_EQ(wide[1].height, 200);

    // 4 items with "3 images": the second page holds only its first cell.
    cells = layoutCells(PrintLayout::Three, kA4, 4, 1);
    EXPECT_EQ(pageCount(cells), 2);
    EXPECT_EQ(cells[3].page, 1);
    EXPECT_DOUBLE_EQ(cells[3].x, 0);
    EXPECT_DOUBLE_EQ(cells[3].y, 0);
    // The third cell takes the lower half's whole width, or the right half's whole height.
    EXPECT_DOUBLE_EQ(cells[2].width, 200);
    EXPECT_DOUBLE_EQ(cells[2].y, (287 - 3) / 2.0 + 3);
    cells = layoutCells(PrintLayout::Three, {287, 200, true}, 3, 1);
    EXPECT_DOUBLE_EQ(cells[2].x, (287 - 3) / 2.0 + 3);
    EXPECT_DOUBLE_EQ(cells[2].height, 200);

    cells = layoutCells(PrintLayout::Nine, {93, 93, false}, 9, 1);
    EXPECT_DOUBLE_EQ(cells[8].x, 64);
    EXPECT_DOUBLE_EQ(cells[8].y, 64);
    EXPECT_DOUBLE_EQ(cells[8].width, 29);
    EXPECT_EQ(pageCount(layoutCells(PrintLayout::One, kA4, 3, 500)), 300);
}

TEST(PrintLayoutTest, RepeatFieldIsClamped) {
    const std::map<std::string, int> cases = {{"", 1},  {"0", 1},     {"-4", 1},
                                              {"7", 7}, {"250", 100}, {"99999999999999999999", 100},
                                              {"x", 1}};
    for (const auto& [text, want] : cases) EXPECT_EQ(clampRepeatText(text), want) << text;
    EXPECT_EQ(pageCaption(3, 5), "page 3 of 5");
}

TEST(PrintLayoutTest, PictureFitsAtTopLeftOrFillsCentredCrop) {
    // A 300 x 100 picture in a square cell: full width, a third of the height, at the top.
    CellPlacement fit = placeInCell(300, 100, 90, 90, false);
    EXPECT_EQ(fit.width, 90);
    EXPECT_EQ(fit.height, 30);
    EXPECT_EQ(fit.sourceWidth, 300);
    // Zoomed: its middle 100 x 100 over the whole cell.
    CellPlacement zoom = placeInCell(300, 100, 90, 90, true);
    EXPECT_EQ(zoom.sourceX, 100);
    EXPECT_EQ(zoom.sourceY, 0);
    EXPECT_EQ(zoom.sourceWidth, 100);
    EXPECT_EQ(zoom.sourceHeight, 100);
    EXPECT_EQ(zoom.width, 90);
    EXPECT_EQ(zoom.height, 90);
    // A tall picture in a wide cell.
    zoom = placeInCell(100, 400, 200, 100, true);
    EXPECT_EQ(zoom.sourceHeight, 50);
    EXPECT_EQ(zoom.sourceY, 175);
    EXPECT_EQ(placeInCell(0, 10, 10, 10, false).width, 0);
}

TEST(PrintLayoutTest, CustomAndOriginalSizes) {
    EXPECT_FALSE(customSizeAllowed(0.05));
    EXPECT_TRUE(customSizeAllowed(0.1));
    LimitedSize s = limitCustomSize(100, 400, kA4);
    EXPECT_TRUE(s.truncated);
    EXPECT_DOUBLE_EQ(s.height, 287);
    s = limitCustomSize(100, 150, {287, 200, true});  // swapped on a landscape page
    EXPECT_FALSE(s.truncated);
    EXPECT_DOUBLE_EQ(s.width, 150);

    std::vector<PrintItem> items(3);
    items[0].width = 600, items[0].height = 300, items[0].dpiX = items[0].dpiY = 300;   // 2x1 in
    items[1].width = 6000, items[1].height = 300, items[1].dpiX = items[1].dpiY = 300;  // too wide
    items[2].width = 600, items[2].height = 300;  // no resolution
    auto cells = layoutCells(PrintLayout::One, kA4, 3, 1);
    applyOriginalSizes(cells, items, kA4);
    EXPECT_DOUBLE_EQ(cells[0].width, 50.8);
    EXPECT_DOUBLE_EQ(cells[0].height, 25.4);
    EXPECT_DOUBLE_EQ(cells[1].width, 200);
    EXPECT_DOUBLE_EQ(cells[2].height, 287);
}

TEST(PrintLayoutTest, ResolutionAndTargetSize) {
    EXPECT_FALSE(resolutionFieldsConsistent(-1, 300));
    EXPECT_TRUE(resolutionFieldsConsistent(-1, -1));
    const PrintResolution r = effectiveResolution(-1, 0, {600, 300});
    EXPECT_EQ(r.x, 600);
    EXPECT_EQ(r.y, 300);
    // 100 mm square cell at 300 dpi: 3.937 in -> 1181 pixels along the spanning side.
    PixelSize t = targetPixelSize(100, 100, 300, 100, {300, 300}, false);
    EXPECT_EQ(t.width, 1181);
    EXPECT_EQ(t.height, 394);
    t = targetPixelSize(100, 100, 300, 100, {300, 300}, true);
    EXPECT_EQ(t.width, 3543);
    EXPECT_EQ(t.height, 1181);
    t = targetPixelSize(100, 100, 300, 100, {600, 300}, false);
    EXPECT_EQ(t.width, 2362);
    EXPECT_EQ(targetPixelSize(1e9, 1e9, 10, 10, {600, 600}, false).width, 0);
}

TEST(PrintLayoutTest, GreyPreviewWeights) {
    image::Bitmap32 b;
    ASSERT_TRUE(b.Create(2, 1));
    const std::uint8_t px[8] = {0, 0, 255, 0, 255, 255, 255, 0};  // red, white (BGR order)
    std::memcpy(b.pixels(), px, 8);
    toGreyPreview(b);
    EXPECT_EQ(b.pixels()[0], 54);
    EXPECT_EQ(b.pixels()[2], 54);
    EXPECT_EQ(b.pixels()[4], 255);  // the weights sum to 32768
}

using RecordingHost = test::RecordingToolHost;

TEST(PrintPreparerTest, OneDecodePerRunOfCellsAndCleanFailure) {
    std::vector<PrintItem> items(2);
    items[0].path = "a";
    items[1].path = "bad";
    auto cells = layoutCells(PrintLayout::Four, {100, 100, false}, 2, 2);
    int loads = 0;
    const PrintImageLoader loader = [&](const std::filesystem::path& p, image::Bitmap32& out,
                                        const image::CancelSink*) {
        ++loads;
        if (p == "bad") return false;
        return out.Create(400, 200);
    };
    RecordingHost host;
    PrintOptions options;
    options.dpi = {100, 100};
    EXPECT_EQ(preparePage(cells, 0, items, options, host, loader), PrepareOutcome::Failed);
    EXPECT_EQ(loads, 2);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_NE(host.errors[0].find("bad"), std::string::npos);
    for (const PrintCell& c : cells) EXPECT_EQ(c.bitmap, nullptr);

    items[1].path = "b";
    loads = 0;
    ASSERT_EQ(preparePage(cells, 0, items, options, host, loader), PrepareOutcome::Done);
    EXPECT_EQ(loads, 2);
    // 48.5 mm at 100 dpi, the picture's 2:1 aspect kept.
    EXPECT_EQ(cells[3].bitmap->width(), 191);
    EXPECT_EQ(cells[3].bitmap->height(), 95);
}

// A photo stored sideways with Exif Orientation 6 prints upright, as the viewer shows it: the
// page's bitmap, the preview and "Original size".
TEST(PrintPreparerTest, PhotosPrintAsTheViewerShowsThem) {
    const auto sideways = test::jpeg::sidewaysPhoto();
    if (sideways.empty()) GTEST_SKIP() << "codec module missing";
    test::TempDir dir;
    std::vector<PrintItem> items(1);
    items[0].path = dir / "p.jpg";
    test::writeFile(items[0].path, sideways);
    auto cells = layoutCells(PrintLayout::One, {100, 100, false}, 1, 1);
    RecordingHost host;
    PrintOptions options;
    options.dpi = {100, 100};
    ASSERT_EQ(preparePage(cells, 0, items, options, host), PrepareOutcome::Done);
    EXPECT_LT(cells[0].bitmap->width(), cells[0].bitmap->height());
    options.upright = false;
    ASSERT_EQ(preparePage(cells, 0, items, options, host), PrepareOutcome::Done);
    EXPECT_GT(cells[0].bitmap->width(), cells[0].bitmap->height());

    image::Bitmap32 preview;
    ASSERT_TRUE(loadPrintPreview(items[0].path, preview));
    EXPECT_EQ(preview.width(), 32);
    EXPECT_EQ(preview.height(), 64);
    readOriginalSize(items[0], true);
    EXPECT_EQ(items[0].width, 32);
    EXPECT_EQ(items[0].height, 64);
}

}  // namespace
}  // namespace kalder::tools
