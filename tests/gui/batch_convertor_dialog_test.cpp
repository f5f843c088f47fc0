#include "app/gui/tools/batch_convertor/batch_convertor_dialog.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <functional>
#include <optional>
#include <tuple>

#include "app/core/command_ids.h"
#include "app/gui/browser_pane.h"
#include "app/gui/dialogs/file_exists_dialog.h"
#include "app/gui/folder_navigator.h"
#include "app/gui/main_window.h"
#include "app/gui/toolbar.h"
#include "app/gui/tools/batch_convertor/batch_effects_page.h"
#include "app/gui/tools/batch_convertor/batch_overlay_page.h"
#include "app/gui/tools/batch_convertor/batch_run.h"
#include "app/gui/tools/tool_runner.h"
#include "app/gui/viewing_area.h"
#include "dialog_test_support.h"
#include "fake_tool_context.h"
#include "support/test_support.h"
#include "view/folder_images.h"

namespace kalder::gui {
namespace {

namespace fs = std::filesystem;
using test::child;
using test::ModalHandler;

// Closes every modal message box that comes up, keeping its text and icon.
class MessageBoxes {
public:
    QStringList texts;
    QList<QMessageBox::Icon> icons;
    MessageBoxes() {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                icons << box->icon();
                box->done(QMessageBox::Ok);
            }
        });
        m_timer.start();
    }

private:
    QTimer m_timer;
};

// The window's panel, opened through its command, with the run replaced by a recorder.
struct Panel {
    MainWindow window;
    BatchConvertorDialog* dialog = nullptr;
    std::optional<tools::BatchSettings> ran;

    Panel() {
        window.runCommand(app::cmd::kBatchConvertor);
        dialog = qobject_cast<BatchConvertorDialog*>(window.batchPanel());
        if (dialog == nullptr) return;
        dialog->startRun = [this](const tools::BatchSettings& s) { ran = s; };
    }
    template <typename T>
    T* field(const char* name) {
        return child<T>(*dialog, name);
    }
    void setText(const char* name, const QString& text) {
        if (auto* combo = dialog->findChild<QComboBox*>(name))
            combo->setCurrentText(text);
        else
            field<QLineEdit>(name)->setText(text);
    }
};

TEST(BatchConvertorDialog, CommandShowsAndHidesThePanelAndEscapeHidesIt) {
    Panel p;
    ASSERT_NE(p.dialog, nullptr);
    EXPECT_TRUE(p.dialog->isVisible());
    EXPECT_FALSE(p.dialog->isModal());
    EXPECT_EQ(p.dialog->windowTitle(), QStringLiteral("Batch Convertor"));
    EXPECT_TRUE(p.window.commandContext().batchPanelVisible);
    // The table's tooltips reach the pages' controls.
    EXPECT_FALSE(p.field<QLineEdit>("namePrefix")->toolTip().isEmpty());
    EXPECT_FALSE(p.field<QWidget>("anchor")->toolTip().isEmpty());
    p.window.runCommand(app::cmd::kBatchConvertor);
    EXPECT_FALSE(p.dialog->isVisible());
    EXPECT_FALSE(p.window.commandContext().batchPanelVisible);

    // Shown again it is the same panel; Escape in the main window hides it first.
    p.window.show();
    p.window.runCommand(app::cmd::kBatchConvertor);
    EXPECT_EQ(p.window.batchPanel(), p.dialog);
    ASSERT_TRUE(p.dialog->isVisible());
    auto button = [&p] {
        for (QAction* a : p.window.browserPane()->toolbar()->actions())
            if (a->data().toUInt() == app::cmd::kBatchConvertor) return a;
        return static_cast<QAction*>(nullptr);
    };
    ASSERT_NE(button(), nullptr);
    EXPECT_TRUE(button()->isChecked());
    QTest::keyClick(p.window.viewingArea(), Qt::Key_Escape);
    EXPECT_FALSE(p.dialog->isVisible());
    EXPECT_FALSE(button()->isChecked());
}

