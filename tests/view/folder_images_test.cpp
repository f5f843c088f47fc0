#include "view/folder_images.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <chrono>
#include <fstream>

#include "image/image_document.h"
#include "support/test_support.h"
#include "view/descriptions.h"
#include "view/image_facts.h"

namespace kalder::view {
namespace {

using namespace std::chrono_literals;

void touch(const std::filesystem::path& p, std::size_t bytes = 1, std::time_t mtime = 0) {
    std::ofstream(p, std::ios::binary) << std::string(bytes, 'x');
    if (mtime) {
        struct utimbuf t {
            mtime, mtime
        };
        ::utime(p.c_str(), &t);
    }
}

std::vector<std::string> names(const FolderImages& f) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < f.size(); ++i) out.push_back(f.at(i)->name());
    return out;
}

// An 8-bit grey BMP of the given size.
void writeGreyBmp(const std::filesystem::path& p, std::uint32_t w, std::uint32_t h) {
    const std::uint32_t stride = (w + 3) & ~3u;
    const std::uint32_t offset = 14 + 40 + 1024;
    test::Bytes b;
    b.str("BM").u32le(offset + stride * h).u32le(0).u32le(offset);
    b.u32le(40)
        .u32le(w)
        .u32le(h)
        .u16le(1)
        .u16le(8)
        .u32le(0)
        .u32le(stride * h)
        .u32le(2835)
        .u32le(2835)
        .u32le(256)
        .u32le(0);
    for (std::uint32_t i = 0; i < 256; ++i) b.u8(i).u8(i).u8(i).u8(0);
    b.fill(static_cast<std::size_t>(stride) * h, 0x80);
    test::writeFile(p, b.data);
}

class FolderImagesTest : public ::testing::Test {
protected:
    test::TempDir dir;
    FolderImages folder;

    void SetUp() override { folder.setFilter(FilterMode::AllFiles, ""); }
    // Four files whose sizes and times tie in pairs, created in this order.
    bool loadSortCases() {
        touch(dir / "c.jpg", 300, 1000);
        touch(dir / "b.gif", 100, 3000);
        touch(dir / "a.jpg", 200, 2000);
        touch(dir / "d", 100, 2000);
        return folder.loadFolder(dir.path());
    }
};

TEST_F(FolderImagesTest, ListsFilteredFilesSortedByName) {
    for (const char* n : {"b.PNG", "A.jpg", "c.jpg", "notes.txt"}) touch(dir / n);
    std::filesystem::create_directory(dir / "sub.jpg");
    folder.setFilter(FilterMode::Custom, "*.jpg *.png");
    ASSERT_TRUE(folder.loadFolder(dir.path()));
    EXPECT_EQ(names(folder), (std::vector<std::string>{"A.jpg", "b.PNG", "c.jpg"}));
    EXPECT_FALSE(folder.loadFolder(dir / "missing"));
    EXPECT_EQ(folder.size(), 0u);
}

TEST_F(FolderImagesTest, SortKeysAreStable) {
    // Created in this order; equal keys must keep it.
    ASSERT_TRUE(loadSortCases());
    EXPECT_EQ(names(folder), (std::vector<std::string>{"a.jpg", "b.gif", "c.jpg", "d"}));
    EXPECT_FALSE(folder.sort(SortKey::Name));  // already active: nothing happens

    ASSERT_TRUE(folder.sort(SortKey::Extension));
    // "d" has no extension and is its own key.
    EXPECT_EQ(names(folder), (std::vector<std::string>{"d", "b.gif", "a.jpg", "c.jpg"}));
    ASSERT_TRUE(folder.sort(SortKey::Size));
    EXPECT_EQ(names(folder), (std::vector<std::string>{"d", "b.gif", "a.jpg", "c.jpg"}));
    ASSERT_TRUE(folder.sort(SortKey::Date));
    EXPECT_EQ(names(folder), (std::vector<std::string>{"c.jpg", "d", "a.jpg", "b.gif"}));
}

TEST_F(FolderImagesTest, DescendingOrderKeepsEqualKeysInListOrder) {
    ASSERT_TRUE(loadSortCases());
    ASSERT_TRUE(folder.setSortOrder(SortOrder::Descending));
    EXPECT_FALSE(folder.setSortOrder(SortOrder::Descending));
    EXPECT_EQ(names(folder), (std::vector<std::string>{"d", "c.jpg", "b.gif", "a.jpg"}));
    ASSERT_TRUE(folder.sort(SortKey::Date));
    // "a.jpg" and "d" share a time: they keep the order the name sort gave them.
    EXPECT_EQ(names(folder), (std::vector<std::string>{"b.gif", "d", "a.jpg", "c.jpg"}));
    // A reload sorts the same way (files of equal times come in the folder's order then).
    folder.reload(nullptr);
    EXPECT_EQ(names(folder).front(), "b.gif");
    EXPECT_EQ(names(folder).back(), "c.jpg");
}

