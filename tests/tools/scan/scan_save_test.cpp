#include "tools/scan/scan_save.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "support/test_support.h"
#include "tools/scan/sane_test_backend.h"

namespace fs = std::filesystem;
using kalder::shell::ScanColour;
using kalder::shell::ScannedImage;
using kalder::shell::Scanner;
using kalder::tools::ScanSaveChoice;
using kalder::tools::ScanSaveRequest;
using kalder::tools::ScanSaveSession;
using kalder::tools::ScanSaveType;

namespace {

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        std::array<char, 256> buf{};
        while (fgets(buf.data(), buf.size(), p)) out += buf.data();
        pclose(p);
    }
    return out;
}

// Pillow's mode name for the file, e.g. "L" or "P".
std::string pillowMode(const fs::path& file) {
    return run(
        "/usr/bin/python3 -c \"import sys; from PIL import Image; "
        "print(Image.open(sys.argv[1]).mode)\" '" +
        file.string() + "' 2>&1");
}

// The largest and the mean channel difference between the scan and a decoded file.
std::pair<int, double> difference(const ScannedImage& scan, const kalder::test::RgbImage& file) {
    const auto& bmp = *scan.bitmap;
    int worst = 0;
    double sum = 0;
    for (std::int32_t y = 0; y < bmp.height(); ++y)
        for (std::int32_t x = 0; x < bmp.width(); ++x)
            for (int c = 0; c < 3; ++c) {
                const int a = bmp.row(y)[x * 4 + 2 - c];
                const int b = file.rgb[(static_cast<std::size_t>(y) * file.width + x) * 3 + c];
                worst = std::max(worst, std::abs(a - b));
                sum += std::abs(a - b);
            }
    return {worst, sum / (3.0 * bmp.width() * bmp.height())};
}

TEST(ScanSave, NamesFollowTheCountAndType) {
    using kalder::tools::scanDefaultName;
    using kalder::tools::switchScanExtension;
    EXPECT_EQ(scanDefaultName(0, ScanSaveType::Bmp), "Output.bmp");
    EXPECT_EQ(scanDefaultName(2, ScanSaveType::Tiff), "Output2.tif");
    const std::pair<const char*, const char*> cases[] = {
        {"Output.bmp", "Output.png"},
        {"scan", "scan.png"},
        {"my.dir/scan", "my.dir/scan.png"},
        {"a.b.jpg", "a.b.png"},
        {".hidden", ".hidden.png"},
        {"", ""},
        {"folder/", "folder/"},
    };
    for (auto [typed, expected] : cases)
        EXPECT_EQ(switchScanExtension(typed, ScanSaveType::Png), expected) << typed;
    EXPECT_EQ(kalder::tools::scanSaveTypeForPath("x.JPEG"), ScanSaveType::Jpeg);
    EXPECT_FALSE(kalder::tools::scanSaveTypeForPath("x.gif"));

    // Name and type never disagree: a known extension wins, others get the type's.
    using kalder::tools::matchScanExtension;
    const auto png = matchScanExtension({"d/scan1.png", ScanSaveType::Bmp});
    EXPECT_EQ(std::make_pair(png.path, png.type),
              std::make_pair(fs::path("d/scan1.png"), ScanSaveType::Png));
    const auto bmp = matchScanExtension({"d/scan1.gif", ScanSaveType::Bmp});
    EXPECT_EQ(std::make_pair(bmp.path, bmp.type),
              std::make_pair(fs::path("d/scan1.gif.bmp"), ScanSaveType::Bmp));
    EXPECT_EQ(kalder::tools::numberedScanPath("d/scan.tif", 3), fs::path("d/scan-3.tif"));
}

struct SaveCase {
    const char* name;
    ScanColour colour;
    ScanSaveType type;
    const char* mode;  // what Pillow calls the file's pixels
    int pngDepth;      // the PNG header's bit depth, 0 for other types
};

class ScanSaveFiles : public ::testing::TestWithParam<SaveCase> {};

