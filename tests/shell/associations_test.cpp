#include "shell/associations.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "image/format_table.h"
#include "support/test_support.h"

namespace kalder::shell {
namespace {
namespace fs = std::filesystem;

constexpr std::size_t kPng = 17;  // ".png" in the extension table
constexpr std::size_t kJpg = 6;
constexpr std::size_t kJpeg = 7;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void spit(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

bool haveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

std::string run(const std::string& command) {
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        pclose(p);
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

// Private XDG folders with a "system" default (other.desktop) for image/png and image/jpeg.
class AssociationsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", (m_dir / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", config().c_str(), 1);
        setenv("XDG_DATA_HOME", (m_dir / "data").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (m_dir / "sysconfig").c_str(), 1);
        setenv("XDG_DATA_DIRS", (m_dir / "sysdata").c_str(), 1);
        unsetenv("XDG_CURRENT_DESKTOP");
        spit(m_dir / "sysdata/applications/other.desktop",
             "[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/true %f\n");
        spit(m_dir / "sysdata/applications/mimeapps.list",
             "[Default Applications]\nimage/png=other.desktop\nimage/jpeg=other.desktop\n");
        m_store = RegistryStore(m_dir / "config/kalder/kalder.conf");
    }
    fs::path config() const { return m_dir / "config"; }
    fs::path list() const { return config() / "mimeapps.list"; }
    Associations engine() {
        return Associations(XdgFolders::fromEnvironment(), m_store, "/bin/true");
    }
    std::string query(const char* type) {
        return run(std::string("xdg-mime query default ") + type + " 2>/dev/null");
    }
    std::optional<std::string> undo(const char* type) {
        return m_store.value(kAssociationUndoKey, type);
    }

