#include "shell/file_operations.h"

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>

#include "support/test_support.h"

namespace kalder::shell {
namespace {

namespace fs = std::filesystem;
using test::readText;
using test::writeText;

class FileOperationsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    fs::path work, dest;
    std::unique_ptr<Trash> trash;
    std::unique_ptr<FileOperations> ops;

    void SetUp() override {
        const fs::path home = dir / "home";
        fs::create_directories(home / "data");
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home / "data").c_str(), 1);
        work = dir / "work";
        dest = dir / "dest";
        fs::create_directories(work);
        fs::create_directories(dest);
        trash = std::make_unique<Trash>();
        ops = std::make_unique<FileOperations>(*trash);
    }
};

TEST_F(FileOperationsTest, SixNewFoldersInARow) {
    std::tm when{};
    when.tm_year = 124;
    when.tm_mon = 1;
    when.tm_mday = 3;
    when.tm_hour = 4;
    when.tm_min = 5;
    when.tm_sec = 6;
    when.tm_isdst = -1;
    const std::time_t now = std::mktime(&when);
    std::vector<std::string> made;
    for (int i = 0; i < 6; ++i) {
        auto p = ops->newFolder(work, now);
        ASSERT_TRUE(p) << fileErrorMessage(p.error());
        EXPECT_TRUE(fs::is_directory(*p));
        made.push_back(p->filename().string());
    }
    EXPECT_EQ(made,
              (std::vector<std::string>{"New Folder", "New Folder 2", "New Folder 3",
                                        "New Folder 4", "New Folder 5", "New Folder 034040506"}));
    const auto taken = ops->newFolder(work, now);  // every name taken
    ASSERT_FALSE(taken);
    EXPECT_EQ(fileErrorMessage(taken.error()), "Cannot create the folder.");
    EXPECT_FALSE(ops->newFolder(work / "missing"));
    // Undo removes the newest empty folder.
    ASSERT_TRUE(ops->undo().ok);
    EXPECT_FALSE(fs::exists(work / "New Folder 034040506"));
}

TEST_F(FileOperationsTest, DeleteToTrashAndUndo) {
    writeText(work / "a.jpg", "a");
    writeText(work / "b c.jpg", "b");
    auto r = ops->deleteFiles({work / "a.jpg", work / "b c.jpg", work / "missing.jpg"}, true);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.done.size(), 2u);  // the browser drops only these entries
    EXPECT_EQ(r.errors.size(), 1u);
    EXPECT_FALSE(fs::exists(work / "a.jpg"));
    EXPECT_EQ(trash->list().size(), 2u);
    ASSERT_TRUE(ops->canUndo());
    ASSERT_TRUE(ops->undo().ok);
    EXPECT_EQ(readText(work / "a.jpg"), "a");
    EXPECT_EQ(readText(work / "b c.jpg"), "b");
    EXPECT_TRUE(trash->list().empty());
    EXPECT_FALSE(ops->canUndo());

    // For good: not in the trash, nothing to undo.
    r = ops->deleteFiles({work / "a.jpg"}, false);
    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(fs::exists(work / "a.jpg"));
    EXPECT_TRUE(trash->list().empty());
    EXPECT_FALSE(ops->canUndo());
}

TEST_F(FileOperationsTest, UndoOfADeleteKeepsAFileMadeSince) {
    writeText(work / "a.jpg", "old");
    ASSERT_TRUE(ops->deleteFiles({work / "a.jpg"}, true).ok);
    writeText(work / "a.jpg", "new");
    const auto r = ops->undo();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(readText(work / "a.jpg"), "new");
    EXPECT_TRUE(ops->canUndo());  // still journalled, still in the trash
    fs::remove(work / "a.jpg");
    ASSERT_TRUE(ops->undo().ok);
    EXPECT_EQ(readText(work / "a.jpg"), "old");
}

