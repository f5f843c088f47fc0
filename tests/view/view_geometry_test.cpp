#include "view/view_geometry.h"

#include <gtest/gtest.h>

#include "view/osd_layout.h"

namespace kalder::view {
namespace {

ViewGeometry shown(PixelSize image, PixelSize client, bool center = true) {
    ViewGeometry g;
    g.setClientSize(client);
    g.SetImage(image, center);
    return g;
}

TEST(ZoomLevels, StepThroughIntegersAndStopAtTheLimits) {
    Zoom z;
    for (int i = 0; i < 25; ++i) z = zoomedIn(z);
    EXPECT_EQ(z, (Zoom{false, 20}));
    z = Zoom{};
    for (int i = 0; i < 25; ++i) z = zoomedOut(z);
    EXPECT_EQ(z, (Zoom{true, 10}));
    EXPECT_EQ(zoomedOut(Zoom{}), (Zoom{true, 2}));
    EXPECT_EQ(zoomedIn(Zoom{true, 2}), Zoom{});
    EXPECT_EQ(zoomedOut(Zoom{false, 2}), Zoom{});
    EXPECT_EQ(zoomedIn(Zoom{true, 3}), (Zoom{true, 2}));
    EXPECT_EQ(clampZoom(Zoom{true, 50}), (Zoom{true, 10}));
    EXPECT_EQ(clampZoom(Zoom{false, 0}), Zoom{});
}

TEST(ViewGeometry, ZoomingThroughTheViewingAreaHonoursTheLimits) {
    ViewGeometry g = shown({50, 40}, {800, 600});
    for (int i = 0; i < 25; ++i) g.SetZoom(zoomedIn(g.zoom()), false);
    EXPECT_EQ(g.zoom(), (Zoom{false, 20}));
    EXPECT_EQ(g.DisplayedSize(), (PixelSize{1000, 800}));
    EXPECT_FALSE(g.SetZoom(false, 25, false)) << "clamped to the current 20x: nothing happens";
    for (int i = 0; i < 40; ++i) g.SetZoom(zoomedOut(g.zoom()), false);
    EXPECT_EQ(g.zoom(), (Zoom{true, 10}));
    EXPECT_EQ(g.DisplayedSize(), (PixelSize{5, 4}));
}

TEST(ViewGeometry, CentreAndResetShowsTheMiddleOfALargeImage) {
    ViewGeometry g = shown({1000, 1000}, {400, 300});
    EXPECT_EQ(g.scroll(), (Point{300, 350}));
    EXPECT_EQ(g.imageOrigin(), (Point{-300, -350}));
    ViewGeometry small = shown({100, 50}, {400, 300});
    EXPECT_EQ(small.scroll(), (Point{0, 0}));
    EXPECT_EQ(small.imageOrigin(), (Point{150, 125}));

    // Centred in a small pane, then the client grows: still the middle, not the far corner.
    g.setClientSize({800, 600});
    EXPECT_EQ(g.scroll(), (Point{100, 200}));
    // Once the user moved it, a resize only keeps the scroll within bounds.
    g.ScrollTo(0, 0);
    g.setClientSize({400, 300});
    EXPECT_EQ(g.scroll(), (Point{0, 0}));
}

TEST(ViewGeometry, ZoomKeepsThePointUnderTheCursor) {
    ViewGeometry g = shown({1000, 1000}, {400, 300});
    g.setCursor({100, 50});
    // Image pixel (400, 400) is under the cursor.
    ASSERT_TRUE(g.SetZoom(false, 2, true));
    EXPECT_EQ(g.scroll(), (Point{700, 750}));
    EXPECT_EQ((g.scroll().x + 100) / 2, 400);
    EXPECT_EQ((g.scroll().y + 50) / 2, 400);
    ASSERT_TRUE(g.SetZoom(false, 1, true));
    EXPECT_EQ(g.scroll(), (Point{300, 350}));
}

TEST(ViewGeometry, CursorAnchorIsClampedIntoTheClient) {
    ViewGeometry g = shown({1000, 1000}, {400, 300});
    g.setCursor({-50, 5000});
    ASSERT_TRUE(g.SetZoom(false, 2, true));
    // Anchor (0, 299): x keeps image column 300 at the left edge, y keeps row 649 at the bottom.
    EXPECT_EQ(g.scroll().x, 600);
    EXPECT_EQ(g.scroll().y, 2 * 649 - 299);
}

TEST(ViewGeometry, SmallImageStaysCentredWhileZooming) {
    ViewGeometry g = shown({100, 100}, {400, 300});
    for (int f = 2; f <= 3; ++f) {
        g.SetZoom(false, f, false);
        EXPECT_EQ(g.scroll(), (Point{0, 0})) << f;
        EXPECT_EQ(g.imageOrigin(), (Point{(400 - 100 * f) / 2, (300 - 100 * f) / 2}));
    }
    g.SetZoom(false, 4, false);  // 400 x 400: the height now exceeds the client
    EXPECT_EQ(g.scroll(), (Point{0, 50}));
    EXPECT_EQ(g.imageOrigin(), (Point{0, -50}));
}

TEST(ViewGeometry, NothingHappensWithoutAnImageOrWithTheLens) {
    ViewGeometry g;
    g.setClientSize({400, 300});
    EXPECT_FALSE(g.SetZoom(false, 2, false));
    EXPECT_FALSE(g.ScrollTo(10, 10).changed);
    EXPECT_FALSE(g.setLens(true));
    g.SetImage({1000, 1000}, true);
    ASSERT_TRUE(g.setLens(true));
    EXPECT_FALSE(g.SetZoom(false, 2, false));
    EXPECT_TRUE(g.setLens(false));
    g.SetZoom(false, 2, false);
    EXPECT_FALSE(g.setLens(true)) << "the lens needs exactly 1:1";
}

TEST(ViewGeometry, ScrollToClampsAndReportsTheShift) {
    ViewGeometry g = shown({1000, 500}, {400, 600});
    ScrollChange c = g.ScrollTo(-20, 40);
    EXPECT_EQ(g.scroll(), (Point{0, 0})) << "height fits: always 0";
    c = g.ScrollTo(5000, 0);
    EXPECT_TRUE(c.changed);
    EXPECT_EQ(g.scroll(), (Point{600, 0}));
    EXPECT_EQ(c.shift, (Point{-600, 0}));
    EXPECT_FALSE(g.ScrollTo(601, 0).changed);
    g.setClientSize({900, 600});
    EXPECT_EQ(g.scroll(), (Point{100, 0})) << "a larger client re-clamps";
}

struct KeyCase {
    PixelSize image, client;
    Point start;
    bool down;
    Point expected;
};
class PageKeys : public ::testing::TestWithParam<KeyCase> {};
TEST_P(PageKeys, ScrollByFiveFifths) {
    const KeyCase& k = GetParam();
    ViewGeometry g = shown(k.image, k.client, false);
    g.ScrollTo(k.start.x, k.start.y);
    const Point t = g.pageKeyTarget(k.down);
    g.ScrollTo(t.x, t.y);
    EXPECT_EQ(g.scroll(), k.expected);
}
INSTANTIATE_TEST_SUITE_P(
    ViewGeometry, PageKeys,
    ::testing::Values(KeyCase{{2000, 3000}, {800, 603}, {0, 0}, true, {0, 600}},
                      KeyCase{{2000, 3000}, {800, 603}, {0, 900}, false, {0, 300}},
                      KeyCase{{3000, 500}, {803, 600}, {0, 0}, true, {800, 0}},
                      KeyCase{{3000, 500}, {803, 600}, {100, 0}, false, {0, 0}}));

TEST(ViewGeometry, ArrowAndWheelSteps) {
    ViewGeometry g = shown({3000, 3000}, {600, 500}, false);
    EXPECT_EQ(g.arrowKeyTarget(ViewGeometry::Arrow::Right), (Point{50, 0}));
    EXPECT_EQ(g.arrowKeyTarget(ViewGeometry::Arrow::Down), (Point{0, 41}));
    EXPECT_EQ(g.wheelScrollTarget(false), (Point{0, 100}));
    EXPECT_EQ(g.wheelScrollTarget(true), (Point{0, -100}));
    ViewGeometry wide = shown({3000, 200}, {600, 500}, false);
    EXPECT_EQ(wide.wheelScrollTarget(false), (Point{120, 0}));
}

TEST(WheelAccumulator, HandsOutWholeNotchesAndKeepsTheRest) {
    WheelAccumulator w;
    EXPECT_EQ(w.add(100), 0);
    EXPECT_EQ(w.add(100), 1);
    EXPECT_EQ(w.rest(), 80);
    EXPECT_EQ(w.add(-320), -2);
    EXPECT_EQ(w.rest(), 0);
    EXPECT_EQ(w.add(-119), 0);
    EXPECT_EQ(w.add(360 + 119), 3);
    EXPECT_EQ(w.add(2147483000), 17895691);  // no overflow, no long loop
}

TEST(CursorIdle, HidesOnTheSixteenthQuietTick) {
    CursorIdle idle;
    for (int i = 1; i <= 15; ++i) EXPECT_FALSE(idle.tick(true, false, false)) << i;
    EXPECT_TRUE(idle.tick(true, false, false));
    EXPECT_FALSE(idle.tick(true, false, false)) << "only once";
    idle.moved();
    for (int i = 1; i <= 15; ++i) idle.tick(true, false, false);
    EXPECT_FALSE(idle.tick(true, true, false)) << "dragging restarts the count";
}

TEST(ViewGeometry, SetImageKeepsOrReappliesTheView) {
    ViewGeometry g = shown({1000, 1000}, {400, 300});
    g.SetZoom(false, 2, false);
    g.ScrollTo(100, 200);
    g.SetImage({1000, 1000}, true);  // same size: nothing moves
    EXPECT_EQ(g.zoom(), (Zoom{false, 2}));
    EXPECT_EQ(g.scroll(), (Point{100, 200}));
    g.SetImage({500, 400}, true);  // another size: the old zoom and scroll, clamped
    EXPECT_EQ(g.zoom(), (Zoom{false, 2}));
    EXPECT_EQ(g.scroll(), (Point{100, 200}));
    g.SetImage({200, 150}, true);
    EXPECT_EQ(g.scroll(), (Point{0, 0}));

    g.Clear();
    g.SetImage({1000, 1000}, false);  // nothing was shown, no reset: zoom kept, scroll clamped
    EXPECT_EQ(g.zoom(), (Zoom{false, 2}));
    EXPECT_EQ(g.scroll(), (Point{0, 0}));
    g.ScrollTo(1000000, 1000000);
    EXPECT_EQ(g.scroll(), (Point{1600, 1700}));
    g.Clear();
    g.SetImage({900, 900}, false);
    EXPECT_EQ(g.scroll(), (Point{1400, 1500})) << "pulled back to the last screenful";
    g.Clear();
    g.SetPanoramaOffset(33);
    g.SetImage({900, 900}, true);
    EXPECT_EQ(g.zoom(), Zoom{});
    EXPECT_EQ(g.scroll(), (Point{250, 300}));
    EXPECT_EQ(g.panoramaOffset(), 0);
}

TEST(WindowPlacement, KeepsAWindowWithinTheAvailableArea) {
    const PixelRect area{0, 30, 1024, 600};
    EXPECT_EQ(placeWithin({100, 100, 740, 620}, area), (PixelRect{100, 80, 740, 600}));
    EXPECT_EQ(placeWithin({900, -50, 1540, 470}, area), (PixelRect{384, 30, 1024, 550}));
    EXPECT_EQ(placeWithin({10, 40, 2010, 1040}, area), area) << "shrunk to the area";
    EXPECT_EQ(placeWithin({10, 40, 110, 140}, area), (PixelRect{10, 40, 110, 140}));
}

TEST(ViewGeometry, PanoramaStepAndShift) {
    EXPECT_EQ(ViewGeometry::panoramaStep(7200), 100);
    EXPECT_EQ(ViewGeometry::panoramaStep(50), 1);
    ViewGeometry g = shown({1000, 200}, {400, 300});
    g.SetZoom(false, 3, false);
    EXPECT_EQ(g.SetPanoramaOffset(-1), std::optional<std::int32_t>(3));
    EXPECT_EQ(g.wrappedPanoramaOffset(), 999);
    EXPECT_EQ(g.SetPanoramaOffset(2001), std::optional<std::int32_t>(-6006));
    EXPECT_EQ(g.wrappedPanoramaOffset(), 1);
    g.SetZoom(true, 2, false);
    EXPECT_EQ(g.SetPanoramaOffset(5), std::nullopt) << "reduced: repaint instead of scrolling";
}

TEST(ViewGeometry, LensShowsSeventyPixelsAroundTheCursor) {
    ViewGeometry g = shown({1000, 1000}, {400, 300});  // origin (-300, -350)
    LensLayout l = g.lensLayout({200, 150});
    EXPECT_EQ(l.square, (PixelRect{60, 10, 340, 290}));
    ASSERT_TRUE(l.picture);
    EXPECT_EQ(l.picture->source, (PixelRect{465, 465, 535, 535}));
    EXPECT_EQ(l.picture->dest, (Point{60, 10}));
    EXPECT_EQ(l.background.count, 0);
    EXPECT_EQ(l.frameLeft, 60);
    EXPECT_EQ(l.frameTop, 10);
    EXPECT_EQ(l.frameRight, 339);
    EXPECT_EQ(l.frameBottom, 289);
}

TEST(ViewGeometry, LensAtTheImageEdgeFillsTheRestWithBackground) {
    ViewGeometry g = shown({100, 100}, {400, 300});  // origin (150, 100)
    LensLayout l = g.lensLayout({155, 105});
    ASSERT_TRUE(l.picture);
    EXPECT_EQ(l.picture->source, (PixelRect{0, 0, 40, 40}));
    EXPECT_EQ(l.picture->dest, (Point{15 + 120, -35 + 120}));
    ASSERT_EQ(l.background.count, 2);  // above, and left of the picture
    EXPECT_EQ(l.background.rects[0], (PixelRect{15, -35, 295, 85}));
    EXPECT_EQ(l.background.rects[1], (PixelRect{15, 85, 135, 245}));

    LensLayout off = g.lensLayout({10, 10});
    EXPECT_FALSE(off.picture);
    EXPECT_EQ(off.frameRight, 150);
    EXPECT_EQ(off.frameBottom, 150);
    EXPECT_EQ(ViewGeometry::lensRepaintRect({200, 200}), (PixelRect{60, 60, 480, 480}));
}

TEST(ViewGeometry, PaintRegionMapsClientPixelsToSourcePixels) {
    ViewGeometry g = shown({1000, 1000}, {400, 300}, false);
    g.SetZoom(false, 3, false);
    g.ScrollTo(10, 20);
    auto r = g.imagePaintRegion({0, 0, 400, 300});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->source, (PixelRect{3, 6, 137, 107}));
    EXPECT_EQ(r->dest, (Point{-1, -2}));

