#include "shell/trash.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>

#include "support/test_support.h"

namespace kalder::shell {
namespace {

namespace fs = std::filesystem;
using test::readText;
using test::writeText;

// Every test gets its own home and data folder.
class TrashTest : public ::testing::Test {
protected:
    test::TempDir dir;
    fs::path home, work;

    void SetUp() override {
        home = dir / "home";
        work = dir / "work";
        fs::create_directories(home / ".local" / "share");
        fs::create_directories(work);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home / ".local" / "share").c_str(), 1);
    }
};

TEST_F(TrashTest, FileLandsWithItsInfoAndComesBack) {
    const fs::path file = work / "a b%ü.png";
    writeText(file, "pixels");
    Trash trash;
    EXPECT_EQ(trash.homeTrash(), home / ".local/share/Trash");
    const auto entry = trash.moveToTrash(file);
    ASSERT_TRUE(entry) << fileErrorMessage(entry.error());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(entry->filesPath(), trash.homeTrash() / "files" / "a b%ü.png");
    EXPECT_EQ(readText(entry->filesPath()), "pixels");

    const std::string info = readText(entry->infoPath());
    const std::string encodedDir = Trash::encodePath(work.string());
    EXPECT_EQ(
        info.rfind("[Trash Info]\nPath=" + encodedDir + "/a%20b%25%C3%BC.png\nDeletionDate=", 0),
        0u)
        << info;
    EXPECT_TRUE(std::regex_search(
        info, std::regex("\nDeletionDate=\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\n$")));

    const auto listed = trash.list();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].originalPath, file);
    const FileStatus restored = trash.restore(listed[0]);
    ASSERT_TRUE(restored) << fileErrorMessage(restored.error());
    EXPECT_EQ(readText(file), "pixels");
    EXPECT_FALSE(fs::exists(entry->infoPath()));
    EXPECT_FALSE(fs::exists(entry->filesPath()));
}

TEST_F(TrashTest, SameNamesGetUniqueTrashNames) {
    Trash trash;
    std::vector<TrashEntry> entries;
    for (const char* sub : {"x", "y", "z"}) {
        fs::create_directories(work / sub);
        writeText(work / sub / "pic.jpg", sub);
        auto e = trash.moveToTrash(work / sub / "pic.jpg");
        ASSERT_TRUE(e) << fileErrorMessage(e.error());
        entries.push_back(*e);
    }
    EXPECT_NE(entries[0].name, entries[1].name);
    EXPECT_NE(entries[1].name, entries[2].name);
    // A leftover in files/ without an info file is not overwritten either.
    writeText(trash.homeTrash() / "files" / "solo.txt", "orphan");
    writeText(work / "solo.txt", "mine");
    auto solo = trash.moveToTrash(work / "solo.txt");
    ASSERT_TRUE(solo) << fileErrorMessage(solo.error());
    EXPECT_NE(solo->name, "solo.txt");
    EXPECT_EQ(readText(trash.homeTrash() / "files" / "solo.txt"), "orphan");

    for (const TrashEntry& e : entries) ASSERT_TRUE(trash.restore(e));
    EXPECT_EQ(readText(work / "y" / "pic.jpg"), "y");
}

TEST_F(TrashTest, RestoreNeverReplacesAFile) {
    writeText(work / "f.txt", "old");
    Trash trash;
    auto e = trash.moveToTrash(work / "f.txt");
    ASSERT_TRUE(e);
    writeText(work / "f.txt", "new");
    const FileStatus refused = trash.restore(*e);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().code, FileErrorCode::Exists);
    EXPECT_EQ(readText(work / "f.txt"), "new");
    const fs::path other = work / "restored" / "f.txt";  // missing folders are made
    const FileStatus restored = trash.restore(*e, &other);
    ASSERT_TRUE(restored) << fileErrorMessage(restored.error());
    EXPECT_EQ(readText(other), "old");
}

