#include "image/exif/exif_block.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "image/exif/tiff_builder.h"
#include "support/test_support.h"

namespace kalder::image {
namespace {

using test::TiffBuilder;
using test::TiffIfd;

constexpr std::uint16_t kModel = 0x0110;
constexpr std::uint16_t kXResolution = 0x011A;

ExifBlock parsed(const std::vector<std::uint8_t>& tiff, std::uint64_t fileOffset = 0) {
    ExifBlock block;
    block.setData(tiff, fileOffset);
    return block;
}

// ---- Both byte orders ---------------------------------------------------------------------

class ByteOrderTest : public ::testing::TestWithParam<bool> {
protected:
    TiffBuilder b{GetParam()};
};

TEST_P(ByteOrderTest, DecodesEveryTypeInlineAndOutOfLine) {
    TiffIfd ifd0;
    ifd0.entries = {
        b.bytes(0x1001, 1, {7, 200}),
        b.ascii(kModel, "Cam"),          // 4 bytes with the zero: inline
        b.ascii(0x010F, "Maker Inc"),    // out of line
        b.shorts(0x1002, {513, 65535}),  // 4 bytes: inline
        b.shorts(0x1003, {1, 2, 3, 4}),  // 8 bytes: from the offset
        b.longs(0x1004, {0xDEADBEEF}),
        b.rational(kXResolution, 72, 1),
        b.bytes(0x1006, 6, {0xFE}),
        b.bytes(0x1007, 7, {'0', '2', '3', '0'}),
        b.shorts(0x1008, {0xFFFB}, 8),
        b.longs(0x1009, {0xFFFFFFFF}, 9),
        b.rational(0x100A, static_cast<std::uint32_t>(-1), 3, 10),
        b.real32(0x100B, 1.5f),
        b.real64(0x100C, -2.25),
    };
    const ExifBlock block = parsed(b.build({ifd0}));
    ASSERT_FALSE(block.isEmpty());
    EXPECT_EQ(block.littleEndian(), GetParam());
    ASSERT_EQ(block.ifd(ExifIfdKind::Ifd0).entries.size(), ifd0.entries.size());
    for (const ExifEntry& e : block.ifd(ExifIfdKind::Ifd0).entries)
        EXPECT_TRUE(e.hasValue) << std::hex << e.tag;

    auto first = [&](std::uint16_t tag, std::uint32_t k = 0) {
        return block.value(*block.findEntry(ExifIfdKind::Ifd0, tag), k);
    };
    EXPECT_EQ(first(0x1001, 1).unsignedNumerator, 200u);
    EXPECT_EQ(block.getAscii(ExifIfdKind::Ifd0, kModel), "Cam");
    EXPECT_EQ(block.getAscii(ExifIfdKind::Ifd0, 0x010F), "Maker Inc");
    EXPECT_EQ(block.getShort(ExifIfdKind::Ifd0, 0x1002, 1), 65535);
    EXPECT_EQ(block.getShort(ExifIfdKind::Ifd0, 0x1003, 3), 4);
    EXPECT_EQ(block.getShort(ExifIfdKind::Ifd0, 0x1003, 4), std::nullopt);
    EXPECT_EQ(block.getLong(ExifIfdKind::Ifd0, 0x1004), 0xDEADBEEFu);
    const auto res = block.getRational(ExifIfdKind::Ifd0, kXResolution);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->numerator, 72u);
    EXPECT_EQ(res->denominator, 1u);
    EXPECT_EQ(first(0x1006).signedNumerator, -2);
    EXPECT_EQ(block.rawBytes(*block.findEntry(ExifIfdKind::Ifd0, 0x1007)).size(), 4u);
    EXPECT_EQ(first(0x1008).signedNumerator, -5);
    EXPECT_EQ(first(0x1009).signedNumerator, -1);
    EXPECT_EQ(first(0x100A).signedNumerator, -1);
    EXPECT_EQ(first(0x100A).signedDenominator, 3);
    EXPECT_EQ(first(0x100B).real, 1.5);
    EXPECT_EQ(first(0x100C).real, -2.25);

