// The dialog base: tooltips from the table, the help button, banners decoded by our JPEG
// reader, and the help window over the shipped pages.
#include "app/gui/dialogs/dialog_base.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTextBrowser>

#include "app/core/dialog_help_table.h"
#include "app/gui/dialogs/help_window.h"
#include "support/test_support.h"

using namespace kalder;
using namespace kalder::gui;

namespace {

std::filesystem::path helpSource() { return kalder::test::sourceDir() / "help"; }

// A stand-in for a real dialog: the controls the table names for one template.
class TableDialog : public DialogBase {
public:
    explicit TableDialog(int number, QWidget* parent = nullptr) : DialogBase(number, parent) {
        const auto* entry = app::findDialogHelp(number);
        if (entry != nullptr) {
            for (const auto& tip : entry->tooltips) {
                if (tip.control != 0) {
                    auto* w = new QLabel(this);
                    setControlId(w, tip.control);
                } else {
                    new QPushButton(
                        QString::fromUtf8(tip.caption.data(), qsizetype(tip.caption.size())), this);
                }
            }
        }
        bannerLabel();
        helpButton();
        OnInitDialog();
    }
};

}  // namespace

TEST(DialogBase, EveryTableRowGetsItsTooltips) {
    for (const auto& entry : app::dialogHelpTable()) {
        TableDialog dialog(entry.templateNumber);
        // Controls in creation order match the rows in order, duplicates included.
        QList<QWidget*> controls;
        for (QWidget* w : dialog.findChildren<QWidget*>()) {
            if (w->objectName() != "banner" && w->objectName() != "help") controls << w;
        }
        ASSERT_EQ(controls.size(), qsizetype(entry.tooltips.size())) << entry.dialog;
        for (std::size_t i = 0; i < entry.tooltips.size(); ++i) {
            const QString text = QString::fromUtf8(entry.tooltips[i].text.data(),
                                                   qsizetype(entry.tooltips[i].text.size()));
            EXPECT_EQ(controls[qsizetype(i)]->toolTip(), DialogBase::tooltipMarkup(text))
                << entry.dialog << " row " << i;
            EXPECT_EQ(controls[qsizetype(i)]->toolTipDuration(),
                      app::tooltipDuration(QApplication::doubleClickInterval()));
        }
    }
}

TEST(DialogBase, TooltipsShowAmpersandsAndQuotesAsWritten) {
    const QString markup = DialogBase::tooltipMarkup("Copy \"Tag\" & <Value>");
    EXPECT_TRUE(markup.contains("&amp;"));
    EXPECT_TRUE(markup.contains("&lt;Value&gt;"));
    TableDialog dialog(334);  // "Edit Shortcut" has no row
    QCheckBox box("&Retain original transparency", &dialog);
    EXPECT_EQ(DialogBase::applyTooltips(&dialog, 334), 0);
    EXPECT_TRUE(box.toolTip().isEmpty());
    EXPECT_TRUE(dialog.AddTooltip(&box, "Added at run time"));
    EXPECT_EQ(box.toolTip(), DialogBase::tooltipMarkup("Added at run time"));
    EXPECT_FALSE(dialog.AddTooltip(4242, "no such control"));
}

TEST(DialogBase, BannersDecodeThroughOurJpegReader) {
    for (int number : {294, 296, 297, 298, 299, 340}) {
        const QImage banner = DialogBase::loadBanner(number);
        ASSERT_FALSE(banner.isNull()) << number;
        EXPECT_GT(banner.width(), 32);
        EXPECT_GT(banner.height(), banner.width());
        // A gradient, not a blank picture.
        EXPECT_NE(banner.pixel(banner.width() - 2, 1),
                  banner.pixel(banner.width() - 2, banner.height() - 2));
    }
    EXPECT_TRUE(DialogBase::loadBanner(295).isNull());

    TableDialog compiler(266);  // "Icon/Cursor Compiler", banner 297
    auto* picture = compiler.findChild<QLabel*>("banner");
    ASSERT_NE(picture, nullptr);
    EXPECT_FALSE(picture->pixmap().isNull());
    EXPECT_EQ(DialogBase::findControl(&compiler, app::kBannerControl), picture);
    TableDialog options(138);  // no banner
    EXPECT_TRUE(options.findChild<QLabel*>("banner")->pixmap().isNull());
}

TEST(DialogBase, HelpOpensTheTopicOrNothing) {
    HelpWindow::setHelpDirectory(helpSource());
    {
        TableDialog options(328);  // page "Viewer"
        QSignalSpy opened(&options, &DialogBase::helpOpened);
        options.findChild<QPushButton*>("help")->click();
        ASSERT_EQ(opened.count(), 1);
        EXPECT_EQ(opened.at(0).at(0).toString(), "options_1");
        auto* window = options.findChild<HelpWindow*>();
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(window->currentUrl().toLocalFile().endsWith("options.html"));
        EXPECT_EQ(window->currentUrl().fragment(), "viewer");
        EXPECT_TRUE(window->browser()->toPlainText().contains("Viewer"));
        // A second press reuses the window.
        options.findChild<QPushButton*>("help")->click();
        EXPECT_EQ(options.findChildren<HelpWindow*>().size(), 1);
    }
    for (int number : {269, 334, 322}) {  // "Set Delay", "Edit Shortcut", "Locate Lumidrex"
        TableDialog dialog(number);
        QSignalSpy opened(&dialog, &DialogBase::helpOpened);
        dialog.OnHelp();
        EXPECT_EQ(opened.count(), 0) << number;
        EXPECT_EQ(dialog.findChild<HelpWindow*>(), nullptr);
    }
    HelpWindow::setHelpDirectory(std::nullopt);
}

TEST(HelpWindow, EveryTopicOpensWithBackAndForward) {
    HelpWindow::setHelpDirectory(helpSource());
    HelpWindow window;
    for (std::string_view topic : app::helpTopics()) {
        const QString id = QString::fromUtf8(topic.data(), qsizetype(topic.size()));
        ASSERT_TRUE(window.showTopic(id)) << topic;
        EXPECT_FALSE(window.browser()->toPlainText().isEmpty()) << topic;
    }
    EXPECT_FALSE(window.showTopic("no_such_topic"));

    ASSERT_TRUE(window.showTopic("index"));
    ASSERT_TRUE(window.showTopic("batch_convertor_4"));
    EXPECT_EQ(window.currentUrl().fragment(), "resample");
    auto* back = window.findChild<QPushButton*>("back");
    auto* forward = window.findChild<QPushButton*>("forward");
    EXPECT_TRUE(back->isEnabled());
    back->click();
    EXPECT_TRUE(window.currentUrl().toLocalFile().endsWith("index.html"));
    EXPECT_TRUE(forward->isEnabled());
    forward->click();
    EXPECT_TRUE(window.currentUrl().toLocalFile().endsWith("batch_convertor.html"));

    // Pages missing altogether: nothing opens.
    HelpWindow::setHelpDirectory(std::filesystem::temp_directory_path() / "kalder-no-help-here");
    EXPECT_TRUE(HelpWindow::topicUrl("options").isEmpty());
    HelpWindow::setHelpDirectory(std::nullopt);
}
