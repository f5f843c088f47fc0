// The dialog help table: its rows, and that every topic it names lands on a shipped help page
// with the right anchor.
#include "app/core/dialog_help_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "support/test_support.h"

using namespace kalder::app;
namespace fs = std::filesystem;
using kalder::test::readText;

namespace {

fs::path helpSourceDir() { return kalder::test::sourceDir() / "help"; }

}  // namespace

TEST(DialogHelpTable, RowsAsStored) {
    const auto table = dialogHelpTable();
    ASSERT_EQ(table.size(), 47u);
    std::set<std::int32_t> templates;
    for (const auto& entry : table) {
        EXPECT_NE(entry.templateNumber, 0);
        EXPECT_TRUE(templates.insert(entry.templateNumber).second) << entry.templateNumber;
        for (const auto& tip : entry.tooltips) {
            // Either an identifier or a caption names the control, and there is a text.
            EXPECT_NE(tip.control == 0, tip.caption.empty()) << entry.dialog;
            EXPECT_FALSE(tip.text.empty());
        }
    }
    EXPECT_EQ(table.front().templateNumber, 204);
    EXPECT_EQ(table.back().templateNumber, 354);

    const auto* options = findDialogHelp(332);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->helpTopic, "options_3");
    ASSERT_EQ(options->tooltips.size(), 3u);
    EXPECT_EQ(options->tooltips[2].caption, "Use default color profile");

    // Banners only where the tools have artwork.
    std::set<std::int32_t> banners;
    for (const auto& entry : table) {
        if (entry.banner != 0) banners.insert(entry.banner);
    }
    EXPECT_EQ(banners, (std::set<std::int32_t>{294, 296, 297, 298, 299, 340}));
}

TEST(DialogHelpTable, DialogsWithoutRowsOrTopics) {
    EXPECT_EQ(findDialogHelp(334), nullptr);  // "Edit Shortcut"
    EXPECT_EQ(findDialogHelp(0), nullptr);
    const auto* setDelay = findDialogHelp(269);
    ASSERT_NE(setDelay, nullptr);
    EXPECT_TRUE(setDelay->helpTopic.empty());
    EXPECT_EQ(setDelay->tooltips.size(), 1u);
    const auto* companion = findDialogHelp(322);
    ASSERT_NE(companion, nullptr);
    EXPECT_TRUE(companion->helpTopic.empty());
    EXPECT_EQ(companion->banner, 340);
}

TEST(DialogHelpTable, EveryTopicResolvesToAPageAndAnchor) {
    const fs::path dir = helpSourceDir();
    ASSERT_TRUE(fs::is_regular_file(dir / "index.html")) << dir;
    std::set<std::string_view> topics(helpTopics().begin(), helpTopics().end());
    for (const auto& entry : dialogHelpTable()) {
        if (!entry.helpTopic.empty()) {
            EXPECT_TRUE(topics.count(entry.helpTopic)) << entry.helpTopic;
        }
    }
    for (std::string_view topic : topics) {
        const auto location = helpLocation(topic);
        ASSERT_TRUE(location.has_value()) << topic;
        const fs::path page = dir / std::string(location->page);
        ASSERT_TRUE(fs::is_regular_file(page)) << page;
        const std::string html = readText(page);
        EXPECT_NE(html.find("<title>"), std::string::npos) << page;
        if (!location->anchor.empty()) {
            const std::string anchor = "name=\"" + std::string(location->anchor) + "\"";
            EXPECT_NE(html.find(anchor), std::string::npos) << topic << " in " << page;
        }
    }
    EXPECT_FALSE(helpLocation("no_such_topic").has_value());
}

TEST(DialogHelpTable, HelpFolderIsFoundBesideOrAboveTheProgram) {
    const fs::path root = fs::temp_directory_path() / "kalder-help-lookup-test";
    fs::remove_all(root);
    fs::create_directories(root / "bin");
    EXPECT_FALSE(findHelpDirectory(root / "bin").has_value());
    // An installation: bin/ and share/kalder/help.
    fs::create_directories(root / "share" / "kalder" / "help");
    std::ofstream(root / "share" / "kalder" / "help" / "index.html") << "<html></html>";
    EXPECT_EQ(findHelpDirectory(root / "bin"), root / "share" / "kalder" / "help");
    // Beside the program wins.
    fs::create_directories(root / "bin" / "help");
    std::ofstream(root / "bin" / "help" / "index.html") << "<html></html>";
    EXPECT_EQ(findHelpDirectory(root / "bin"), root / "bin" / "help");
    fs::remove_all(root);
}

TEST(DialogHelpTable, TooltipStaysUpThirtyDoubleClicks) {
    EXPECT_EQ(tooltipDuration(500), 15000);
    // Long double-click times saturate instead of wrapping round to a short delay.
    EXPECT_EQ(tooltipDuration(5000), 0xFFFF);
    EXPECT_EQ(tooltipDuration(-1), 0);
}