    g.SetZoom(true, 4, false);  // 250 x 250, centred
    r = g.imagePaintRegion({0, 0, 400, 300});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->source, (PixelRect{0, 0, 1000, 1000}));
    EXPECT_EQ(r->dest, (Point{75, 25}));
    EXPECT_FALSE(g.imagePaintRegion({0, 0, 70, 300})) << "margin only";

    // Dirty rows 8..12 of the source at 1/4 cover client rows 27..28.
    EXPECT_EQ(g.clientRectForImageRect({0, 8, 1000, 12}), (PixelRect{75, 27, 325, 28}));
}

TEST(ViewGeometry, BackgroundSurroundsTheImageAndLeavesTheStripOut) {
    ViewGeometry g = shown({200, 100}, {400, 300});  // image at (100, 100)-(300, 200)
    RectList r = g.backgroundRects({0, 297, 400, 300});
    ASSERT_EQ(r.count, 4);
    EXPECT_EQ(r.rects[0], (PixelRect{0, 0, 400, 100}));
    EXPECT_EQ(r.rects[1], (PixelRect{0, 200, 400, 297}));
    EXPECT_EQ(r.rects[2], (PixelRect{0, 100, 100, 200}));
    EXPECT_EQ(r.rects[3], (PixelRect{300, 100, 400, 200}));
    ViewGeometry none;
    none.setClientSize({400, 300});
    r = none.backgroundRects({0, 0, 400, 3});
    ASSERT_EQ(r.count, 1);
    EXPECT_EQ(r.rects[0], (PixelRect{0, 3, 400, 300}));
}

