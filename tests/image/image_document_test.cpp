#include "image/image_document.h"

#include <gtest/gtest.h>

#include "image/color_space.h"
#include "image/image_reader.h"
#include "image/sinks.h"
#include "support/test_support.h"

using namespace kalder::image;

namespace {

// A reader of synthetic frames: pixel (x, y) of frame f is gray (x + 2y + 10f) & 255.
class FakeReader : public ImageReader {
public:
    std::int32_t width = 4, height = 3, frames = 1;
    std::uint32_t bits = 24;
    bool hasPalette = true;
    bool withAlpha = false;
    std::int32_t failAtRow = -1;
    bool* destroyed = nullptr;

    ~FakeReader() override {
        if (destroyed) *destroyed = true;
    }
    Status OpenFile(const std::filesystem::path&, const ReaderSettings& s) override {
        m_settings = s;
        return {};
    }
    bool IsSingleImage() const override { return frames == 1; }
    std::int32_t Width() const override { return width; }
    std::int32_t Height() const override { return height; }
    std::uint32_t BitsPerPixel() const override { return bits; }
    bool GetPalette(Palette&) const override { return hasPalette; }
    Result<std::uint32_t> BeginDecode() override {
        if (m_frame >= frames) return DecodeError::NoMoreFrames;
        ++m_frame;
        m_row = 0;
        if (withAlpha && m_settings.extractAlpha)
            m_alphaPlane.assign(static_cast<std::size_t>(width) * height, 128);
        return 7u;
    }
    Status ReadRow(std::uint8_t* out, bool /*skip*/) override {
        if (m_row == failAtRow) return DecodeError::Truncated;
        for (std::int32_t x = 0; x < width; ++x)
            out[x * 3] = out[x * 3 + 1] = out[x * 3 + 2] =
                static_cast<std::uint8_t>(x + 2 * m_row + 10 * (m_frame - 1));
        ++m_row;
        return rowDelivered(height, m_row);
    }

private:
    std::int32_t m_frame = 0;
    std::int32_t m_row = 0;
};

LoadOptions plain() {
    LoadOptions o;
    o.path = "synthetic";
    return o;
}

struct RecordingTransform : ColorTransform {
    int sources = 0;
    bool lastWasNull = false;
    bool setSource(const ColorSpace* space) override {
        ++sources;
        lastWasNull = space == nullptr;
        return true;
    }
    void translateRow(std::uint8_t* bgrx, std::size_t count) override {
        for (std::size_t i = 0; i < count; ++i) bgrx[i * 4 + 2] = 200;  // red up
    }
};

}  // namespace

TEST(ImageDocument, DecodesASinglePageAndClosesTheReader) {
    auto reader = std::make_unique<FakeReader>();
    bool destroyed = false;
    reader->destroyed = &destroyed;
    ImageDocument doc;
    ASSERT_TRUE(doc.openWithReader(std::move(reader), plain()));
    ASSERT_TRUE(doc.AddPage());
    EXPECT_TRUE(doc.hasOpenReader());
    ASSERT_TRUE(doc.DecodePage());
    EXPECT_TRUE(destroyed) << "single-image readers are closed after their page";
    ASSERT_EQ(doc.PageCount(), 1);
    const ImagePage& page = doc.PageAt(0);
    EXPECT_EQ(page.width, 4u);
    EXPECT_EQ(page.bitsPerPixel, 24u);
    EXPECT_EQ(page.transparentIndex, -1);
    EXPECT_EQ(page.hotSpotX, -1);
    for (std::uint8_t b : page.palette) EXPECT_EQ(b, 0);
    EXPECT_EQ(page.bitmap.row(2)[3 * 4], 3 + 4);
    EXPECT_FALSE(doc.AddPage()) << "no reader left";
}

