// The batch convertor: naming, sizes, prompts, failures that touch nothing, and threads.
#include "tools/convert/batch_convertor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <memory>

#include "image/image_document.h"
#include "image/writers/image_writer.h"
#include "image/writers/writer_factory.h"
#include "support/test_support.h"
#include "tools/jpeg_transform/jpeg_test_files.h"
#include "tools/recording_tool_host.h"

using namespace kalder;
using tools::BatchConvertor;
using tools::BatchFormat;
using tools::BatchSettings;
namespace fs = std::filesystem;

namespace {

// Answers the existing-file question from a script (Cancel when it runs out) and records
// "message name" for each.
class TestHost : public test::RecordingToolHost {
public:
    std::vector<std::string> asked;
    int stopAfterProgress = -1;  // stop once this many progress calls were made

    TestHost() {
        otherwise = tools::ToolAnswer::Cancel;
        // Reads the host it is handed, not a captured one: `host = {}` copies this function.
        stopWhen = [](const RecordingToolHost& h) {
            const auto& t = static_cast<const TestHost&>(h);
            return t.stopAfterProgress >= 0 &&
                   static_cast<int>(t.reports.size()) >= t.stopAfterProgress;
        };
    }
    tools::ToolAnswer ask(const tools::ToolQuestion& q) override {
        asked.push_back(q.text + " " + q.file.filename().string());
        return RecordingToolHost::ask(q);
    }
};

std::uint32_t pattern(int x, int y) {
    return static_cast<std::uint32_t>(((x * 7) & 0xff) << 16 | ((y * 5) & 0xff) << 8 |
                                      ((x + y) & 0xff));
}

void writeBmp(const fs::path& path, int w, int h,
              const std::function<std::uint32_t(int, int)>& rgb = pattern) {
    test::writeFile(path, test::bmp24(w, h, rgb));
}

// Frames of one colour each: red, green, blue.
void writeGif3(const fs::path& path) {
    auto writer = image::createWriterForExtension(".gif");
    ASSERT_TRUE(writer && writer->Open(path).ok());
    std::vector<std::uint8_t> indexes(16 * 8);
    for (int f = 0; f < 3; ++f) {
        image::WriterImage img;
        img.width = 16;
        img.height = 8;
        img.bits = 2;
        img.palette = {255, 0, 0, 0, 255, 0, 0, 0, 255, 9, 9, 9};
        std::fill(indexes.begin(), indexes.end(), static_cast<std::uint8_t>(f));
        img.pixels = indexes.data();
        img.gifDelay = 10;
        ASSERT_TRUE(writer->Write(img).ok());
    }
    ASSERT_TRUE(writer->Close().ok());
}

std::vector<fs::path> leftovers(const fs::path& dir) {
    std::vector<fs::path> out;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.path().filename().string().rfind("brx", 0) == 0) out.push_back(e.path());
    return out;
}

BatchSettings pngSettings() {
    BatchSettings s;
    s.format = BatchFormat::Png;
    s.jobs = 1;
    return s;
}

tools::BatchResult run(const BatchSettings& s, std::vector<fs::path> files, TestHost& host,
                       fs::path root = {}) {
    return BatchConvertor::Run(s, {std::move(root), std::move(files)}, host);
}

}  // namespace

