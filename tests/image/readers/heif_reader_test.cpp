// HEIC and AVIF files made by the formats' own encoders from our pictures, read by us and by
// their reference decoders.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#ifdef __has_include
#if __has_include(<sanitizer/allocator_interface.h>)
#include <sanitizer/allocator_interface.h>
#endif
#endif

#include "image/bitmap32.h"
#include "image/cdx_loader.h"
#include "image/child_memory.h"
#include "library_reader_test_support.h"

namespace kalder::image {
namespace {

namespace fs = std::filesystem;
using namespace kalder::test;

class HeifReader : public ::testing::Test {
protected:
    void SetUp() override {
        if (!makeHeifReader()->OpenMemory({}).ok()) GTEST_SKIP() << "built without libheif";
    }
    // The reference decode of `file` (through a PNG the tool writes).
    std::optional<Decoded> reference(const std::string& tool, const fs::path& file) {
        const fs::path png = dir / (file.stem().string() + ".ref.png");
        if (!run(tool + " " + q(file) + " " + q(png))) return std::nullopt;
        auto pages = decodeAllPages(png);
        if (pages.size() != 1) return std::nullopt;
        return pages[0];
    }
    TempDir dir;
};

TEST_F(HeifReader, StillsMatchTheReferenceDecoders) {
    const struct {
        const char* name;
        const char* encoder;
        const char* decoder;
        bool alpha;
        bool lossless;
    } cases[] = {
        {"heic_alpha.heic", "heif-enc -q 85", "heif-convert", true, false},
        {"heic.heic", "heif-enc -q 60", "heif-convert", false, false},
        {"avif_alpha.avif", "avifenc -s 10", "avifdec", true, false},
        {"avif_lossless.avif", "avifenc -s 10 -l", "avifdec", true, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string encoder(c.encoder), decoder(c.decoder);
        if (!haveTool(encoder.substr(0, encoder.find(' '))) || !haveTool(decoder)) continue;
        const Picture picture = drawPicture(96, 64, c.alpha);
        const fs::path png = dir / (std::string(c.name) + ".png"), file = dir / c.name;
        ASSERT_TRUE(writePng(picture, png));
        ASSERT_TRUE(run(encoder + " " + q(png) + " -o " + q(file)));
        const auto ours = decodeAllPages(file);
        const auto theirs = reference(decoder, file);
        ASSERT_EQ(ours.size(), 1u);
        ASSERT_TRUE(theirs);
        const int tolerance = c.lossless ? 0 : 2;
        EXPECT_LE(maxChannelDifference(ours[0].rgb, theirs->rgb), tolerance);
        EXPECT_LE(maxAlphaDifference(ours[0].alpha, theirs->alpha), tolerance);
        if (c.lossless) {
            EXPECT_EQ(maxChannelDifference(ours[0].rgb, picture.rgb), 0);
        }
        EXPECT_EQ(ours[0].alpha.empty(), !c.alpha);
    }
}

// A phone stores its photos sideways with a rotation property; they must show upright.
TEST_F(HeifReader, RotationPropertyIsApplied) {
    if (!haveTool("avifenc")) GTEST_SKIP() << "avifenc not installed";
    const Picture picture = drawPicture(40, 24, false);
    const fs::path png = dir / "p.png", file = dir / "rotated.avif";
    ASSERT_TRUE(writePng(picture, png));
    ASSERT_TRUE(run("avifenc -s 10 -l --irot 1 " + q(png) + " -o " + q(file)));
    const auto ours = decodeAllPages(file);
    ASSERT_EQ(ours.size(), 1u);
    // A quarter turn anticlockwise: the source's top-right corner comes to the top-left.
    RgbImage expected;
    expected.width = picture.height;
    expected.height = picture.width;
    expected.rgb.resize(picture.rgb.rgb.size());
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x)
            std::memcpy(
                expected.rgb.data() + (static_cast<std::size_t>(y) * expected.width + x) * 3,
                picture.rgb.at(picture.width - 1 - y, x), 3);
    EXPECT_EQ(maxChannelDifference(ours[0].rgb, expected), 0);
}

TEST_F(HeifReader, EmbeddedThumbnailSparesTheMainPicture) {
    if (!haveTool("heif-enc")) GTEST_SKIP() << "heif-enc not installed";
    const fs::path png = dir / "p.png", file = dir / "thumb.heic";
    ASSERT_TRUE(writePng(drawPicture(500, 300, false), png));
    ASSERT_TRUE(run("heif-enc -q 70 -t 64 " + q(png) + " -o " + q(file)));
    auto reader = CreateReader(file);
    ASSERT_NE(reader, nullptr);
    Bitmap32 bitmap;
    ASSERT_TRUE(reader->MakeThumbnail(file, bitmap, 64, 0, nullptr).ok());
    // The main picture would come out 72 x 43 (averaged down by a whole factor of 7).
    EXPECT_EQ(bitmap.width(), 64);
    EXPECT_EQ(bitmap.height(), 38);
    // Asked for more than the thumbnail holds, the main picture is used.
    auto again = CreateReader(file);
    ASSERT_TRUE(again->MakeThumbnail(file, bitmap, 128, 0, nullptr).ok());
    EXPECT_EQ(bitmap.width(), 167);
}

// The library cannot stop inside a decode; a cancel must still be answered at once, and the
// abandoned decode must neither touch the closed handle nor the caller's bytes afterwards.
TEST_F(HeifReader, CancelIsAnsweredWhileTheLibraryDecodes) {
    if (!haveTool("heif-enc")) GTEST_SKIP() << "heif-enc not installed";
    const fs::path png = dir / "p.png", file = dir / "p.heic";
    ASSERT_TRUE(writePng(drawPicture(640, 480, true), png));
    ASSERT_TRUE(run("heif-enc -q 50 " + q(png) + " -o " + q(file)));
    const CdxRasterApi* api = cdx::heifApi(cdx::Group::Readers);
    ASSERT_NE(api, nullptr);
    const CdxRasterLimits limits{1u << 16, 1u << 28};
    // The first question comes before the decode starts, the second while it runs.
    auto cancelOnSecondAsk = [](void* user) { return ++*static_cast<int*>(user) >= 2 ? 1 : 0; };
    for (int round = 0; round < 8; ++round) {
        auto bytes = std::make_unique<std::vector<std::uint8_t>>(readFile(file));
        CdxRaster* raster = nullptr;
        CdxMessage message{};
        ASSERT_EQ(api->open(bytes->data(), bytes->size(), &limits, &raster, &message), CDX_OK);
        int asked = 0;
        CdxRasterFrame frame{};
        EXPECT_EQ(api->nextFrame(raster, cancelOnSecondAsk, &asked, &frame, &message),
                  CDX_CANCELLED);
        api->close(raster);
        bytes->assign(bytes->size(), 0xEE);
        bytes.reset();
    }
    const auto bytes = readFile(file);
    CdxRaster* raster = nullptr;
    CdxMessage message{};
    ASSERT_EQ(api->open(bytes.data(), bytes.size(), &limits, &raster, &message), CDX_OK);
    auto never = [](void*) { return 0; };
    CdxRasterFrame frame{};
    ASSERT_EQ(api->nextFrame(raster, never, nullptr, &frame, &message), CDX_OK);
    EXPECT_EQ(frame.width, 640u);
    EXPECT_EQ(frame.height, 480u);
    api->close(raster);
}

// A decode has finished with the library when it returns: a job thread still freeing the
// library's objects behind the caller's back looks like a leak to the fuzzers' leak check, and
// is one at exit.
TEST_F(HeifReader, NothingOfADecodeOutlivesTheCall) {
    if (!kAddressSanitizer) GTEST_SKIP() << "counts the heap through the address sanitizer";
    if (!haveTool("heif-enc")) GTEST_SKIP() << "heif-enc not installed";
    const fs::path png = dir / "p.png", file = dir / "p.heic";
    ASSERT_TRUE(writePng(drawPicture(320, 240, true), png));
    ASSERT_TRUE(run("heif-enc -q 50 " + q(png) + " -o " + q(file)));
    const auto bytes = readFile(file);
    const CdxRasterApi* api = cdx::heifApi(cdx::Group::Readers);
    ASSERT_NE(api, nullptr);
    const CdxRasterLimits limits{1u << 16, 1u << 28};
    auto decode = [&] {
        CdxRaster* raster = nullptr;
        CdxMessage message{};
        if (api->open(bytes.data(), bytes.size(), &limits, &raster, &message) != CDX_OK)
            return false;
        CdxRasterFrame frame{};
        const int status = api->nextFrame(
            raster, [](void*) { return 0; }, nullptr, &frame, &message);
        api->close(raster);
        return status == CDX_OK;
    };
    // The library sets up its tables and plugins once.
    ASSERT_TRUE(decode());
    ASSERT_TRUE(decode());
#ifdef KALDER_TEST_ASAN
    for (int round = 0; round < 6; ++round) {
        const std::size_t before = __sanitizer_get_current_allocated_bytes();
        const bool decoded = decode();
        const std::size_t after = __sanitizer_get_current_allocated_bytes();
        ASSERT_TRUE(decoded);
        EXPECT_EQ(after, before) << "round " << round;
    }
#endif
}

// Decodes abandoned just before the program ends are still running while it exits; they must
// not find the libraries' own objects destroyed under them. Exiting is once per process, so the
// exit runs in fresh copies of this test program.
TEST(HeifAbandonedDecode, ExitWhileDecoding) {
    const char* file = std::getenv("KALDER_TEST_ABANDON");
    if (!file) GTEST_SKIP() << "runs only in the child process";
    const auto bytes = readFile(file);
    const CdxRasterApi* api = cdx::heifApi(cdx::Group::Readers);
    ASSERT_NE(api, nullptr);
    const CdxRasterLimits limits{1u << 16, 1u << 28};
    auto cancelOnSecondAsk = [](void* user) { return ++*static_cast<int*>(user) >= 2 ? 1 : 0; };
    for (int i = 0; i < 2; ++i) {
        CdxRaster* raster = nullptr;
        CdxMessage message{};
        ASSERT_EQ(api->open(bytes.data(), bytes.size(), &limits, &raster, &message), CDX_OK);
        int asked = 0;
        CdxRasterFrame frame{};
        ASSERT_EQ(api->nextFrame(raster, cancelOnSecondAsk, &asked, &frame, &message),
                  CDX_CANCELLED);
        api->close(raster);
    }
    std::exit(0);
}

TEST_F(HeifReader, AbandonedDecodesDoNotBreakTheExit) {
    if (!haveTool("heif-enc")) GTEST_SKIP() << "heif-enc not installed";
    const fs::path png = dir / "p.png", file = dir / "p.heic";
    ASSERT_TRUE(writePng(drawPicture(1200, 900, false), png));
    ASSERT_TRUE(run("heif-enc -q 80 " + q(png) + " -o " + q(file)));
    for (int round = 0; round < 2; ++round) {
        const std::string command = "KALDER_TEST_ABANDON=" + q(file) + " /proc/" +
                                    std::to_string(::getpid()) +
                                    "/exe --gtest_filter=HeifAbandonedDecode.* >/dev/null 2>&1";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << "the program died while exiting";
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
}

TEST_F(HeifReader, HugeSizesAndDamageFailCleanly) {
    for (const char* encoder : {"heif-enc -q 50", "avifenc -s 10"}) {
        SCOPED_TRACE(encoder);
        const std::string e(encoder);
        if (!haveTool(e.substr(0, e.find(' ')))) continue;
        const fs::path png = dir / "small.png";
        const fs::path file = dir / (e[0] == 'h' ? "small.heic" : "small.avif");
        ASSERT_TRUE(writePng(drawPicture(16, 16, true), png));
        ASSERT_TRUE(run(e + " " + q(png) + " -o " + q(file)));
        expectDamageFailsCleanly(file, dir);
        // Every size property now announces 65535 x 65535.
        std::vector<std::uint8_t> bytes = readFile(file);
        int patched = 0;
        for (std::size_t i = 0; i + 16 <= bytes.size(); ++i)
            if (std::memcmp(&bytes[i], "ispe", 4) == 0) {
                for (std::size_t k = i + 8; k < i + 16; ++k) bytes[k] = (k - i) % 4 < 2 ? 0 : 0xFF;
                ++patched;
            }
        ASSERT_GT(patched, 0);
        const fs::path bomb = dir / ("bomb" + file.extension().string());
        writeFile(bomb, bytes);
        auto reader = CreateReader(bomb);
        ASSERT_NE(reader, nullptr);
        ASSERT_TRUE(reader->OpenFile(bomb, {}).ok());
        const Status s = reader->ReadHeader();
        ASSERT_FALSE(s.ok());
        EXPECT_EQ(s.error(), DecodeError::TooLarge);
    }
}

// Three frames of different colours and delays, as the sequence encoder writes them: each frame
// as the reference decoder gives it, the delays as encoded, and the sizes of the track and of
// the still both judged before anything is decoded.
TEST_F(HeifReader, AvifSequenceFramesMatchTheReferenceDecoder) {
    if (!haveTool("avifenc") || !haveTool("avifdec")) GTEST_SKIP() << "avifenc not installed";
    const std::uint32_t delays[] = {10, 30, 5};  // hundredths of a second
    std::string command = "avifenc -s 10 --fps 100";
    for (int f = 0; f < 3; ++f) {
        const fs::path png = dir / ("f" + std::to_string(f) + ".png");
        ASSERT_TRUE(writePng(drawPicture(48, 32, false, f * 2), png));
        command += " --duration " + std::to_string(delays[f]) + " " + q(png);
    }
    const fs::path file = dir / "seq.avif";
    ASSERT_TRUE(run(command + " -o " + q(file)));
    const auto ours = decodeAllPages(file);
    if (ours.size() == 1u) GTEST_SKIP() << "built without libavif: the still only";
    ASSERT_EQ(ours.size(), 3u);
    for (int f = 0; f < 3; ++f) {
        SCOPED_TRACE(f);
        const fs::path ref = dir / ("ref" + std::to_string(f) + ".png");
        ASSERT_TRUE(run("avifdec --index " + std::to_string(f) + " " + q(file) + " " + q(ref)));
        const auto theirs = decodeAllPages(ref);
        ASSERT_EQ(theirs.size(), 1u);
        EXPECT_LE(maxChannelDifference(ours[f].rgb, theirs[0].rgb), 2);
        EXPECT_EQ(ours[f].delay, delays[f]);
    }
    EXPECT_GT(maxChannelDifference(ours[0].rgb, ours[1].rgb), 40);
    expectDamageFailsCleanly(file, dir);

    // The still's size property, then the track header's size (16.16 fixed point).
    for (const char* box : {"ispe", "tkhd"}) {
        SCOPED_TRACE(box);
        std::vector<std::uint8_t> bytes = readFile(file);
        const auto at = std::search(bytes.begin(), bytes.end(), box, box + 4) - bytes.begin();
        ASSERT_LT(static_cast<std::size_t>(at), bytes.size());
        if (box[0] == 'i') {
            const std::uint8_t huge[] = {0, 0, 0xFF, 0xFF, 0, 0, 0xFF, 0xFF};
            std::copy(std::begin(huge), std::end(huge), bytes.begin() + at + 8);
        } else {
            const std::size_t size = at + (bytes[at + 4] == 1 ? 92 : 80);
            const std::uint8_t huge[] = {0x4E, 0x20, 0, 0, 0x27, 0x10, 0, 0};  // 20000 x 10000
            ASSERT_LT(size + 8, bytes.size());
            std::copy(std::begin(huge), std::end(huge), bytes.begin() + size);
        }
        auto reader = makeHeifReader();
        ASSERT_TRUE(reader->OpenMemory(bytes).ok());
        const Status s = reader->ReadHeader();
        ASSERT_FALSE(s.ok());
        EXPECT_EQ(s.error(), DecodeError::TooLarge);
    }
}

// The frames of a sequence whose track crops, turns and mirrors them animate on the page the
// still shows: each is its source cut, turned anticlockwise, then mirrored (lossless, so
// exact). A clean aperture reaching outside the frame leaves the file to its still.
TEST_F(HeifReader, AvifSequenceFramesAreCroppedTurnedAndMirrored) {
    if (!haveTool("avifenc")) GTEST_SKIP() << "avifenc not installed";
    const auto turn = [](const RgbImage& in) {  // a quarter turn anticlockwise
        RgbImage out{in.height, in.width, std::vector<std::uint8_t>(in.rgb.size())};
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x)
                std::memcpy(out.rgb.data() + (static_cast<std::size_t>(y) * out.width + x) * 3,
                            in.at(in.width - 1 - y, x), 3);
        return out;
    };
    const auto flip = [](const RgbImage& in, bool leftRight) {
        RgbImage out = in;
        for (int y = 0; y < in.height; ++y)
            for (int x = 0; x < in.width; ++x)
                std::memcpy(out.rgb.data() + (static_cast<std::size_t>(y) * in.width + x) * 3,
                            leftRight ? in.at(in.width - 1 - x, y) : in.at(x, in.height - 1 - y),
                            3);
        return out;
    };
    const struct {
        int turns, mirror;  // mirror: -1 none, 0 top and bottom exchanged, 1 left and right
        int x, y, w, h;     // the crop; the whole 24 x 16 frame when w is 0
    } cases[] = {{1, 0, 3, 1, 17, 10}, {3, 1, 0, 0, 0, 0}, {2, -1, 2, 4, 20, 11}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.turns) + " turns, mirror " + std::to_string(c.mirror));
        // Every frame a key frame: at this speed the encoder's lossless inter frames are not.
        std::string command = "avifenc -s 10 -l -k 1 --irot " + std::to_string(c.turns);
        if (c.mirror >= 0) command += " --imir " + std::to_string(c.mirror);
        if (c.w > 0)
            command += " --crop " + std::to_string(c.x) + "," + std::to_string(c.y) + "," +
                       std::to_string(c.w) + "," + std::to_string(c.h);
        std::vector<RgbImage> expected;
        for (int f = 0; f < 2; ++f) {
            const Picture picture = drawPicture(24, 16, false, f * 3);
            const fs::path png = dir / ("g" + std::to_string(f) + ".png");
            ASSERT_TRUE(writePng(picture, png));
            command += " " + q(png);
            RgbImage page{c.w > 0 ? c.w : picture.width, c.w > 0 ? c.h : picture.height, {}};
            for (int y = 0; y < page.height; ++y)
                page.rgb.insert(page.rgb.end(), picture.rgb.at(c.x, c.y + y),
                                picture.rgb.at(c.x + page.width, c.y + y));
            for (int t = 0; t < c.turns; ++t) page = turn(page);
            if (c.mirror >= 0) page = flip(page, c.mirror == 1);
            expected.push_back(page);
        }
        const fs::path file = dir / "shaped.avif";
        ASSERT_TRUE(run(command + " -o " + q(file)));
        const auto ours = decodeAllPages(file);
        if (ours.size() == 1u) GTEST_SKIP() << "built without libavif: the still only";
        ASSERT_EQ(ours.size(), 2u);
        for (int f = 0; f < 2; ++f) {
            SCOPED_TRACE(f);
            ASSERT_EQ(ours[f].rgb.width, expected[f].width);
            ASSERT_EQ(ours[f].rgb.height, expected[f].height);
            EXPECT_EQ(maxChannelDifference(ours[f].rgb, expected[f]), 0);
        }
        if (c.w == 0) continue;
        // Every clean aperture (the still's and the track's) now 300 pixels wide.
        std::vector<std::uint8_t> bytes = readFile(file);
        int patched = 0;
        for (std::size_t i = 0; i + 36 <= bytes.size(); ++i)
            if (std::memcmp(&bytes[i], "clap", 4) == 0) {
                const std::uint8_t wide[] = {0, 0, 0x01, 0x2C, 0, 0, 0, 1};
                std::copy(std::begin(wide), std::end(wide), bytes.begin() + i + 4);
                ++patched;
            }
        EXPECT_EQ(patched, 2);
        const fs::path wide = dir / "wide.avif";
        writeFile(wide, bytes);
        EXPECT_LE(decodeAllPages(wide).size(), 1u);
    }
}

