// The lossless JPEG dialogs with their questions answered by replaced hooks: the trimming
// question and its answers, in place against into a folder, and the orientation editor.
#include <gtest/gtest.h>

#include <QApplication>

#include "app/core/settings.h"
#include "app/gui/tools/jpeg_transform/exif_orientation_dialog.h"
#include "app/gui/tools/jpeg_transform/jpeg_transform_dialog.h"
#include "support/test_support.h"
#include "tools/jpeg_transform/exif_orientation.h"
#include "tools/jpeg_transform/jpeg_segments.h"
#include "tools/jpeg_transform/jpeg_test_files.h"

using namespace kalder;
using namespace kalder::gui;
namespace fs = std::filesystem;

namespace {

std::uint32_t widthOf(const fs::path& path) {
    const auto bytes = test::readFile(path);
    const auto layout = tools::jpeg::walkSegments(bytes);
    return layout ? layout->frame.width : 0;
}

std::size_t filesIn(const fs::path& dir) {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

TEST(JpegTransformDialogTest, AsksBeforeTrimmingAndWorksInPlaceForTheSourceFolder) {
    if (test::jpeg::makeJpeg(16, 16).empty()) GTEST_SKIP() << "codec module missing";
    test::TempDir dir;
    const fs::path odd = dir / "odd.jpg";
    const auto oddBytes = test::jpeg::makeJpeg(1000, 750);
    test::writeFile(odd, oddBytes);
    app::Settings settings;
    JpegTransformDialog dialog(settings);
    std::vector<fs::path> selection{odd};
    std::vector<QString> questions, errors;
    bool answer = false, elsewhere = false;
    dialog.selectedFiles = [&] { return selection; };
    dialog.askYesNo = [&](const QString& q) {
        questions.push_back(q);
        return answer;
    };
    dialog.reportError = [&](const QString& e) { errors.push_back(e); };
    dialog.runFinished = [&](bool, bool other) { elsewhere = other; };
    dialog.setOperation(tools::JpegOperation::FlipH);

    dialog.transform();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0],
              QString("The JPEG file \"%1\" cannot be transformed unless 8 pixel(s) from the right "
                      "edge and 0 pixel(s) from the bottom edge are cut off. Click [Yes] to cut "
                      "them off and do the transformation or [No] to skip the file.")
                  .arg(QString::fromStdString(odd.string())));
    EXPECT_EQ(test::readFile(odd), oddBytes);
    EXPECT_EQ(filesIn(dir.path()), 1u);

    answer = true;
    dialog.transform();
    EXPECT_EQ(widthOf(odd), 992u);

    // The source folder written another way is still in place; another folder gets a copy.
    const fs::path other = dir / "out";
    fs::create_directory(other);
    dialog.setOperation(tools::JpegOperation::Rotate90);
    dialog.setOutputFolder(QString::fromStdString((dir / "out" / ".." / "").string()), true);
    dialog.transform();
    EXPECT_EQ(widthOf(odd), 736u);  // 992x750 turned, the bottom cut to 736
    EXPECT_FALSE(elsewhere);
    dialog.setOutputFolder(QString::fromStdString(other.string()), true);
    dialog.transform();
    EXPECT_EQ(widthOf(other / "odd.jpg"), 992u);
    EXPECT_EQ(widthOf(odd), 736u);
    EXPECT_TRUE(elsewhere);
    EXPECT_EQ(settings.jpegTransformFolder, other.string());

    dialog.setOutputFolder(QStringLiteral("/no/such/folder"), true);
    dialog.transform();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], QStringLiteral("Invalid folder: /no/such/folder"));
}

