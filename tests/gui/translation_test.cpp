// With a pseudo-translation loaded, which turns every text of the catalogue into "⟦text⟧", every
// text a user reads in the main window and the dialogs shows the marks: none bypasses tr().
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTranslator>
#include <algorithm>
#include <functional>
#include <memory>

#include "app/core/settings.h"
#include "app/core/shortcuts.h"
#include "app/core/translatable.h"
#include "app/gui/customize_toolbar_dialog.h"
#include "app/gui/dialogs/copy_move_dialog.h"
#include "app/gui/dialogs/describe_image_dialog.h"
#include "app/gui/dialogs/edit_shortcut_dialog.h"
#include "app/gui/dialogs/file_exists_dialog.h"
#include "app/gui/dialogs/file_filter_dialog.h"
#include "app/gui/dialogs/find_image_dialog.h"
#include "app/gui/dialogs/gif_options_dialog.h"
#include "app/gui/dialogs/help_window.h"
#include "app/gui/dialogs/jpeg_options_dialog.h"
#include "app/gui/dialogs/options_dialog.h"
#include "app/gui/dialogs/png_options_dialog.h"
#include "app/gui/dialogs/progress_dialog.h"
#include "app/gui/dialogs/rle_options_dialog.h"
#include "app/gui/dialogs/tiff_options_dialog.h"
#include "app/gui/dialogs/transparency_options_dialog.h"
#include "app/gui/main_window.h"
#include "app/gui/menus.h"
#include "app/gui/slide_show_dialog.h"
#include "app/gui/tools/associations/associations_dialog.h"
#include "app/gui/tools/batch_convertor/batch_effects_page.h"
#include "app/gui/tools/batch_convertor/batch_overlay_page.h"
#include "app/gui/tools/batch_convertor/batch_run.h"
#include "app/gui/tools/companion/companion_dialog.h"
#include "app/gui/tools/gif_compiler/gif_compiler_dialog.h"
#include "app/gui/tools/icon_compiler/icon_compiler_dialog.h"
#include "app/gui/tools/icon_compiler/icon_compiler_prompts.h"
#include "app/gui/tools/jpeg_transform/exif_orientation_dialog.h"
#include "app/gui/tools/jpeg_transform/jpeg_transform_dialog.h"
#include "app/gui/tools/mail/mail_dialog.h"
#include "app/gui/tools/mail/mail_options_dialog.h"
#include "app/gui/tools/palette/palette_dialog.h"
#include "app/gui/tools/print/custom_size_dialog.h"
#include "app/gui/tools/print/print_dialog.h"
#include "app/gui/tools/psd_decompiler/psd_decompiler_dialog.h"
#include "app/gui/tools/scan/scan_dialogs.h"
#include "app/gui/tools/tool_runner.h"
#include "app/gui/tools/user_lists/user_list_dialogs.h"
#include "app/gui/translations.h"
#include "dialog_test_support.h"
#include "image/image_document.h"
#include "shell/associations.h"
#include "support/test_support.h"
#include "tools/convert/batch_convertor.h"
#include "tools/recording_tool_host.h"
#include "view/folder_images.h"

using namespace kalder;

namespace {

// Texts that are data rather than words of ours: file names and paths, key names that read the
// same in every language, and the program's name.
bool isData(const QString& text) {
    static const QRegularExpression data(QStringLiteral("^(\\S*[/.]\\S*|[A-Z]|F[0-9]+|Kalder)$"));
    return data.match(text).hasMatch();
}

// Qt names the standard buttons and its tab bars' scroll buttons from its own catalogue.
bool isQts(const QObject* o) {
    if (auto* box = qobject_cast<const QDialogButtonBox*>(o->parent()))
        return box->standardButton(qobject_cast<QAbstractButton*>(const_cast<QObject*>(o))) !=
               QDialogButtonBox::NoButton;
    return qobject_cast<const QTabBar*>(o->parent()) != nullptr;
}

class Walker {
public:
    QStringList unmarked;

