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
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                 "GNOME_DESKTOP_SESSION_ID", "DISPLAY"})
            unsetenv(name);
        spit(m_dir / "sysdata/applications/other.desktop",
             "[Desktop Entry]\nType=Application\nName=Other\nExec=/bin/true %f\n");
        // Takes every type that has no default of its own.
        std::string types;
        for (std::string_view t : handledMimeTypes()) types += std::string(t) + ";";
        spit(m_dir / "sysdata/applications/any.desktop",
             "[Desktop Entry]\nType=Application\nName=Any\nExec=/bin/true %f\nMimeType=" + types +
                 "\n");
        // The system's cache, as a package install leaves it; readers consult it first.
        run("update-desktop-database '" + (m_dir / "sysdata/applications").string() + "' 2>&1");
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
    // Every handled type's default as xdg-mime tells it.
    std::optional<std::string> defaults() {
        std::vector<std::string> types;
        for (std::string_view t : handledMimeTypes()) types.emplace_back(t);
        return test::xdgMimeDefaults(types);
    }
    fs::path ownEntry() const { return m_dir / "data/applications/org.kalder.Kalder.desktop"; }
    std::optional<std::string> undo(const char* type) {
        return m_store.value(kAssociationUndoKey, type);
    }

    test::TempDir m_dir;
    RegistryStore m_store;
};

TEST_F(AssociationsTest, ShippedDesktopEntryMatchesTheTablesAndValidates) {
    const char* src = std::getenv("KALDER_SOURCE_DIR");
    if (!src) GTEST_SKIP() << "KALDER_SOURCE_DIR not set";
    const fs::path shipped = fs::path(src) / "data/org.kalder.Kalder.desktop";
    EXPECT_EQ(slurp(shipped), desktopEntryText({}));
    for (std::size_t i = 0; i < image::extensionTable().size(); ++i)
        EXPECT_NE(mimeTypeOfExtension(i).find('/'), std::string_view::npos) << i;

    if (!haveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate missing";
    // A source build registers its own path, which may need quoting.
    const fs::path installed = m_dir / "kalder.desktop";
    spit(installed, desktopEntryText("/opt/my \"pics\" $1/kalder%"));
    EXPECT_NE(slurp(installed).find(R"(Exec="/opt/my \\"pics\\" \\$1/kalder%%" %F)"),
              std::string::npos);
    for (const fs::path& p : {shipped, installed})
        EXPECT_EQ(run("desktop-file-validate '" + p.string() + "' 2>&1; echo rc=$?"), "rc=0") << p;
}

TEST_F(AssociationsTest, NoUserEntryIsRememberedAsAbsentNotAsTheSystemDefault) {
    {
        Associations a = engine();
        EXPECT_FALSE(a.IsAssociated(kPng));
        a.Associate(kPng);
        ASSERT_TRUE(a.flush());
    }
    EXPECT_EQ(undo("image/png"), "absent");
    EXPECT_TRUE(fs::exists(ownEntry()));
    if (haveTool("xdg-mime")) {
        EXPECT_EQ(query("image/png"), kDesktopFileId);
    }

    Associations a = engine();
    EXPECT_TRUE(a.IsAssociated(kPng));
    a.Restore(kPng);
    ASSERT_TRUE(a.flush());
    EXPECT_EQ(slurp(list()).find("image/png"), std::string::npos);
    if (haveTool("xdg-mime")) {
        EXPECT_EQ(query("image/png"), "other.desktop");
    }
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

TEST_F(AssociationsTest, DesktopSpecificChoiceIsSetAsideAndGivenBack) {
    setenv("XDG_CURRENT_DESKTOP", "X-Test:Other", 1);
    const fs::path own = config() / "x-test-mimeapps.list";
    spit(own, "# mine\n[Default Applications]\nimage/png=other.desktop\nimage/gif=other.desktop\n");
    Associations a = engine();
    a.Associate(kPng);
    EXPECT_TRUE(a.IsAssociated(kPng));
    ASSERT_TRUE(a.flush());
    EXPECT_EQ(slurp(own), "# mine\n[Default Applications]\nimage/gif=other.desktop\n");
    if (haveTool("xdg-mime")) {
        EXPECT_EQ(query("image/png"), kDesktopFileId);
    }

    a.Restore(kPng);
    ASSERT_TRUE(a.flush());
    EXPECT_FALSE(a.IsAssociated(kPng));
    MimeAppsList after;
    after.parse(slurp(own));
    EXPECT_EQ(after.defaultValue("image/png"), "other.desktop");
    if (haveTool("xdg-mime")) {
        EXPECT_EQ(query("image/png"), "other.desktop");
    }
}

// Associating one format changes what every reader answers for its types only, and restoring
// gives every type the default it had, the desktop entry and its cache included.
TEST_F(AssociationsTest, OnlyTheChosenTypesChangeAndRestoreGivesAllBack) {
    const std::string before = "[Default Applications]\nimage/png=other.desktop\n";
    spit(list(), before);
    const std::optional<std::string> original = defaults();
    std::size_t pngFormat = 0;
    while (image::formatTable()[pngFormat].code != image::FormatCode::Png) ++pngFormat;
    {
        Associations a = engine();
        a.SetFormatAssociated(pngFormat, true);
        ASSERT_TRUE(a.flush());
    }
    EXPECT_NE(slurp(ownEntry()).find("MimeType=image/png;\n"), std::string::npos);
    if (original) {
        std::string expected = *original;
        expected.replace(expected.find("image/png=other.desktop"), 23,
                         "image/png=" + std::string(kDesktopFileId));
        EXPECT_EQ(defaults(), expected);
    }
    {
        Associations a = engine();
        a.SetFormatAssociated(pngFormat, false);
        ASSERT_TRUE(a.flush());
    }
    EXPECT_EQ(slurp(list()), before);
    EXPECT_FALSE(fs::exists(ownEntry()));
    EXPECT_EQ(defaults(), original);

    // An installed entry is used as it is; our copy would hide it.
    spit(ownEntry(), desktopEntryText("/bin/true") + "X-Kalder-Generated=true\n");
    spit(m_dir / "sysdata/applications/org.kalder.Kalder.desktop", desktopEntryText("/bin/true"));
    Associations a = engine();
    a.SetFormatAssociated(pngFormat, true);
    ASSERT_TRUE(a.flush());
    EXPECT_FALSE(fs::exists(ownEntry()));
    if (haveTool("xdg-mime")) {
        EXPECT_EQ(query("image/png"), kDesktopFileId);
    }
}

TEST_F(AssociationsTest, RestoreSwapsSoTwiceReturnsToUs) {
    spit(list(), "[Default Applications]\nimage/png=other.desktop\n");
    Associations a = engine();
    a.Associate(kPng);
    const std::string_view expected[] = {"other.desktop", kDesktopFileId, "other.desktop"};
    for (std::string_view want : expected) {
        a.Restore(kPng);
        ASSERT_TRUE(a.flush());
        EXPECT_EQ(a.IsAssociated(kPng), want == kDesktopFileId);
        if (haveTool("xdg-mime")) {
            EXPECT_EQ(query("image/png"), want);
        }
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
              "[Default Applications]\nX-Unknown = yes\nimage/png=org.kalder.Kalder.desktop\n"
              "image/png=second.desktop;\nimage/gif=org.kalder.Kalder.desktop\n\n"
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
    EXPECT_FALSE(fs::exists(ownEntry()));
    if (haveTool("xdg-mime")) {
        EXPECT_EQ(query("image/jpeg"), "other.desktop");
    }
}

}  // namespace
}  // namespace kalder::shell