TEST_F(FolderImagesTest, NameFilterNarrowsTheListIgnoringCase) {
    for (const char* n : {"IMG_0012.jpg", "img_0013.png", "Ärger.jpg", "holiday.jpg"})
        touch(dir / n);
    ASSERT_TRUE(folder.loadFolder(dir.path()));
    ImageEntry* kept = folder.find("img_0013.png");
    folder.setNameFilter("Img_");
    EXPECT_EQ(folder.reload(kept), kept);
    EXPECT_EQ(names(folder), (std::vector<std::string>{"IMG_0012.jpg", "img_0013.png"}));
    folder.setNameFilter("ärg");
    EXPECT_EQ(folder.reload(kept), nullptr);
    EXPECT_EQ(names(folder), (std::vector<std::string>{"Ärger.jpg"}));
    folder.setNameFilter("");
    folder.reload(nullptr);
    EXPECT_EQ(folder.size(), 4u);
    EXPECT_TRUE(nameMatchesFilter("anything", ""));
}

TEST(BrowserSort, KeysAndCaseInsensitiveNames) {
    EXPECT_EQ(extensionSortKey("a.jpg"), "jpga");
    EXPECT_EQ(extensionSortKey("x.tar.gz"), "gzx.tar");
    EXPECT_EQ(extensionSortKey("README"), "README");
    EXPECT_LT(compareNoCase("apple.png", "Banana.png"), 0);
    EXPECT_EQ(compareNoCase("ABC.JPG", "abc.jpg"), 0);
    EXPECT_TRUE(equalNoCase("Ärger.JPG", "ärger.jpg"));
}

TEST_F(FolderImagesTest, NavigationCommands) {
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}) touch(dir / n);
    ASSERT_TRUE(folder.loadFolder(dir.path()));
    ImageEntry* a = folder.at(0);
    ImageEntry* b = folder.at(1);
    ImageEntry* d = folder.at(3);
    EXPECT_EQ(folder.navigate(Navigation::NextFile, a), b);
    EXPECT_EQ(folder.navigate(Navigation::PreviousFile, a), nullptr);
    EXPECT_EQ(folder.navigate(Navigation::NextFile, d), nullptr);
    EXPECT_EQ(folder.navigate(Navigation::FirstFile, a), nullptr);
    EXPECT_EQ(folder.navigate(Navigation::FirstFile, d), a);
    EXPECT_EQ(folder.navigate(Navigation::LastFile, b), d);

    folder.selectOnly(b);
    d->selected = true;
    // Cyclic over the selection; nothing when the only selected item is the current one.
    EXPECT_EQ(folder.navigate(Navigation::NextSelected, d), b);
    EXPECT_EQ(folder.navigate(Navigation::PreviousSelected, b), d);
    EXPECT_EQ(folder.navigate(Navigation::NextSelected, a), b);
    folder.selectOnly(b);
    EXPECT_EQ(folder.navigate(Navigation::NextSelected, b), nullptr);
    folder.selectAll();
    EXPECT_EQ(folder.selectedEntries().size(), 4u);
}

TEST_F(FolderImagesTest, RemovingEntriesPicksTheNewCurrent) {
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}) touch(dir / n);
    ASSERT_TRUE(folder.loadFolder(dir.path()));
    // After the last removed entry...
    EXPECT_EQ(folder.removeEntries({folder.at(1), folder.at(2)})->name(), "d.jpg");
    // ...else before the first removed one: deleting the last file makes the previous current.
    EXPECT_EQ(folder.removeEntries({folder.at(2)})->name(), "d.jpg");
    EXPECT_EQ(names(folder), (std::vector<std::string>{"a.jpg", "d.jpg"}));
    EXPECT_EQ(folder.removeEntries({folder.at(0), folder.at(1)}), nullptr);
    EXPECT_EQ(folder.size(), 0u);
}