    void walk(QWidget* root) {
        widget(root);
        for (QWidget* w : root->findChildren<QWidget*>()) widget(w);
    }
    void action(QAction* a) {
        check(a, "action", a->text());
        check(a, "action tooltip", a->toolTip());
        check(a, "status tip", a->statusTip());
    }

private:
    void check(const QObject* o, const char* what, const QString& text) {
        static const QRegularExpression letter(QStringLiteral("\\p{L}"));
        if (!text.contains(letter) || text.contains(QChar(0x27E6)) || isData(text) || isQts(o))
            return;
        unmarked << QStringLiteral("%1 '%2' %3: %4")
                        .arg(QLatin1String(o->metaObject()->className()), o->objectName(),
                             QLatin1String(what), text);
    }
    void widget(QWidget* w) {
        if (w->isWindow()) check(w, "title", w->windowTitle());
        check(w, "tooltip", w->toolTip());
        check(w, "accessible name", w->accessibleName());
        check(w, "accessible description", w->accessibleDescription());
        if (auto* l = qobject_cast<QLabel*>(w)) check(w, "text", l->text());
        if (auto* b = qobject_cast<QAbstractButton*>(w)) check(w, "text", b->text());
        if (auto* g = qobject_cast<QGroupBox*>(w)) check(w, "title", g->title());
        if (auto* e = qobject_cast<QLineEdit*>(w)) check(w, "placeholder", e->placeholderText());
        if (auto* m = qobject_cast<QMenu*>(w)) check(w, "title", m->title());
        if (auto* t = qobject_cast<QTabBar*>(w))
            for (int i = 0; i < t->count(); ++i) check(w, "tab", t->tabText(i));
        if (auto* c = qobject_cast<QComboBox*>(w); c && !c->isEditable())
            for (int i = 0; i < c->count(); ++i) check(w, "item", c->itemText(i));
        if (auto* h = qobject_cast<QHeaderView*>(w); h && h->model())
            for (int i = 0; i < h->count(); ++i)
                check(w, "header", h->model()->headerData(i, h->orientation()).toString());
        for (QAction* a : w->actions()) action(a);
    }
};

// Yes to every question of the icon compiler.
struct IconAnswers : test::RecordingToolHost, tools::IconQuestions {
    bool chooseColour(image::ColorRef&) override { return true; }
    bool askHotSpot(std::int32_t&, std::int32_t&) override { return true; }
    bool askDelay(std::uint32_t&) override { return true; }
};

class Translated : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static QTranslator pseudo;
        ASSERT_TRUE(pseudo.load(QStringLiteral(KALDER_PSEUDO_QM)));
        QApplication::installTranslator(&pseudo);
        gui::routeCoreTextsThroughQt();
    }
    void expectMarked(QWidget* root, const char* name) {
        Walker walker;
        walker.walk(root);
        EXPECT_TRUE(walker.unmarked.isEmpty())
            << name << ":\n  " << walker.unmarked.join(QStringLiteral("\n  ")).toStdString();
    }
};

// The program finds a language's catalogue beside itself, as in the build tree.
TEST(Translations, CatalogueOfTheLanguageIsFoundBesideTheProgram) {
    const QDir dir(QCoreApplication::applicationDirPath() + QStringLiteral("/translations"));
    ASSERT_TRUE(dir.mkpath(QStringLiteral(".")));
    const QString catalogue = dir.filePath(QStringLiteral("kalder_de.qm"));
    QFile::remove(catalogue);
    ASSERT_TRUE(QFile::copy(QStringLiteral(KALDER_PSEUDO_QM), catalogue));
    gui::installTranslations(QLocale(QLocale::German, QLocale::Germany));
    QFile::remove(catalogue);
    EXPECT_EQ(QCoreApplication::translate("Commands", "&Open..."),
              QStringLiteral("\u27E6&Open...\u27E7"));
    // Texts app/core puts together go through it too.
    EXPECT_EQ(app::translatedText(app::kKeyNamesContext, "Space"), "\u27E6Space\u27E7");
}