    // Typed getters refuse other types.
    EXPECT_EQ(block.getLong(ExifIfdKind::Ifd0, 0x1002), std::nullopt);
    EXPECT_EQ(block.getShort(ExifIfdKind::Ifd0, 0x1004), std::nullopt);
    EXPECT_EQ(block.getAscii(ExifIfdKind::Ifd0, 0x1007), std::nullopt);
    EXPECT_EQ(block.getUnsigned(ExifIfdKind::Ifd0, 0x1001), 7u);
    EXPECT_EQ(block.getUnsigned(ExifIfdKind::Ifd0, 0x1008), std::nullopt);
}

TEST_P(ByteOrderTest, ReadsAllDirectoriesFromTheirPointers) {
    // 0 = IFD0, 1 = Exif, 2 = interoperability, 3 = GPS, 4 = thumbnail directory.
    TiffIfd ifd0, exif, interop, gps, ifd1;
    ifd0.entries = {b.ascii(kModel, "X"), b.pointer(exif_tag::kExifIfdPointer, 1),
                    b.pointer(exif_tag::kGpsIfdPointer, 3)};
    ifd0.next = 4;
    exif.entries = {b.rational(0x829A, 1, 125), b.pointer(exif_tag::kInteropIfdPointer, 2)};
    interop.entries = {b.ascii(0x0001, "R98")};
    gps.entries = {b.bytes(0x0000, 1, {2, 2, 0, 0})};
    ifd1.entries = {b.shorts(exif_tag::kCompression, {6})};
    const ExifBlock block = parsed(b.build({ifd0, exif, interop, gps, ifd1}));

    EXPECT_EQ(block.ifd(ExifIfdKind::Ifd0).entries.size(), 3u);
    EXPECT_EQ(block.getRational(ExifIfdKind::Exif, 0x829A)->denominator, 125u);
    EXPECT_EQ(block.getAscii(ExifIfdKind::Interop, 0x0001), "R98");
    EXPECT_EQ(block.ifd(ExifIfdKind::Gps).entries.size(), 1u);
    EXPECT_EQ(block.getShort(ExifIfdKind::Ifd1, exif_tag::kCompression), 6);
    EXPECT_EQ(block.ifd(ExifIfdKind::Ifd1).find(exif_tag::kCompression), 0);
    EXPECT_EQ(block.ifd(ExifIfdKind::Ifd1).find(kModel), -1);
}

TEST_P(ByteOrderTest, OrientationTakesOnlyUnsignedOneToEight) {
    struct Case {
        std::uint16_t type;
        std::uint32_t value;
        int expected;
    };
    for (const Case& c :
         {Case{3, 6, 6}, Case{3, 1, 1}, Case{3, 8, 8}, Case{3, 0, 0}, Case{3, 9, 0}, Case{4, 3, 3},
          Case{1, 2, 2}, Case{8, 6, 0}, Case{9, 6, 0}, Case{3, 0x10006, 6}}) {
        TiffIfd ifd0;
        ifd0.entries = {
            c.type == 4 || c.type == 9 ? b.longs(exif_tag::kOrientation, {c.value}, c.type)
            : c.type == 1
                ? b.bytes(exif_tag::kOrientation, 1, {static_cast<std::uint8_t>(c.value)})
                : b.shorts(exif_tag::kOrientation, {static_cast<std::uint16_t>(c.value)}, c.type)};
        EXPECT_EQ(parsed(b.build({ifd0})).orientation(), c.expected)
            << "type " << c.type << " value " << c.value;
    }
}

TEST_P(ByteOrderTest, OrientationValueSitsWhereTheEditorWrites) {
    TiffIfd ifd0;
    ifd0.entries = {b.ascii(kModel, "X"), b.shorts(exif_tag::kOrientation, {6})};
    const auto tiff = b.build({ifd0});
    ExifBlock block;
    ASSERT_TRUE(block.setPayload(test::exifPayload(tiff), 1000));
    const ExifEntry* e = block.findEntry(ExifIfdKind::Ifd0, exif_tag::kOrientation);
    ASSERT_NE(e, nullptr);
    // Header 8, count 2, one entry 12, then tag, type, count: the value field is at 30.
    EXPECT_EQ(e->valueOffset, 30u);
    EXPECT_EQ(block.valueFilePosition(*e), 1000u + 6 + 30);
    EXPECT_EQ(block.fileOffset(), 1000u);
    EXPECT_EQ(block.data()[30], GetParam() ? 6 : 0);
    EXPECT_EQ(block.data()[31], GetParam() ? 0 : 6);
}

INSTANTIATE_TEST_SUITE_P(Exif, ByteOrderTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "II" : "MM"; });

