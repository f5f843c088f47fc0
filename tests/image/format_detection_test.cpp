#include <gtest/gtest.h>

#include <set>
#include <string>

#include "image/format_table.h"
#include "image/image_reader.h"
#include "support/test_support.h"

using namespace kalder::image;
using kalder::test::Bytes;
using kalder::test::TempDir;
using kalder::test::writeFile;

namespace {

std::string shortNameOf(std::int32_t index) {
    if (index < 0) return "none";
    return std::string(formatTable()[static_cast<std::size_t>(index)].shortName);
}

std::string detect(const std::vector<std::uint8_t>& bytes) {
    return shortNameOf(detectFormatInMemory(bytes));
}

}  // namespace

TEST(FormatTable, TablesAreConsistent) {
    ASSERT_EQ(formatTable().size(), 22u);
    ASSERT_EQ(extensionTable().size(), 42u);
    std::set<std::string> seen;
    for (const auto& f : formatTable()) {
        EXPECT_EQ(&formatTable()[static_cast<std::size_t>(f.index)], &f);
        for (auto i = f.firstExtension; i <= f.lastExtension; ++i) {
            // Icons and cursors share a code, so compare the code of the extension's first record.
            EXPECT_EQ(formatByCode(extensionTable()[static_cast<std::size_t>(i)].code)->index,
                      f.index)
                << f.shortName;
        }
        for (auto i = f.firstExtension; i <= f.lastExtension; ++i)
            seen.insert(std::string(extensionTable()[static_cast<std::size_t>(i)].extension));
    }
    EXPECT_EQ(seen.size(), 42u) << "every extension belongs to exactly one format";
    std::string filter(fileDialogFilter());
    for (const auto& e : extensionTable()) {
        EXPECT_NE(filter.find("*" + std::string(e.extension)), std::string::npos) << e.extension;
    }
    EXPECT_TRUE(filter.starts_with("All supported image files|*.ani;*.bmp;"));
    EXPECT_TRUE(filter.ends_with("|All files (*.*)|*.*||"));
}

TEST(FormatDetection, ByExtensionIgnoresCase) {
    EXPECT_EQ(shortNameOf(DetectFormat("a/b/Photo.JPG", DetectMode::ByExtension)), "JPEG");
    EXPECT_EQ(shortNameOf(DetectFormat("x.tar.Tiff", DetectMode::ByExtension)), "TIFF");
    EXPECT_EQ(shortNameOf(DetectFormat("x.lbm", DetectMode::ByExtension)), "IFF");
    EXPECT_EQ(shortNameOf(DetectFormat("x.apm", DetectMode::ByExtension)), "WMF/EMF");
    EXPECT_EQ(shortNameOf(DetectFormat("noext", DetectMode::ByExtension)), "none");
    EXPECT_EQ(shortNameOf(DetectFormat("x.xyz", DetectMode::ByExtension)), "none");
}

