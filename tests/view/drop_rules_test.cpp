#include "view/drop_rules.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "shell/file_operations.h"

namespace kalder::view {
namespace {

using shell::isSameOrInside;

namespace fs = std::filesystem;

TEST(DropEffect, KeysAgainstTheExplorerLikeOption) {
    struct Case {
        DropModifiers keys;
        bool explorerLike;
        DropEffect effect;
    };
    const Case cases[] = {
        {{}, true, DropEffect::Move},
        {{.ctrl = true}, true, DropEffect::Copy},
        {{.shift = true}, true, DropEffect::Move},
        {{.alt = true}, true, DropEffect::Move},
        {{}, false, DropEffect::Copy},
        {{.ctrl = true}, false, DropEffect::Copy},
        {{.shift = true}, false, DropEffect::Move},
        {{.alt = true}, false, DropEffect::Move},
        {{.ctrl = true, .shift = true}, false, DropEffect::Move},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dropEffect(c.keys, c.explorerLike), c.effect)
            << c.keys.ctrl << c.keys.shift << c.keys.alt << " explorer " << c.explorerLike;
}

TEST(DropEffect, FallsBackToWhatTheSourceAllows) {
    EXPECT_EQ(dropEffect({}, true, true, true), DropEffect::Move);
    EXPECT_EQ(dropEffect({}, true, true, false), DropEffect::Copy);
    EXPECT_EQ(dropEffect({.ctrl = true}, true, false, true), DropEffect::Move);
    EXPECT_EQ(dropEffect({}, false, false, false), DropEffect::None);
}

TEST(DropTarget, NotTheDraggedFolderNorItsParent) {
    const fs::path dragged = "/data/pics/2023";
    EXPECT_FALSE(mayDropOn("/data/pics/2023", true, dragged));
    EXPECT_FALSE(mayDropOn("/data/pics/2023/", true, dragged));
    EXPECT_FALSE(mayDropOn("/data/pics", true, dragged));
    EXPECT_FALSE(mayDropOn("/data/pics/", true, dragged));
    EXPECT_TRUE(mayDropOn("/data", true, dragged));
    EXPECT_TRUE(mayDropOn("/data/pics/2024", true, dragged));
    EXPECT_TRUE(mayDropOn("/data/pics/2023/jan", true, dragged));  // refused later, with a message
    EXPECT_FALSE(mayDropOn("/data/other", false, dragged));
    // From outside the tree any folder may receive it.
    EXPECT_TRUE(mayDropOn("/data/pics", true, {}));
    EXPECT_FALSE(mayDropOn({}, true, {}));
    EXPECT_FALSE(mayDropOn("/", true, "/top"));
}

TEST(DropTarget, OwnSubFolderByComponentsNotByText) {
    EXPECT_TRUE(isSameOrInside("/a/b", "/a/b"));
    EXPECT_TRUE(isSameOrInside("/a/b", "/a/b/c/d"));
    EXPECT_TRUE(isSameOrInside("/a/b/", "/a/b/./c"));
    EXPECT_FALSE(isSameOrInside("/a/b", "/a/bc"));
    EXPECT_FALSE(isSameOrInside("/a/b", "/a"));
    EXPECT_TRUE(isSameOrInside("/", "/anything"));
    EXPECT_FALSE(isSameOrInside({}, "/a"));
    EXPECT_FALSE(isSameOrInside("a", "/a/b"));

    EXPECT_TRUE(dropsIntoOwnSubFolder({"/x/file.png", "/x/f"}, "/x/f/g"));
    EXPECT_FALSE(dropsIntoOwnSubFolder({"/x/file.png", "/x/f"}, "/x/g"));
    EXPECT_FALSE(dropsIntoOwnSubFolder({}, "/x"));
}

TEST(DropQuestion, FinalText) {
    EXPECT_EQ(askBeforeDropQuestion(DropEffect::Copy, 3, "/home/ann/Pictures"),
              "Do you want to copy 3 item(s) to /home/ann/Pictures?");
    EXPECT_EQ(askBeforeDropQuestion(DropEffect::Move, 1, "/a b"),
              "Do you want to move 1 item(s) to /a b?");
}

TEST(UriList, FileUrisAreDecoded) {
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    EXPECT_EQ(pathFromFileUri("file:///home/ann/a%20b%25c.png"), fs::path("/home/ann/a b%c.png"));
    EXPECT_EQ(pathFromFileUri("FILE://localhost/x"), fs::path("/x"));
    EXPECT_EQ(pathFromFileUri(std::string("file://") + host + "/y"), fs::path("/y"));
    EXPECT_EQ(pathFromFileUri("file:/short/form"), fs::path("/short/form"));
    EXPECT_EQ(pathFromFileUri("file:///%C3%BC"), fs::path("/\xC3\xBC"));
    EXPECT_EQ(pathFromFileUri("file://elsewhere.example/x"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("https://example.com/x.png"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("file:///bad%2"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("file:///bad%zz"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("file:///nul%00byte"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("file://"), std::nullopt);
    EXPECT_EQ(pathFromFileUri("file:relative"), std::nullopt);
}

TEST(UriList, ListsRoundTripAndSkipWhatIsNotAFile) {
    const std::vector<fs::path> paths = {"/tmp/a b.png", "/tmp/100%/#1?.jpg",
                                         "/tmp/\xC3\xA9t\xC3\xA9"};
    const std::string text = formatUriList(paths);
    EXPECT_EQ(text.substr(0, text.find("\r\n")), "file:///tmp/a%20b.png");
    EXPECT_EQ(parseUriList(text), paths);

    const std::string mixed =
        "# a comment\r\n"
        "file:///one\r\n"
        "\r\n"
        "http://example.com/two\n"
        "  file:///three  \r\n"
        "file:///four";
    EXPECT_EQ(parseUriList(mixed), (std::vector<fs::path>{"/one", "/three", "/four"}));
    EXPECT_TRUE(parseUriList("").empty());
    EXPECT_TRUE(parseUriList("\r\n#only\r\n").empty());
}

}  // namespace
}  // namespace kalder::view
