#include "shell/registry_store.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "support/test_support.h"

namespace kalder::shell {
namespace {
namespace fs = std::filesystem;

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("HOME", (m_dir / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    }
    fs::path path(const std::string& name) const { return m_dir / name; }
    std::size_t fileCount(const fs::path& folder) const {
        std::size_t n = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder)) ++n;
        return n;
    }

    test::TempDir m_dir;
};

struct ConfigDirCase {
    const char* name;
    const char* xdg;  // nullptr: unset
    const char* expectedBelowTemp;
};

class ConfigDirectoryTest : public RegistryStoreTest,
                            public ::testing::WithParamInterface<ConfigDirCase> {};

TEST_P(ConfigDirectoryTest, FollowsXdgRules) {
    const ConfigDirCase& c = GetParam();
    if (c.xdg == nullptr) {
        unsetenv("XDG_CONFIG_HOME");
    } else if (std::string(c.xdg) == "<temp>") {
        setenv("XDG_CONFIG_HOME", (m_dir / "xdg").c_str(), 1);
    } else {
        setenv("XDG_CONFIG_HOME", c.xdg, 1);
    }
    EXPECT_EQ(kalderConfigDirectory(), m_dir / c.expectedBelowTemp);
    EXPECT_EQ(RegistryStore::defaultPath(), m_dir / c.expectedBelowTemp / "kalder.conf");
}