TEST_F(Translated, MainWindowMenusAndToolbar) {
    gui::MainWindow window;
    window.runCommand(app::cmd::kBatchConvertor);
    window.runCommand(app::cmd::kImageProperties);
    expectMarked(&window, "main window");
    for (const auto which : {app::ContextMenu::ViewingArea, app::ContextMenu::FolderTree,
                             app::ContextMenu::FileList, app::ContextMenu::Toolbar}) {
        std::unique_ptr<QMenu> menu(window.menus()->buildContextMenu(which, &window));
        expectMarked(menu.get(), "context menu");
    }
}

// An engine's message: the lines it marks are translated, a file name on its own line is not.
TEST_F(Translated, EngineMessagesLineByLine) {
    QString shown;
    test::ModalHandler<QMessageBox> close([&](QMessageBox* box) {
        shown = box->text();
        box->accept();
    });
    gui::GuiToolHost host(nullptr);
    host.warning(QStringLiteral("%1\n/p/a.jpg").arg(tools::kFileReadOnlyPrompt).toStdString());
    EXPECT_EQ(shown, QStringLiteral("\u27E6File is read-only:\u27E7\n/p/a.jpg"));
}

// The facts the status bar and the browser's tooltips show, put together in the view layer.
TEST_F(Translated, FileFacts) {
    image::ImageInfo info;
    info.width = 640;
    info.height = 480;
    info.bitsPerPixel = 8;
    info.isGray = true;
    const std::string text = view::fileInformationText(&info, false);
    for (const char* word :
         {"\u27E6bytes\u27E7", "640x480 \u27E6pixels\u27E7", "256 \u27E6gray-levels\u27E7"})
        EXPECT_NE(text.find(word), std::string::npos) << text;
}