TEST(BatchConvertorDialog, PageChecksStopTheRunWithTheirMessages) {
    struct Case {
        const char* width;
        const char* height;
        const char* dpiX;
        int unit;
    };
    // Whatever the engine's checks say about the fields is what the user reads, and a message
    // means no run.
    const Case cases[] = {
        {"abc", "[original]", "", 0}, {"0", "", "", 0},
        {"[original]", "-3", "", 0},  {"4", "", "", 1},
        {"100", "", "72", 0},         {"640", "480", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        Panel p;
        ASSERT_NE(p.dialog, nullptr);
        p.setText("width", QString::fromLatin1(c.width));
        p.setText("height", QString::fromLatin1(c.height));
        p.setText("dpiX", QString::fromLatin1(c.dpiX));
        p.field<QComboBox>("unit")->setCurrentIndex(c.unit);
        std::string expected =
            tools::BatchConvertor::checkResampleTexts(c.width, c.height, c.unit, false, false);
        if (expected.empty()) expected = tools::BatchConvertor::checkResolutionTexts(c.dpiX, "");
        MessageBoxes boxes;
        p.dialog->convert();
        if (expected.empty()) {
            EXPECT_TRUE(boxes.texts.isEmpty());
            EXPECT_TRUE(p.ran.has_value());
        } else {
            ASSERT_EQ(boxes.texts.size(), 1);
            EXPECT_EQ(boxes.texts[0].toStdString(), expected);
            EXPECT_EQ(boxes.icons[0], QMessageBox::Critical);
            EXPECT_FALSE(p.ran.has_value());
        }
    }
}

TEST(BatchConvertorDialog, OrderedDitheringFallsBackToNoneWithThePalettesThatRefuseIt) {
    struct Case {
        int palette;
        bool refused;
    };
    for (const Case c : {Case{0, true}, Case{4, true}, Case{1, false}}) {
        SCOPED_TRACE(c.palette);
        Panel p;
        ASSERT_NE(p.dialog, nullptr);
        p.field<QComboBox>("palette")->setCurrentIndex(c.palette);
        p.field<QComboBox>("dithering")->setCurrentIndex(1);
        MessageBoxes boxes;
        p.dialog->convert();
        if (c.refused) {
            ASSERT_EQ(boxes.texts.size(), 1);
            EXPECT_EQ(boxes.texts[0], "The ordered dithering cannot be used with this palette.");
            EXPECT_EQ(boxes.icons[0], QMessageBox::Information);
            EXPECT_EQ(p.field<QComboBox>("dithering")->currentIndex(), 0);
            EXPECT_FALSE(p.ran.has_value());
        } else {
            EXPECT_TRUE(boxes.texts.isEmpty());
            ASSERT_TRUE(p.ran.has_value());
            EXPECT_EQ(p.ran->dithering, 1);
        }
    }
}

TEST(BatchConvertorDialog, AnEmptyOutputFolderIsRefusedRatherThanWritingAtTheRoot) {
    Panel p;
    ASSERT_NE(p.dialog, nullptr);
    p.field<QCheckBox>("placeInFolder")->setChecked(true);
    p.setText("outputFolder", QStringLiteral("   "));
    MessageBoxes boxes;
    p.dialog->convert();
    EXPECT_EQ(boxes.texts.size(), 1);
    EXPECT_FALSE(p.ran.has_value());
}

TEST(BatchConvertorDialog, TheControlsReachTheSettingsOfTheRun) {
    Panel p;
    ASSERT_NE(p.dialog, nullptr);
    p.field<QCheckBox>("placeInFolder")->setChecked(true);
    p.setText("outputFolder", QStringLiteral("/tmp/out"));
    p.setText("namePrefix", QStringLiteral("  x_ "));
    p.setText("nameSuffix", QStringLiteral("\t_s  "));
    p.field<QComboBox>("applyTo")->setCurrentIndex(2);
    p.field<QComboBox>("format")->setCurrentIndex(2);  // JPEG: no depth to choose
    p.field<QComboBox>("colorDepth")->setCurrentIndex(1);
    p.field<QRadioButton>("percents")->setChecked(true);
    p.setText("width", QStringLiteral("50"));
    p.setText("height", QStringLiteral("[original]"));
    p.field<QRadioButton>("rotation3")->setChecked(true);
    p.field<QCheckBox>("mirrorV")->setChecked(true);
    // Checked as the viewer's automatic orientation is (on by default).
    EXPECT_TRUE(p.field<QCheckBox>("autoOrient")->isChecked());
    p.field<QCheckBox>("autoOrient")->setChecked(false);
    p.window.settings().defaultResolutionX = 96;
    p.dialog->convert();
    ASSERT_TRUE(p.ran.has_value());
    const tools::BatchSettings& s = *p.ran;
    EXPECT_TRUE(s.placeInFolder);
    EXPECT_EQ(s.outputFolder, fs::path("/tmp/out"));
    EXPECT_EQ(s.namePrefix, "x_");
    EXPECT_EQ(s.nameSuffix, "_s");
    EXPECT_EQ(s.applyTo, tools::ApplyTo::FolderTree);
    EXPECT_EQ(s.format, tools::BatchFormat::Jpeg);
    EXPECT_EQ(s.colorDepth, 0);
    EXPECT_TRUE(s.percents);
    EXPECT_DOUBLE_EQ(s.width, 50);
    EXPECT_DOUBLE_EQ(s.height, 0);
    EXPECT_TRUE(s.originalResolution);
    EXPECT_EQ(s.defaultDpiX, 96);
    EXPECT_EQ(s.rotation, 3);
    EXPECT_FALSE(s.autoOrient);
    EXPECT_FALSE(s.mirrorH);
    EXPECT_TRUE(s.mirrorV);
    // The folder persists in the settings record.
    EXPECT_EQ(p.window.settings().batchOutputFolder, "/tmp/out");
}

// The fields a page shows, side by side, for comparing two records.
auto pageFields(const tools::BatchSettings& s) {
    return std::make_tuple(s.placeInFolder, s.outputFolder, s.copySubfolders, s.namePrefix,
                           s.nameSuffix, s.preserveDate, s.applyTo, s.setComments, s.comments,
                           s.keepOriginal, s.format, s.palette, s.colorDepth, s.dithering,
                           s.formatOptions, s.width, s.height, s.unit, s.percents, s.keepAspect,
                           s.swapForVertical, s.method, s.originalResolution, s.dpiX, s.dpiY,
                           s.rotation, s.mirrorH, s.mirrorV, s.overlay);
}

TEST(BatchConvertorDialog, PagesShowARecordAndGiveItBack) {
    Panel p;
    ASSERT_NE(p.dialog, nullptr);
    tools::BatchSettings s;
    s.placeInFolder = true;
    s.outputFolder = "/out";
    s.copySubfolders = true;
    s.namePrefix = "p_";
    s.nameSuffix = "_s";
    s.preserveDate = true;
    s.applyTo = tools::ApplyTo::Folder;
    s.setComments = true;
    s.comments = "made here";
    s.keepOriginal = false;
    s.format = tools::BatchFormat::Gif;
    s.palette = 0;
    s.colorDepth = 4;
    s.dithering = 3;
    s.formatOptions.gif.interlaced = true;
    s.width = 12.5;
    s.height = 0;
    s.unit = 2;
    s.percents = false;
    s.keepAspect = true;
    s.swapForVertical = true;
    s.method = 4;
    s.originalResolution = false;
    s.dpiX = 150;
    s.dpiY = 75;
    s.rotation = 2;
    s.mirrorH = true;
    s.overlay.mode = tools::OverlayMode::ImageFile;
    s.overlay.imagePath = "/logo.png";
    p.dialog->showSettings(s);
    EXPECT_EQ(pageFields(p.dialog->pageSettings()), pageFields(s));
}

TEST(BatchConvertorDialog, OverlayPageKeepsEveryFieldAndTheBoxesPickTheAnchor) {
    BatchOverlayPage page(nullptr);
    tools::OverlaySettings s;
    s.mode = tools::OverlayMode::Text;
    s.imagePath = "/a/logo.png";
    s.text = "line one\nline two";
    s.font = {"DejaVu Serif", 13, 700, true};
    s.alignment = tools::TextAlignment::Right;
    s.horizontalAnchor = 0;
    s.verticalAnchor = 1;
    s.horizontalSpacing = 7;
    s.verticalSpacing = 9;
    s.background = tools::TextBackground::Shadow;
    s.boxColor = 0x00112233;
    s.textColor = 0x00445566;
    s.boxOpacity = 40;
    s.shadowOffset = 4;
    s.boxMargin = 6;
    page.setOverlaySettings(s);
    EXPECT_EQ(page.overlaySettings(), s);
    EXPECT_EQ(child<QLabel>(page, "anchorCaption")->text(), "Align: middle left");

    auto* anchor = child<AnchorSelector>(page, "anchor");
    anchor->resize(anchor->sizeHint());
    const QPoint bottomRight = anchor->rect().bottomRight() - QPoint(12, 12);
    QTest::mouseClick(anchor, Qt::LeftButton, {}, bottomRight);
    EXPECT_EQ(page.overlaySettings().horizontalAnchor, 2);
    EXPECT_EQ(page.overlaySettings().verticalAnchor, 2);
    EXPECT_EQ(child<QLabel>(page, "anchorCaption")->text(), "Align: bottom right");
    EXPECT_EQ(overlayFontFrom(qtFontFrom(s.font)), s.font);
}

TEST(BatchConvertorDialog, PreviewShowsTheViewersImageAndFollowsIt) {
    if (!test::haveBmpReader()) GTEST_SKIP() << "no BMP reader";
    test::TempDir dir;
    test::writeFile(dir / "halves.bmp",
                    test::bmp24(40, 20, [](int x, int) { return x < 20 ? 0xFF0000u : 0x0000FFu; }));
    test::writeFile(dir / "green.bmp", test::bmp24(8, 8, [](int, int) { return 0x00FF00u; }));
    MainWindow window;
    QSignalSpy shown(&window, &MainWindow::imageShown);
    window.show();
    ASSERT_TRUE(window.openFile(dir / "halves.bmp"));
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    window.runCommand(app::cmd::kBatchConvertor);
    auto* panel = qobject_cast<BatchConvertorDialog*>(window.batchPanel());
    ASSERT_NE(panel, nullptr);
    child<QPushButton>(*panel, "previewWindow")->click();
    auto* preview = child<EffectsPreview>(*panel, "effectsPreview");
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(preview->windowTitle(), "Effects Preview");
    EXPECT_EQ(preview->size(), QSize(300, 300));
    // Our blue-green-red bytes read as the colours they are.
    const QImage& source = preview->source();
    ASSERT_FALSE(source.isNull());
    EXPECT_EQ(source.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(source.pixel(source.width() - 1, source.height() - 1), qRgb(0, 0, 255));

    shown.clear();
    ASSERT_TRUE(window.openFile(dir / "green.bmp"));
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    EXPECT_EQ(preview->source().pixel(0, 0), qRgb(0, 255, 0));
    window.runCommand(app::cmd::kBatchConvertor);
    EXPECT_FALSE(preview->isVisible());
}

TEST(BatchConvertorDialog, EffectControlsComeFromTheDescriptionsAndDriveThePreview) {
    if (!test::haveBmpReader()) GTEST_SKIP() << "no BMP reader";
    if (tools::EffectList().description(0).empty())
        GTEST_SKIP() << "the effects are not in this build";
    test::TempDir dir;
    test::writeFile(dir / "red.bmp", test::bmp24(6, 6, [](int, int) { return 0xFF0000u; }));
    MainWindow window;
    QSignalSpy shown(&window, &MainWindow::imageShown);
    window.show();
    ASSERT_TRUE(window.openFile(dir / "red.bmp"));
    ASSERT_TRUE(!shown.isEmpty() || shown.wait(5000));
    window.runCommand(app::cmd::kBatchConvertor);
    auto* panel = qobject_cast<BatchConvertorDialog*>(window.batchPanel());
    ASSERT_NE(panel, nullptr);
    child<QTabWidget>(*panel, "pages")->setCurrentIndex(4);
    auto* effects = child<QListWidget>(*panel, "effects");
    ASSERT_EQ(effects->count(), 3);
    EXPECT_EQ(effects->item(0)->text(), "Gamma");
    auto* groups = child<QListWidget>(*panel, "parameterGroups");
    ASSERT_EQ(groups->count(), 2);
    EXPECT_EQ(groups->item(0)->text(), "Values");

    // "Lock the values" is on: one slider moves all three, and the labels follow.
    child<QSlider>(*panel, "slider0")->setValue(100);
    EXPECT_EQ(child<QSpinBox>(*panel, "spin2")->value(), 100);
    groups->setCurrentRow(1);
    EXPECT_TRUE(child<QCheckBox>(*panel, "option0")->isVisible());
    EXPECT_FALSE(child<QSlider>(*panel, "slider0")->isVisible());

    child<QPushButton>(*panel, "previewWindow")->click();
    auto* preview = child<EffectsPreview>(*panel, "effectsPreview");
    ASSERT_NE(preview, nullptr);
    effects->item(1)->setCheckState(Qt::Checked);  // Negative
    EXPECT_EQ(preview->shown().pixel(0, 0), qRgb(0, 255, 255));
    {
        ModalHandler<QMessageBox> yes(
            [](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
        child<QPushButton>(*panel, "uncheckAll")->click();
    }
    EXPECT_EQ(preview->shown().pixel(0, 0), qRgb(255, 0, 0));
}

TEST(BatchConvertorDialog, RunHostAsksAndReportsThroughTheSharedDialogs) {
    QWidget parent;
    GuiToolHost host(&parent);
    host.setErrors(GuiToolHost::Errors::Collect);
    fs::path renamed = "/untouched";
    const tools::ToolQuestion readOnly("File is read-only:", "/a/b.png",
                                       tools::kExistingFileAnswers, &renamed);
    {
        ModalHandler<FileExistsDialog> answer(
            [](FileExistsDialog* d) { d->choose(FileExistsDialog::SkipAll); });
        EXPECT_EQ(host.ask(readOnly), tools::ToolAnswer::NoToAll);
    }
    {
        ModalHandler<FileExistsDialog> answer([](FileExistsDialog* d) { d->reject(); });
        EXPECT_EQ(host.ask(readOnly), tools::ToolAnswer::Cancel);
    }
    EXPECT_EQ(renamed, fs::path("/untouched"));
    // Problems are kept for the report at the end; nothing stops the run.
    MessageBoxes boxes;
    host.error("Can't read image: /a/b.png");
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.texts.isEmpty());
    EXPECT_EQ(host.problems(), (std::vector<std::string>{"Can't read image: /a/b.png"}));
    host.progress({tools::kBatchStages[1], 1, 4, "/a/b.png", 0, 2, 0, 1});
    EXPECT_EQ(host.progressDialog().stageText(), "Resampling ...");
    EXPECT_FALSE(host.cancelled());
}

// The panel of `window` opened on `folder`, set to convert the whole folder to PNG; null when
// the folder or the panel did not open.
BatchConvertorDialog* pngRunOverFolder(MainWindow& window, const fs::path& folder) {
    if (!window.folder().openFolder(folder)) return nullptr;
    window.runCommand(app::cmd::kBatchConvertor);
    auto* panel = qobject_cast<BatchConvertorDialog*>(window.batchPanel());
    if (panel == nullptr) return nullptr;
    child<QComboBox>(*panel, "format")->setCurrentIndex(3);  // PNG
    child<QComboBox>(*panel, "applyTo")->setCurrentIndex(1);
    return panel;
}

TEST(BatchConvertorDialog, ConvertWritesTheFolderAndTheBrowserListsTheResults) {
    if (!test::haveBmpReader()) GTEST_SKIP() << "no BMP reader";
    if (std::string(tools::batchFormatExtension(tools::BatchFormat::Bmp)) != ".bmp")
        GTEST_SKIP() << "the convert engine is not in this build";
    test::TempDir dir;
    const auto bmp = test::bmp24(4, 3, [](int x, int) { return x < 2 ? 0xFF0000u : 0x00FF00u; });
    test::writeFile(dir / "a.bmp", bmp);
    test::writeFile(dir / "b.bmp", bmp);
    MainWindow window;
    BatchConvertorDialog* panel = pngRunOverFolder(window, dir.path());
    ASSERT_NE(panel, nullptr);
    child<QLineEdit>(*panel, "namePrefix")->setText(QStringLiteral("x_"));
    {
        MessageBoxes boxes;
        panel->convert();
        EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
    }
    for (const char* name : {"x_a.png", "x_b.png"}) {
        SCOPED_TRACE(name);
        const auto decoded = test::decodeWithKalder(dir / name);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->width, 4);
        EXPECT_NE(window.images().find(name), nullptr);
    }

    // Again: the results are there, and one "Skip All" leaves both alone.
    const auto before = fs::last_write_time(dir / "x_b.png");
    int asked = 0;
    ModalHandler<FileExistsDialog> answer([&asked](FileExistsDialog* d) {
        ++asked;
        d->choose(FileExistsDialog::SkipAll);
    });
    panel->convert();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(fs::last_write_time(dir / "x_b.png"), before);
}

TEST(BatchConvertorDialog, FailuresAreListedTogetherWhenTheRunEnds) {
    if (!test::haveBmpReader()) GTEST_SKIP() << "no BMP reader";
    test::TempDir dir;
    test::writeFile(dir / "a.bmp", test::bmp24(4, 3, [](int, int) { return 0xFF0000u; }));
    test::writeFile(dir / "bad1.bmp", {'B', 'M', 1});
    test::writeFile(dir / "bad2.bmp", {'B', 'M', 2});
    MainWindow window;
    BatchConvertorDialog* panel = pngRunOverFolder(window, dir.path());
    ASSERT_NE(panel, nullptr);
    MessageBoxes boxes;
    QStringList summaries, rows;
    ModalHandler<BatchReportDialog> report([&](BatchReportDialog* d) {
        summaries << child<QLabel>(*d, "summary")->text();
        auto* list = child<QListWidget>(*d, "problems");
        for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
        d->accept();
    });
    panel->convert();
    EXPECT_TRUE(boxes.texts.isEmpty()) << boxes.texts.join('\n').toStdString();
    ASSERT_EQ(summaries.size(), 1);
    EXPECT_EQ(summaries[0], "1 converted (0 with damage), 2 failed, 0 skipped");
    EXPECT_EQ(
        rows,
        QStringList({"Can't read image: " + QString::fromStdString((dir / "bad1.bmp").string()),
                     "Can't read image: " + QString::fromStdString((dir / "bad2.bmp").string())}));
    EXPECT_TRUE(fs::exists(dir / "a.png"));
}

TEST(BatchConvertorDialog, FileDialogFilterFromTheFormatTable) {
    EXPECT_EQ(qtFileFilter("Pictures|*.a;*.b|All files (*.*)|*.*||"),
              "Pictures (*.a *.b);;All files (*)");
}

TEST(BatchConvertorDialog, ApplyToListsTheChosenFilesTheFolderOrItsWholeTree) {
    if (!test::haveBmpReader()) GTEST_SKIP() << "no BMP reader";
    test::TempDir dir;
    const auto bmp = test::bmp24(2, 2, [](int, int) { return 0x808080u; });
    test::writeFile(dir / "b.bmp", bmp);
    test::writeFile(dir / "a.bmp", bmp);
    test::writeFile(dir / "notes.txt", {'x'});
    fs::create_directories(dir / "sub" / "deeper");
    test::writeFile(dir / "sub" / "deeper" / "c.bmp", bmp);
    test::FakeToolContext context;
    context.folder = dir.path();
    context.add("a.bmp", true);
    context.current = context.add("b.bmp", false);
    context.add("c.bmp", true);

    // The browser's selection; in the viewer, where the browser is hidden, the file on screen.
    EXPECT_EQ(batchFileList(context, tools::ApplyTo::Selection).files,
              (std::vector<fs::path>{dir / "a.bmp", dir / "c.bmp"}));
    context.viewer = true;
    EXPECT_EQ(batchFileList(context, tools::ApplyTo::Selection).files,
              (std::vector<fs::path>{dir / "b.bmp"}));
    context.current = nullptr;
    EXPECT_TRUE(batchFileList(context, tools::ApplyTo::Selection).files.empty());

    const tools::BatchFileList folder = batchFileList(context, tools::ApplyTo::Folder);
    EXPECT_EQ(folder.root, dir.path());
    EXPECT_EQ(folder.files, (std::vector<fs::path>{dir / "a.bmp", dir / "b.bmp"}));
    const tools::BatchFileList tree = batchFileList(context, tools::ApplyTo::FolderTree);
    EXPECT_EQ(tree.files, (std::vector<fs::path>{dir / "a.bmp", dir / "b.bmp",
                                                 dir.path() / "sub" / "deeper" / "c.bmp"}));
}

}  // namespace
}  // namespace kalder::gui
