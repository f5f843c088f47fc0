#include "view/view_state.h"

#include <gtest/gtest.h>

#include "image/load_options.h"
#include "image/target_size.h"
#include "view/render.h"

namespace kalder::view {
namespace {

// The size ImageDocument decodes a source at for a request.
PixelSize targetFor(const DisplayRequest& r, PixelSize source) {
    image::LoadOptions o;
    applyToLoadOptions(r, o);
    image::FitRules rules;
    rules.autoFit = o.autoFit;
    rules.fitWidth = o.fitWidth;
    rules.fitHeight = o.fitHeight;
    rules.zoomRule = o.zoomRule;
    rules.limitWidth = o.limitWidth;
    rules.limitHeight = o.limitHeight;
    return image::computeTargetSize(source, rules);
}

struct FitCase {
    FitMode mode;
    ZoomRule rule;
    PixelSize client, source, expected;
};
class RequestFits : public ::testing::TestWithParam<FitCase> {};
TEST_P(RequestFits, DecodesAtTheFittedSize) {
    const FitCase& c = GetParam();
    ViewState s;
    s.setFitMode(c.mode);
    s.setZoomRule(c.rule);
    EXPECT_EQ(targetFor(s.buildRequest(nullptr, c.client), c.source), c.expected);
}
INSTANTIATE_TEST_SUITE_P(
    ViewState, RequestFits,
    ::testing::Values(
        // Autofit: a panorama fits the height and scrolls; an ordinary image fits whole.
        FitCase{FitMode::Auto, ZoomRule::AllImages, {800, 600}, {3000, 1000}, {1800, 600}},
        FitCase{FitMode::Auto, ZoomRule::AllImages, {800, 600}, {1000, 1500}, {400, 600}},
        FitCase{FitMode::All, ZoomRule::AllImages, {800, 600}, {3000, 1000}, {800, 267}},
        // Small images only: an image as wide as the area keeps its own size.
        FitCase{FitMode::All, ZoomRule::SmallOnly, {800, 600}, {800, 300}, {800, 300}},
        FitCase{FitMode::All, ZoomRule::SmallOnly, {800, 600}, {400, 100}, {800, 200}},
        // Large images only: a small image keeps its size.
        FitCase{FitMode::All, ZoomRule::LargeOnly, {800, 600}, {400, 100}, {400, 100}},
        // Fit width leaves the height unbounded, up to 32767.
        FitCase{FitMode::Width, ZoomRule::AllImages, {800, 600}, {100, 10000}, {328, 32767}},
        FitCase{FitMode::Height, ZoomRule::AllImages, {800, 600}, {4000, 200}, {12000, 600}},
        FitCase{FitMode::None, ZoomRule::AllImages, {800, 600}, {4000, 200}, {4000, 200}}));

TEST(ViewState, RequestCarriesOrientationAndDropsFitWhenZoomedByHand) {
    ViewState s;
    s.setFitMode(FitMode::All);
    s.rotateClockwise();
    s.toggleFlipVertical();
    DisplayRequest r = s.buildRequest(nullptr, {800, 600});
    EXPECT_EQ(r.rotation, 1);
    EXPECT_TRUE(r.flipVertical);
    EXPECT_EQ(r.fitWidth, 800);
    EXPECT_EQ(r.fitHeight, 600);
    EXPECT_EQ(r.limitWidth, 800);

    s.zoomCommand(ViewState::ZoomCommand::In, Zoom{}, {800, 533}, false);
    r = s.buildRequest(nullptr, {800, 600});
    EXPECT_EQ(r.fitWidth, 0);
    EXPECT_EQ(r.fitHeight, 0);
    EXPECT_FALSE(r.autoFit);
    EXPECT_EQ(r.rotation, 1);
}

TEST(ViewState, VectorZoomScalesTheLimitBox) {
    ViewState s;
    s.setFitMode(FitMode::All);
    const ViewAction a = s.zoomCommand(ViewState::ZoomCommand::In, Zoom{}, {}, true);
    EXPECT_TRUE(a.requestImage);
    EXPECT_FALSE(a.zoom);
    DisplayRequest r = s.buildRequest(nullptr, {800, 600});
    EXPECT_EQ(r.limitWidth, 1600);
    EXPECT_EQ(r.limitHeight, 1200);
    EXPECT_EQ(r.fitWidth, 0);
    s.zoomCommand(ViewState::ZoomCommand::Out, Zoom{}, {}, true);
    s.zoomCommand(ViewState::ZoomCommand::Out, Zoom{}, {}, true);
    r = s.buildRequest(nullptr, {800, 600});
    EXPECT_EQ(r.limitWidth, 400);
    s.fitCommand(FitMode::Width);  // every new request resets the vector zoom
    EXPECT_EQ(s.vectorZoom(), Zoom{});
}

TEST(ViewState, FitCommandsToggleAndClearManualZoom) {
    ViewState s;
    ViewAction a = s.fitCommand(FitMode::Width);
    EXPECT_EQ(s.fitMode(), FitMode::Width);
    EXPECT_TRUE(a.requestImage);
    EXPECT_TRUE(a.lensOff);
    s.fitCommand(FitMode::Width);
    EXPECT_EQ(s.fitMode(), FitMode::None) << "the active mode again switches fitting off";
    s.fitCommand(FitMode::Auto);
    s.zoomCommand(ViewState::ZoomCommand::In, Zoom{}, {640, 480}, false);
    ASSERT_TRUE(s.manualZoom());
    s.fitCommand(FitMode::Auto);
    EXPECT_EQ(s.fitMode(), FitMode::Auto) << "after a manual zoom it goes back to the fit";
    EXPECT_FALSE(s.manualZoom());
    s.fitCommand(FitMode::None);
    EXPECT_EQ(s.fitMode(), FitMode::None);
    a = s.fitCommand(FitMode::None);
    EXPECT_EQ(a.zoom, Zoom{}) << "1:1 while unfitted acts as Zoom 1:1";
    EXPECT_FALSE(a.requestImage);

    EXPECT_FALSE(s.zoomRuleCommand(ZoomRule::AllImages).requestImage);
    EXPECT_TRUE(s.zoomRuleCommand(ZoomRule::LargeOnly).requestImage);
}

TEST(ViewState, ZoomCommandsStepDirectlyWhenNotFitted) {
    ViewState s;
    EXPECT_EQ(s.zoomCommand(ViewState::ZoomCommand::In, Zoom{true, 2}, {}, false).zoom, Zoom{});
    EXPECT_EQ(s.zoomCommand(ViewState::ZoomCommand::Out, Zoom{}, {}, false).zoom, (Zoom{true, 2}));
    EXPECT_EQ(s.zoomCommand(ViewState::ZoomCommand::ActualSize, Zoom{false, 7}, {}, false).zoom,
              Zoom{});
}

TEST(ViewState, FirstZoomFromAFitAsksForTheActualSizeFrame) {
    ViewState s;
    s.setFitMode(FitMode::All);
    const ViewAction a = s.zoomCommand(ViewState::ZoomCommand::Out, Zoom{}, {800, 533}, false);
    EXPECT_TRUE(a.requestImage);
    EXPECT_FALSE(a.zoom);
    EXPECT_TRUE(s.manualZoom());
    EXPECT_EQ(s.zoomStep(), -1);
    EXPECT_EQ(s.fittedSize(), (PixelSize{800, 533}));
    // The next zoom is an ordinary step.
    EXPECT_EQ(s.zoomCommand(ViewState::ZoomCommand::In, Zoom{true, 3}, {1000, 666}, false).zoom,
              (Zoom{true, 2}));
}

struct StepCase {
    FitMode mode;
    ZoomRule rule;
    PixelSize fitted, frame;
    ViewState::ZoomCommand command;
    std::optional<Zoom> expected;
};
class PendingZoom : public ::testing::TestWithParam<StepCase> {};
TEST_P(PendingZoom, SkipsLevelsCloseToTheFittedView) {
    const StepCase& c = GetParam();
    ViewState s;
    s.setFitMode(c.mode);
    s.setZoomRule(c.rule);
    s.zoomCommand(c.command, Zoom{}, c.fitted, false);
    EXPECT_EQ(s.takePendingZoom(c.frame, {800, 600}), c.expected);
    EXPECT_EQ(s.zoomStep(), 0);
    EXPECT_EQ(s.takePendingZoom(c.frame, {800, 600}), std::nullopt) << "applied once";
}
using ZC = ViewState::ZoomCommand;
INSTANTIATE_TEST_SUITE_P(
    ViewState, PendingZoom,
    ::testing::Values(
        // 3000 x 2000 fitted to 800 x 533: 1/3 would look almost like the fit, so 1/2.
        StepCase{
            FitMode::All, ZoomRule::AllImages, {800, 533}, {3000, 2000}, ZC::In, Zoom{true, 2}},
        StepCase{
            FitMode::All, ZoomRule::AllImages, {800, 533}, {3000, 2000}, ZC::Out, Zoom{true, 5}},
        // 100 x 80 fitted to 750 x 600.
        StepCase{FitMode::All, ZoomRule::AllImages, {750, 600}, {100, 80}, ZC::In, Zoom{false, 9}},
        StepCase{FitMode::All, ZoomRule::AllImages, {750, 600}, {100, 80}, ZC::Out, Zoom{false, 6}},
        StepCase{FitMode::All, ZoomRule::AllImages, {600, 600}, {20, 20}, ZC::In, Zoom{false, 20}},
        // Small images only: the large frame was shown at its own size.
        StepCase{
            FitMode::All, ZoomRule::SmallOnly, {3000, 2000}, {3000, 2000}, ZC::In, Zoom{false, 2}},
        StepCase{
            FitMode::All, ZoomRule::SmallOnly, {3000, 2000}, {3000, 2000}, ZC::Out, Zoom{true, 2}},
        // Fit width of a tall image: the box is 800 x 2400.
        StepCase{
            FitMode::Width, ZoomRule::AllImages, {800, 2400}, {1000, 3000}, ZC::In, Zoom{false, 2}},
        StepCase{
            FitMode::Width, ZoomRule::AllImages, {800, 2400}, {1000, 3000}, ZC::Out, Zoom{true, 2}},
        StepCase{FitMode::All,
                 ZoomRule::AllImages,
                 {800, 533},
                 {3000, 2000},
                 ZC::ActualSize,
                 std::nullopt}));

TEST(ViewState, LensFromAFitWaitsForTheActualSizeFrame) {
    ViewState s;
    s.setFitMode(FitMode::All);
    ViewAction a = s.lensOn(Zoom{});
    EXPECT_TRUE(a.requestImage);
    EXPECT_FALSE(a.lensOn);
    EXPECT_TRUE(s.manualZoom());
    EXPECT_TRUE(s.takeLensPending());
    EXPECT_FALSE(s.takeLensPending());
    a = s.lensOffCommand();
    EXPECT_TRUE(a.requestImage) << "back to the fitted frame";
    EXPECT_FALSE(s.manualZoom());

    ViewState plain;
    a = plain.lensOn(Zoom{false, 3});
    EXPECT_EQ(a.zoom, Zoom{});
    EXPECT_TRUE(a.lensOn);
    a = plain.lensOffCommand();
    EXPECT_TRUE(a.lensOff);
    EXPECT_EQ(a.zoom, (Zoom{false, 3}));
    EXPECT_FALSE(a.requestImage);
}

TEST(ViewState, ResizeRequestsAgainOnlyWhileFitted) {
    ViewState s;
    EXPECT_FALSE(s.clientResized(false).requestImage);
    EXPECT_TRUE(s.clientResized(true).requestImage);
    s.setFitMode(FitMode::Height);
    EXPECT_TRUE(s.clientResized(false).requestImage);
    s.zoomCommand(ZC::In, Zoom{}, {100, 100}, false);
    EXPECT_FALSE(s.clientResized(false).requestImage);
}

TEST(ViewState, RotationShowsTheMatchingOsdIcon) {
    struct Case {
        std::int32_t from, to, icon;
    };
    for (const Case c : {Case{0, 1, 2}, Case{1, 2, 2}, Case{3, 0, 2}, Case{1, 0, 3}, Case{0, 3, 3},
                         Case{1, 3, 3}, Case{3, 2, 3}, Case{2, 0, 2}}) {
        ViewState s;
        s.setRotation(c.from);
        const ViewAction a = s.setRotation(c.to);
        EXPECT_EQ(a.osdIcon, std::optional<std::int32_t>(c.icon)) << c.from << "->" << c.to;
        EXPECT_TRUE(a.requestImage);
    }
    ViewState s;
    EXPECT_FALSE(s.setRotation(0).requestImage);
    EXPECT_EQ(s.rotateCounterclockwise().osdIcon, std::optional<std::int32_t>(3));
    EXPECT_EQ(s.rotation(), 3);
    EXPECT_EQ(s.toggleFlipHorizontal().osdIcon, std::optional<std::int32_t>(0));
    EXPECT_TRUE(s.resetOrientation().requestImage);
    EXPECT_EQ(s.rotation(), 0);
    EXPECT_FALSE(s.flipHorizontal());
    EXPECT_FALSE(s.resetOrientation().requestImage) << "nothing set: nothing to do";
}

TEST(ViewState, GammaScaleHas105PositionsWithNeutral25) {
    EXPECT_EQ(GammaScale::neutral(), 25);
    EXPECT_EQ(GammaScale::last(), 104);
    ViewState s;
    EXPECT_EQ(s.gammaPosition(), 25);
    EXPECT_EQ(s.displayGamma(), -1.0);
    for (int i = 0; i < 24; ++i) s.decreaseGamma();
    EXPECT_EQ(s.gamma(), 4.0);
    EXPECT_EQ(s.gammaPosition(), 1);
    s.decreaseGamma();
    s.decreaseGamma();
    EXPECT_EQ(s.gamma(), 4.0);
    EXPECT_EQ(s.gammaPosition(), 0);
    s.resetGamma();
    for (int i = 0; i < 79; ++i) s.increaseGamma();
    EXPECT_GT(s.gamma(), 0.01);
    EXPECT_EQ(s.gammaPosition(), 104);
    s.increaseGamma();
    EXPECT_EQ(s.gamma(), 0.01);
    EXPECT_EQ(s.gammaPosition(), 104);
    EXPECT_EQ(s.displayGamma(), 0.01);
    s.resetGamma();
    EXPECT_EQ(s.gammaPosition(), 25);
    EXPECT_FALSE(BuildLut(false, s.displayGamma())) << "after Reset Gamma no table";
}

struct ExifCase {
    std::int32_t tag, rotation;
    bool flipH, flipV;
};
class ExifOrientation : public ::testing::TestWithParam<ExifCase> {};
TEST_P(ExifOrientation, TagSetsRotationAndFlips) {
    const ExifCase& c = GetParam();
    ViewState s;
    s.toggleFlipHorizontal();
    s.toggleFlipVertical();
    const bool changed = s.applyExifOrientation(c.tag);
    EXPECT_EQ(changed, c.tag != 1) << "1 is the value already applied";
    if (!changed) return;
    EXPECT_EQ(s.rotation(), c.rotation);
    EXPECT_EQ(s.flipHorizontal(), c.flipH);
    EXPECT_EQ(s.flipVertical(), c.flipV);
    EXPECT_EQ(s.lastExifOrientation(), c.tag);
}
INSTANTIATE_TEST_SUITE_P(
    ViewState, ExifOrientation,
    ::testing::Values(ExifCase{1, 0, false, false}, ExifCase{2, 0, true, false},
                      ExifCase{3, 2, false, false}, ExifCase{4, 0, false, true},
                      ExifCase{5, 3, false, true}, ExifCase{6, 1, false, false},
                      ExifCase{7, 3, true, false}, ExifCase{8, 3, false, false}));

TEST(ViewState, ExifLastAppliedValueRule) {
    ViewState s;
    EXPECT_FALSE(s.applyExifOrientation(std::nullopt)) << "no tag and nothing applied";
    EXPECT_TRUE(s.applyExifOrientation(6));
    EXPECT_FALSE(s.applyExifOrientation(6)) << "same value: the user's own turns stay";
    s.rotateClockwise();
    EXPECT_FALSE(s.applyExifOrientation(6));
    EXPECT_EQ(s.rotation(), 2);
    EXPECT_FALSE(s.applyExifOrientation(0));
    EXPECT_FALSE(s.applyExifOrientation(9));
    EXPECT_TRUE(s.applyExifOrientation(std::nullopt)) << "untagged image after a tagged one";
    EXPECT_EQ(s.rotation(), 0);
    EXPECT_EQ(s.lastExifOrientation(), 1);
    EXPECT_FALSE(s.applyExifOrientation(std::nullopt));
    EXPECT_TRUE(s.applyExifOrientation(3));
    s.resetOrientation();
    EXPECT_EQ(s.lastExifOrientation(), 1);
    EXPECT_TRUE(s.applyExifOrientation(3)) << "after a reset the tag applies again";
}

}  // namespace
}  // namespace kalder::view