INSTANTIATE_TEST_SUITE_P(Cases, ConfigDirectoryTest,
                         ::testing::Values(ConfigDirCase{"Absolute", "<temp>", "xdg/kalder"},
                                           ConfigDirCase{"Unset", nullptr, "home/.config/kalder"},
                                           ConfigDirCase{"Empty", "", "home/.config/kalder"},
                                           ConfigDirCase{"Relative", "relative/dir",
                                                         "home/.config/kalder"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryStoreTest, AwkwardNamesAndValuesSurviveTheFile) {
    const std::pair<std::string, std::string> values[] = {
        {"ExePath", "/usr/bin/kalder"},
        {"empty", ""},
        {"", "default value"},
        {"back\\slash", "C:\\Program Files\\Lumid\\"},
        {"multi", "line one\nline two\r\nend"},
        {"equals=in=name", "a=b"},
        {"[bracket", "[not a section]"},
        {";semi", ";not a comment"},
        {"#hash", "#not a comment"},
        {" padded ", "  spaces kept  "},
        {"zero", std::string("a\0b", 3)},
        {"utf8", "Bildschirmfoto \xc3\xbc\xc3\x9f"},
        {"trailing backslash", "ends\\"},
    };
    RegistryStore store(path("store/kalder.conf"));
    for (const auto& [name, data] : values)
        ASSERT_TRUE(store.setValue("Software\\Test", name, data));
    ASSERT_TRUE(store.save());

    RegistryStore again(store.file());
    ASSERT_TRUE(again.load());
    for (const auto& [name, data] : values) {
        SCOPED_TRACE(name);
        EXPECT_EQ(again.value("Software\\Test", name), data);
    }
    EXPECT_EQ(again.serialize(), store.serialize());
}

TEST_F(RegistryStoreTest, KeysAndNamesIgnoreCaseAndKeepTheirSpelling) {
    RegistryStore store;
    store.setValue("Software\\Brenmoor Software\\Kalder", "ExePath", "a");
    store.setValue("SOFTWARE\\brenmoor software\\KALDER", "exepath", "b");
    EXPECT_EQ(store.value("software\\Brenmoor Software\\kalder", "EXEPATH"), "b");
    EXPECT_EQ(store.serialize(), "[Software\\Brenmoor Software\\Kalder]\nExePath=b\n");
}

TEST_F(RegistryStoreTest, SubKeysBehaveLikeTheRegistry) {
    RegistryStore store;
    store.setValue("Software\\Halvard_Quent\\Viewer", "x", "1");
    store.createKey("Software\\Halvard_Quent\\Other\\Deep");
    store.createKey("Software\\Halvard_Quentin");  // a sibling with a longer name, not a child

    EXPECT_TRUE(store.hasKey("Software"));
    EXPECT_TRUE(store.hasKey("software\\halvard_quent"));
    EXPECT_FALSE(store.hasKey("Software\\Halvard"));
    EXPECT_EQ(store.subKeyCount("Software"), 2u);
    EXPECT_EQ(store.subKeyCount("Software\\Halvard_Quent"), 2u);
    EXPECT_EQ(store.subKeyCount("Software\\Missing"), 0u);

    // A key with sub-keys stays; leaves go first.
    EXPECT_FALSE(store.deleteKey("Software\\Halvard_Quent"));
    EXPECT_TRUE(store.deleteKey("Software\\Halvard_Quent\\Viewer"));
    EXPECT_FALSE(store.value("Software\\Halvard_Quent\\Viewer", "x"));
    EXPECT_TRUE(store.deleteKey("Software\\Halvard_Quent\\Other\\Deep"));
    // "Other" existed only through its child, so it is gone with it.
    EXPECT_FALSE(store.hasKey("Software\\Halvard_Quent\\Other"));
    EXPECT_FALSE(store.deleteKey("Software\\Halvard_Quent"));  // implicit, nothing to delete
    EXPECT_TRUE(store.hasKey("Software\\Halvard_Quentin"));
    EXPECT_FALSE(store.deleteKey("Software\\Missing"));
}

TEST_F(RegistryStoreTest, RejectsKeyNamesThatCannotBeStored) {
    RegistryStore store;
    for (const char* bad :
         {"", "\\Software", "Software\\", "Soft\\\\ware", "a[b", "a]b", "a\nb", "tab\tkey"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(store.createKey(bad));
        EXPECT_FALSE(store.setValue(bad, "v", "x"));
        EXPECT_FALSE(store.hasKey(bad));
    }
    EXPECT_EQ(store.serialize(), "");
}

TEST_F(RegistryStoreTest, ParseSkipsWhatMakesNoSense) {
    RegistryStore store;
    store.parse(
        "orphan=before any section\r\n"
        "; comment\n"
        "# comment\n"
        "[Good\\Key]\r\n"
        "no equals sign\n"
        "name=value\r\n"
        "name=later wins\n"
        "[bad\\\\key]\n"
        "lost=1\n"
        "[unterminated\n"
        "lost=2\n"
        "[Good\\Key]\n"
        "second=merged\n"
        "escaped\\=name=v\\x");
    EXPECT_EQ(store.value("Good\\Key", "name"), "later wins");
    EXPECT_EQ(store.value("Good\\Key", "second"), "merged");
    EXPECT_EQ(store.value("Good\\Key", "escaped=name"), "vx");
    EXPECT_EQ(store.subKeyCount("Good"), 1u);
    EXPECT_FALSE(store.value("Good\\Key", "orphan"));
    EXPECT_FALSE(store.value("Good\\Key", "lost"));
    EXPECT_FALSE(store.hasKey("unterminated"));
}

TEST_F(RegistryStoreTest, LoadOfMissingFileIsAnEmptyStore) {
    RegistryStore store(path("nowhere/kalder.conf"));
    store.setValue("A", "b", "c");
    EXPECT_TRUE(store.load());
    EXPECT_FALSE(store.hasKey("A"));

    fs::create_directories(path("dir.conf"));
    RegistryStore directory(path("dir.conf"));
    EXPECT_FALSE(directory.load());
}

TEST_F(RegistryStoreTest, SaveReplacesTheFileAndLeavesNoTemporaryFiles) {
    RegistryStore store(path("cfg/kalder.conf"));
    store.setValue("A", "v", "1");
    ASSERT_TRUE(store.save());
    ::chmod(store.file().c_str(), 0640);
    store.setValue("A", "v", "2");
    ASSERT_TRUE(store.save());

    EXPECT_EQ(fileCount(path("cfg")), 1u);
    struct stat info {};
    ASSERT_EQ(::stat(store.file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    RegistryStore again(store.file());
    ASSERT_TRUE(again.load());
    EXPECT_EQ(again.value("A", "v"), "2");
}

TEST_F(RegistryStoreTest, FailedSaveKeepsTheOldFile) {
    // A folder where the file should be: the final rename fails whoever runs the test.
    fs::create_directories(path("cfg/kalder.conf/inside"));
    RegistryStore store(path("cfg/kalder.conf"));
    store.setValue("A", "v", "1");
    EXPECT_FALSE(store.save());
    EXPECT_TRUE(fs::is_directory(path("cfg/kalder.conf/inside")));
    EXPECT_EQ(fileCount(path("cfg")), 1u);

    // A file where the folder should be.
    test::writeFile(path("plain"), {'x'});
    RegistryStore below(path("plain/kalder.conf"));
    below.setValue("A", "v", "1");
    EXPECT_FALSE(below.save());
    EXPECT_EQ(test::readFile(path("plain")), std::vector<std::uint8_t>{'x'});
}

TEST(ReplaceFileContents, RefusesPathsWithoutAFileName) {
    EXPECT_FALSE(replaceFileContents("", "x"));
    EXPECT_FALSE(replaceFileContents("/tmp/", "x"));
}

}  // namespace
}  // namespace kalder::shell