TEST_F(FileOperationsTest, CopyWithConflictsAndUndo) {
    writeText(work / "a.jpg", "new a");
    writeText(work / "b.jpg", "new b");
    fs::create_directories(work / "sub" / "deep");
    writeText(work / "sub" / "deep" / "x.png", "x");
    writeText(dest / "a.jpg", "old a");

    // Without a handler an existing file is skipped.
    auto r = ops->copyTo({work / "a.jpg"}, dest);
    EXPECT_TRUE(r.ok);
    EXPECT_TRUE(r.done.empty());
    EXPECT_EQ(readText(dest / "a.jpg"), "old a");

    int asked = 0;
    r = ops->copyTo({work / "a.jpg", work / "b.jpg", work / "sub"}, dest,
                    [&](const fs::path&, const fs::path&) {
                        ++asked;
                        return ConflictChoice::Overwrite;
                    });
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(readText(dest / "a.jpg"), "new a");
    EXPECT_EQ(readText(dest / "sub" / "deep" / "x.png"), "x");
    EXPECT_EQ(readText(work / "a.jpg"), "new a");
    // No temporary copies are left behind.
    int count = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dest)) ++count;
    EXPECT_EQ(count, 3);

    // Undo trashes the copies and brings back the file they replaced.
    ASSERT_TRUE(ops->undo().ok);
    EXPECT_EQ(readText(dest / "a.jpg"), "old a");
    EXPECT_FALSE(fs::exists(dest / "b.jpg"));
    EXPECT_FALSE(fs::exists(dest / "sub"));
    EXPECT_EQ(readText(work / "b.jpg"), "new b");

    r = ops->copyTo({work / "a.jpg", work / "b.jpg"}, dest,
                    [](const fs::path&, const fs::path&) { return ConflictChoice::Cancel; });
    EXPECT_TRUE(r.aborted);
    EXPECT_FALSE(fs::exists(dest / "b.jpg"));
    // Copying a file onto itself is refused, never "overwritten".
    r = ops->copyTo({work / "a.jpg"}, work,
                    [](const fs::path&, const fs::path&) { return ConflictChoice::Overwrite; });
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(readText(work / "a.jpg"), "new a");
}

TEST_F(FileOperationsTest, MoveAndUndo) {
    writeText(work / "a.jpg", "a");
    fs::create_directories(work / "folder");
    writeText(work / "folder" / "in.txt", "in");
    auto r = ops->moveTo({work / "a.jpg", work / "folder"}, dest);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.done.size(), 2u);
    EXPECT_FALSE(fs::exists(work / "a.jpg"));
    EXPECT_EQ(readText(dest / "folder" / "in.txt"), "in");
    ASSERT_TRUE(ops->undo().ok);
    EXPECT_EQ(readText(work / "a.jpg"), "a");
    EXPECT_EQ(readText(work / "folder" / "in.txt"), "in");
    EXPECT_FALSE(fs::exists(dest / "a.jpg"));
}

// "" when the folder may receive the sources, else the message shown.
std::string refusal(const std::vector<fs::path>& sources, const fs::path& folder) {
    const FileStatus usable = FileOperations::checkDestination(sources, folder);
    return usable ? std::string() : fileErrorMessage(usable.error());
}

TEST_F(FileOperationsTest, DestinationChecks) {
    fs::create_directories(work / "tree" / "child");
    writeText(work / "f.jpg", "f");
    EXPECT_EQ(refusal({work / "f.jpg"}, dir / "nowhere"), "Invalid destination folder.");
    EXPECT_EQ(refusal({work / "f.jpg"}, work / "f.jpg"), "Invalid destination folder.");
    EXPECT_EQ(refusal({work / "tree"}, work / "tree" / "child"),
              "The folder cannot be moved/copied to its own sub-folder.");
    EXPECT_EQ(refusal({work / "tree"}, work / "tree"),
              "The folder cannot be moved/copied to its own sub-folder.");
    EXPECT_EQ(refusal({work / "tree"}, work / "tree" / ".." / "tree" / "child"),
              "The folder cannot be moved/copied to its own sub-folder.");
    // A sibling whose name starts the same is not inside.
    fs::create_directories(work / "tree2");
    EXPECT_EQ(refusal({work / "tree"}, work / "tree2"), "");
    auto r = ops->moveTo({work / "tree"}, work / "tree" / "child");
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(fileErrorMessage(r.errors[0]),
              "The folder cannot be moved/copied to its own sub-folder.");
    EXPECT_TRUE(fs::exists(work / "tree" / "child"));
}

