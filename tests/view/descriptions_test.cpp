#include "view/descriptions.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/test_support.h"
#include "view/find_image.h"
#include "view/image_entry.h"

namespace kalder::view {
namespace {

using test::readText;

void fill(EntryList& list, const std::filesystem::path& folder,
          std::initializer_list<const char*> names) {
    std::vector<std::unique_ptr<ImageEntry>> entries;
    for (const char* n : names) entries.push_back(std::make_unique<ImageEntry>(folder, n));
    list.assign(std::move(entries));
}

TEST(Descriptions, ParsesQuotedNamesAndLaterLinesWin) {
    const auto pairs = parseDescriptions(
        "  \"my cat.jpg\"   Tom on the sofa\r\ndog.jpg\tRex\r\n\r\ndog.jpg Rex again\n"
        "bare.jpg\n\"open quote.jpg");
    ASSERT_EQ(pairs.size(), 5u);
    EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>{"my cat.jpg", "Tom on the sofa"}));
    EXPECT_EQ(pairs[1].second, "Rex");
    EXPECT_EQ(pairs[2].second, "Rex again");
    EXPECT_EQ(pairs[3], (std::pair<std::string, std::string>{"bare.jpg", ""}));
    EXPECT_EQ(pairs[4].first, "open quote.jpg");  // a missing closing quote takes the rest
}

TEST(Descriptions, RoundTripThroughTheFolderFile) {
    test::TempDir dir;
    EntryList list;
    fill(list, dir.path(), {"my cat.jpg", "dog.jpg", "plain.jpg", "tab\tname.jpg"});
    list.at(0)->description = "Tom \"the\" cat";
    list.at(1)->description = "Rex";
    list.at(3)->description = "tabbed";
    ASSERT_TRUE(writeDescriptions(dir.path(), list));
    EXPECT_EQ(readText(dir / "Descript.ion"),
              "\"my cat.jpg\" Tom \"the\" cat\r\ndog.jpg Rex\r\n\"tab\tname.jpg\" tabbed\r\n");

    EntryList again;
    fill(again, dir.path(), {"DOG.JPG", "my cat.jpg", "plain.jpg", "tab\tname.jpg"});
    readDescriptions(dir.path(), again);
    EXPECT_EQ(again.at(0)->description, "Rex");  // names compare ignoring case
    EXPECT_EQ(again.at(1)->description, "Tom \"the\" cat");
    EXPECT_EQ(again.at(2)->description, "");
    EXPECT_EQ(again.at(3)->description, "tabbed");
}

TEST(Descriptions, LineBreaksInADescriptionDoNotMakeNewEntries) {
    EXPECT_EQ(descriptionLine("a.jpg", "one\r\ntwo"), "a.jpg one  two\r\n");
}

TEST(Descriptions, ClearingTheLastDescriptionDeletesTheFile) {
    test::TempDir dir;
    EntryList list;
    fill(list, dir.path(), {"a.jpg"});
    list.at(0)->description = "x";
    ASSERT_TRUE(writeDescriptions(dir.path(), list));
    ASSERT_TRUE(std::filesystem::exists(dir / "Descript.ion"));
    list.at(0)->description.clear();
    EXPECT_TRUE(writeDescriptions(dir.path(), list));
    EXPECT_FALSE(std::filesystem::exists(dir / "Descript.ion"));
    // Reading a missing file changes nothing.
    list.at(0)->description = "kept";
    readDescriptions(dir.path(), list);
    EXPECT_EQ(list.at(0)->description, "kept");
}

TEST(FindImage, WholeWordsAndCase) {
    EXPECT_TRUE(findTextMatches("my-cat", "cat", false, true));
    EXPECT_FALSE(findTextMatches("concat", "cat", false, true));
    EXPECT_TRUE(findTextMatches("concat", "cat", false, false));
    // A later occurrence can still be a whole word.
    EXPECT_TRUE(findTextMatches("concat cat", "cat", false, true));
    EXPECT_TRUE(findTextMatches("CAT@home", "cat", false, true));
    EXPECT_FALSE(findTextMatches("CAT", "cat", true, false));
    EXPECT_TRUE(findTextMatches("Ärger", "ärger", false, false));
    EXPECT_FALSE(findTextMatches("ca", "cat", false, false));
}

TEST(FindImage, FindAndFindNextWrapAround) {
    EntryList list;
    fill(list, "/x", {"a.jpg", "my-cat.jpg", "photo.jpg", "concat.jpg", "tom.jpg"});
    list.at(4)->description = "our cat";
    ImageFinder finder;
    FindOptions options;
    options.wholeWords = true;

    // The extension is not searched unless asked.
    EXPECT_EQ(finder.find(list, list.at(0), "jpg", options).outcome,
              ImageFinder::Outcome::NotFound);
    EXPECT_EQ(finder.find(list, list.at(0), "jpg", options).message(), "No image found.");
    options.namesWithExtensions = true;
    EXPECT_EQ(finder.find(list, list.at(2), "jpg", options).entry,
              list.at(2));  // from the current one
    options.namesWithExtensions = false;

    EXPECT_EQ(finder.find(list, list.at(0), "   ", options).outcome, ImageFinder::Outcome::Nothing);

    auto r = finder.find(list, list.at(0), " cat ", options);
    ASSERT_EQ(r.outcome, ImageFinder::Outcome::Found);
    EXPECT_EQ(r.entry, list.at(1));
    // Descriptions are searched only when asked: no other hit, back to the start.
    r = finder.findNext(list, r.entry);
    EXPECT_EQ(r.outcome, ImageFinder::Outcome::Complete);
    EXPECT_EQ(r.entry, list.at(1));
    EXPECT_EQ(r.message(), "Search is complete.");

    options.searchDescriptions = true;
    r = finder.find(list, list.at(2), "cat", options);
    EXPECT_EQ(r.entry, list.at(4));
    r = finder.findNext(list, r.entry);  // wraps past the end
    EXPECT_EQ(r.outcome, ImageFinder::Outcome::Found);
    EXPECT_EQ(r.entry, list.at(1));
    r = finder.findNext(list, r.entry);
    EXPECT_EQ(r.outcome, ImageFinder::Outcome::Complete);
    EXPECT_EQ(r.entry, list.at(4));
}

TEST(FindImage, FindNextNeedsAFindFirst) {
    EntryList list;
    fill(list, "/x", {"a.jpg"});
    ImageFinder finder;
    EXPECT_FALSE(finder.canFindNext());
    EXPECT_EQ(finder.findNext(list, list.at(0)).outcome, ImageFinder::Outcome::Nothing);
}

}  // namespace
}  // namespace kalder::view
