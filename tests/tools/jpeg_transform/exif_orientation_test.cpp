#include "tools/jpeg_transform/exif_orientation.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tools/jpeg_transform/jpeg_test_files.h"

namespace kalder::tools {
namespace {

namespace fs = std::filesystem;
using test::jpeg::ExifSpec;

std::vector<std::uint8_t> jpegWithExif(const ExifSpec& exif, std::size_t header = 0) {
    const auto extra = std::vector<std::vector<std::uint8_t>>{
        test::jpeg::segment(0xFE, test::Bytes().str("before").data),
        test::jpeg::segment(0xE1, test::jpeg::exifPayload(exif)),
        test::jpeg::segment(0xE2, test::Bytes().str("ICC_PROFILE").u8(0).fill(40, 3).data),
    };
    std::vector<std::uint8_t> file(header, 0xAA);
    const auto stream = test::jpeg::withSegments(test::jpeg::makeJpeg(32, 32), extra);
    file.insert(file.end(), stream.begin(), stream.end());
    return file;
}

TEST(ExifOrientationTest, WritesValueAndTwoZerosInTheBlockByteOrder) {
    if (test::jpeg::makeJpeg(8, 8).empty()) GTEST_SKIP() << "codec module missing";
    test::TempDir dir;
    for (const bool little : {true, false}) {
        SCOPED_TRACE(little);
        ExifSpec spec;
        spec.littleEndian = little;
        spec.orientation = 1;
        const fs::path path = dir / "a.jpg";
        const auto before = jpegWithExif(spec, little ? 0 : 128);
        test::writeFile(path, before);
        ::chmod(path.c_str(), 0444);
        struct timespec times[2] = {{1000000000, 0}, {1200000000, 500}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);

        const auto tag = readOrientationTag(path);
        ASSERT_TRUE(tag);
        EXPECT_EQ(tag->value, 1);
        ASSERT_EQ(writeExifOrientation(path, 6), OrientationWrite::Done);

        const auto after = test::readFile(path);
        ASSERT_EQ(after.size(), before.size());
        const std::uint8_t expected[4] = {std::uint8_t(little ? 6 : 0),
                                          std::uint8_t(little ? 0 : 6), 0, 0};
        for (std::size_t i = 0; i < after.size(); ++i) {
            const bool inTag = i >= tag->filePosition && i < tag->filePosition + 4;
            if (inTag)
                EXPECT_EQ(after[i], expected[i - tag->filePosition]) << i;
            else if (after[i] != before[i])
                ADD_FAILURE() << "byte " << i << " changed";
        }
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0444u);
        EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
        EXPECT_EQ(st.st_mtim.tv_nsec, 500);
        EXPECT_EQ(readOrientationTag(path)->value, 6);
        ::chmod(path.c_str(), 0644);
    }
}

TEST(ExifOrientationTest, RefusesEntriesThatAreNotOneShort) {
    if (test::jpeg::makeJpeg(8, 8).empty()) GTEST_SKIP() << "codec module missing";
    test::TempDir dir;
    ExifSpec asLong;
    asLong.orientationType = 4;
    ExifSpec twoShorts;
    twoShorts.orientationCount = 2;
    const std::vector<std::vector<std::uint8_t>> files = {
        jpegWithExif(asLong),
        jpegWithExif(twoShorts),
        test::jpeg::makeJpeg(16, 16),  // no Exif at all
        test::Bytes().u8(0x89).str("PNG\r\n\x1a\n").fill(100, 0).data,
    };
    for (const auto& bytes : files) {
        const fs::path path = dir / "b.jpg";
        test::writeFile(path, bytes);
        EXPECT_FALSE(readOrientationTag(path));
        EXPECT_EQ(writeExifOrientation(path, 3), OrientationWrite::NoValidTag);
        EXPECT_EQ(test::readFile(path), bytes);
    }
}

TEST(ExifOrientationTest, TurningMaps) {
    int v = 1;
    for (int i = 0; i < 4; ++i) v = turnClockwise(v);
    EXPECT_EQ(v, 1);
    EXPECT_EQ(turnClockwise(1), 6);
    EXPECT_EQ(turnCounterClockwise(1), 8);
    EXPECT_EQ(turnCounterClockwise(turnClockwise(3)), 3);
    for (const int mirrored : {2, 4, 5, 7}) {
        EXPECT_EQ(turnClockwise(mirrored), 1);
        EXPECT_EQ(turnCounterClockwise(mirrored), 1);
    }
}

}  // namespace
}  // namespace kalder::tools