// ---- Hostile blocks -----------------------------------------------------------------------

struct HostileCase {
    const char* name;
    std::vector<std::uint8_t> (*make)(const TiffBuilder& b);
    bool parses;  // setData keeps the block
    std::size_t ifd0Entries;
    std::size_t exifEntries;
    std::size_t ifd1Entries;
    std::size_t ifd0WithValue;  // entries of IFD0 that got a value
};

std::size_t withValue(const ExifIfd& ifd) {
    std::size_t n = 0;
    for (const ExifEntry& e : ifd.entries) n += e.hasValue;
    return n;
}

const HostileCase kHostile[] = {
    {"TooShort",
     [](const TiffBuilder&) {
         return std::vector<std::uint8_t>{'I', 'I', 42, 0};
     },
     false, 0, 0, 0, 0},
    {"UnknownByteOrder",
     [](const TiffBuilder&) { return std::vector<std::uint8_t>{'I', 'M', 42, 0, 8, 0, 0, 0}; },
     false, 0, 0, 0, 0},
    {"WrongMagic",
     [](const TiffBuilder& b) {
         auto t = b.build({TiffIfd{{b.ascii(kModel, "X")}}});
         t[2] = t[3] = 43;
         return t;
     },
     false, 0, 0, 0, 0},
    {"Ifd0OffsetPastEnd",
     [](const TiffBuilder& b) {
         return b.build({TiffIfd{{b.ascii(kModel, "X")}}}, {}, 0xFFFFFFFF);
     },
     true, 0, 0, 0, 0},
    {"EntriesDoNotFit",
     [](const TiffBuilder& b) {
         auto t = b.build({TiffIfd{{b.ascii(kModel, "X")}}});
         t.resize(t.size() - 8);  // the entry's last bytes and the next pointer are gone
         return t;
     },
     true, 0, 0, 0, 0},
    {"EntryCountClaimsTheMaximum",
     [](const TiffBuilder& b) {
         auto t = b.build({TiffIfd{{b.ascii(kModel, "X")}}});
         t[8] = t[9] = 0xFF;
         return t;
     },
     true, 0, 0, 0, 0},
    {"ValuesPastTheEndAreDroppedNotTheRest",
     [](const TiffBuilder& b) {
         return b.build({TiffIfd{{b.forced(0x010F, 2, 20, 0xFFFFFFF0), b.forced(0x010E, 2, 20, 60),
                                  b.forced(0x0131, 3, 100, 8), b.ascii(kModel, "X")}}});
     },
     true, 4, 0, 0, 1},
    {"CountTimesSizeWrapsIn32Bits",
     [](const TiffBuilder& b) {
         // 0x20000001 doubles are 0x100000008 bytes: 8 after a 32-bit wrap.
         return b.build(
             {TiffIfd{{b.forced(0x1000, 12, 0x20000001, 8), b.forced(0x1001, 5, 0x20000000, 8),
                       b.forced(0x1002, 4, 0x40000001, 8), b.forced(0x1003, 1, 0xFFFFFFFF, 8),
                       b.ascii(kModel, "X")}}});
     },
     true, 5, 0, 0, 1},
    {"UnknownTypesAndZeroCounts",
     [](const TiffBuilder& b) {
         return b.build({TiffIfd{{b.forced(0x1000, 0, 1, 0), b.forced(0x1001, 13, 1, 0),
                                  b.forced(0x1002, 0xFFFF, 1, 0), b.forced(0x1003, 3, 0, 0),
                                  b.shorts(0x1004, {1})}}});
     },
     true, 5, 0, 0, 1},
    {"Ifd1LoopsBackToIfd0",
     [](const TiffBuilder& b) {
         TiffIfd ifd0{{b.shorts(exif_tag::kCompression, {6})}, 0};
         return b.build({ifd0});
     },
     true, 1, 0, 0, 1},
    {"ExifPointerLoopsBackToIfd0",
     [](const TiffBuilder& b) {
         return b.build({TiffIfd{{b.pointer(exif_tag::kExifIfdPointer, 0)}}});
     },
     true, 1, 0, 0, 1},
    {"ExifPointerPastEnd",
     [](const TiffBuilder& b) {
         return b.build({TiffIfd{{b.forced(exif_tag::kExifIfdPointer, 4, 1, 0xFFFFFFFE)}}});
     },
     true, 1, 0, 0, 1},
    {"ExifPointerOfWrongType",
     [](const TiffBuilder& b) {
         TiffIfd ifd0{{b.pointer(exif_tag::kExifIfdPointer, 1)}};
         ifd0.entries[0].type = 9;  // SLONG
         return b.build({ifd0, TiffIfd{{b.ascii(kModel, "X")}}});
     },
     true, 1, 0, 0, 1},
    {"ExifPointerOnlyInThumbnailDirectory",
     [](const TiffBuilder& b) {
         TiffIfd ifd0{{}, 1};
         TiffIfd ifd1{{b.pointer(exif_tag::kExifIfdPointer, 2)}};
         return b.build({ifd0, ifd1, TiffIfd{{b.ascii(kModel, "X")}}});
     },
     true, 0, 0, 1, 0},
    {"NextPointerPastEnd",
     [](const TiffBuilder& b) {
         auto t = b.build({TiffIfd{{b.ascii(kModel, "X")}}});
         t[t.size() - 1] = t[t.size() - 2] = 0xFF;  // last bytes are the next pointer
         return t;
     },
     true, 1, 0, 0, 1},
};