TEST(ImageDocument, StopsAtTwoHundredFiftySixPages) {
    auto reader = std::make_unique<FakeReader>();
    reader->width = reader->height = 1;
    reader->frames = 300;
    ImageDocument doc;
    ASSERT_TRUE(doc.openWithReader(std::move(reader), plain()));
    int decoded = 0;
    while (doc.AddPage() && doc.DecodePage()) ++decoded;
    EXPECT_EQ(decoded, 256);
    EXPECT_EQ(doc.PageCount(), 256);
    EXPECT_EQ(doc.PageAt(255).delay, 7u);
    EXPECT_EQ(doc.PageAt(255).bitmap.stride(), 4u);
    EXPECT_FALSE(doc.AddPage());
}

TEST(ImageDocument, KeepsEarlierFramesWhenALaterOneFails) {
    auto reader = std::make_unique<FakeReader>();
    reader->frames = 3;
    auto* raw = reader.get();
    ImageDocument doc;
    ASSERT_TRUE(doc.openWithReader(std::move(reader), plain()));
    ASSERT_TRUE(doc.AddPage() && doc.DecodePage());
    EXPECT_TRUE(doc.hasOpenReader()) << "multi-frame readers stay open between frames";
    raw->failAtRow = 1;
    ASSERT_TRUE(doc.AddPage());
    EXPECT_FALSE(doc.DecodePage());
    EXPECT_EQ(doc.lastError(), DecodeError::Truncated);
    EXPECT_FALSE(doc.hasOpenReader());
    EXPECT_EQ(doc.PageCount(), 2);
    EXPECT_EQ(doc.PageAt(0).bitmap.row(0)[4], 1);
}

TEST(ImageDocument, RefusesImpossiblePages) {
    struct Case {
        std::int32_t w, h;
        std::uint32_t bits;
        bool palette;
        int rotation;
    };
    for (const Case& c :
         {Case{32768, 10, 24, true, 0}, Case{10, 32768, 24, true, 1}, Case{10, 10, 0, true, 0},
          Case{10, 10, 24, false, 0}, Case{0, 10, 24, true, 0}}) {
        auto reader = std::make_unique<FakeReader>();
        reader->width = c.w;
        reader->height = c.h;
        reader->bits = c.bits;
        reader->hasPalette = c.palette;
        auto o = plain();
        o.rotation = c.rotation;
        ImageDocument doc;
        ASSERT_TRUE(doc.openWithReader(std::move(reader), o));
        EXPECT_FALSE(doc.AddPage()) << c.w << "x" << c.h << " bits " << c.bits;
        EXPECT_EQ(doc.PageCount(), 0);
    }
}

TEST(ImageDocument, CancellationEndsTheDecodeAndTheReader) {
    auto reader = std::make_unique<FakeReader>();
    reader->frames = 5;
    CancelFlag cancel;
    cancel.cancel();
    ImageDocument doc;
    ASSERT_TRUE(doc.openWithReader(std::move(reader), plain(), &cancel));
    ASSERT_TRUE(doc.AddPage());
    EXPECT_FALSE(doc.DecodePage());
    EXPECT_EQ(doc.lastError(), DecodeError::Cancelled);
    EXPECT_FALSE(doc.hasOpenReader());
}

TEST(ImageDocument, CopiesTheAlphaPlaneAndAppliesTheColourTransform) {
    auto reader = std::make_unique<FakeReader>();
    reader->withAlpha = true;
    RecordingTransform transform;
    auto o = plain();
    o.extractAlpha = true;
    o.colorTransform = &transform;
    ImageDocument doc;
    ASSERT_TRUE(doc.openWithReader(std::move(reader), o));
    ASSERT_TRUE(doc.AddPage() && doc.DecodePage());
    EXPECT_EQ(doc.PageAt(0).alphaPlane.size(), 12u);
    EXPECT_EQ(doc.PageAt(0).alphaPlane[5], 128);
    EXPECT_EQ(transform.sources, 1);
    EXPECT_TRUE(transform.lastWasNull) << "no colour space: the plain-gamma source";
    EXPECT_EQ(doc.PageAt(0).bitmap.row(0)[2], 200);
}