    test::TempDir m_dir;
    RegistryStore m_store;
};

TEST_F(AssociationsTest, ShippedDesktopEntryMatchesTheTablesAndValidates) {
    const char* src = std::getenv("KALDER_SOURCE_DIR");
    if (!src) GTEST_SKIP() << "KALDER_SOURCE_DIR not set";
    EXPECT_EQ(slurp(fs::path(src) / "data/kalder.desktop"), desktopEntryText({}));
    for (std::size_t i = 0; i < image::extensionTable().size(); ++i)
        EXPECT_NE(mimeTypeOfExtension(i).find('/'), std::string_view::npos) << i;

    if (!haveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate missing";
    // A source build registers its own path, which may need quoting.
    const fs::path installed = m_dir / "kalder.desktop";
    spit(installed, desktopEntryText("/opt/my \"pics\" $1/kalder%"));
    EXPECT_NE(slurp(installed).find(R"(Exec="/opt/my \\"pics\\" \\$1/kalder%%" %f)"),
              std::string::npos);
    for (const fs::path& p : {fs::path(src) / "data/kalder.desktop", installed})
        EXPECT_EQ(run("desktop-file-validate '" + p.string() + "' 2>&1; echo rc=$?"), "rc=0") << p;
}

TEST_F(AssociationsTest, NoUserEntryIsRememberedAsAbsentNotAsTheSystemDefault) {
    {
        Associations a = engine();
        EXPECT_FALSE(a.IsAssociated(kPng));
        a.RegisterApplication();
        a.Associate(kPng);
        ASSERT_TRUE(a.flush());
    }
    EXPECT_EQ(undo("image/png"), "absent");
    EXPECT_TRUE(fs::exists(m_dir / "data/applications/kalder.desktop"));
    if (haveTool("xdg-mime")) EXPECT_EQ(query("image/png"), "kalder.desktop");

    Associations a = engine();
    EXPECT_TRUE(a.IsAssociated(kPng));
    a.Restore(kPng);
    ASSERT_TRUE(a.flush());
    EXPECT_EQ(slurp(list()).find("image/png"), std::string::npos);
    if (haveTool("xdg-mime")) EXPECT_EQ(query("image/png"), "other.desktop");
}

TEST_F(AssociationsTest, AssociatingTwiceWritesNothing) {
    spit(list(), "[Default Applications]\nimage/jpeg=mine.desktop;\n");
    {
        Associations a = engine();
        a.Associate(kJpg);
        ASSERT_TRUE(a.flush());
    }
    struct stat before {};
    ASSERT_EQ(stat(list().c_str(), &before), 0);
    Associations a = engine();
    a.Associate(kJpg);
    a.Associate(kJpeg);  // same type
    ASSERT_TRUE(a.flush());
    struct stat after {};
    ASSERT_EQ(stat(list().c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino);  // a rewrite renames a new file over it
    EXPECT_EQ(undo("image/jpeg"), "value:mine.desktop;");
}

TEST_F(AssociationsTest, DesktopSpecificChoiceHidesUsUntilCleared) {
    setenv("XDG_CURRENT_DESKTOP", "X-Test:Other", 1);
    spit(config() / "x-test-mimeapps.list",
         "# mine\n[Default Applications]\nimage/png=other.desktop\nimage/gif=other.desktop\n");
    Associations a = engine();
    a.RegisterApplication();
    a.Associate(kPng);
    EXPECT_FALSE(a.IsAssociated(kPng));
    ASSERT_TRUE(a.flush());
    if (haveTool("xdg-mime")) EXPECT_EQ(query("image/png"), "other.desktop");
    a.ClearUserChoice(kPng);
    EXPECT_TRUE(a.IsAssociated(kPng));
    ASSERT_TRUE(a.flush());
    EXPECT_EQ(slurp(config() / "x-test-mimeapps.list"),
              "# mine\n[Default Applications]\nimage/gif=other.desktop\n");
    if (haveTool("xdg-mime")) EXPECT_EQ(query("image/png"), "kalder.desktop");
}

TEST_F(AssociationsTest, RestoreSwapsSoTwiceReturnsToUs) {
    spit(list(), "[Default Applications]\nimage/png=other.desktop\n");
    Associations a = engine();
    a.RegisterApplication();
    a.Associate(kPng);
    const char* expected[] = {"other.desktop", "kalder.desktop", "other.desktop"};
    for (const char* want : expected) {
        a.Restore(kPng);
        ASSERT_TRUE(a.flush());
        EXPECT_EQ(a.IsAssociated(kPng), std::string(want) == "kalder.desktop");
        if (haveTool("xdg-mime")) EXPECT_EQ(query("image/png"), want);
    }
}

TEST_F(AssociationsTest, OddListContentSurvivesOurEdits) {
    const std::string odd =
        "# kept\n"
        "[Added Associations]\n"
        "image/png=viewer.desktop;\n"
        "\n"
        "[Default Applications]\n"
        "X-Unknown = yes\n"
        "image/png = first.desktop;\n"
        "image/png=second.desktop;\n"
        "\n"
        "[Removed Associations]\n"
        "image/gif=old.desktop;";  // no final newline
    spit(list(), odd);
    Associations a = engine();
    a.Associate(kPng);
    a.Associate(4);  // .gif: a new entry, in the defaults group
    ASSERT_TRUE(a.flush());
    EXPECT_EQ(slurp(list()),
              "# kept\n[Added Associations]\nimage/png=viewer.desktop;\n\n"
              "[Default Applications]\nX-Unknown = yes\nimage/png=kalder.desktop\n"
              "image/png=second.desktop;\nimage/gif=kalder.desktop\n\n"
              "[Removed Associations]\nimage/gif=old.desktop;");
    EXPECT_EQ(undo("image/png"), "value:first.desktop;");

    a.Uninstall();
    EXPECT_EQ(slurp(list()), odd.substr(0, odd.find("image/png = ")) +
                                 "image/png=first.desktop;\nimage/png=second.desktop;\n\n"
                                 "[Removed Associations]\nimage/gif=old.desktop;");
    EXPECT_FALSE(m_store.hasKey(kAssociationUndoKey));
}

TEST_F(AssociationsTest, UninstallRemovesOurEntriesAndDesktopFile) {
    Associations a = engine();
    a.AssociateAll();
    ASSERT_TRUE(a.flush());
    std::array<bool, 128> flags{};
    flags[static_cast<std::size_t>(image::FormatCode::Png)] = true;
    EXPECT_TRUE(a.CheckWantedAssociations(flags));
    spit(list(), "[Default Applications]\nimage/png=other.desktop\n");  // taken over
    EXPECT_FALSE(engine().CheckWantedAssociations(flags));
    flags.fill(false);
    EXPECT_TRUE(engine().CheckWantedAssociations(flags));

    engine().Uninstall();
    EXPECT_EQ(slurp(list()), "[Default Applications]\nimage/png=other.desktop\n");
    EXPECT_FALSE(fs::exists(m_dir / "data/applications/kalder.desktop"));
    if (haveTool("xdg-mime")) EXPECT_EQ(query("image/jpeg"), "other.desktop");
}

}  // namespace
}  // namespace kalder::shell