TEST(JpegTransformDialogTest, OffersTheDiagonalsTheExifTurnAndTrimmingWithoutAsking) {
    if (test::jpeg::makeJpeg(16, 16).empty()) GTEST_SKIP() << "codec module missing";
    test::TempDir dir;
    test::jpeg::ExifSpec turned;
    turned.orientation = 6;
    const fs::path a = dir / "a.jpg", b = dir / "b.jpg";
    test::writeFile(a, test::jpeg::makeJpeg(64, 32));
    test::writeFile(
        b, test::jpeg::withSegments(test::jpeg::makeJpeg(32, 1000),
                                    {test::jpeg::segment(0xE1, test::jpeg::exifPayload(turned))}));
    app::Settings settings;
    JpegTransformDialog dialog(settings);
    std::vector<fs::path> selection{a};
    int questions = 0;
    dialog.selectedFiles = [&] { return selection; };
    dialog.askYesNo = [&](const QString&) { return ++questions, false; };
    dialog.reportError = [](const QString& e) { ADD_FAILURE() << e.toStdString(); };
    dialog.setOperation(tools::JpegOperation::Transpose);
    dialog.transform();
    EXPECT_EQ(widthOf(a), 32u);
    dialog.setOperation(tools::JpegOperation::Transverse);
    dialog.transform();
    EXPECT_EQ(widthOf(a), 64u);

    // The Exif turn with trimming on: the ragged edge goes without a question.
    selection = {a, b};
    dialog.setOperation(std::nullopt);
    dialog.setTrim(true);
    dialog.transform();
    EXPECT_EQ(questions, 0);
    EXPECT_EQ(widthOf(a), 64u);   // no tag: left alone
    EXPECT_EQ(widthOf(b), 992u);  // turned, its ragged bottom cut
    EXPECT_EQ(tools::readOrientationTag(b)->value, 1);
}

TEST(ExifOrientationDialogTest, TurnsPreviewsAndWritesOnlyValidTags) {
    if (test::jpeg::makeJpeg(16, 16).empty()) GTEST_SKIP() << "codec module missing";
    test::TempDir dir;
    test::jpeg::ExifSpec good, asLong;
    asLong.orientationType = 4;
    const fs::path a = dir / "a.jpg", b = dir / "b.jpg";
    for (const auto& [path, spec] : {std::pair{a, good}, std::pair{b, asLong}})
        test::writeFile(path, test::jpeg::withSegments(
                                  test::jpeg::makeJpeg(16, 16),
                                  {test::jpeg::segment(0xE1, test::jpeg::exifPayload(spec))}));

    ExifOrientationDialog dialog({a, b});
    dialog.setValue(1);
    for (int i = 0; i < 4; ++i) dialog.turnClockwise();
    EXPECT_EQ(dialog.value(), 1);
    dialog.setValue(2);
    dialog.turnCounterClockwise();
    EXPECT_EQ(dialog.value(), 1);

    // Value 6 stores the picture turned a quarter counter-clockwise: the top-left corner of the
    // upright picture lies bottom-left.
    QImage upright(4, 3, QImage::Format_RGB32);
    upright.fill(Qt::black);
    upright.setPixel(0, 0, qRgb(255, 0, 0));
    const QImage six = orientationPreview(upright, 6);
    ASSERT_EQ(six.size(), QSize(3, 4));
    EXPECT_EQ(six.pixel(0, 3), qRgb(255, 0, 0));
    EXPECT_EQ(orientationPreview(upright, 5).pixel(0, 0), qRgb(255, 0, 0));

    std::vector<QString> errors;
    dialog.reportError = [&](const QString& e) { errors.push_back(e); };
    dialog.setValue(8);
    dialog.apply();
    EXPECT_EQ(dialog.written(), 1);
    EXPECT_EQ(tools::readOrientationTag(a)->value, 8);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "Can't find valid Exif Orientation tag in the file:\n" +
                             QString::fromStdString(b.string()));

    // The next opening shows the file's own value, not the last choice (8).
    test::jpeg::ExifSpec three;
    three.orientation = 3;
    const fs::path c = dir / "c.jpg";
    test::writeFile(
        c, test::jpeg::withSegments(test::jpeg::makeJpeg(16, 16),
                                    {test::jpeg::segment(0xE1, test::jpeg::exifPayload(three))}));
    EXPECT_EQ(ExifOrientationDialog({c, a}).value(), 3);
    EXPECT_EQ(ExifOrientationDialog({b}).value(), 8);  // no valid tag: the last choice
}

}  // namespace