TEST(BatchRules, NamesAndDepths) {
    BatchSettings s = pngSettings();
    s.namePrefix = "x_";
    s.nameSuffix = "_s";
    EXPECT_EQ(tools::batchOutputPath(s, {}, "/d/a.jpg"), "/d/x_a_s.png");
    EXPECT_EQ(tools::batchOutputPath(s, {}, "/d/noext"), "/d/x_noext_s.png");
    s = pngSettings();
    s.placeInFolder = true;
    s.outputFolder = "/out";
    s.copySubfolders = true;
    EXPECT_EQ(tools::batchOutputPath(s, "/a", "/a/b/c.jpg"), "/out/b/c.png");
    EXPECT_EQ(tools::batchOutputPath(s, "/a", "/a/c.jpg"), "/out/c.png");
    EXPECT_EQ(tools::batchOutputPath(s, "/a/", "/a/b/d/c.jpg"), "/out/b/d/c.png");
    EXPECT_EQ(tools::batchOutputPath(s, ".", "b/c.jpg"), "/out/b/c.png");
    EXPECT_EQ(tools::batchOutputPath(s, "/a", "/ab/c.jpg"), "/out/c.png");  // not below /a
    EXPECT_EQ(tools::batchPagePath("/o/photo.png", 1), "/o/photo_0001.png");

    struct DepthCase {
        BatchFormat format;
        std::int32_t palette, chosen, page, expected;
    };
    for (const DepthCase& c : std::vector<DepthCase>{
             {BatchFormat::Bmp, 0, 0, 2, 4},      // smallest listed not below the page's
             {BatchFormat::Bmp, 0, 0, 32, 24},    // none is: the largest
             {BatchFormat::Gif, 0, 0, 24, 8},     //
             {BatchFormat::Png, 0, 0, 32, 32},    //
             {BatchFormat::Tga, 0, 0, 1, 8},      //
             {BatchFormat::Jpeg, 2, 0, 24, 0},    // black-and-white needs 1 bit
             {BatchFormat::Tga, 3, 0, 24, 0},     // VGA needs 4 bits
             {BatchFormat::Pcx, 3, 0, 24, 4},     //
             {BatchFormat::Gif, 4, 0, 1, 8},      // system
             {BatchFormat::Png, 0, 3, 24, 0}}) {  // a depth the format lacks
        s.format = c.format;
        s.palette = c.palette;
        s.colorDepth = c.chosen;
        EXPECT_EQ(tools::batchOutputDepth(s, c.page), c.expected)
            << static_cast<int>(c.format) << " " << c.palette << " " << c.page;
    }
}

TEST(BatchRules, ResampleSizes) {
    struct Case {
        double w, h;
        std::int32_t unit;
        bool percents, keepAspect, swap;
        std::int32_t srcW, srcH, dpi;
        std::int32_t outW, outH, cropX, cropY, cropW, cropH;
        bool tooLarge;
    };
    const std::vector<Case> cases = {
        {50, 50, 0, true, false, false, 1001, 1001, 96, 501, 501, 0, 0, 1001, 1001, false},
        {50, 0, 0, true, false, false, 1001, 101, 96, 501, 51, 0, 0, 1001, 101, false},
        {400, 0, 0, false, true, false, 800, 600, 96, 400, 300, 0, 0, 800, 600, false},
        {400, 400, 0, false, true, false, 800, 600, 96, 400, 400, 100, 0, 600, 600, false},
        {400, 0, 0, false, false, false, 800, 600, 96, 400, 600, 0, 0, 800, 600, false},
        {4, 4, 1, false, false, false, 10, 10, 96, 384, 384, 0, 0, 10, 10, false},
        {25.4, 0, 2, false, true, false, 200, 100, 100, 100, 50, 0, 0, 200, 100, false},
        {800, 600, 0, false, false, true, 600, 800, 96, 600, 800, 0, 0, 600, 800, false},
        {40000, 10, 0, false, false, false, 10, 10, 96, 40000, 10, 0, 0, 10, 10, true},
        {1, 1, 0, true, false, false, 10, 10, 96, 1, 1, 0, 0, 10, 10, false},
    };
    for (const Case& c : cases) {
        BatchSettings s;
        s.width = c.w;
        s.height = c.h;
        s.unit = c.unit;
        s.percents = c.percents;
        s.keepAspect = c.keepAspect;
        s.swapForVertical = c.swap;
        const auto r = tools::batchResampleSize(s, c.srcW, c.srcH, c.dpi, c.dpi);
        EXPECT_TRUE(r.resample);
        EXPECT_EQ(r.tooLarge, c.tooLarge) << c.w;
        if (c.tooLarge) continue;
        EXPECT_EQ(
            std::vector<int>({r.width, r.height, r.cropX, r.cropY, r.cropWidth, r.cropHeight}),
            std::vector<int>({c.outW, c.outH, c.cropX, c.cropY, c.cropW, c.cropH}))
            << c.w << "x" << c.h << " of " << c.srcW << "x" << c.srcH;
    }
}

TEST(BatchRules, PageChecks) {
    EXPECT_EQ(BatchConvertor::checkResampleTexts("[original]", "", 1, false, false), "");
    EXPECT_EQ(BatchConvertor::checkResampleTexts("abc", "", 0, false, false),
              "Width value is invalid.");
    EXPECT_EQ(BatchConvertor::checkResampleTexts("10", "0", 0, false, false),
              "Height value is invalid.");
    EXPECT_EQ(BatchConvertor::checkResampleTexts("10", "[original]", 2, false, false),
              "Both width and height values must be set when using units other than pixels.");
    EXPECT_EQ(BatchConvertor::checkResampleTexts("10", "", 2, false, true), "");
    EXPECT_EQ(BatchConvertor::checkResolutionTexts("300", ""),
              "Please clear both horizontal and vertical resolution values to use the default "
              "values or specifiy both of them explicitly.");
    EXPECT_EQ(BatchConvertor::checkResolutionTexts("", " "), "");
}