TEST_F(TrashTest, FoldersAndLinksAreTrashedAsThemselves) {
    fs::create_directories(work / "dir" / "inner");
    writeText(work / "dir" / "inner" / "a.txt", "a");
    writeText(work / "target.txt", "t");
    fs::create_symlink(work / "target.txt", work / "link");
    Trash trash;
    auto d = trash.moveToTrash(work / "dir/");
    ASSERT_TRUE(d) << fileErrorMessage(d.error());
    EXPECT_EQ(d->originalPath, work / "dir");
    auto l = trash.moveToTrash(work / "link");
    ASSERT_TRUE(l) << fileErrorMessage(l.error());
    EXPECT_TRUE(fs::is_symlink(l->filesPath()));
    EXPECT_TRUE(fs::exists(work / "target.txt"));
    ASSERT_TRUE(trash.restore(*d));
    EXPECT_EQ(readText(work / "dir" / "inner" / "a.txt"), "a");
    const auto missing = trash.moveToTrash(work / "missing");
    ASSERT_FALSE(missing);
    EXPECT_FALSE(fileErrorMessage(missing.error()).empty());
}

TEST(TrashPaths, PercentEncoding) {
    EXPECT_EQ(Trash::encodePath("/a b/ü%~_.-x"), "/a%20b/%C3%BC%25~_.-x");
    EXPECT_EQ(Trash::decodePath("/a%20b/%c3%bc%25"), std::optional<std::string>("/a b/ü%"));
    EXPECT_EQ(Trash::decodePath("/bad%2"), std::nullopt);
    EXPECT_EQ(Trash::decodePath("/bad%zz"), std::nullopt);
    for (const std::string s : {"/x/y z", "/ü/\t\n", "/%/%%"})
        EXPECT_EQ(Trash::decodePath(Trash::encodePath(s)), s);
}

TEST_F(TrashTest, RestoresWhatGioTrashed) {
    if (::system("command -v gio >/dev/null 2>&1") != 0) GTEST_SKIP() << "gio is not installed";
    const fs::path file = work / "g b%ü.png";
    writeText(file, "gio");
    const std::string command = "gio trash '" + file.string() + "' 2>/dev/null";
    if (::system(command.c_str()) != 0 || fs::exists(file))
        GTEST_SKIP() << "gio refused to trash here";
    Trash trash;
    const auto listed = trash.list();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].originalPath, file);
    const FileStatus restored = trash.restore(listed[0]);
    ASSERT_TRUE(restored) << fileErrorMessage(restored.error());
    EXPECT_EQ(readText(file), "gio");
}

TEST_F(TrashTest, OtherDeviceUsesTheTopDirectoryTrash) {
    const fs::path mnt = work / "mnt";
    fs::create_directories(mnt);
    if (::getuid() != 0 || ::mount("none", mnt.c_str(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        fs::path p;
        ~Unmount() { ::umount(p.c_str()); }
    } unmount{mnt};

    fs::create_directories(mnt / "photos");
    writeText(mnt / "photos" / "p q.jpg", "far");
    Trash trash;
    auto e = trash.moveToTrash(mnt / "photos" / "p q.jpg");
    ASSERT_TRUE(e) << fileErrorMessage(e.error());
    EXPECT_EQ(e->trashDir, mnt / (".Trash-" + std::to_string(::getuid())));
    EXPECT_EQ(fs::status(e->trashDir).permissions() & fs::perms::all, fs::perms::owner_all);
    // Relative to the top directory there.
    EXPECT_NE(readText(e->infoPath()).find("\nPath=photos/p%20q.jpg\n"), std::string::npos);
    const auto listed = trash.list(e->trashDir);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].originalPath, mnt / "photos" / "p q.jpg");
    ASSERT_TRUE(trash.restore(listed[0]));
    EXPECT_EQ(readText(mnt / "photos" / "p q.jpg"), "far");

    // A sticky shared .Trash is preferred, with a folder per user inside.
    fs::create_directory(mnt / ".Trash");
    fs::permissions(mnt / ".Trash", fs::perms::all | fs::perms::sticky_bit);
    auto shared = trash.moveToTrash(mnt / "photos" / "p q.jpg");
    ASSERT_TRUE(shared) << fileErrorMessage(shared.error());
    EXPECT_EQ(shared->trashDir, mnt / ".Trash" / std::to_string(::getuid()));
    ASSERT_TRUE(trash.restore(*shared));
}

}  // namespace
}  // namespace kalder::shell
