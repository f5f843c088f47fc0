#include "base/read_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "support/test_support.h"

namespace kalder::base {
namespace {

TEST(ReadFile, LimitsAndFailures) {
    test::TempDir dir;
    const auto file = dir / "f.bin";
    test::writeText(file, "0123456789");

    const auto whole = readFile(file, 10);
    ASSERT_TRUE(whole.ok());
    EXPECT_EQ(whole->size(), 10u);
    EXPECT_EQ(readTextFile(file, 100).valueOr("?"), "0123456789");

    const auto over = readFile(file, 9);
    ASSERT_FALSE(over.ok());
    EXPECT_EQ(over.error(), FileError::TooLarge);
    EXPECT_EQ(readTextFile(file, 4, OverLimit::Truncate).valueOr("?"), "0123");

    test::writeText(dir / "empty", "");
    ASSERT_TRUE(readFile(dir / "empty", 0).ok());
    EXPECT_TRUE(readFile(dir / "empty", 0)->empty());

    EXPECT_EQ(readFile(dir / "missing", 10).error(), FileError::Missing);
    EXPECT_EQ(readFile("", 10).error(), FileError::Missing);
    EXPECT_EQ(readFile(file / "below", 10).error(), FileError::Missing);
    EXPECT_EQ(readFile(dir.path(), 10).error(), FileError::NotAFile);
    // A pipe nobody writes to is refused at once instead of blocking the read.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(readFile(dir / "fifo", 10).error(), FileError::NotAFile);
}

// Files in /proc announce a size of zero; they are read to their end all the same.
TEST(ReadFile, ReadsPastAnnouncedSize) {
    const auto mounts = readTextFile("/proc/self/mounts", 1 << 20);
    if (!mounts.ok()) GTEST_SKIP() << "no /proc/self/mounts";
    EXPECT_FALSE(mounts->empty());
    const auto cut = readTextFile("/proc/self/mounts", 3);
    EXPECT_EQ(cut.ok() ? "read" : std::string(fileErrorMessage(cut.error())),
              fileErrorMessage(FileError::TooLarge));
}

}  // namespace
}  // namespace kalder::base