TEST(BatchRun, InPlaceNamesPagesAndSubfolders) {
    test::TempDir dir;
    writeBmp(dir / "a.bmp", 9, 7);
    writeGif3(dir / "name.gif");
    fs::create_directories(dir / "a" / "b");
    writeBmp(dir / "a" / "b" / "c.bmp", 5, 5);

    TestHost host;
    BatchSettings s = pngSettings();
    s.namePrefix = "x_";
    s.nameSuffix = "_s";
    EXPECT_EQ(run(s, {dir / "a.bmp"}, host).converted, 1);
    EXPECT_TRUE(fs::exists(dir / "x_a_s.png"));
    EXPECT_TRUE(fs::exists(dir / "a.bmp"));
    const auto original = test::decodeWithKalder(dir / "a.bmp");
    const auto converted = test::decodeWithKalder(dir / "x_a_s.png");
    ASSERT_TRUE(original && converted);
    EXPECT_EQ(test::maxChannelDifference(*original, *converted), 0);
    if (test::havePillow()) {
        const auto pillow = test::decodeWithPillow(dir / "x_a_s.png");
        ASSERT_TRUE(pillow);
        EXPECT_EQ(test::maxChannelDifference(*original, *pillow), 0);
    }

    s = pngSettings();
    s.format = BatchFormat::Bmp;
    EXPECT_EQ(run(s, {dir / "name.gif"}, host).converted, 1);
    const std::uint8_t expected[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    for (int k = 0; k < 3; ++k) {
        const fs::path page = k == 0 ? dir / "name.bmp" : tools::batchPagePath(dir / "name.bmp", k);
        const auto decoded = test::decodeWithKalder(page);
        ASSERT_TRUE(decoded) << page;
        EXPECT_EQ(std::vector<std::uint8_t>(decoded->at(3, 3), decoded->at(3, 3) + 3),
                  std::vector<std::uint8_t>(expected[k], expected[k] + 3));
    }

    s = pngSettings();
    s.placeInFolder = true;
    s.outputFolder = dir / "out";
    s.copySubfolders = true;
    EXPECT_EQ(run(s, {dir / "a" / "b" / "c.bmp"}, host, dir / "a").converted, 1);
    EXPECT_TRUE(fs::exists(dir / "out" / "b" / "c.png"));
    EXPECT_TRUE(host.errors.empty());
    EXPECT_TRUE(leftovers(dir.path()).empty());
}

TEST(BatchRun, ResamplingCropsAndResolution) {
    test::TempDir dir;
    // Left third red, middle third green, right third blue: a centred square is all green
    // near its edges' middle.
    writeBmp(dir / "wide.bmp", 90, 30, [](int x, int) -> std::uint32_t {
        return x < 30 ? 0xff0000 : x < 60 ? 0x00ff00 : 0x0000ff;
    });
    writeBmp(dir / "long.bmp", 2000, 10);
    {  // a TGA source carries no resolution
        image::Bitmap32 b;
        ASSERT_TRUE(b.Create(10, 10));
        std::fill_n(b.pixels(), b.byteSize(), 0x80);
        image::WriterImage img;
        img.pixels = b.pixels();
        img.width = img.height = 10;
        auto writer = image::createWriterForExtension(".tga");
        ASSERT_TRUE(writer->Open(dir / "small.tga").ok() && writer->Write(img).ok() &&
                    writer->Close().ok());
    }
    TestHost host;
    BatchSettings s = pngSettings();
    s.width = 20;
    s.height = 20;
    s.keepAspect = true;
    s.method = 4;  // Box: no ringing at the colour edges
    EXPECT_EQ(run(s, {dir / "wide.bmp"}, host).converted, 1);
    const auto square = test::decodeWithKalder(dir / "wide.png");
    ASSERT_TRUE(square);
    EXPECT_EQ(square->width, 20);
    EXPECT_EQ(square->height, 20);
    EXPECT_EQ(std::vector<std::uint8_t>(square->at(0, 10), square->at(0, 10) + 3),
              (std::vector<std::uint8_t>{0, 255, 0}));
    EXPECT_EQ(std::vector<std::uint8_t>(square->at(19, 10), square->at(19, 10) + 3),
              (std::vector<std::uint8_t>{0, 255, 0}));

    s = pngSettings();
    s.width = 4;
    s.height = 4;
    s.unit = 1;  // inches
    s.defaultDpiX = s.defaultDpiY = 96;
    EXPECT_EQ(run(s, {dir / "small.tga"}, host).converted, 1);
    image::ImageInfo info;
    ASSERT_TRUE(image::ReadImageInfo(dir / "small.png", info, true));
    EXPECT_EQ(info.width, 384);
    EXPECT_EQ(info.dpiX, 96);
    EXPECT_EQ(info.dpiY, 96);
    EXPECT_TRUE(host.errors.empty());

    // Too large: reported, nothing written, and the next file still converts.
    s = pngSettings();
    s.percents = true;
    s.width = 2000;  // 40000 pixels wide for the long one
    s.nameSuffix = "_big";
    const auto r = run(s, {dir / "long.bmp", dir / "small.tga"}, host);
    EXPECT_EQ(host.errors, (std::vector<std::string>{"The resampled image is too large: " +
                                                     (dir / "long.bmp").string()}));
    EXPECT_FALSE(fs::exists(dir / "long_big.png"));
    EXPECT_EQ(r.converted, 1);
    EXPECT_TRUE(fs::exists(dir / "small_big.png"));
    EXPECT_TRUE(leftovers(dir.path()).empty());
}

TEST(BatchRun, FailuresLeaveNothingBehind) {
    test::TempDir dir;
    test::writeFile(dir / "broken.bmp", {'B', 'M', 1, 2, 3});
    test::writeFile(dir / "broken.png", {'o', 'l', 'd'});
    writeBmp(dir / "good.bmp", 6, 6);
    TestHost host;
    const auto r =
        run(pngSettings(), {dir / "broken.bmp", dir / "missing.bmp", dir / "good.bmp"}, host);
    EXPECT_EQ(r.converted, 0);  // broken.png exists: the prompt got Cancel from the host
    ASSERT_EQ(host.asked.size(), 1u);
    EXPECT_EQ(host.asked[0], "File is to be modified: broken.png");

    host = {};
    host.answers = {tools::ToolAnswer::YesToAll};
    const auto r2 =
        run(pngSettings(), {dir / "broken.bmp", dir / "missing.bmp", dir / "good.bmp"}, host);
    EXPECT_EQ(r2.converted, 1);
    EXPECT_EQ(r2.failed, 2);
    EXPECT_EQ(host.errors,
              (std::vector<std::string>{"Can't read image: " + (dir / "broken.bmp").string(),
                                        "Can't access file: " + (dir / "missing.bmp").string()}));
    EXPECT_EQ(test::readFile(dir / "broken.png"), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_TRUE(leftovers(dir.path()).empty());

    // A read-only output folder: the message, no target and no temporary file.
    fs::create_directories(dir / "locked");
    fs::permissions(dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    BatchSettings s = pngSettings();
    s.placeInFolder = true;
    s.outputFolder = dir / "locked";
    host = {};
    EXPECT_EQ(run(s, {dir / "good.bmp"}, host).failed, 1);
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Failed to write file: " +
                                                     (dir / "locked" / "good.png").string()}));
    EXPECT_FALSE(fs::exists(dir / "locked" / "good.png"));
    EXPECT_TRUE(leftovers(dir.path()).empty());
    fs::permissions(dir / "locked", fs::perms::owner_all);
}

