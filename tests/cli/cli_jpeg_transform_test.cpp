// kalder-cli jpeg-transform and exif-orientation on files made by the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "image/exif/exif_block.h"
#include "tools/jpeg_transform/exif_orientation.h"
#include "tools/jpeg_transform/jpeg_segments.h"
#include "tools/jpeg_transform/jpeg_test_files.h"

using namespace kalder;
namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status = -1;
    std::string err;
};

CliRun runJpegCli(const test::TempDir& dir, const std::string& args) {
    const fs::path errFile = dir / "stderr.txt";
    const std::string command =
        std::string(KALDER_CLI_PATH) + " " + args + " >/dev/null 2>'" + errFile.string() + "'";
    const int status = std::system(command.c_str());
    const auto bytes = test::readFile(errFile);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, std::string(bytes.begin(), bytes.end())};
}

void setTimes(const fs::path& path, time_t mtime) {
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

time_t mtimeOf(const fs::path& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mtim.tv_sec;
}

tools::jpeg::FrameInfo frameOf(const fs::path& path) {
    const auto bytes = test::readFile(path);
    const auto layout = tools::jpeg::walkSegments(bytes);
    return layout ? layout->frame : tools::jpeg::FrameInfo{};
}

class CliJpegTransformTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (test::jpeg::makeJpeg(16, 16).empty()) GTEST_SKIP() << "codec module missing";
    }
    test::TempDir dir;
};

TEST_F(CliJpegTransformTest, InPlaceKeepsModeAndDateOnlyWhenAsked) {
    const fs::path path = dir / "a.jpg";
    for (const bool preserve : {true, false}) {
        SCOPED_TRACE(preserve);
        test::writeFile(path, test::jpeg::makeJpeg(64, 48));
        ::chmod(path.c_str(), 0640);
        setTimes(path, 1000000000);
        const auto r = runJpegCli(dir, std::string("jpeg-transform --rotate 90 ") +
                                           (preserve ? "--preserve-date " : "") + path.string());
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(frameOf(path).width, 48u);
        EXPECT_EQ(mtimeOf(path) == 1000000000, preserve);
        struct stat st {};
        ::stat(path.c_str(), &st);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
    }
    for (const auto& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename().string().rfind(".brx", 0), std::string::npos);
}

TEST_F(CliJpegTransformTest, InPlaceKeepsLinksAndRefusesReadOnlyUnlessForced) {
    const fs::path real = dir / "real.jpg", soft = dir / "soft.jpg", hard = dir / "hard.jpg";
    test::writeFile(real, test::jpeg::makeJpeg(64, 48));
    fs::create_symlink(real.filename(), soft);
    fs::create_hard_link(real, hard);
    ASSERT_EQ(runJpegCli(dir, "jpeg-transform --rotate 90 " + soft.string()).status, 0);
    EXPECT_TRUE(fs::is_symlink(soft));
    EXPECT_TRUE(fs::equivalent(real, hard));
    EXPECT_EQ(frameOf(hard).width, 48u);

    ::chmod(real.c_str(), 0444);
    const auto before = test::readFile(real);
    const auto r = runJpegCli(dir, "jpeg-transform --flip-h " + hard.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("read-only (use --force"), std::string::npos) << r.err;
    EXPECT_EQ(test::readFile(real), before);
    ASSERT_EQ(runJpegCli(dir, "jpeg-transform --rotate 90 --force " + soft.string()).status, 0);
    EXPECT_TRUE(fs::is_symlink(soft));
    EXPECT_TRUE(fs::equivalent(real, hard));
    EXPECT_EQ(frameOf(hard).width, 64u);
    struct stat st {};
    ::stat(real.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 4);
}

TEST_F(CliJpegTransformTest, RefusesToCutWithoutTrim) {
    const fs::path in = dir / "odd.jpg", out = dir / "out.jpg";
    const auto bytes = test::jpeg::makeJpeg(1000, 750);
    test::writeFile(in, bytes);
    const auto r = runJpegCli(dir, "jpeg-transform --rotate 180 " + in.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("8 pixel(s) from the right edge and 14 pixel(s) from the bottom"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(test::readFile(in), bytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
    ASSERT_EQ(
        runJpegCli(dir, "jpeg-transform --flip-h --trim " + in.string() + " -o " + out.string())
            .status,
        0);
    EXPECT_EQ(frameOf(out).width, 992u);
    EXPECT_EQ(test::readFile(in), bytes);
}

TEST_F(CliJpegTransformTest, AutoAppliesTheOrientationAndLeavesUprightFilesAlone) {
    test::jpeg::ExifSpec turned;
    turned.orientation = 6;
    test::jpeg::ExifSpec upright;
    const fs::path a = dir / "turned.jpg", b = dir / "upright.jpg";
    const auto make = [](const test::jpeg::ExifSpec& s) {
        return test::jpeg::withSegments(test::jpeg::makeJpeg(64, 32),
                                        {test::jpeg::segment(0xE1, test::jpeg::exifPayload(s))});
    };
    test::writeFile(a, make(turned));
    const auto uprightBytes = make(upright);
    test::writeFile(b, uprightBytes);
    setTimes(b, 1000000000);
    ASSERT_EQ(runJpegCli(dir, "jpeg-transform --auto " + a.string() + " " + b.string()).status, 0);
    EXPECT_EQ(frameOf(a).width, 32u);
    EXPECT_EQ(frameOf(a).height, 64u);
    EXPECT_EQ(tools::readOrientationTag(a)->value, 1);
    EXPECT_EQ(test::readFile(b), uprightBytes);
    EXPECT_EQ(mtimeOf(b), 1000000000);
}

TEST_F(CliJpegTransformTest, ExifOrientationSetsShowsAndRefuses) {
    test::jpeg::ExifSpec good;
    test::jpeg::ExifSpec asLong;
    asLong.orientationType = 4;
    const fs::path a = dir / "good.jpg", b = dir / "long.jpg";
    test::writeFile(
        a, test::jpeg::withSegments(test::jpeg::makeJpeg(16, 16),
                                    {test::jpeg::segment(0xE1, test::jpeg::exifPayload(good))}));
    test::writeFile(
        b, test::jpeg::withSegments(test::jpeg::makeJpeg(16, 16),
                                    {test::jpeg::segment(0xE1, test::jpeg::exifPayload(asLong))}));
    EXPECT_EQ(runJpegCli(dir, "exif-orientation 8 " + a.string()).status, 0);
    EXPECT_EQ(tools::readOrientationTag(a)->value, 8);
    const auto r = runJpegCli(dir, "exif-orientation 3 " + b.string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Can't find valid Exif Orientation tag in the file:\n" + b.string() + "\n");
    EXPECT_EQ(runJpegCli(dir, "exif-orientation 9 " + a.string()).status, 2);
}

}  // namespace
