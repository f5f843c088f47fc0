// kalder-cli scan: its words, and real scans from the scanner library's test backend.
#include "cli/cli_scan.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/test_support.h"
#include "tools/scan/sane_test_backend.h"

using namespace kalder;
namespace fs = std::filesystem;

namespace {

TEST(CliScan, Words) {
    const auto ok = cli::parseScanArgs(
        {"--mode", "lineart", "--resolution", "150.5", "--pages", "3", "-o", "a/out.TIF"});
    EXPECT_EQ(ok.error, "");
    EXPECT_EQ(ok.options.colour, shell::ScanColour::LineArt);
    EXPECT_EQ(ok.options.resolution, 150.5);
    EXPECT_EQ(ok.options.type, tools::ScanSaveType::Tiff);
    const std::pair<std::vector<std::string>, std::string> bad[] = {
        {{"--mode", "sepia", "-o", "x.png"}, "bad value for --mode (color, gray, lineart): sepia"},
        {{"--resolution", "0", "-o", "x.png"}, "bad value for --resolution: 0"},
        {{"--pages", "2x", "-o", "x.png"}, "bad value for --pages: 2x"},
        {{"-o", "x.gif"}, "OUT must end in .bmp, .jpg, .png, .tga or .tif: x.gif"},
        {{"--device"}, "--device needs a value"},
        {{}, "missing -o OUT"},
    };
    for (const auto& [args, error] : bad) EXPECT_EQ(cli::parseScanArgs(args).error, error);
    EXPECT_EQ(cli::scanPagePath("d/out.png", 2, true), "d/out-2.png");
    EXPECT_EQ(cli::scanPagePath("d/out.png", 1, false), "d/out.png");
}

int runCli(const std::string& args) {
    const std::string command =
        std::string(KALDER_CLI_PATH) + " scan " + args + " >/dev/null 2>&1 </dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliScan, ScansToFiles) {
    KALDER_REQUIRE_SANE_TEST_BACKEND();
    test::TempDir dir;
    const fs::path one = dir / "one.png";
    ASSERT_EQ(runCli("--device test:0 --mode gray --resolution 75 -o '" + one.string() + "'"), 0);
    const auto decoded = test::decodeWithKalder(one);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 236);
    EXPECT_EQ(decoded->height, 295);

    // Three sheets from the feeder, each in its own file.
    const fs::path many = dir / "page.bmp";
    ASSERT_EQ(runCli("--device test:0 --source 'Automatic Document Feeder' --pages 3 -o '" +
                     many.string() + "'"),
              0);
    for (const char* name : {"page-1.bmp", "page-2.bmp", "page-3.bmp"})
        EXPECT_TRUE(fs::exists(dir / name)) << name;
    EXPECT_FALSE(fs::exists(dir / "page-4.bmp"));

    EXPECT_EQ(runCli("--device test:99 -o '" + one.string() + "'"), 1);
    EXPECT_EQ(runCli("--device test:0 -o '" + (dir / "no" / "x.png").string() + "'"), 1);
}

}  // namespace