TEST(FormatDetection, ByContentInTheDocumentedOrder) {
    const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0};
    EXPECT_EQ(detect(png), "PNG");
    EXPECT_EQ(detect(Bytes().str("GIF89a").fill(10, 0).data), "GIF");
    EXPECT_EQ(detect(Bytes().str("GIF88a").fill(10, 0).data), "none");
    EXPECT_EQ(detect(Bytes().u8(0xFF).u8(0xD8).u8(0xFF).data), "JPEG");
    // A JPEG behind a 128-byte block is still a JPEG, but not at an odd offset.
    EXPECT_EQ(detect(Bytes().fill(128, 0).u8(0xFF).u8(0xD8).u8(0xFF).data), "JPEG");
    EXPECT_EQ(detect(Bytes().fill(896, 7).u8(0xFF).u8(0xD8).u8(0xFF).data), "JPEG");
    EXPECT_EQ(detect(Bytes().fill(100, 7).u8(0xFF).u8(0xD8).u8(0xFF).data), "none");
    EXPECT_EQ(detect(Bytes().str("BM").fill(40, 0).data), "BMP");
    EXPECT_EQ(detect(Bytes().str("II*").fill(10, 0).data), "TIFF");
    EXPECT_EQ(detect(Bytes().u8(0xFF).u8(0x4F).u8(0xFF).fill(9, 0).data), "JPEG-2000");
    EXPECT_EQ(detect(Bytes().u32be(12).str("jP  \r\n").u8(0x87).u8(0x0A).data), "JPEG-2000");
    EXPECT_EQ(detect(Bytes().str("8BPS").fill(20, 0).data), "PSD");
    EXPECT_EQ(detect(Bytes().str("RIFF").u32le(100).str("ACON").data), "ANI");
    EXPECT_EQ(detect(Bytes().fill(40, 0).str(" EMF").fill(60, 0).data), "WMF/EMF");
    EXPECT_EQ(detect(Bytes().u32le(0x9AC6CDD7).fill(96, 0).data), "WMF/EMF");
    EXPECT_EQ(detect(Bytes().u16le(1).u16le(9).fill(96, 0).data), "WMF/EMF");
    EXPECT_EQ(detect(Bytes().u16le(1).u16le(9).fill(20, 0).data), "none") << "needs 100 bytes";
    EXPECT_EQ(detect(Bytes().u8(0x0A).u8(5).fill(10, 0).data), "PCX");
    EXPECT_EQ(detect(Bytes().str("P6\n1 1\n255\n").data), "PBM/PGM/PPM");
    EXPECT_EQ(detect(Bytes().u8(0x01).u8(0xDA).fill(10, 0).data), "RGB");
    EXPECT_EQ(detect(Bytes().u32be(0x59A66A95).fill(10, 0).data), "RAS");
    EXPECT_EQ(detect(Bytes().str("FORM").u32be(4).str("ILBM").data), "IFF");
    EXPECT_EQ(detect(Bytes().u8(0x52).u8(0xCC).fill(10, 0).data), "RLE");
    EXPECT_EQ(detect(Bytes().u8(0).u8(0).u8(2).fill(13, 0).u8(24).fill(4, 0).data), "TGA");
    EXPECT_EQ(detect(Bytes().u8(7).u8(0).u8(2).fill(13, 0).u8(15).fill(4, 0).data), "none");
    EXPECT_EQ(detect(Bytes().u32le(0x00010000).u16le(1).data), "ICO");
    EXPECT_EQ(detect(Bytes().u32le(0x00020000).u16le(1).data), "CUR");
    EXPECT_EQ(detect({}), "none");
}

TEST(FormatDetection, NewerPictureFormatsByContent) {
    auto ftyp = [](std::string major, std::vector<std::string> compatible) {
        Bytes b;
        b.u32be(static_cast<std::uint32_t>(16 + 4 * compatible.size())).str("ftyp").str(major);
        b.u32be(0);
        for (const auto& c : compatible) b.str(c);
        return b.fill(8, 0).data;
    };
    const struct {
        std::vector<std::uint8_t> bytes;
        std::string expected;
    } cases[] = {
        {Bytes().str("RIFF").u32le(100).str("WEBPVP8 ").data, "WEBP"},
        {Bytes().str("RIFF").u32le(100).str("WAVE").data, "none"},
        {ftyp("avif", {"mif1"}), "AVIF"},
        {ftyp("mif1", {"mif1", "miaf", "avif"}), "AVIF"},
        {ftyp("heic", {"mif1"}), "HEIF"},
        {ftyp("mif1", {"heic"}), "HEIF"},
        {ftyp("msf1", {"hevc"}), "HEIF"},
        {ftyp("mif1", {"miaf"}), "none"},                 // neither codec named
        {ftyp("isom", {"mp41"}), "none"},                 // a video
        {Bytes().u32be(8).str("ftypavif").data, "none"},  // box too short for its brands
        {Bytes().u8(0xFF).u8(0x0A).fill(10, 0).data, "JPEG XL"},
        {Bytes().u32be(12).str("JXL \r\n").u8(0x87).u8(0x0A).data, "JPEG XL"},
    };
    for (const auto& c : cases) EXPECT_EQ(detect(c.bytes), c.expected) << c.expected;
    EXPECT_EQ(shortNameOf(DetectFormat("IMG_0001.HEIC", DetectMode::ByExtension)), "HEIF");
    EXPECT_EQ(shortNameOf(DetectFormat("x.hif", DetectMode::ByExtension)), "HEIF");
}

TEST(FormatDetection, ContentWinsOverTheName) {
    TempDir dir;
    writeFile(dir / "photo.JPG", {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0});
    EXPECT_EQ(shortNameOf(DetectFormat(dir / "photo.JPG", DetectMode::ByContent)), "PNG");
    // An icon file whose header says cursor is a cursor.
    writeFile(dir / "icon.ico", Bytes().u32le(0x00020000).u16le(1).data);
    EXPECT_EQ(shortNameOf(DetectFormat(dir / "icon.ico", DetectMode::ByContent)), "CUR");
    writeFile(dir / "garbage.png", Bytes().str("hello, world").data);
    EXPECT_EQ(DetectFormat(dir / "garbage.png", DetectMode::ByContent), -1);
    EXPECT_EQ(CreateReader(dir / "garbage.png"), nullptr);
    EXPECT_EQ(DetectFormat(dir / "missing.png", DetectMode::ByContent), -1);
}