TEST(BatchRun, PhotosComeOutAsShownAndCutOnesAreCounted) {
    const auto sideways = test::jpeg::sidewaysPhoto();
    if (sideways.empty()) GTEST_SKIP() << "codec module missing";
    test::TempDir dir;
    test::writeFile(dir / "p.jpg", sideways);
    for (bool upright : {true, false}) {
        for (BatchFormat format : {BatchFormat::Png, BatchFormat::Jpeg}) {
            SCOPED_TRACE(testing::Message() << upright << " " << static_cast<int>(format));
            BatchSettings s = pngSettings();
            s.format = format;
            s.autoOrient = upright;
            s.placeInFolder = true;
            s.outputFolder = dir / (upright ? "up" : "stored");
            TestHost host;
            EXPECT_EQ(run(s, {dir / "p.jpg"}, host).converted, 1);
            const fs::path out = s.outputFolder / (format == BatchFormat::Png ? "p.png" : "p.jpg");
            const auto d = test::decodeWithKalder(out);
            ASSERT_TRUE(d);
            EXPECT_EQ(d->width, upright ? 32 : 64);
            if (upright) {
                // The stored left column (dark red) is the top row now.
                EXPECT_LT(d->at(16, 1)[0], 40);
                EXPECT_GT(d->at(16, 62)[0], 200);
            }
            // A copied Exif block no longer turns the turned picture again.
            image::ImageInfo info;
            if (format == BatchFormat::Jpeg && image::ReadImageInfo(out, info, true)) {
                EXPECT_EQ(info.exif.orientation(), upright ? 1 : 6);
            }
        }
    }

    // A cut file is written with what could be read, and said to be damaged.
    const auto tall = test::jpeg::makeJpeg(64, 256);
    test::writeFile(dir / "cut.jpg", {tall.begin(), tall.begin() + tall.size() / 2});
    TestHost host;
    const auto r = run(pngSettings(), {dir / "cut.jpg", dir / "p.jpg"}, host);
    EXPECT_EQ(r.converted, 2);
    EXPECT_EQ(r.damaged, 1);
    EXPECT_EQ(r.failed, 0);
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0].rfind(
                  (dir / "cut.jpg").string() + ": converted with damage: data ends at row ", 0),
              0u)
        << host.errors[0];
    EXPECT_TRUE(fs::exists(dir / "cut.png"));
}

