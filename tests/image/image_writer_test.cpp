#include "image/writers/image_writer.h"

#include <gtest/gtest.h>

#include "support/test_support.h"

using namespace kalder::image;
namespace fs = std::filesystem;

namespace {

// Writes "ABC" per frame; fails the frame when asked.
class TextWriter : public ImageWriter {
public:
    bool failWrite = false;
    Status Write(const WriterImage&) override {
        if (failWrite) return DecodeError::Io;
        put("ABC", 3);
        return status();
    }
};

std::size_t filesIn(const fs::path& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator{}));
}

}  // namespace

TEST(ImageWriter, ReplacesTheTargetOnlyAfterSuccess) {
    kalder::test::TempDir dir;
    const fs::path target = dir / "out.bin";
    kalder::test::writeFile(target, {'o', 'l', 'd'});

    {
        TextWriter w;
        ASSERT_TRUE(w.Open(target).ok());
        ASSERT_TRUE(w.Write({}).ok());
        EXPECT_EQ(kalder::test::readFile(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}))
            << "the target is untouched while writing";
        // Destroyed without Close: the old file stays, the temporary one goes.
    }
    EXPECT_EQ(kalder::test::readFile(target), (std::vector<std::uint8_t>{'o', 'l', 'd'}));
    EXPECT_EQ(filesIn(dir.path()), 1u);

    TextWriter w;
    ASSERT_TRUE(w.Open(target).ok());
    ASSERT_TRUE(w.Write({}).ok());
    ASSERT_TRUE(w.Write({}).ok());
    ASSERT_TRUE(w.Close().ok());
    EXPECT_EQ(kalder::test::readFile(target),
              (std::vector<std::uint8_t>{'A', 'B', 'C', 'A', 'B', 'C'}));
    EXPECT_EQ(filesIn(dir.path()), 1u);
}

TEST(ImageWriter, FailsCleanlyWhereItCannotWrite) {
    TextWriter w;
    EXPECT_FALSE(w.Open("/nonexistent-dir/x.bin").ok());
    EXPECT_FALSE(w.Close().ok());
}