TEST_F(Translated, EveryDialog) {
    test::TempDir dir;
    for (const char* name : {"a.bmp", "b.bmp"})
        test::writeFile(dir / name, test::bmp24(16, 16, [](int, int) { return 0xFFu; }));
    app::Settings settings;
    const app::ShortcutEditor shortcuts(settings.shortcuts);
    const app::Shortcut shortcut = shortcuts.newEntry();
    shell::RegistryStore store(dir / "kalder.conf");
    shell::Associations associations(shell::XdgFolders::fromEnvironment(), store, "/bin/true");
    IconAnswers answers;
    tools::IconCompiler icons(answers, answers);
    ASSERT_TRUE(icons.open({dir / "a.bmp"}));
    image::ImagePage page;
    page.bitsPerPixel = 8;
    gui::ScanState scan;
    const auto frames = [&dir] {
        std::vector<tools::AnimationFrame> out(1);
        out[0].path = dir / "a.bmp";
        out[0].preview = std::make_unique<image::Bitmap32>();
        EXPECT_TRUE(out[0].preview->Create(16, 16));
        return out;
    };
    // Callers hand these dialogs a sentence of their own, translated where they are.
    const QString message = QStringLiteral("\u27E6File is read-only:\u27E7");

    using Factory = std::function<QWidget*()>;
    const std::vector<std::pair<const char*, Factory>> dialogs = {
        {"options", [&] { return new gui::OptionsDialog(settings); }},
        {"edit shortcut",
         [&] { return new gui::EditShortcutDialog(shortcuts, shortcut, std::nullopt); }},
        {"misc controls", [&] { return new gui::MiscControlsDialog(settings.controlOptions); }},
        {"slide show", [&] { return new gui::SlideShowDialog(settings, nullptr); }},
        {"customize toolbar", [&] { return new gui::CustomizeToolbarDialog(settings); }},
        {"copy/move", [&] { return new gui::CopyMoveDialog(settings, {dir / "a.bmp"}); }},
        {"describe", [&] { return new gui::DescribeImageDialog(QStringLiteral("a.bmp"), {}); }},
        {"rename", [&] { return new gui::RenameFileDialog(QStringLiteral("a.bmp")); }},
        {"file exists",
         [&] { return new gui::FileExistsDialog(message, QStringLiteral("/p/a.jpg"), true); }},
        {"file filter", [&] { return new gui::FileFilterDialog(settings); }},
        {"find image", [&] { return new gui::FindImageDialog(settings); }},
        {"help", [&] { return new gui::HelpWindow(); }},
        {"gif options", [&] { return new gui::GifOptionsDialog({}); }},
        {"jpeg options", [&] { return new gui::JpegOptionsDialog({}); }},
        {"png options", [&] { return new gui::PngOptionsDialog({}); }},
        {"rle options", [&] { return new gui::RleOptionsDialog(message, true); }},
        {"tiff options", [&] { return new gui::TiffOptionsDialog({}, 24); }},
        {"transparency options", [&] { return new gui::TransparencyOptionsDialog({}); }},
        {"associations", [&] { return new gui::AssociationsDialog(settings, associations); }},
        {"associations changed",
         [&] { return new gui::AssociationsChangedDialog(settings, associations); }},
        {"effect order",
         [&] {
             return new gui::EffectOrderDialog({QStringLiteral("\u27E6x\u27E7")}, {0}, nullptr);
         }},
        {"overlay effects", [&] { return new gui::TextOverlayEffectsDialog({}, nullptr); }},
        {"batch report", [&] { return new gui::BatchReportDialog({}, {}); }},
        {"companion", [&] { return new gui::LocateCompanionDialog(settings); }},
        {"gif compiler", [&] { return new gui::GifCompilerDialog(frames(), {}); }},
        {"icon compiler", [&] { return new gui::IconCompilerDialog(icons, nullptr); }},
        {"set delay", [&] { return new gui::SetDelayDialog(10, nullptr); }},
        {"set hot spot", [&] { return new gui::SetHotSpotDialog(1, 2, nullptr); }},
        {"exif orientation", [&] { return new gui::ExifOrientationDialog({dir / "a.bmp"}); }},
        {"jpeg transform", [&] { return new gui::JpegTransformDialog(settings); }},
        {"mail", [&] { return new gui::MailDialog(settings); }},
        {"mail options", [&] { return new gui::MailOptionsDialog({}, {}); }},
        {"palette", [&] { return new gui::PaletteDialog(QStringLiteral("a.bmp"), page); }},
        {"custom size", [&] { return new gui::CustomSizeDialog(100, 150, nullptr); }},
        {"print", [&] { return new gui::PrintDialog(settings, {}, {}, nullptr); }},
        {"psd decompiler", [&] { return new gui::PsdDecompilerDialog({dir / "a.psd"}, {}); }},
        {"acquire", [&] { return new gui::AcquireDialog(scan); }},
        {"select source", [&] { return new gui::SelectSourceDialog({}); }},
        {"add favorite", [&] { return new gui::AddFavoriteDialog(QStringLiteral("/p")); }},
        {"delete favorites", [&] { return new gui::DeleteFavoritesDialog(settings); }},
        {"add application", [&] { return new gui::AddApplicationDialog(); }},
        {"browse shortcut", [&] { return new gui::BrowseShortcutDialog(); }},
        {"applications", [&] { return new gui::ApplicationsDialog(settings); }},
    };
    for (const auto& [name, make] : dialogs) {
        std::unique_ptr<QWidget> dialog(make());
        expectMarked(dialog.get(), name);
    }
    // The help table finds controls by their caption, which is translated too.
    gui::AssociationsDialog withTips(settings, associations);
    const QList<QPushButton*> buttons = withTips.findChildren<QPushButton*>();
    const auto all = std::find_if(buttons.begin(), buttons.end(), [](const QPushButton* b) {
        return b->text() == QStringLiteral("\u27E6All\u27E7");
    });
    ASSERT_NE(all, buttons.end());
    EXPECT_TRUE((*all)->toolTip().contains(QStringLiteral("\u27E6Check all associations\u27E7")));

    gui::ProgressDialog progress;
    progress.Create(nullptr);
    expectMarked(progress.window(), "progress");
}

}  // namespace