TEST(BatchRun, ExistingFilePrompts) {
    test::TempDir dir;
    writeBmp(dir / "a.bmp", 4, 4);
    writeBmp(dir / "b.bmp", 4, 4);
    writeBmp(dir / "c.bmp", 4, 4);
    for (const char* name : {"a.png", "b.png", "c.png"}) test::writeFile(dir / name, {'x'});
    ::chmod((dir / "b.png").c_str(), 0444);

    TestHost host;
    host.answers = {tools::ToolAnswer::NoToAll};  // nothing is asked again
    auto r = run(pngSettings(), {dir / "a.bmp", dir / "b.bmp", dir / "c.bmp"}, host);
    EXPECT_EQ(r.skipped, 3);
    EXPECT_EQ(host.asked.size(), 1u);

    host = {};
    // a: Rename; b: Overwrite, then Skip when told it is read-only.
    host.answers = {tools::ToolAnswer::Rename, tools::ToolAnswer::Yes, tools::ToolAnswer::No};
    host.renameTo = dir / "renamed.png";
    r = run(pngSettings(), {dir / "a.bmp", dir / "b.bmp"}, host);
    EXPECT_EQ(host.asked, (std::vector<std::string>{"File is to be modified: a.png",
                                                    "File is to be modified: b.png",
                                                    "File is read-only: b.png"}));
    EXPECT_TRUE(fs::exists(dir / "renamed.png"));
    EXPECT_EQ(test::readFile(dir / "b.png"), (std::vector<std::uint8_t>{'x'}));
    EXPECT_EQ(r.converted, 1);
    EXPECT_EQ(r.skipped, 1);

    // preserveDate carries the source's modification time and permission bits over.
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "c.bmp").c_str(), times, 0), 0);
    ::chmod((dir / "c.bmp").c_str(), 0640);
    BatchSettings s = pngSettings();
    s.preserveDate = true;
    host = {};
    host.answers = {tools::ToolAnswer::Yes};
    EXPECT_EQ(run(s, {dir / "c.bmp"}, host).converted, 1);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "c.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(leftovers(dir.path()).empty());
}