TEST_F(FolderImagesTest, ReloadKeepsTheCurrentEntryAndRenameResorts) {
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg"}) touch(dir / n);
    ASSERT_TRUE(folder.loadFolder(dir.path()));
    ImageEntry* b = folder.at(1);
    b->description = "kept";
    std::filesystem::remove(dir / "a.jpg");
    touch(dir / "0.jpg");
    std::filesystem::rename(dir / "b.jpg", dir / "z.jpg");  // renamed outside: same file
    ImageEntry* again = folder.reload(b);
    EXPECT_EQ(again, b);
    EXPECT_EQ(b->name(), "z.jpg");
    EXPECT_EQ(names(folder), (std::vector<std::string>{"0.jpg", "c.jpg", "z.jpg"}));

    std::filesystem::rename(dir / "c.jpg", dir / "00.jpg");
    ImageEntry* c = folder.at(1);
    folder.renameEntry(c, "00.jpg");
    EXPECT_EQ(names(folder), (std::vector<std::string>{"0.jpg", "00.jpg", "z.jpg"}));

    // The current file is gone: no entry answers for it.
    std::filesystem::remove(dir / "z.jpg");
    EXPECT_EQ(folder.reload(b), nullptr);
    EXPECT_EQ(folder.size(), 2u);
}

TEST_F(FolderImagesTest, FilesMovedAwayHandTheirPlaceToTheFileThatFollowed) {
    for (const char* n : {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"}) touch(dir / n);
    ASSERT_TRUE(folder.loadFolder(dir.path()));
    // b (current) and c were moved to another folder.
    std::filesystem::remove(dir / "b.jpg");
    std::filesystem::remove(dir / "c.jpg");
    ImageEntry* next = folder.reloadKeepingPlace(folder.at(1));
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->name(), "d.jpg");
    // Nothing follows the last ones: the nearest before them.
    std::filesystem::remove(dir / "d.jpg");
    std::filesystem::remove(dir / "e.jpg");
    next = folder.reloadKeepingPlace(folder.find("d.jpg"));
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->name(), "a.jpg");
    // A file still there stays current.
    EXPECT_EQ(folder.reloadKeepingPlace(next), next);
}

TEST_F(FolderImagesTest, AFileWrittenAnewIsNotTheOldEntryEvenWhereItsInodeComesBack) {
    for (const char* n : {"a.jpg", "b.jpg"}) touch(dir / n);
    ASSERT_TRUE(folder.loadFolder(dir.path()));
    ImageEntry* b = folder.find("b.jpg");
    b->description = "old";
    // Rewritten in place (a tool saved over it): a fresh entry, so it is decoded again.
    std::filesystem::remove(dir / "b.jpg");
    std::ofstream(dir / "b.jpg") << "new and longer content";
    ImageEntry* again = folder.reload(b);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->name(), "b.jpg");
    EXPECT_EQ(again->pageCount(), 0);
    // Deleted, and another file written (the file system may hand it the same inode): the
    // current file is gone, not renamed.
    std::filesystem::remove(dir / "b.jpg");
    std::ofstream(dir / "c.jpg") << "another picture";
    EXPECT_EQ(folder.reload(again), nullptr);
    EXPECT_EQ(names(folder), (std::vector<std::string>{"a.jpg", "c.jpg"}));
}

TEST_F(FolderImagesTest, ReadsDescriptionsWhenLoading) {
    touch(dir / "my cat.jpg");
    touch(dir / "dog.jpg");
    std::ofstream(dir / "Descript.ion") << "\"MY CAT.jpg\" Tom\r\ndog.jpg Rex\r\n";
    ASSERT_TRUE(folder.setFilter(FilterMode::Custom, "*.jpg"));
    ASSERT_TRUE(folder.loadFolder(dir.path()));
    EXPECT_EQ(folder.find("my cat.jpg")->description, "Tom");
    EXPECT_EQ(folder.find("dog.jpg")->description, "Rex");
}

TEST(ImageFacts, ZoomPerCentAndShortSizes) {
    // A 6000-pixel picture decoded to 1500 and shown 1:1 is at 25 %; a quarter turn too.
    EXPECT_EQ(zoomPercent({1500, 1000}, {6000, 4000}, {}), 25);
    EXPECT_EQ(zoomPercent({1000, 1500}, {6000, 4000}, {}), 25);
    EXPECT_EQ(zoomPercent({300, 200}, {100, 67}, {false, 3}), 300);
    // A huge reduction does not read 0 %.
    EXPECT_EQ(zoomPercent({1, 1}, {30000, 30000}, {}), 1);
    EXPECT_EQ(zoomPercent({}, {}, {true, 3}), 33);
    EXPECT_EQ(zoomPercent({}, {}, {false, 2}), 200);
    EXPECT_EQ(shortFileSize(0), "0 bytes");
    EXPECT_EQ(shortFileSize(1023), "1023 bytes");
    EXPECT_EQ(shortFileSize(1536), "1.5 KB");
    EXPECT_EQ(shortFileSize(1024 * 1024 - 1), "1.0 MB");
    EXPECT_EQ(shortFileSize(2936012), "2.8 MB");
}