TEST_F(FileOperationsTest, RenameNeverReplaces) {
    writeText(work / "a.jpg", "a");
    writeText(work / "b.jpg", "b");
    EXPECT_FALSE(ops->rename(work / "a.jpg", "b.jpg").ok);
    EXPECT_EQ(readText(work / "b.jpg"), "b");
    EXPECT_FALSE(ops->rename(work / "a.jpg", "x/y.jpg").ok);
    EXPECT_FALSE(ops->rename(work / "a.jpg", "").ok);
    ASSERT_TRUE(ops->rename(work / "a.jpg", "c d.jpg").ok);
    EXPECT_EQ(readText(work / "c d.jpg"), "a");
    ASSERT_TRUE(ops->undo().ok);
    EXPECT_EQ(readText(work / "a.jpg"), "a");
}

TEST_F(FileOperationsTest, MoveAcrossDevicesCopiesThenDeletes) {
    const fs::path mnt = dir / "mnt";
    fs::create_directories(mnt);
    if (::getuid() != 0 || ::mount("none", mnt.c_str(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        fs::path p;
        ~Unmount() { ::umount(p.c_str()); }
    } unmount{mnt};
    writeText(work / "a.jpg", "a");
    fs::create_directories(work / "d");
    writeText(work / "d" / "x", "x");
    ASSERT_TRUE(ops->moveTo({work / "a.jpg", work / "d"}, mnt).ok);
    EXPECT_FALSE(fs::exists(work / "a.jpg"));
    EXPECT_FALSE(fs::exists(work / "d"));
    EXPECT_EQ(readText(mnt / "d" / "x"), "x");
    ASSERT_TRUE(ops->undo().ok);
    EXPECT_EQ(readText(work / "a.jpg"), "a");
    EXPECT_EQ(readText(work / "d" / "x"), "x");
    EXPECT_FALSE(fs::exists(mnt / "a.jpg"));
}

TEST(FileErrorText, ErrnoCodesAndFixedTexts) {
    const fs::path p = "/x/a b.jpg";
    const auto sys = [&](int e) { return std::string(std::strerror(e)) + " /x/a b.jpg"; };
    const std::pair<int, FileErrorCode> mapped[] = {
        {ENOENT, FileErrorCode::NotFound},   {EEXIST, FileErrorCode::Exists},
        {EACCES, FileErrorCode::Permission}, {EPERM, FileErrorCode::Permission},
        {EXDEV, FileErrorCode::CrossDevice}, {ENOSPC, FileErrorCode::System}};
    for (const auto& [e, code] : mapped) {
        const FileError error = fileErrorFromErrno(e, p);
        EXPECT_EQ(error.code, code) << e;
        EXPECT_EQ(fileErrorMessage(error), sys(e));
    }
    // Without an errno the code's own one speaks; a code from elsewhere is no errno.
    EXPECT_EQ(fileErrorMessage({FileErrorCode::InvalidName, 0, p}), sys(EINVAL));
    EXPECT_EQ(fileErrorMessage(fileErrorFrom(std::make_error_code(std::io_errc::stream), p)),
              sys(EIO));
    EXPECT_EQ(fileErrorMessage(fileErrorFrom(std::make_error_code(std::errc::file_exists), p)),
              sys(EEXIST));

    const std::pair<FileErrorCode, std::string> fixed[] = {
        {FileErrorCode::TrashUnusable, "Cannot use the trash folder /x/a b.jpg"},
        {FileErrorCode::NoTrash, "No usable trash folder on the device of /x/a b.jpg"},
        {FileErrorCode::TrashCrowded, "Too many items of this name in the trash /x/a b.jpg"},
        {FileErrorCode::InvalidDestination, "Invalid destination folder."},
        {FileErrorCode::IntoOwnSubfolder,
         "The folder cannot be moved/copied to its own sub-folder."},
        {FileErrorCode::SameFile, "The source and destination file names are the same. /x/a b.jpg"},
        {FileErrorCode::CannotCreateFolder, "Cannot create the folder."}};
    for (const auto& [code, text] : fixed) EXPECT_EQ(fileErrorMessage({code, ENOENT, p}), text);
}

}  // namespace
}  // namespace kalder::shell