TEST(Osd, SizeFollowsTheSettingOrTheScreen) {
    EXPECT_EQ(osdIconSide(OsdSize::Auto, 799), 18);
    EXPECT_EQ(osdIconSide(OsdSize::Auto, 800), 28);
    EXPECT_EQ(osdIconSide(OsdSize::Auto, 1024), 28);
    EXPECT_EQ(osdIconSide(OsdSize::Auto, 1025), 38);
    EXPECT_EQ(osdIconSide(OsdSize::Small, 4000), 18);
    EXPECT_EQ(osdIconSide(OsdSize::Large, 640), 38);
    EXPECT_EQ(osdIconSide(OsdSize::Off, 1920), 0);
}

TEST(Osd, PlacementAlongTheEdges) {
    const OsdLayout l = layoutOsd({800, 600}, 28, {120, 10});
    EXPECT_EQ(l.up, (PixelRect{771, 1, 799, 29}));
    EXPECT_EQ(l.rotation, (PixelRect{771, 571, 799, 599}));
    EXPECT_EQ(l.down, (PixelRect{771, 542, 799, 570}));
    EXPECT_EQ(l.left, (PixelRect{1, 571, 29, 599}));
    EXPECT_EQ(l.right, (PixelRect{742, 571, 770, 599}));
    EXPECT_EQ(l.gammaScale, (PixelRect{35, 589, 155, 599}));
}

