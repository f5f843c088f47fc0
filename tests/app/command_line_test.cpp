#include "app/core/command_line.h"

#include <gtest/gtest.h>

#include "kalder_config.h"

namespace kalder::app {
namespace {

using Action = CommandLineAction;

struct CommandLineCase {
    const char* name;
    const char* text;
    Action action;
    const char* file;
};

void PrintTo(const CommandLineCase& c, std::ostream* os) { *os << c.name; }

class ParseCommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(ParseCommandLineTest, ReadsTheOneArgument) {
    const CommandLineCase& c = GetParam();
    const CommandLine parsed = parseCommandLine(c.text);
    EXPECT_EQ(parsed.action, c.action) << '[' << c.text << ']';
    EXPECT_EQ(parsed.file, c.file) << '[' << c.text << ']';
}

INSTANTIATE_TEST_SUITE_P(
    Table, ParseCommandLineTest,
    ::testing::Values(
        CommandLineCase{"Empty", "", Action::None, ""},
        CommandLineCase{"OnlyBlanks", " \t  ", Action::None, ""},
        CommandLineCase{"EmptyQuotes", "\"\"", Action::None, ""},
        CommandLineCase{"PlainPath", "/home/ann/a.png", Action::Open, "/home/ann/a.png"},
        CommandLineCase{"QuotedPathWithBlank", "\"/home/ann/my pic.png\"", Action::Open,
                        "/home/ann/my pic.png"},
        CommandLineCase{"QuotedAfterBlanks", " \t\"/tmp/a b.gif\"  trailing", Action::Open,
                        "/tmp/a b.gif"},
        CommandLineCase{"UnquotedPathWithBlanks", "  /home/ann/my  holiday pic.png", Action::Open,
                        "/home/ann/my  holiday pic.png"},
        CommandLineCase{"OnlyOpeningQuote", "\"/tmp/x y.png", Action::Open, "/tmp/x y.png"},
        CommandLineCase{"StopsAtInnerQuote", "a\"b", Action::Open, "a"},
        CommandLineCase{"RelativePath", "pic.jpg", Action::Open, "pic.jpg"},
        CommandLineCase{"ShellPrintVerb", "\"-p /home/ann/my pic.png\"", Action::Print,
                        "/home/ann/my pic.png"},
        CommandLineCase{"PrintGlued", "-p/tmp/a.png", Action::Print, "/tmp/a.png"},
        CommandLineCase{"PrintBlanksAndTabs", "-p \t /tmp/a.png", Action::Print, "/tmp/a.png"},
        CommandLineCase{"PrintAlone", "-p", Action::None, ""},
        CommandLineCase{"PrintWithOnlyBlanks", "-p  \t", Action::None, ""},
        CommandLineCase{"SlashUpperP", "/P /tmp/a b.png", Action::Print, "/tmp/a b.png"},
        CommandLineCase{"SlashLowerP", "/p\t/tmp/a.png", Action::Print, "/tmp/a.png"},
        CommandLineCase{"DashUpperP", "-P x.png", Action::Print, "x.png"},
        CommandLineCase{"SlashPAlone", "/p", Action::None, ""},
        // An absolute path that happens to start with "/p" is a file, not a print request.
        CommandLineCase{"AbsolutePathStartingWithP", "/pictures/a.png", Action::Open,
                        "/pictures/a.png"},
        CommandLineCase{"AbsolutePathStartingWithUpperP", "/Pix/b.png", Action::Open, "/Pix/b.png"},
        CommandLineCase{"PrintWord", "-print", Action::Print, "rint"},
        CommandLineCase{"Uninstall", "-uninstall", Action::Uninstall, ""},
        CommandLineCase{"UninstallUpper", "-UNINSTALL", Action::Uninstall, ""},
        CommandLineCase{"UninstallMixedQuoted", "  \"-UnInstall\"", Action::Uninstall, ""},
        CommandLineCase{"UninstallWithMore", "-uninstall now", Action::Open, "-uninstall now"},
        CommandLineCase{"SlashUninstall", "/uninstall", Action::Open, "/uninstall"},
        CommandLineCase{"OtherSwitch", "-x file", Action::Open, "-x file"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(JoinArguments, GivesTheTextTheParserExpects) {
    EXPECT_EQ(joinArguments({}), "");
    EXPECT_EQ(parseCommandLine(joinArguments({"/tmp/my pic.png"})).file, "/tmp/my pic.png");
    const CommandLine print = parseCommandLine(joinArguments({"-p", "/tmp/a b.png"}));
    EXPECT_EQ(print.action, Action::Print);
    EXPECT_EQ(print.file, "/tmp/a b.png");
    EXPECT_EQ(parseCommandLine(joinArguments({"-UNINSTALL"})).action, Action::Uninstall);

    // A file manager's selection: each path its own argument, the first one opened.
    auto exists = [](const std::string& p) { return p.starts_with("/pics/"); };
    EXPECT_EQ(joinArguments({"/pics/a b.png", "/pics/c.png"}, exists), "/pics/a b.png");
    EXPECT_EQ(joinArguments({"/tmp/my", "pic.png"}, exists), "/tmp/my pic.png");
    EXPECT_EQ(parseCommandLine(joinArguments({"-p", "/pics/a.png"}, exists)).action, Action::Print);
}

TEST(InformationRequest, AnswersHelpAndVersionOnly) {
    EXPECT_EQ(informationRequest({"--version"}), "kalder " + std::string(config::kVersion) + "\n");
    EXPECT_TRUE(informationRequest({"--help"})->starts_with("usage: kalder"));
    EXPECT_FALSE(informationRequest({}).has_value());
    EXPECT_FALSE(informationRequest({"/pics/--help"}).has_value());
    EXPECT_FALSE(informationRequest({"-p", "--version"}).has_value());
}

struct HelpCase {
    const char* exe;
    const char* expected;
};

class HelpFilePathTest : public ::testing::TestWithParam<HelpCase> {};

TEST_P(HelpFilePathTest, SitsBesideTheExecutable) {
    EXPECT_EQ(helpFilePath(GetParam().exe, "previous"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HelpFilePathTest,
    ::testing::Values(HelpCase{"/usr/bin/kalder", "/usr/bin/guide.chm"},
                      HelpCase{"/kalder", "/guide.chm"}, HelpCase{"./kalder", "./guide.chm"},
                      HelpCase{"/opt/odd\\dir/kalder", "/opt/odd\\dir/guide.chm"},
                      HelpCase{"kalder", "previous"}, HelpCase{"", "previous"}));

}  // namespace
}  // namespace kalder::app
