#include "shell/scanner.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "tools/scan/sane_test_backend.h"

using kalder::shell::ScanColour;
using kalder::shell::ScanError;
using kalder::shell::ScannedImage;
using kalder::shell::Scanner;

namespace {

std::unique_ptr<Scanner> openTestScanner() {
    std::unique_ptr<Scanner> scanner;
    const auto status = Scanner::open("test:0", scanner);
    EXPECT_TRUE(status.ok()) << status.text();
    return scanner;
}

// Every pixel's blue, green, red, or nothing when they all match `bgr`.
bool allPixels(const ScannedImage& scan, std::uint8_t b, std::uint8_t g, std::uint8_t r) {
    const auto& bmp = *scan.bitmap;
    for (std::int32_t y = 0; y < bmp.height(); ++y)
        for (std::int32_t x = 0; x < bmp.width(); ++x) {
            const std::uint8_t* p = bmp.row(y) + x * 4;
            if (p[0] != b || p[1] != g || p[2] != r) return false;
        }
    return true;
}

TEST(Scanner, ListsTheTestDevices) {
    KALDER_REQUIRE_SANE_TEST_BACKEND();
    std::vector<kalder::shell::ScannerDevice> devices;
    ASSERT_TRUE(Scanner::listDevices(devices).ok());
    ASSERT_GE(devices.size(), 2u);
    EXPECT_EQ(devices[0].name, "test:0");
}

struct FrameCase {
    const char* name;
    ScanColour colour;
    std::vector<std::pair<const char*, const char*>> options;
    ScanColour expected;
    std::uint8_t b, g, r;  // every pixel
};

class ScannerFrames : public ::testing::TestWithParam<FrameCase> {};

// Solid pictures show the sample polarity, bit order and byte order of each frame layout.
TEST_P(ScannerFrames, DeliversThePicture) {
    KALDER_REQUIRE_SANE_TEST_BACKEND();
    const FrameCase& c = GetParam();
    auto scanner = openTestScanner();
    ASSERT_TRUE(scanner);
    ASSERT_TRUE(scanner->setColour(c.colour).ok());
    ASSERT_TRUE(scanner->setResolution(75).ok());
    for (const auto& [name, value] : c.options) {
        const auto s = scanner->setOption(name, value);
        ASSERT_TRUE(s.ok()) << name << ": " << s.text();
    }
    ScannedImage scan;
    const auto status = scanner->scanPage(scan);
    ASSERT_TRUE(status.ok()) << status.text();
    EXPECT_EQ(scan.colour, c.expected);
    EXPECT_EQ(scan.dpi, 75);
    if (std::string(c.name) == "hand") {
        EXPECT_GT(scan.bitmap->height(), 0);
    } else {
        EXPECT_EQ(scan.bitmap->width(), 236);
        EXPECT_EQ(scan.bitmap->height(), 295);
    }
    EXPECT_TRUE(allPixels(scan, c.b, c.g, c.r));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ScannerFrames,
    ::testing::Values(FrameCase{"colour",
                                ScanColour::Color,
                                {{"test-picture", "Solid white"}},
                                ScanColour::Color,
                                255,
                                255,
                                255},
                      FrameCase{"gray",
                                ScanColour::Gray,
                                {{"test-picture", "Solid white"}},
                                ScanColour::Gray,
                                255,
                                255,
                                255},
                      FrameCase{"lineart_white",
                                ScanColour::LineArt,
                                {{"test-picture", "Solid white"}},
                                ScanColour::LineArt,
                                255,
                                255,
                                255},
                      FrameCase{"lineart_black",
                                ScanColour::LineArt,
                                {{"test-picture", "Solid black"}},
                                ScanColour::LineArt,
                                0,
                                0,
                                0},
                      FrameCase{"gray16",
                                ScanColour::Gray,
                                {{"depth", "16"}, {"test-picture", "Solid white"}},
                                ScanColour::Gray,
                                255,
                                255,
                                255},
                      FrameCase{"colour1bit",
                                ScanColour::Color,
                                {{"depth", "1"}, {"test-picture", "Solid white"}},
                                ScanColour::Color,
                                255,
                                255,
                                255},
                      FrameCase{"three_pass",
                                ScanColour::Color,
                                {{"three-pass", "yes"}, {"test-picture", "Solid white"}},
                                ScanColour::Color,
                                255,
                                255,
                                255},
                      FrameCase{"hand",
                                ScanColour::Gray,
                                {{"hand-scanner", "yes"}, {"test-picture", "Solid black"}},
                                ScanColour::Gray,
                                0,
                                0,
                                0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Scanner, ColourPatternIsNotGrey) {
    KALDER_REQUIRE_SANE_TEST_BACKEND();
    auto scanner = openTestScanner();
    ASSERT_TRUE(scanner);
    ASSERT_TRUE(scanner->setColour(ScanColour::Color).ok());
    ASSERT_TRUE(scanner->setOption("test-picture", "Color pattern").ok());
    ScannedImage scan;
    ASSERT_TRUE(scanner->scanPage(scan).ok());
    bool coloured = false;
    const auto& bmp = *scan.bitmap;
    for (std::int32_t y = 0; y < bmp.height() && !coloured; ++y)
        for (std::int32_t x = 0; x < bmp.width() && !coloured; ++x) {
            const std::uint8_t* p = bmp.row(y) + x * 4;
            coloured = p[0] != p[1] || p[1] != p[2];
        }
    EXPECT_TRUE(coloured);
}

// Line art is a depth on this backend; a later grey scan must not stay one-bit.
TEST(Scanner, GreyAfterLineArtIsGreyAgain) {
    KALDER_REQUIRE_SANE_TEST_BACKEND();
    auto scanner = openTestScanner();
    ASSERT_TRUE(scanner);
    ASSERT_TRUE(scanner->setColour(ScanColour::LineArt).ok());
    ASSERT_TRUE(scanner->setColour(ScanColour::Gray).ok());
    ScannedImage scan;
    ASSERT_TRUE(scanner->scanPage(scan).ok());
    EXPECT_EQ(scan.colour, ScanColour::Gray);
}

TEST(Scanner, FeederDeliversPagesUntilEmptyOrStopped) {
    KALDER_REQUIRE_SANE_TEST_BACKEND();
    auto scanner = openTestScanner();
    ASSERT_TRUE(scanner);
    ASSERT_TRUE(scanner->setSource("Automatic Document Feeder").ok());
    ASSERT_TRUE(scanner->feederSelected());
    int pages = 0;
    EXPECT_TRUE(scanner->scanPages(0, [&](ScannedImage&) { return ++pages > 0; }).ok());
    EXPECT_EQ(pages, 10);  // this backend's feeder holds ten sheets

    scanner.reset();
    scanner = openTestScanner();
    ASSERT_TRUE(scanner);
    ASSERT_TRUE(scanner->setSource("Automatic Document Feeder").ok());
    pages = 0;
    EXPECT_TRUE(scanner->scanPages(3, [&](ScannedImage&) { return ++pages > 0; }).ok());
    EXPECT_EQ(pages, 3);

    // Cancelled while the second page is handed over: the third is never scanned.
    pages = 0;
    const auto s = scanner->scanPages(0, [&](ScannedImage&) {
        if (++pages == 2) scanner->cancel();
        return true;
    });
    EXPECT_EQ(s.error, ScanError::Cancelled);
    EXPECT_EQ(pages, 2);
}

// A device that fails while reading, or is not there at all, gives its error, and the open
// scanner stays usable.
TEST(Scanner, FailuresAreReported) {
    KALDER_REQUIRE_SANE_TEST_BACKEND();
    std::unique_ptr<Scanner> missing;
    EXPECT_EQ(Scanner::open("test:99", missing).error, ScanError::NoDevice);
    EXPECT_FALSE(missing);

    // The test backend's injected read errors ("read-return-value") are not used: its cancel
    // then stops a reader thread that is still starting, which now and then dies holding the
    // allocator's lock and hangs the process.
    auto scanner = openTestScanner();
    ASSERT_TRUE(scanner);
    ScannedImage scan;
    EXPECT_TRUE(scanner->scanPage(scan).ok());

    EXPECT_EQ(scanner->setOption("mode", "Infrared").error, ScanError::Invalid);
    EXPECT_EQ(scanner->setOption("no-such-option", "1").error, ScanError::Unsupported);
    EXPECT_EQ(scanner->setOption("resolution", "fast").error, ScanError::Invalid);
}

}  // namespace