TEST(Osd, ArrowsShowWhereTheImageContinues) {
    OsdInputs in;
    in.osdOn = true;
    in.hasImage = true;
    in.client = {800, 600};
    in.iconSide = 28;
    in.gammaScale = {120, 10};
    in.zoom = {false, 4};
    in.displayed = {2000, 600};
    in.scroll = {2, 0};
    OsdVisibility v = osdVisibility(in);
    EXPECT_FALSE(v.left) << "within half a magnified pixel";
    EXPECT_TRUE(v.right);
    EXPECT_FALSE(v.up);
    EXPECT_FALSE(v.down);
    EXPECT_TRUE(v.rotation);
    in.scroll = {3, 0};
    EXPECT_TRUE(osdVisibility(in).left);
    in.scroll = {1198, 0};
    EXPECT_FALSE(osdVisibility(in).right);
    in.client = {28 + 120 + 28 + 28 + 5, 600};
    EXPECT_FALSE(osdVisibility(in).left) << "too narrow for the arrows";
    in.osdOn = false;
    EXPECT_FALSE(osdVisibility(in).rotation);
}

TEST(ProgressStrip, PlacementLengthAndContrast) {
    EXPECT_TRUE(progressStripAtTop(true, false));
    EXPECT_FALSE(progressStripAtTop(true, true));
    EXPECT_FALSE(progressStripAtTop(false, false));
    const ProgressStrip p =
        layoutProgressStrip({640, 480}, false, 33, image::makeColorRef(0, 0, 0));
    EXPECT_EQ(p.area, (PixelRect{0, 477, 640, 480}));
    EXPECT_EQ(p.line, (PixelRect{0, 478, 211, 479}));
    EXPECT_EQ(p.lineColour, image::makeColorRef(255, 255, 255));
    EXPECT_TRUE(layoutProgressStrip({640, 480}, true, 0, 0).area.isEmpty());
    EXPECT_EQ(layoutProgressStrip({640, 480}, true, 100, 0).line, (PixelRect{0, 1, 640, 2}));
    // Luma threshold: 129 * 32768 with weights 6969, 23434, 2365.
    EXPECT_EQ(progressLineColour(image::makeColorRef(128, 128, 128)),
              image::makeColorRef(255, 255, 255));
    EXPECT_EQ(progressLineColour(image::makeColorRef(129, 129, 129)), image::makeColorRef(0, 0, 0));
    EXPECT_EQ(progressLineColour(image::makeColorRef(0, 180, 3)),
              image::makeColorRef(255, 255, 255));
    EXPECT_EQ(progressLineColour(image::makeColorRef(0, 180, 4)), image::makeColorRef(0, 0, 0));
}

}  // namespace
}  // namespace kalder::view
