#include "app/core/user_lists.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

namespace kalder::app {
namespace {

using Strings = std::vector<std::string>;

TEST(UserLists, AddingNeedsBothHalvesAndStopsAtTheMenuRange) {
    Settings s;
    EXPECT_EQ(addFavorite(s, "/pics", ""), AddResult::Empty);
    EXPECT_TRUE(s.favoriteFolders.empty());
    EXPECT_EQ(addApplication(s, "", "Editor"), AddResult::Empty);
    // Uneven arrays from a hand-edited file: the orphan is what the menu never showed.
    s.favoriteFolders = {"/a", "/orphan"};
    s.favoriteLabels = {"A"};
    EXPECT_EQ(addFavorite(s, "/b", "B"), AddResult::Added);
    EXPECT_EQ(s.favoriteFolders, (Strings{"/a", "/b"}));
    EXPECT_EQ(s.favoriteLabels, (Strings{"A", "B"}));
    while (addFavorite(s, "/x", "X") == AddResult::Added) {
    }
    EXPECT_EQ(s.favoriteFolders.size(), kMaxUserListEntries);
    EXPECT_EQ(addFavorite(s, "/y", "Y"), AddResult::Full);
    removeFavorite(s, 0);
    EXPECT_EQ(s.favoriteFolders.front(), "/b");
    EXPECT_EQ(s.favoriteLabels.front(), "B");
}

TEST(UserLists, RowsChangeTheArraysOnlyWhenApplied) {
    Settings s;
    s.openWithPaths = {"/bin/a", "/bin/b", "/bin/c"};
    s.openWithLabels = {"A", "B", "C"};
    ApplicationRows rows(s);
    EXPECT_EQ(rows.moveUp(0), 0);
    EXPECT_EQ(rows.moveDown(2), 2);
    EXPECT_EQ(rows.moveDown(0), 1);  // B A C
    EXPECT_EQ(rows.remove(2), 1);    // B A; the new last row is selected
    ASSERT_EQ(addApplication(s, "/bin/d", "D"), AddResult::Added);
    rows.append(s);  // B A D
    // Left with ESC: the addition is stored, the move and the removal are not.
    EXPECT_EQ(s.openWithLabels, (Strings{"A", "B", "C", "D"}));
    rows.apply(s);
    EXPECT_EQ(s.openWithLabels, (Strings{"B", "A", "D"}));
    EXPECT_EQ(s.openWithPaths, (Strings{"/bin/b", "/bin/a", "/bin/d"}));
    ApplicationRows all(s);
    EXPECT_EQ(all.remove(0), 0);
    EXPECT_EQ(all.remove(0), 0);
    EXPECT_EQ(all.remove(0), -1);
}

TEST(UserLists, CommandsPassPathsWithSpacesWhole) {
    EXPECT_EQ(applicationCommand("/opt/My Apps/edit", "/home/u/my pics/a b.jpg"),
              (Strings{"/opt/My Apps/edit", "/home/u/my pics/a b.jpg"}));
    test::TempDir dir;
    test::writeText(
        dir / "e.desktop",
        "[Desktop Entry]\nType=Application\nName=E\nExec=\"/opt/e dit\" --open %f -x\n");
    EXPECT_EQ(applicationCommand((dir / "e.desktop").string(), "/p/a b.png"),
              (Strings{"/opt/e dit", "--open", "/p/a b.png", "-x"}));
    test::writeText(dir / "n.desktop", "[Desktop Entry]\nType=Application\nName=N\nExec=view\n");
    EXPECT_EQ(applicationCommand((dir / "n.desktop").string(), "/p/a.png"),
              (Strings{"view", "/p/a.png"}));
    EXPECT_TRUE(applicationCommand((dir / "missing.desktop").string(), "/p/a.png").empty());
}

}  // namespace
}  // namespace kalder::app