TEST(FileInformation, SizesAndFormats) {
    EXPECT_EQ(formatFileSize(1536), "1 536 bytes (1.5 KB)");
    EXPECT_EQ(formatFileSize(900), "900 bytes");
    EXPECT_EQ(formatFileSize(0), "0 bytes");
    EXPECT_EQ(formatFileSize(1048576), "1 048 576 bytes (1.00 MB)");
    EXPECT_EQ(formatFileSize(1048575), "1 048 575 bytes (1024.0 KB)");
    EXPECT_EQ(fileInformationText(nullptr, false), "No information");

    image::ImageInfo info;
    info.fileSize = 1536;
    info.modificationTime = 0;
    const std::string date = formatFileTime(0);
    EXPECT_EQ(fileInformationText(&info, false), "1 536 bytes (1.5 KB) | " + date);
    EXPECT_EQ(fileInformationText(&info, true), "1 536 bytes (1.5 KB)\r\n" + date);
    info.width = 640;
    info.height = 480;
    info.formatIndex = 0;
    info.bitsPerPixel = 8;
    info.isGray = true;
    EXPECT_EQ(fileInformationText(&info, false),
              "1 536 bytes (1.5 KB) | " + date + " | 640x480 pixels | 256 gray-levels");
    info.bitsPerPixel = 4;
    info.isGray = false;
    EXPECT_NE(fileInformationText(&info, true).find("\r\n640x480 pixels\r\n16 colors"),
              std::string::npos);
    info.bitsPerPixel = 16;
    EXPECT_TRUE(fileInformationText(&info, false).ends_with("| high-color"));
    info.bitsPerPixel = 32;
    EXPECT_TRUE(fileInformationText(&info, false).ends_with("| true-color"));
    EXPECT_EQ(fileInformationText(std::filesystem::path("/nonexistent/x.jpg"), false),
              "No information");
}

TEST(Thumbnails, WideImageFitsTheSmallBox) {
    test::TempDir dir;
    writeGreyBmp(dir / "wide.bmp", 3000, 1000);
    FolderImages folder;
    ASSERT_TRUE(folder.loadFolder(dir.path()));
    ASSERT_EQ(folder.size(), 1u);
    folder.startThumbnails(80, true);
    ASSERT_TRUE(folder.thumbnailLoader().waitUntilFinished(30s));
    ImageEntry* e = folder.at(0);
    ASSERT_TRUE(e->thumbnailReady());
    e->withThumbnail([](const image::Bitmap32* t) {
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->width(), 80);
        EXPECT_EQ(t->height(), 27);
    });
}

// Several thumbnail workers make exactly what one does, every entry once.
TEST(FolderImagesThumbnails, WorkersMakeWhatOneWorkerMakes) {
    if (!test::haveBmpReader()) GTEST_SKIP() << "no BMP reader";
    test::TempDir dir;
    for (int i = 0; i < 24; ++i)
        test::writeFile(dir / ("p" + std::to_string(100 + i) + ".bmp"),
                        test::bmp24(40 + 7 * i, 30 + 3 * i, [i](int x, int y) {
                            return static_cast<std::uint32_t>((x * 9 + y * 5 + i * 40) & 0xFFFFFF);
                        }));
    const auto thumbnails = [&](unsigned workers) {
        FolderImages folder(imageDocumentSource(), workers);
        EXPECT_TRUE(folder.loadFolder(dir.path()));
        folder.startThumbnails(32, true);
        EXPECT_TRUE(folder.thumbnailLoader().waitUntilFinished(std::chrono::seconds(60)));
        EXPECT_EQ(folder.thumbnailLoader().made(), 24);
        std::vector<std::vector<std::uint8_t>> out;
        for (std::size_t i = 0; i < folder.size(); ++i)
            folder.at(i)->withThumbnail([&](const image::Bitmap32* t) {
                out.emplace_back();
                if (t) out.back().assign(t->pixels(), t->pixels() + t->byteSize());
            });
        return out;
    };
    const auto one = thumbnails(1);
    ASSERT_EQ(one.size(), 24u);
    EXPECT_FALSE(one[5].empty());
    EXPECT_EQ(thumbnails(3), one);
}

}  // namespace
}  // namespace kalder::view
