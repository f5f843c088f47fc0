#include "image/exif/exif_report.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "image/exif/exif_block.h"
#include "image/exif/exif_readable.h"
#include "image/exif/exif_tags.h"
#include "image/exif/tiff_builder.h"
#include "image/format_table.h"
#include "image/image_document.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

using test::TiffBuilder;
using test::TiffIfd;
using Rows = std::vector<PropertyRow>;

Rows exifRows(const std::vector<std::uint8_t>& tiff) {
    ExifBlock block;
    block.setData(tiff, 0);
    Rows rows;
    appendExifRows(rows, block);
    return rows;
}

// IFD0, Exif, interoperability and GPS directories holding one entry of every type, tags the
// table does not know and UNDEFINED entries that get no row.
std::vector<std::uint8_t> cameraBlock(const TiffBuilder& b) {
    TiffIfd ifd0, exif, interop, gps, ifd1;
    ifd0.entries = {
        b.ascii(0x010F, "Maker"),  b.ascii(0x0110, "X"),     b.shorts(0x0112, {6}),
        b.rational(0x011A, 72, 1), b.shorts(0x0212, {2, 1}), b.bytes(0x828E, 1, {0, 1, 1, 2}),
        b.longs(0x9999, {5}),  // not in the table
        b.pointer(0x8769, 1),      b.pointer(0x8825, 3),
    };
    ifd0.next = 4;
    exif.entries = {
        b.rational(0x829A, 1, 125),
        b.rational(0x829D, 28, 10),
        b.bytes(0x9000, 7, {'0', '2', '3', '0'}),
        b.rational(0x9204, static_cast<std::uint32_t>(-1), 3, 10),
        b.shorts(0x9207, {0xFFFE}, 8),
        b.longs(0x9206, {static_cast<std::uint32_t>(-7)}, 9),
        b.bytes(0x9208, 6, {0x80}),
        b.real32(0x9203, 1.5f),
        b.real64(0xA404, -0.125),
        b.bytes(0x927C, 7, {1, 2, 3, 4, 5, 6}),
        b.bytes(0x9286, 7, {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'i'}),
        b.bytes(0xA302, 1, {2, 0, 2, 0}),
        b.ascii(0x9003, "2024:03:04 14:05:09"),
        b.pointer(0xA005, 2),
    };
    interop.entries = {b.ascii(0x0001, "R98")};
    gps.entries = {b.bytes(0x0000, 1, {2, 2, 0, 0}), b.ascii(0x0001, "N")};
    ifd1.entries = {b.shorts(0x0103, {6}), b.ascii(0x0110, "ThumbnailsAreNotListed")};
    return b.build({ifd0, exif, interop, gps, ifd1});
}

Rows expectedCameraRows(std::uint32_t exifOffset, std::uint32_t gpsOffset,
                        std::uint32_t interopOffset) {
    return {
        {"", ""},
        {"----- Exif -----", ""},
        {"Manufacturer", "Maker"},
        {"Model", "X"},
        {"Orientation", "6", "Rotate 90 CW"},
        {"x-Resolution", "72/1", "72"},
        {"YCbCr Sub-Sampling", "2"},
        {"CFA Pattern", "0"},
        {"ExifIFDPointer", std::to_string(exifOffset)},
        {"GPSInfoIFDPointer", std::to_string(gpsOffset)},
        {"Exposure Time", "1/125", "1/125 s"},
        {"FNumber", "28/10", "f/2.8"},
        {"Exposure Bias", "-1/3", "-0.33 EV"},
        {"Metering Mode", "-2"},
        {"Subject Distance", "-7"},
        {"Light Source", "-128"},
        {"Brightness", "1.500000"},
        {"Digital Zoom Ratio", "-0.125000"},
        {"CFA Pattern", "2"},
        {"Date and Time (original)", "2024:03:04 14:05:09"},
        {"InteroperabilityIFDPointer", std::to_string(interopOffset)},
        {"InteroperabilityIndex", "R98"},
    };
}

