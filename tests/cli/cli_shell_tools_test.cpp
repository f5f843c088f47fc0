// kalder-cli companion and thumbs --cache: the engines of the viewer, headless.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/test_support.h"

namespace {

// Exit status and standard output of kalder-cli.
std::pair<int, std::string> run(const std::string& args) {
    const std::string command = std::string(KALDER_CLI_PATH) + " " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(CliCompanion, ChecksAndFinds) {
    kalder::test::TempDir dir;
    std::filesystem::create_directories(dir / "tools");
    const auto exe = dir / "tools" / "Lumid.exe";
    kalder::test::writeFile(exe, kalder::test::readFile(kalder::test::sourceDir() /
                                                        "tests/data/companion/companion.exe"));
    EXPECT_EQ(run("companion --check '" + exe.string() + "'"),
              std::make_pair(0, std::string("yes\n")));
    EXPECT_EQ(run("companion --check /bin/true").first, 1);
    EXPECT_EQ(run("companion --find '" + dir.path().string() + "'"),
              std::make_pair(0, exe.string() + "\n"));
    EXPECT_EQ(run("companion --find '" + (dir / "none").string() + "'").first, 1);
    EXPECT_EQ(run("companion").first, 2);
}

// thumbs --cache fills the shared cache's normal flavour for every picture of the folder.
TEST(CliThumbs, CacheIsFilled) {
    if (!kalder::test::haveBmpReader()) GTEST_SKIP() << "no BMP reader";
    kalder::test::TempDir dir;
    std::filesystem::create_directories(dir / "pics");
    for (const char* name : {"a.bmp", "b.bmp"})
        kalder::test::writeFile(dir / "pics" / name, kalder::test::bmp24(300, 200, [](int x, int) {
                                    return x * 0x010101u;
                                }));
    const std::string command = "XDG_CACHE_HOME='" + (dir / "cache").string() + "' " +
                                KALDER_CLI_PATH + " thumbs '" + (dir / "pics").string() +
                                "' --cache >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    int entries = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / "cache/thumbnails/normal"))
        entries += e.path().extension() == ".png";
    EXPECT_EQ(entries, 2);
}

// The shipped thumbnailer entry run as a file manager runs it: the output name has no extension
// (or .png) and must hold a PNG no larger than the asked size; OUT.pam still asks for PAM.
TEST(CliThumb, ThumbnailerEntryWritesPng) {
    kalder::test::TempDir dir;
    const auto entry =
        kalder::test::readFile(kalder::test::sourceDir() / "data/thumbnailer/kalder.thumbnailer");
    std::string exec(entry.begin(), entry.end());
    exec = exec.substr(exec.find("\nExec=") + 6);
    exec = exec.substr(0, exec.find('\n'));
    auto substitute = [&](std::string line, const std::string& output) {
        const std::pair<std::string, std::string> fields[] = {
            {"kalder-cli", KALDER_CLI_PATH},
            {"%i", "'" + (kalder::test::sourceDir() / "samples/hills-16.pcx").string() + "'"},
            {"%s", "64"},
            {"%o", "'" + output + "'"}};
        for (const auto& [from, to] : fields) {
            const std::size_t at = line.find(from);
            if (at == std::string::npos)
                ADD_FAILURE() << from << " missing in " << exec;
            else
                line.replace(at, from.size(), to);
        }
        return line;
    };
    for (const char* name : {"out", "out.png", "out.pam"}) {
        const std::string output = (dir / name).string();
        ASSERT_EQ(std::system(substitute(exec, output).c_str()), 0) << name;
        const std::vector<std::uint8_t> bytes = kalder::test::readFile(output);
        ASSERT_GE(bytes.size(), 24u) << name;
        if (std::string(name).ends_with(".pam")) {
            EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 2), "P7");
            continue;
        }
        EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 4), "PNG") << name;
        auto be32 = [&](std::size_t at) {
            return bytes[at] << 24 | bytes[at + 1] << 16 | bytes[at + 2] << 8 | bytes[at + 3];
        };
        EXPECT_EQ(std::max(be32(16), be32(20)), 64) << name;
    }
}

// A format whose codec module is missing says so, naming the module and where it was looked for.
TEST(CliDecode, MissingModuleIsNamed) {
    kalder::test::TempDir dir;
    std::filesystem::create_directories(dir / "empty");
    // A lossless WebP's header: enough for the format to be recognised.
    const std::vector<std::uint8_t> webp = {'R', 'I', 'F',  'F', 26,  0,   0,   0,  'W',
                                            'E', 'B', 'P',  'V', 'P', '8', 'L', 13, 0,
                                            0,   0,   0x2f, 0,   0,   0,   0x10};
    kalder::test::writeFile(dir / "x.webp", webp);
    const std::string command = "KALDER_CDX_PATH='" + (dir / "empty").string() + "' " +
                                KALDER_CLI_PATH + " decode '" + (dir / "x.webp").string() +
                                "' -o '" + (dir / "x.pam").string() + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[256];
    while (pipe && fgets(buffer, sizeof buffer, pipe)) out += buffer;
    EXPECT_NE(pclose(pipe), 0);
    EXPECT_NE(
        out.find("WebP images need the module libkalder-cdx-webp.so, which was not found in " +
                 (dir / "empty").string()),
        std::string::npos)
        << out;
}

}  // namespace
