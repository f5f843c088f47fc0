#include "base/file_uri.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "base/md5.h"
#include "support/test_support.h"

namespace kalder::base {
namespace {
namespace fs = std::filesystem;

TEST(FileUri, KeepsWhatGlibKeeps) {
    EXPECT_EQ(fileUri("/p/IMG (1)+,&@=!'.jpg"), "file:///p/IMG%20(1)+,&@=!'.jpg");
    EXPECT_EQ(fileUri("/p/a%b#c?d\xff.png"), "file:///p/a%25b%23c%3Fd%FF.png");
    EXPECT_EQ(fileUri("/p/\xc3\xbc"), "file:///p/%C3%BC");
    EXPECT_EQ(percentEncode("/a b/(1)+ü", "/"), "/a%20b/%281%29%2B%C3%BC");
    EXPECT_EQ(percentEncode(std::string_view("a\0b", 3), ""), "a%00b");
}

// The URI `gio info` reports for real files, names with bytes that are not UTF-8 included.
TEST(FileUri, MatchesGio) {
    if (std::system("command -v gio >/dev/null 2>&1") != 0) GTEST_SKIP() << "gio is not installed";
    test::TempDir dir;
    for (const std::string name :
         {"IMG (1).jpg", "a+b,c&d@e=f!g'h.png", "sp ace %.png", "\xff\xfe raw.jpg", "ü#?;[].png"}) {
        const fs::path file = dir / name;
        std::ofstream(file) << "x";
        std::string uri;
        std::string quoted;
        for (char c : file.string()) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
        const std::string command = "gio info -a standard::name '" + quoted + "'";
        if (FILE* p = popen(command.c_str(), "r")) {
            char line[4096];
            while (std::fgets(line, sizeof line, p)) {
                const std::string text = line;
                if (text.starts_with("uri: ")) uri = text.substr(5, text.find('\n') - 5);
            }
            pclose(p);
        }
        EXPECT_EQ(fileUri(file), uri) << name;
    }
}

// The shared thumbnail cache names an entry by the MD5 of its file's URI (the freedesktop
// standard's own example): a different digest or URI would orphan every thumbnail made elsewhere.
TEST(FileUri, ThumbnailNameOfKnownFile) {
    EXPECT_EQ(md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(
        md5Hex("12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
        "57edf4a22be3c955ac49da2e2107b67a");
    EXPECT_EQ(md5Hex(fileUri("/home/jens/photos/me.png")), "c6ee772d9e49320e97ec29a7eb5b1697");
}

}  // namespace
}  // namespace kalder::base