// A fuzzer's find: a grid whose own canvas is far beyond the picture size the file states, and
// the same file with the grid turned into an identity item that names a missing input (which
// the library meets with a failed assertion).
TEST_F(HeifReader, DerivedPicturesAreCheckedBeforeTheLibraryDecodes) {
    std::vector<std::uint8_t> bytes =
        readFile(sourceDir() / "tests/data/crashers/heif_grid_canvas_beyond_its_picture.heic");
    const auto decodeFails = [&](DecodeError expected) {
        auto reader = makeHeifReader();
        ASSERT_TRUE(reader->OpenMemory(bytes).ok());
        ASSERT_TRUE(reader->ReadHeader().ok());
        const auto frame = reader->BeginDecode();
        ASSERT_FALSE(frame.ok());
        EXPECT_EQ(frame.error(), expected);
    };
    decodeFails(DecodeError::TooLarge);

    const auto patch = [&](std::initializer_list<std::uint8_t> from,
                           std::initializer_list<std::uint8_t> to) {
        const auto at = std::search(bytes.begin(), bytes.end(), from.begin(), from.end());
        ASSERT_NE(at, bytes.end());
        std::copy(to.begin(), to.end(), at);
    };
    patch({0, 2, 0, 0, 'g', 'r', 'i', 'd'}, {0, 2, 0, 0, 'i', 'd', 'e', 'n'});
    patch({'d', 'i', 'm', 'g', 0, 2, 0, 1, 0, 1}, {'d', 'i', 'm', 'g', 0, 2, 0, 1, 0, 9});
    decodeFails(DecodeError::Corrupt);
}

}  // namespace
}  // namespace kalder::image