class ExifRowsTest : public ::testing::TestWithParam<bool> {};

TEST_P(ExifRowsTest, ListsEveryKnownTagWithAValueInDirectoryOrder) {
    const TiffBuilder b(GetParam());
    const auto tiff = cameraBlock(b);
    ExifBlock block;
    block.setData(tiff, 0);
    const auto exifAt = block.getLong(ExifIfdKind::Ifd0, 0x8769);
    const auto gpsAt = block.getLong(ExifIfdKind::Ifd0, 0x8825);
    const auto interopAt = block.getLong(ExifIfdKind::Exif, 0xA005);
    ASSERT_TRUE(exifAt && gpsAt && interopAt);
    EXPECT_EQ(exifRows(tiff), expectedCameraRows(*exifAt, *gpsAt, *interopAt));
}

TEST_P(ExifRowsTest, EntryOutsideTheBlockHasNoRowButTheNextOneDoes) {
    const TiffBuilder b(GetParam());
    TiffIfd ifd0{{b.forced(0x010E, 2, 40, 0x7FFFFFF0), b.forced(0x0110, 3, 0x80000001, 8),
                  b.ascii(0x0131, "Editor 1.0")}};
    EXPECT_EQ(exifRows(b.build({ifd0})),
              (Rows{{"", ""}, {"----- Exif -----", ""}, {"Software", "Editor 1.0"}}));
}

TEST_P(ExifRowsTest, NothingWhenOnlyTheThumbnailDirectoryHasEntries) {
    // The Exif pointer is honoured only in IFD0; IFD1 is never listed.
    const TiffBuilder b(GetParam());
    TiffIfd ifd0{{}, 1};
    TiffIfd ifd1{{b.pointer(0x8769, 2), b.shorts(0x0103, {6})}};
    TiffIfd exif{{b.rational(0x829A, 1, 60)}};
    EXPECT_TRUE(exifRows(b.build({ifd0, ifd1, exif})).empty());
}

TEST_P(ExifRowsTest, UnlistableEntriesStillShowTheHeading) {
    // IFD0 has an entry, so the heading is there, even though no entry gets a row.
    const TiffBuilder b(GetParam());
    TiffIfd ifd0{{b.bytes(0x9000, 7, {'0', '2', '2', '0'}), b.shorts(0x4242, {1})}};
    EXPECT_EQ(exifRows(b.build({ifd0})), (Rows{{"", ""}, {"----- Exif -----", ""}}));
}

INSTANTIATE_TEST_SUITE_P(Exif, ExifRowsTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "II" : "MM"; });

TEST(ExifRowsTest, BothByteOrdersListTheSameRows) {
    const auto le = exifRows(cameraBlock(TiffBuilder(true)));
    const auto be = exifRows(cameraBlock(TiffBuilder(false)));
    EXPECT_EQ(le, be);
    EXPECT_EQ(le.size(), 22u);
}

TEST(ExifTagsTest, TableLookupFirstMatchWins) {
    EXPECT_EQ(exifTagNames().size(), 105u);
    EXPECT_EQ(exifTagName(0x828E), "CFA Pattern");
    EXPECT_EQ(exifTagName(0xA302), "CFA Pattern");
    EXPECT_EQ(exifTagName(0x0112), "Orientation");
    EXPECT_EQ(exifTagName(0xA420), "Image Unique ID");
    EXPECT_EQ(exifTagName(0x0000), "");
    EXPECT_EQ(exifTagName(0x9999), "");
}

// ---- Texts --------------------------------------------------------------------------------

struct SizeCase {
    std::uint64_t bytes;
    const char* text;
};

class FileSizeTest : public ::testing::TestWithParam<SizeCase> {};