// A real scan from the test backend, written by each type's writer and compared pixel by pixel
// with what another decoder reads back.
TEST_P(ScanSaveFiles, ReadBackAsScanned) {
    KALDER_REQUIRE_SANE_TEST_BACKEND();
    if (!kalder::test::havePillow()) GTEST_SKIP() << "Pillow is not installed";
    const SaveCase& c = GetParam();
    std::unique_ptr<Scanner> scanner;
    ASSERT_TRUE(Scanner::open("test:0", scanner).ok());
    ASSERT_TRUE(scanner->setColour(c.colour).ok());
    ASSERT_TRUE(scanner->setResolution(75).ok());
    const bool lineArt = c.colour == ScanColour::LineArt;
    ASSERT_TRUE(scanner->setOption("test-picture", lineArt ? "Grid" : "Color pattern").ok());
    ScannedImage scan;
    ASSERT_TRUE(scanner->scanPage(scan).ok());

    kalder::test::TempDir dir;
    const fs::path file = dir.path() / (std::string("scan.") + scanSaveExtension(c.type));
    ASSERT_TRUE(kalder::tools::writeScannedImage(scan, c.type, file).ok());
    EXPECT_EQ(pillowMode(file), std::string(c.mode) + "\n");
    if (c.pngDepth) {
        const auto bytes = kalder::test::readFile(file);
        ASSERT_GT(bytes.size(), 24u);
        EXPECT_EQ(bytes[24], c.pngDepth);
    }
    const auto decoded = kalder::test::decodeWithPillow(file);
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->width, 236);
    ASSERT_EQ(decoded->height, 295);
    const auto [worst, mean] = difference(scan, *decoded);
    if (c.type == ScanSaveType::Jpeg) {
        EXPECT_LT(mean, 12.0);  // quality 75 on sharp stripes
    } else {
        EXPECT_EQ(worst, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, ScanSaveFiles,
    ::testing::Values(SaveCase{"colour_png", ScanColour::Color, ScanSaveType::Png, "RGB", 8},
                      SaveCase{"colour_jpeg", ScanColour::Color, ScanSaveType::Jpeg, "RGB", 0},
                      SaveCase{"colour_bmp", ScanColour::Color, ScanSaveType::Bmp, "RGB", 0},
                      SaveCase{"gray_png_stays_8bit", ScanColour::Gray, ScanSaveType::Png, "P", 8},
                      SaveCase{"gray_jpeg_is_grey", ScanColour::Gray, ScanSaveType::Jpeg, "L", 0},
                      SaveCase{"gray_tiff", ScanColour::Gray, ScanSaveType::Tiff, "P", 0},
                      SaveCase{"lineart_png", ScanColour::LineArt, ScanSaveType::Png, "P", 1},
                      SaveCase{"lineart_tga", ScanColour::LineArt, ScanSaveType::Tga, "RGB", 0},
                      SaveCase{"lineart_bmp", ScanColour::LineArt, ScanSaveType::Bmp, "1", 0}),
    [](const auto& info) { return std::string(info.param.name); });

// A feeder run asks once and numbers the later sheets beside the first, past existing names;
// cancelling the question ends the run.
TEST(ScanSave, FeederRunAsksOnceAndCancelEndsIt) {
    KALDER_REQUIRE_SANE_TEST_BACKEND();
    std::unique_ptr<Scanner> scanner;
    ASSERT_TRUE(Scanner::open("test:0", scanner).ok());
    ASSERT_TRUE(scanner->setSource("Automatic Document Feeder").ok());
    kalder::test::TempDir dir;
    kalder::test::writeFile(dir / "scan-2.png", {1});
    ScanSaveSession session;
    session.setFolder(dir.path());
    std::vector<ScanSaveRequest> asked;
    bool cancel = false;
    const auto ask = [&](const ScanSaveRequest& r) -> std::optional<ScanSaveChoice> {
        asked.push_back(r);
        if (cancel) return std::nullopt;
        return ScanSaveChoice{r.folder / "scan.png", ScanSaveType::Bmp};
    };
    using O = ScanSaveSession::Outcome;
    std::vector<O> outcomes;
    const auto run = [&] {
        session.beginRun();
        return scanner->scanPages(3, [&](ScannedImage& page) {
            outcomes.push_back(session.save(page, ask));
            return true;
        });
    };
    ASSERT_TRUE(run().ok());
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].defaultName, "Output.bmp");
    EXPECT_EQ(asked[0].folder, dir.path());
    EXPECT_EQ(outcomes, (std::vector<O>{O::Saved, O::Saved, O::Saved}));
    for (const char* name : {"scan.png", "scan-3.png", "scan-4.png"}) {
        const auto bytes = kalder::test::readFile(dir / name);
        ASSERT_GE(bytes.size(), 4u) << name;
        EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG") << name;
    }
    EXPECT_EQ(kalder::test::readFile(dir / "scan-2.png"), std::vector<std::uint8_t>{1});
    EXPECT_EQ(session.lastSaveType(), ScanSaveType::Png);

    cancel = true;
    outcomes.clear();
    ASSERT_TRUE(run().ok());
    EXPECT_EQ(asked.size(), 2u);
    EXPECT_EQ(outcomes, (std::vector<O>{O::Cancelled, O::Cancelled, O::Cancelled}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);

    // A file that cannot be written is a failed save, and the count still moves on.
    ScannedImage page;
    ASSERT_TRUE(scanner->scanPage(page).ok());
    const auto bad = [&](const ScanSaveRequest&) -> std::optional<ScanSaveChoice> {
        return ScanSaveChoice{dir.path() / "missing" / "x.png", ScanSaveType::Png};
    };
    session.beginRun();
    EXPECT_EQ(session.save(page, bad), O::Failed);
    EXPECT_EQ(session.saveCount(), 2);
}

}  // namespace