class HostileTest : public ::testing::TestWithParam<std::tuple<HostileCase, bool>> {};

TEST_P(HostileTest, ParsesWhatFitsAndNothingElse) {
    const auto& [c, le] = GetParam();
    const TiffBuilder b(le);
    ExifBlock block;
    EXPECT_EQ(block.setData(c.make(b), 0), c.parses);
    EXPECT_EQ(block.isEmpty(), !c.parses);
    EXPECT_EQ(block.ifd(ExifIfdKind::Ifd0).entries.size(), c.ifd0Entries);
    EXPECT_EQ(block.ifd(ExifIfdKind::Exif).entries.size(), c.exifEntries);
    EXPECT_EQ(block.ifd(ExifIfdKind::Ifd1).entries.size(), c.ifd1Entries);
    EXPECT_EQ(withValue(block.ifd(ExifIfdKind::Ifd0)), c.ifd0WithValue);
    // Whatever survived can be read without leaving the block.
    for (auto kind : {ExifIfdKind::Ifd0, ExifIfdKind::Ifd1, ExifIfdKind::Exif, ExifIfdKind::Interop,
                      ExifIfdKind::Gps}) {
        for (const ExifEntry& e : block.ifd(kind).entries) {
            const auto raw = block.rawBytes(e);
            if (e.hasValue) {
                EXPECT_GE(raw.data(), block.data().data());
                EXPECT_LE(raw.data() + raw.size(), block.data().data() + block.data().size());
            }
            (void)block.value(e, e.count ? e.count - 1 : 0);
        }
    }
    EXPECT_TRUE(block.thumbnailJpeg().empty());
}

INSTANTIATE_TEST_SUITE_P(Exif, HostileTest,
                         ::testing::Combine(::testing::ValuesIn(kHostile), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_II" : "_MM");
                         });

TEST(ExifBlockTest, LargestDirectoryIsReadWithoutTrouble) {
    const TiffBuilder b(true);
    TiffIfd ifd0;
    for (int i = 0; i < 65535; ++i) ifd0.entries.push_back(b.forced(0x9000, 7, 0xFFFFFFFF, 8));
    const ExifBlock block = parsed(b.build({ifd0}));
    EXPECT_EQ(block.ifd(ExifIfdKind::Ifd0).entries.size(), 65535u);
    EXPECT_EQ(withValue(block.ifd(ExifIfdKind::Ifd0)), 0u);
}