TEST_P(FileSizeTest, GroupsDigitsAndAddsKilobytesOrMegabytes) {
    EXPECT_EQ(fileSizeText(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Report, FileSizeTest,
    ::testing::Values(SizeCase{0, "0 bytes"}, SizeCase{999, "999 bytes"},
                      SizeCase{1023, "1 023 bytes"}, SizeCase{1024, "1 024 bytes (1.0 KB)"},
                      SizeCase{1536, "1 536 bytes (1.5 KB)"},
                      SizeCase{1048575, "1 048 575 bytes (1024.0 KB)"},
                      SizeCase{1048576, "1 048 576 bytes (1.00 MB)"},
                      SizeCase{1572864, "1 572 864 bytes (1.50 MB)"},
                      SizeCase{123456789, "123 456 789 bytes (117.74 MB)"},
                      SizeCase{5000000000ull, "5 000 000 000 bytes (4768.37 MB)"}));

TEST(ReportTextTest, ColorTypes) {
    struct Case {
        std::uint32_t bits;
        bool gray;
        const char* text;
    };
    for (const Case& c :
         {Case{1, false, "2 colors"}, Case{1, true, "2 gray-levels"}, Case{4, false, "16 colors"},
          Case{8, true, "256 gray-levels"}, Case{8, false, "256 colors"},
          Case{15, false, "32768 colors"}, Case{16, false, "high-color"},
          Case{16, true, "high-color"}, Case{24, false, "true-color"},
          Case{32, false, "true-color"}, Case{48, true, "true-color"}})
        EXPECT_EQ(colorTypeText(c.bits, c.gray), c.text) << c.bits << (c.gray ? " gray" : "");
}

struct CommentCase {
    const char* name;
    std::string comment;
    std::vector<std::string> lines;
};

class CommentLinesTest : public ::testing::TestWithParam<CommentCase> {};

TEST_P(CommentLinesTest, CutsAtLineEndsAndBeforeTheLastSpace) {
    EXPECT_EQ(commentLines(GetParam().comment), GetParam().lines);
}

const std::string k81(81, 'a');

INSTANTIATE_TEST_SUITE_P(
    Report, CommentLinesTest,
    ::testing::Values(CommentCase{"Empty", "", {}}, CommentCase{"Short", "hello", {"hello"}},
                      CommentCase{
                          "NoSpaces200",
                          std::string(200, 'x'),
                          {std::string(81, 'x'), std::string(81, 'x'), std::string(38, 'x')}},
                      CommentCase{"Exactly81", k81, {k81}},
                      CommentCase{"Exactly81ThenNewline", k81 + "\nb", {k81, "b"}},
                      CommentCase{"WrapsBeforeLastSpace",
                                  std::string(70, 'a') + " " + std::string(20, 'b'),
                                  {std::string(70, 'a'), " " + std::string(20, 'b')}},
                      CommentCase{"SpaceOnlyAtStartDoesNotCount",
                                  " " + std::string(90, 'a'),
                                  {" " + std::string(80, 'a'), std::string(10, 'a')}},
                      CommentCase{"LineEndsBetweenLinesAreSkipped",
                                  "\r\none\r\n\r\ntwo\n\rthree\r\n",
                                  {"one", "two", "three"}},
                      CommentCase{"StopsAtZeroByte", std::string("ab\0cd", 5), {"ab"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReportTextTest, PadsTagsToTheLongestPlusOne) {
    PropertiesReport report;
    report.rows = {{"Name", "a.jpg"}, {"Model", "X"}};
    EXPECT_EQ(reportText(report), "Name  a.jpg\r\nModel X\r\n");
    EXPECT_EQ(reportText(report, "\n"), "Name  a.jpg\nModel X\n");
    EXPECT_EQ(reportText(PropertiesReport{}), "");
}

// ---- Whole report -------------------------------------------------------------------------

ImageInfo photoInfo() {
    ImageInfo info;
    info.fileSize = 1572864;
    info.creationTime = 1000;
    info.modificationTime = 2000;
    info.attributes = ImageInfo::kAttrArchive | ImageInfo::kAttrReadOnly;
    info.width = 640;
    info.height = 480;
    info.bitsPerPixel = 24;
    info.description = "JPEG image";
    info.dpiX = 72;
    info.dpiY = 96;
    const TiffBuilder b(false);
    info.exif.setData(b.build({TiffIfd{{b.ascii(0x0110, "X"), b.shorts(0x0112, {1})}}}), 0);
    return info;
}

PropertiesOptions fixedTimes() {
    PropertiesOptions options;
    options.formatTime = [](std::int64_t t) { return "T" + std::to_string(t); };
    return options;
}

TEST(PropertiesReportTest, FileImageAndExifFactsInOrder) {
    auto options = fixedTimes();
    options.fileDescription = "Our cat";
    options.comments = {"first comment", std::string(100, 'c')};
    const auto report = buildPropertiesReport("/photos/holiday/a.jpg", photoInfo(), options);
    EXPECT_EQ(report.caption, "a.jpg");
    const Rows expected = {
        {"Name", "a.jpg"},
        {"Description", "Our cat"},
        {"Folder", "holiday"},
        {"File Size", "1 572 864 bytes (1.50 MB)"},
        {"File Created", "T1000"},
        {"File Modified", "T2000"},
        {"Read-only file", "yes"},
        {"Image Type", "JPEG image"},
        {"Width", "640 pixels"},
        {"Height", "480 pixels"},
        {"Color Type", "true-color"},
        {"Horizontal Resolution", "72 dpi"},
        {"Vertical Resolution", "96 dpi"},
        {"", ""},
        {"----- Exif -----", ""},
        {"Model", "X"},
        {"Orientation", "1", "Horizontal (normal)"},
        {"Comment", "first comment"},
        {"Comment", std::string(81, 'c')},
        {"", std::string(19, 'c')},
    };
    EXPECT_EQ(report.rows, expected);
    EXPECT_EQ(report.widthRow, 8);
    EXPECT_EQ(report.heightRow, 9);
    EXPECT_EQ(report.colorTypeRow, 10);

    // One line per row, the blank row and the heading included; tags padded to 22 characters.
    const std::string text = reportText(report);
    std::size_t lines = 0;
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++lines;
    EXPECT_EQ(lines, expected.size());
    EXPECT_EQ(text.substr(0, 30), "Name                  a.jpg\r\nD");
    EXPECT_NE(text.find("\r\n                      \r\n----- Exif -----      \r\n"),
              std::string::npos);
}

TEST(PropertiesReportTest, VectorImageHasNoPixelRowsAndNoEmptyFacts) {
    ImageInfo info = photoInfo();
    info.isVector = true;
    info.exif.clear();
    info.attributes = 0;
    info.fileSize = 1023;
    const auto report = buildPropertiesReport("/x/drawing.wmf", info, fixedTimes());
    const Rows expected = {
        {"Name", "drawing.wmf"},      {"Folder", "x"},
        {"File Size", "1 023 bytes"}, {"File Created", "T1000"},
        {"File Modified", "T2000"},   {"Read-only file", "no"},
        {"Image Type", "JPEG image"},
    };
    EXPECT_EQ(report.rows, expected);
    EXPECT_EQ(report.widthRow, -1);
    EXPECT_EQ(report.colorTypeRow, -1);
    auto copy = report;
    setPageFacts(copy, 1, 2, 8, false);  // nothing to fill
    EXPECT_EQ(copy.rows, expected);
}

TEST(PropertiesReportTest, PageFactsRefillTheRememberedRows) {
    ImageInfo info = photoInfo();
    info.width = info.height = 0;  // the reader could not read the header
    info.dpiX = -1;
    auto report = buildPropertiesReport("a.gif", info, fixedTimes());
    ASSERT_GE(report.colorTypeRow, 0);
    EXPECT_EQ(report.rows[static_cast<std::size_t>(report.widthRow)], (PropertyRow{"Width", ""}));
    EXPECT_EQ(report.rows[static_cast<std::size_t>(report.colorTypeRow)],
              (PropertyRow{"Color Type", ""}));
    EXPECT_EQ(
        std::count_if(report.rows.begin(), report.rows.end(),
                      [](const PropertyRow& r) { return r.tag.find("Resolution") != r.tag.npos; }),
        0);

    setPageFacts(report, 32, 16, 8, true);
    EXPECT_EQ(report.rows[static_cast<std::size_t>(report.widthRow)].value, "32 pixels");
    EXPECT_EQ(report.rows[static_cast<std::size_t>(report.heightRow)].value, "16 pixels");
    EXPECT_EQ(report.rows[static_cast<std::size_t>(report.colorTypeRow)].value, "256 gray-levels");
}

// The rows show the file's own size and page count, not the fitted copy in memory.
TEST(PropertiesReportTest, PagesAndSizeComeFromTheFile) {
    ImageInfo info = photoInfo();
    info.formatIndex = DetectFormat("x.gif", DetectMode::ByExtension);
    info.pageCount = 12;
    auto report = buildPropertiesReport("a.gif", info, fixedTimes());
    EXPECT_NE(std::find(report.rows.begin(), report.rows.end(), PropertyRow{"Frames", "12"}),
              report.rows.end());

    ImagePage page;
    ASSERT_TRUE(page.bitmap.Create(500, 333));
    page.width = 3000;
    page.height = 2000;
    page.bitsPerPixel = 24;
    setPageFacts(report, page);
    EXPECT_EQ(report.rows[static_cast<std::size_t>(report.widthRow)].value, "3000 pixels");
    EXPECT_EQ(report.rows[static_cast<std::size_t>(report.heightRow)].value, "2000 pixels");

    const auto samples = test::sourceDir() / "samples";
    EXPECT_EQ(countImagePages(samples / "spiral.gif"), 12);
    EXPECT_EQ(countImagePages(samples / "hills.jpg"), 1);
    EXPECT_EQ(countImagePages(samples / "missing.gif"), 0);
}

TEST(PropertiesReportTest, DefaultTimeTextHasDateAndTime) {
    const std::string text = fileTimeText(0);
    // 1970 everywhere on earth at the epoch, give or take a day.
    EXPECT_NE(text.find("19"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), ':'), 2) << text;
}

// ---- Readable values and GPS --------------------------------------------------------------

// The meaning of each Exif-directory entry's row, by tag name.
std::vector<std::pair<std::string, std::string>> meanings(
    const std::vector<test::TiffEntry>& entries) {
    const TiffBuilder b(true);
    TiffIfd ifd0{{b.pointer(0x8769, 1)}};
    TiffIfd exif{entries};
    std::vector<std::pair<std::string, std::string>> out;
    for (const PropertyRow& row : exifRows(b.build({ifd0, exif})))
        if (row.tag != "ExifIFDPointer" && !row.tag.empty() && row.tag[0] != '-')
            out.emplace_back(row.tag, row.meaning);
    return out;
}

TEST(ExifReadableTest, CameraSettingsReadAsPhotographersWriteThem) {
    const TiffBuilder b(true);
    using P = std::pair<std::string, std::string>;
    EXPECT_EQ(meanings({b.rational(0x829D, 28, 5), b.rational(0x920A, 682, 32),
                        b.rational(0x829A, 1, 250), b.rational(0x829A, 2, 1),
                        b.rational(0x9201, 8, 1, 10), b.rational(0x829D, 1, 0),
                        b.shorts(0xA001, {0xFFFF}), b.shorts(0xA001, {1}), b.shorts(0x0112, {7}),
                        b.shorts(0x0112, {9}), b.shorts(0xA405, {32})}),
              (std::vector<P>{{"FNumber", "f/5.6"},
                              {"Focal Length", "21.3 mm"},
                              {"Exposure Time", "1/250 s"},
                              {"Exposure Time", "2 s"},
                              {"Shutter speed", "1/256 s"},
                              {"FNumber", ""},  // a zero denominator means nothing
                              {"Color Space", "Uncalibrated"},
                              {"Color Space", "sRGB"},
                              {"Orientation", "Mirror horizontal and rotate 90 CW"},
                              {"Orientation", ""},
                              {"Focal Length In 35mm Film", "32 mm"}}));
    // The Flash tag's bits: fired, return light, mode, no flash unit, red-eye reduction.
    EXPECT_EQ(
        meanings({b.shorts(0x9209, {0x18}), b.shorts(0x9209, {0x19}), b.shorts(0x9209, {0}),
                  b.shorts(0x9209, {0x10}), b.shorts(0x9209, {0x20}), b.shorts(0x9209, {0x5F})}),
        (std::vector<P>{{"Flash", "Auto, did not fire"},
                        {"Flash", "Auto, fired"},
                        {"Flash", "No flash"},
                        {"Flash", "Off, did not fire"},
                        {"Flash", "No flash function"},
                        {"Flash", "Auto, fired, return detected, red-eye reduction"}}));
}

std::vector<std::uint8_t> gpsBlock(const TiffBuilder& b, const char* latRef, const char* lonRef,
                                   std::uint32_t latDegreesDenominator = 1) {
    auto rationals = [&b](std::uint16_t tag, std::initializer_list<std::uint32_t> parts) {
        std::vector<std::uint8_t> out;
        for (std::uint32_t v : parts) b.put(out, v, 4);
        return b.entry(tag, 5, static_cast<std::uint32_t>(parts.size() / 2), out);
    };
    TiffIfd ifd0{{b.ascii(0x0110, "X"), b.pointer(0x8825, 1)}};
    TiffIfd gps{{b.ascii(0x0001, latRef),
                 rationals(0x0002, {52, latDegreesDenominator, 31, 1, 1234, 100}),
                 b.ascii(0x0003, lonRef), rationals(0x0004, {13, 1, 24, 1, 1782, 100}),
                 b.bytes(0x0005, 1, {1}), b.rational(0x0006, 50, 1)}};
    return b.build({ifd0, gps});
}

TEST(ExifReadableTest, GpsPositionIsListedInDegreesAndAsAGeoLink) {
    for (bool le : {true, false}) {
        const Rows rows = exifRows(gpsBlock(TiffBuilder(le), "N", "E"));
        ASSERT_EQ(rows.size(), 10u);
        EXPECT_EQ(rows[6],
                  (PropertyRow{"GPS Latitude", "52/1 31/1 1234/100 N", "52\u00B0 31' 12.34\" N"}));
        EXPECT_EQ(rows[7].meaning, "13\u00B0 24' 17.82\" E");
        EXPECT_EQ(rows[8], (PropertyRow{"GPS Altitude", "50/1", "50.0 m below sea level"}));
        EXPECT_EQ(rows[9], (PropertyRow{"GPS Position", "geo:52.520094,13.404950,-50.0", ""}));
    }
    ExifBlock south;
    south.setData(gpsBlock(TiffBuilder(true), "S", "W"), 0);
    const auto position = gpsPosition(south);
    ASSERT_TRUE(position);
    EXPECT_EQ(geoUri(*position), "geo:-52.520094,-13.404950,-50.0");
    // Receivers without a fix write 0/0: no position at all rather than a wrong one.
    const Rows noFix = exifRows(gpsBlock(TiffBuilder(true), "N", "E", 0));
    EXPECT_TRUE(std::none_of(noFix.begin(), noFix.end(),
                             [](const PropertyRow& r) { return r.tag.starts_with("GPS "); }));
}

TEST(ExifReadableTest, TerminalReportShowsTheMeaningWithTheStoredValue) {
    PropertiesReport report;
    report.rows = {{"Model", "X", ""}, {"FNumber", "28/5", "f/5.6"}, {"x-Resolution", "72", "72"}};
    EXPECT_EQ(readableReportText(report),
              "Model        X\nFNumber      f/5.6 [28/5]\nx-Resolution 72\n");
    // The copied report keeps the stored values only.
    EXPECT_EQ(reportText(report, "\n"), "Model        X\nFNumber      28/5\nx-Resolution 72\n");
}

}  // namespace
}  // namespace kalder::image
