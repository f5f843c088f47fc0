#include "shell/companion.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "shell/pe_version.h"
#include "support/test_support.h"

namespace kalder::shell {
namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> fixture() {
    return test::readFile(test::sourceDir() / "tests/data/companion/companion.exe");
}

// The fixture with its product name's UTF-16 text changed in place.
std::vector<std::uint8_t> renamedProduct() {
    std::vector<std::uint8_t> bytes = fixture();
    const std::uint8_t name[] = {'L', 0,   'u', 0,   'm', 0,   'i', 0, 'd',
                                 0,   'r', 0,   'e', 0,   'x', 0,   0, 0};
    const auto at = std::search(bytes.begin(), bytes.end(), std::begin(name), std::end(name));
    EXPECT_NE(at, bytes.end());
    if (at != bytes.end()) at[12] = 'a';
    return bytes;
}

void writeScript(const fs::path& path, const std::string& body) {
    test::writeText(path, "#!/bin/sh\n" + body + "\n");
    ::chmod(path.c_str(), 0755);
}

TEST(PeVersion, FixtureReadsAndHostileCopiesFailCleanly) {
    const std::vector<std::uint8_t> bytes = fixture();
    const std::optional<PeVersionInfo> info = readPeVersionInfo(bytes);
    ASSERT_TRUE(info);
    ASSERT_EQ(info->translations.size(), 1u);
    EXPECT_EQ(info->translations[0].language, 0x0409);
    EXPECT_EQ(info->translations[0].codePage, 1200);
    EXPECT_EQ(info->value(info->translations[0], "ProductName"), "Lumidrex");
    EXPECT_EQ(info->value(info->translations[0], "FileVersion"), "2.1.0.7");
    EXPECT_FALSE(info->value({0x0407, 1252}, "ProductName"));

    for (std::size_t n = 0; n < bytes.size(); n += 13)
        (void)readPeVersionInfo(std::span(bytes).first(n));
    std::vector<std::uint8_t> damaged = bytes;
    for (std::size_t i = 0; i < damaged.size(); ++i) {
        const std::uint8_t keep = damaged[i];
        damaged[i] = static_cast<std::uint8_t>(keep ^ 0xA5);
        (void)readPeVersionInfo(damaged);
        damaged[i] = 0xFF;
        (void)readPeVersionInfo(damaged);
        damaged[i] = keep;
    }
}

// Version text is UTF-16 from the file; halves of a surrogate pair on their own must not turn into
// bytes that are not UTF-8 (the name goes on to the GUI and to the terminal).
TEST(PeVersion, BrokenSurrogatesBecomeReplacementCharacters) {
    std::vector<std::uint8_t> bytes = fixture();
    const std::uint8_t name[] = {'L', 0, 'u', 0, 'm', 0, 'i', 0, 'd', 0};
    const auto at = std::search(bytes.begin(), bytes.end(), std::begin(name), std::end(name));
    ASSERT_NE(at, bytes.end());
    at[2] = 0x00;  // U+D800, a high half followed by "m"
    at[3] = 0xD8;
    at[6] = 0x00;  // U+DC00, a low half with nothing before it
    at[7] = 0xDC;
    const std::optional<PeVersionInfo> info = readPeVersionInfo(bytes);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->value(info->translations.at(0), "ProductName"),
              "L\xef\xbf\xbdm\xef\xbf\xbd"
              "drex");
}

TEST(Companion, RecognisedByProductNameNotByFileName) {
    test::TempDir dir;
    test::writeFile(dir / "Lumid.exe", fixture());
    EXPECT_TRUE(IsCompanionExe(dir / "Lumid.exe"));
    test::writeFile(dir / "other.exe", renamedProduct());
    EXPECT_FALSE(IsCompanionExe(dir / "other.exe"));

    writeScript(dir / "lumid", "echo 'LUMIDREX 3.0 (native)'; echo second line");
    EXPECT_TRUE(IsCompanionExe(dir / "lumid"));
    writeScript(dir / "impostor", "echo 'Lumidrexx 1.0'");
    EXPECT_FALSE(IsCompanionExe(dir / "impostor"));
    writeScript(dir / "slow", "exec sleep 30");
    EXPECT_FALSE(IsCompanionExe(dir / "slow", std::chrono::milliseconds(50)));
    test::writeText(dir / "plain", "Lumidrex");
    EXPECT_FALSE(IsCompanionExe(dir / "plain"));
    EXPECT_FALSE(IsCompanionExe(dir / "missing"));
}

TEST(Companion, SearchSkipsImpostorsAndHiddenFoldersAndStops) {
    test::TempDir dir;
    for (const char* sub : {"a", "b/.hidden", "c/d"}) fs::create_directories(dir / sub);
    test::writeFile(dir / "a/Lumid.exe", renamedProduct());
    test::writeFile(dir / "b/.hidden/Lumid.exe", fixture());
    test::writeFile(dir / "c/d/LUMID.EXE", fixture());
    fs::create_directory_symlink(dir / "c", dir / "a/loop");  // links are not followed

    const CompanionSearch found = findCompanion({dir / "none", dir.path()}, [] { return false; });
    EXPECT_FALSE(found.stopped);
    EXPECT_EQ(found.found, dir / "c/d/LUMID.EXE");

    int listed = 0;
    const CompanionSearch stopped = findCompanion({dir.path()}, [&] { return ++listed > 2; });
    EXPECT_TRUE(stopped.stopped);
    EXPECT_FALSE(stopped.found);
}

}  // namespace
}  // namespace kalder::shell