TEST(BatchRun, ThreadsGiveTheSameBytesAndStopCleanly) {
    test::TempDir dir;
    std::vector<fs::path> files;
    for (int i = 0; i < 6; ++i) {
        files.push_back(dir / ("f" + std::to_string(i) + ".bmp"));
        writeBmp(files.back(), 40 + i * 13, 30 + i * 7,
                 [i](int x, int y) { return pattern(x * (i + 1), y + i); });
    }
    BatchSettings s = pngSettings();
    s.format = BatchFormat::Gif;
    s.dithering = 2;
    s.width = 60;
    s.keepAspect = true;
    s.placeInFolder = true;
    std::vector<std::vector<std::vector<std::uint8_t>>> outputs;
    for (int jobs : {1, 4}) {
        s.jobs = jobs;
        s.outputFolder = dir / ("jobs" + std::to_string(jobs));
        TestHost host;
        EXPECT_EQ(run(s, files, host).converted, 6);
        outputs.emplace_back();
        for (const auto& f : files)
            outputs.back().push_back(
                test::readFile(s.outputFolder / f.filename().replace_extension(".gif")));
    }
    EXPECT_EQ(outputs[0], outputs[1]);

    s.jobs = 3;
    s.outputFolder = dir / "stopped";
    TestHost host;
    host.stopAfterProgress = 2;
    const auto r = run(s, files, host);
    EXPECT_TRUE(r.stopped);
    EXPECT_LT(r.converted, 6);
    EXPECT_TRUE(leftovers(dir.path()).empty());
}

TEST(BatchRun, OverlayThatCannotBePreparedStopsTheRun) {
    test::TempDir dir;
    writeBmp(dir / "a.bmp", 4, 4);
    BatchSettings s = pngSettings();
    s.overlay.mode = tools::OverlayMode::ImageFile;
    s.overlay.imagePath = dir / "missing.png";
    TestHost host;
    EXPECT_EQ(run(s, {dir / "a.bmp"}, host).converted, 0);
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Cannot load the overlay image."}));
    EXPECT_FALSE(fs::exists(dir / "a.png"));
}

TEST(BatchRun, ColourFormsAndTransparency) {
    test::TempDir dir;
    // Left half red, right half blue.
    writeBmp(dir / "two.bmp", 8, 4,
             [](int x, int) -> std::uint32_t { return x < 4 ? 0xff0000 : 0x0000ff; });
    {  // a PNG whose left half is see-through
        image::Bitmap32 b;
        ASSERT_TRUE(b.Create(8, 4));
        std::fill_n(b.pixels(), b.byteSize(), 0x40);
        std::vector<std::uint8_t> alpha(32, 255);
        for (int y = 0; y < 4; ++y) std::fill_n(alpha.begin() + y * 8, 4, 0);
        image::WriterImage img;
        img.pixels = b.pixels();
        img.alphaPlane = alpha.data();
        img.width = 8;
        img.height = 4;
        auto writer = image::createWriterForExtension(".png");
        ASSERT_TRUE(writer->Open(dir / "alpha.png").ok() && writer->Write(img).ok() &&
                    writer->Close().ok());
    }
    TestHost host;
    BatchSettings s = pngSettings();
    s.format = BatchFormat::Jpeg;
    s.palette = 2;  // black-and-white
    EXPECT_EQ(run(s, {dir / "two.bmp"}, host).failed, 1);
    EXPECT_EQ(host.errors, (std::vector<std::string>{
                               "The current palette type is not supported by the output format."}));
    EXPECT_FALSE(fs::exists(dir / "two.jpg"));

    s = pngSettings();
    s.format = BatchFormat::Tiff;
    s.palette = 3;  // VGA: 4 bits
    EXPECT_EQ(run(s, {dir / "two.bmp"}, host).converted, 1);
    image::ImageInfo info;
    ASSERT_TRUE(image::ReadImageInfo(dir / "two.tif", info, true));
    EXPECT_EQ(info.bitsPerPixel, 4u);

    // Red made transparent in a GIF; the PNG's own alpha kept in a PNG.
    s = pngSettings();
    s.format = BatchFormat::Gif;
    s.formatOptions.gif.transparency = {image::TransparencyMode::Color, 0x0000FF, 0};
    EXPECT_EQ(run(s, {dir / "two.bmp"}, host).converted, 1);
    s = pngSettings();
    s.nameSuffix = "_out";
    EXPECT_EQ(run(s, {dir / "alpha.png"}, host).converted, 1);
    const auto gif = test::decodeWithKalder(dir / "two.gif", 0, true, 0x00FF00);
    const auto png = test::decodeWithKalder(dir / "alpha_out.png", 0, true, 0x00FF00);
    ASSERT_TRUE(gif && png);
    for (const auto* picture : {&*gif, &*png}) {
        EXPECT_LT(picture->at(1, 1)[0], 2);  // the background shows through
        EXPECT_GT(picture->at(1, 1)[1], 253);
        EXPECT_LT(picture->at(6, 1)[1], 128);
    }
    EXPECT_EQ(host.errors.size(), 1u);
}