TEST(ExifBlockTest, PayloadWithoutSignatureLeavesTheBlockAsItWas) {
    const TiffBuilder b(false);
    const auto tiff = b.build({TiffIfd{{b.ascii(kModel, "First")}}});
    ExifBlock block;
    ASSERT_TRUE(block.setPayload(test::exifPayload(tiff), 20));

    std::vector<std::uint8_t> xmp{'h', 't', 't', 'p', ':', '/', '/',
                                  'n', 's', '.', 'x', 'x', 'x', 'x'};
    EXPECT_FALSE(block.setPayload(xmp, 500));
    auto tooShort = test::exifPayload({'M', 'M', 0, 42, 0, 0, 0});
    EXPECT_FALSE(block.setPayload(tooShort, 500));
    EXPECT_EQ(block.getAscii(ExifIfdKind::Ifd0, kModel), "First");
    EXPECT_EQ(block.fileOffset(), 20u);

    // A later Exif payload replaces the earlier one.
    const auto second = b.build({TiffIfd{{b.ascii(kModel, "Second")}}});
    ASSERT_TRUE(block.setPayload(test::exifPayload(second), 900));
    EXPECT_EQ(block.getAscii(ExifIfdKind::Ifd0, kModel), "Second");
    EXPECT_EQ(block.fileOffset(), 900u);

    block.clear();
    EXPECT_TRUE(block.isEmpty());
    EXPECT_TRUE(block.ifd(ExifIfdKind::Ifd0).empty());
}

TEST(ExifBlockTest, OrientationTransformsFollowTheTable) {
    const ExifOrientation expected[] = {{0, false, false}, {0, true, false}, {2, false, false},
                                        {0, false, true},  {3, false, true}, {1, false, false},
                                        {3, true, false},  {3, false, false}};
    for (int v = 1; v <= 8; ++v) {
        const auto t = orientationTransform(v);
        ASSERT_TRUE(t);
        EXPECT_EQ(t->rotation, expected[v - 1].rotation) << v;
        EXPECT_EQ(t->flipH, expected[v - 1].flipH) << v;
        EXPECT_EQ(t->flipV, expected[v - 1].flipV) << v;
    }
    EXPECT_FALSE(orientationTransform(0));
    EXPECT_FALSE(orientationTransform(9));
}

// ---- Thumbnail ----------------------------------------------------------------------------

struct ThumbCase {
    const char* name;
    std::uint16_t compression;
    std::uint16_t compressionType;
    std::uint16_t offsetType;
    std::optional<std::uint32_t> forcedOffset;
    std::optional<std::uint32_t> forcedLength;
    bool found;
};

class ThumbnailTest : public ::testing::TestWithParam<std::tuple<ThumbCase, bool>> {};

TEST_P(ThumbnailTest, TakesOnlyAJpegRangeInsideTheBlock) {
    const auto& [c, le] = GetParam();
    const TiffBuilder b(le);
    const std::vector<std::uint8_t> jpeg{0xFF, 0xD8, 0xFF, 0xDB, 1, 2, 3, 0xFF, 0xD9};
    TiffIfd ifd0{{b.ascii(kModel, "X")}, 1};
    TiffIfd ifd1;
    ifd1.entries.push_back(c.compressionType == 3
                               ? b.shorts(exif_tag::kCompression, {c.compression})
                               : b.longs(exif_tag::kCompression, {c.compression}));
    auto offset = b.blobOffset(exif_tag::kJpegInterchangeFormat, 0);
    offset.type = c.offsetType;
    if (c.forcedOffset) offset.field = *c.forcedOffset;
    ifd1.entries.push_back(offset);
    ifd1.entries.push_back(
        c.forcedLength ? b.forced(exif_tag::kJpegInterchangeFormatLength, 4, 1, *c.forcedLength)
                       : b.longs(exif_tag::kJpegInterchangeFormatLength,
                                 {static_cast<std::uint32_t>(jpeg.size())}));
    const ExifBlock block = parsed(b.build({ifd0, ifd1}, {jpeg}));
    const auto thumb = block.thumbnailJpeg();
    if (c.found) {
        ASSERT_EQ(thumb.size(), jpeg.size());
        EXPECT_TRUE(std::equal(thumb.begin(), thumb.end(), jpeg.begin()));
    } else {
        EXPECT_TRUE(thumb.empty());
    }
}

const ThumbCase kThumbCases[] = {
    {"Jpeg", 6, 3, 4, {}, {}, true},
    {"Uncompressed", 1, 3, 4, {}, {}, false},
    {"CompressionAsLong", 6, 4, 4, {}, {}, false},
    {"OffsetAsShort", 6, 3, 3, {}, {}, false},
    {"ZeroLength", 6, 3, 4, {}, 0u, false},
    {"LengthPastEnd", 6, 3, 4, {}, 10u, false},
    {"OffsetPastEnd", 6, 3, 4, 0xFFFFFFF0u, {}, false},
    {"OffsetPlusLengthWraps", 6, 3, 4, 0x10u, 0xFFFFFFF8u, false},
};