TEST(ImageDocument, ScalesToTheFitBoxWithRotation) {
    auto reader = std::make_unique<FakeReader>();
    reader->width = 40;
    reader->height = 20;
    auto o = plain();
    o.fitWidth = 10;
    o.fitHeight = 10;
    o.rotation = 1;
    ImageDocument doc;
    ASSERT_TRUE(doc.openWithReader(std::move(reader), o));
    ASSERT_TRUE(doc.AddPage() && doc.DecodePage());
    EXPECT_EQ(doc.PageAt(0).bitmap.width(), 5);
    EXPECT_EQ(doc.PageAt(0).bitmap.height(), 10);
    EXPECT_EQ(doc.PageAt(0).width, 40u) << "the page keeps the source size";
}

TEST(GenericThumbnail, DecimatesByTheMeanOfEachBlock) {
    FakeReader reader;
    reader.width = 300;
    reader.height = 500;
    Bitmap32 thumb;
    ASSERT_TRUE(makeDecimatedThumbnail(reader, "synthetic", thumb, 96, 0, nullptr).ok());
    EXPECT_EQ(thumb.width(), 60);
    EXPECT_EQ(thumb.height(), 100);
    // Pixel (2, 1) stands for columns 10..14 (mean 12) of rows 5..9 (mean 7): 12 + 2 * 7.
    EXPECT_EQ(thumb.row(1)[2 * 4], 26);

    FakeReader huge;
    huge.width = 3000;
    huge.height = 2000;
    EXPECT_FALSE(makeDecimatedThumbnail(huge, "synthetic", thumb, 96, 0, nullptr).ok());
    EXPECT_TRUE(thumb.isEmpty());
}

// One-pixel detail must come out as its mean, not as whichever colour the sampling hits.
TEST(MakeThumbnail, FineDetailAveragesToGrey) {
    kalder::test::TempDir dir;
    const auto file = dir / "checkers.bmp";
    kalder::test::writeFile(file, kalder::test::bmp24(800, 600, [](int x, int y) {
                                return (x + y) % 2 ? 0xffffffu : 0u;
                            }));
    ImageDocument doc;
    ASSERT_TRUE(doc.MakeThumbnail(file, 120, 0, nullptr, false, true));
    const Bitmap32& t = doc.thumbnail();
    ASSERT_EQ(t.width(), 120);
    ASSERT_EQ(t.height(), 90);
    double sum = 0;
    int extremes = 0;
    for (std::int32_t y = 0; y < t.height(); ++y)
        for (std::int32_t x = 0; x < t.width(); ++x) {
            const std::uint8_t v = t.row(y)[x * 4 + 1];
            sum += v;
            if (v < 64 || v > 191) ++extremes;
        }
    EXPECT_NEAR(sum / (t.width() * t.height()), 127.5, 3.0);
    EXPECT_EQ(extremes, 0);
}

TEST(MakeThumbnail, UnreadableFilesGetThePlaceholder) {
    kalder::test::TempDir dir;
    kalder::test::writeFile(dir / "junk.jpg", {1, 2, 3, 4, 5});
    ImageDocument doc;
    ASSERT_TRUE(doc.MakeThumbnail(dir / "junk.jpg", 96, 0, nullptr, true, true));
    EXPECT_EQ(doc.thumbnail().width(), 96);
    EXPECT_EQ(doc.thumbnail().height(), 96);
    EXPECT_EQ(doc.thumbnail().row(0)[0], 0xff) << "window colour around the picture";
}

TEST(ReadImageInfo, FileFactsWithoutAReader) {
    kalder::test::TempDir dir;
    kalder::test::writeFile(dir / ".hidden.xyz", std::vector<std::uint8_t>(1234, 9));
    ImageInfo info;
    ASSERT_TRUE(ReadImageInfo(dir / ".hidden.xyz", info, true));
    EXPECT_EQ(info.fileSize, 1234u);
    EXPECT_EQ(info.width, 0);
    EXPECT_EQ(info.dpiX, -1);
    EXPECT_TRUE(info.attributes & ImageInfo::kAttrHidden);
    EXPECT_FALSE(ReadImageInfo(dir / "missing", info, false));
}