INSTANTIATE_TEST_SUITE_P(Exif, ThumbnailTest,
                         ::testing::Combine(::testing::ValuesIn(kThumbCases), ::testing::Bool()),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) ? "_II" : "_MM");
                         });

// ---- Files from elsewhere -----------------------------------------------------------------

// The Exif APP1 payloads of a JPEG file with the file position of each, in file order.
std::vector<std::pair<std::vector<std::uint8_t>, std::uint64_t>> exifSegments(
    const std::vector<std::uint8_t>& file) {
    std::vector<std::pair<std::vector<std::uint8_t>, std::uint64_t>> out;
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return out;
    std::size_t pos = 2;
    while (pos + 4 <= file.size()) {
        if (file[pos] != 0xFF) break;
        const std::uint8_t marker = file[pos + 1];
        if (marker == 0xFF) {
            ++pos;
            continue;
        }
        if (marker == 0xD8 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) break;
        const std::size_t length = std::size_t{file[pos + 2]} << 8 | file[pos + 3];
        if (length < 2 || pos + 2 + length > file.size()) break;
        if (marker == 0xE1) {
            const auto* begin = file.data() + pos + 4;
            std::vector<std::uint8_t> payload(begin, begin + (length - 2));
            if (payload.size() > 6 && std::equal(payload.begin(), payload.begin() + 6, "Exif\0\0"))
                out.emplace_back(std::move(payload), pos + 4);
        }
        pos += 2 + length;
    }
    return out;
}

// Orientation of every listed file as Pillow's getexif() sees it; empty without Pillow.
std::map<std::string, int> pillowOrientations(const std::vector<std::filesystem::path>& files) {
    std::map<std::string, int> out;
    if (!test::havePillow() || files.empty()) return out;
    test::TempDir dir;
    const auto script = dir / "orient.py";
    std::ofstream(script) << "import sys\nfrom PIL import Image\n"
                             "for p in sys.argv[1:]:\n"
                             "    try:\n"
                             "        v = Image.open(p).getexif().get(274, 0)\n"
                             "    except Exception:\n"
                             "        v = -1\n"
                             "    print(v if isinstance(v, int) else -1, p)\n";
    std::string command = "/usr/bin/python3 '" + script.string() + "'";
    for (const auto& f : files) command += " '" + f.string() + "'";
    command += " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return out;
    char line[4096];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream in(line);
        int v = 0;
        std::string path;
        in >> v;
        std::getline(in >> std::ws, path);
        out[path] = v;
    }
    ::pclose(pipe);
    return out;
}

TEST(ExifExternalTest, EveryJpegParsesAndOrientationMatchesPillow) {
    const auto root = test::externalTestData();
    if (!root) GTEST_SKIP() << "no shared test images (testdata/external) beside the checkout";
    std::vector<std::filesystem::path> jpegs;
    for (const auto& item : std::filesystem::recursive_directory_iterator(*root)) {
        auto ext = item.path().extension().string();
        for (auto& ch : ext) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        if (item.is_regular_file() && (ext == ".jpg" || ext == ".jpeg" || ext == ".jpe"))
            jpegs.push_back(item.path());
    }
    ASSERT_FALSE(jpegs.empty());
    const auto pillow = pillowOrientations(jpegs);

    int withExif = 0, checked = 0;
    for (const auto& path : jpegs) {
        const auto segments = exifSegments(test::readFile(path));
        ExifBlock block;
        for (const auto& [payload, at] : segments) block.setPayload(payload, at);
        (void)block.thumbnailJpeg();
        withExif += !block.isEmpty();

        const std::string name = path.filename().string();
        std::optional<int> expected;
        if (name.starts_with("hopper_orientation_")) expected = name[19] - '0';
        if (auto it = pillow.find(path.string()); it != pillow.end() && segments.size() == 1) {
            const int p = it->second;
            if (p >= 2 && p <= 8)
                expected = p;
            else if (name.starts_with("exif") && p >= 0)
                expected = p <= 8 ? p : 0;
        }
        if (expected) {
            EXPECT_EQ(block.orientation(), *expected) << path;
            ++checked;
        }
    }
    EXPECT_GT(withExif, 0);
    EXPECT_GE(checked, 7);  // at least the seven hopper_orientation_N files
}

}  // namespace
}  // namespace kalder::image
