#include "shell/desktop_entry.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "shell/associations.h"
#include "support/test_support.h"

namespace kalder::shell {
namespace {

namespace fs = std::filesystem;
using Args = std::vector<std::string>;

void writeProgram(const fs::path& path) {
    test::writeText(path, "#!/bin/sh\n");
    ::chmod(path.c_str(), 0755);
}

TEST(DesktopEntry, ValuesKeepWhatAnIniReaderWouldBreak) {
    const auto e = parseDesktopEntry(
        "# comment\n"
        "[Desktop Entry]\r\n"
        "Type=Application\n"
        "Name=Foo, Bar\n"
        "Name[de]=Deutsch\n"
        "Name[de_DE]=Deutschland\n"
        "Name[sr@latin]=Latinica\n"
        "Comment=one\\stwo\\nthree\\\\\n"
        "Exec=\"/opt/My App/run\" %U\n"
        "Categories=Graphics;Viewer\\;Tools;\n"
        "NoDisplay=true\n"
        "Name=ignored duplicate\n"
        "[Desktop Action other]\n"
        "Exec=other\n");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->type, DesktopEntry::Type::Application);
    EXPECT_EQ(e->name, "Foo, Bar");
    EXPECT_EQ(e->comment, "one two\nthree\\");
    EXPECT_EQ(e->exec, "\"/opt/My App/run\" %U");
    EXPECT_EQ(e->categories, (Args{"Graphics", "Viewer;Tools"}));
    EXPECT_TRUE(e->noDisplay);

    const std::string text =
        "[Desktop Entry]\nName=C\nName[de]=de\nName[de_DE]=de_DE\n"
        "Name[sr@latin]=sr@latin\n";
    EXPECT_EQ(parseDesktopEntry(text, "de_DE.UTF-8")->name, "de_DE");
    EXPECT_EQ(parseDesktopEntry(text, "de_AT.UTF-8@euro")->name, "de");
    EXPECT_EQ(parseDesktopEntry(text, "sr_RS@latin")->name, "sr@latin");
    EXPECT_EQ(parseDesktopEntry(text, "C.UTF-8")->name, "C");

    EXPECT_FALSE(parseDesktopEntry("Name=x\n[Desktop Entry]\nName=y\n"));  // key before a group
    EXPECT_FALSE(parseDesktopEntry("[Other]\nName=x\n"));
    EXPECT_FALSE(parseDesktopEntry("[Desktop Entry]\nType=Application\n"));  // no name
    EXPECT_FALSE(parseDesktopEntry("[Desktop Entry\nName=x\n"));
}

TEST(DesktopEntry, ExecQuotingAndFieldCodes) {
    EXPECT_EQ(*splitExec("  a  \"b c\" d\"e f\"g \"q\\\"\\$\\\\\\`\"  "),
              (Args{"a", "b c", "de fg", "q\"$\\`"}));
    EXPECT_EQ(*splitExec("\"\""), Args{""});
    EXPECT_FALSE(splitExec("run \"open"));

    DesktopEntry e;
    e.name = "Viewer";
    e.icon = "view";
    e.exec = "\"/opt/my app/bin\" %i --name=%c --file=%f %U %k %d %% %z";
    EXPECT_EQ(*expandExec(e, "/pics/a b.png", "/apps/v.desktop"),
              (Args{"/opt/my app/bin", "--icon", "view", "--name=Viewer", "--file=/pics/a b.png",
                    "/apps/v.desktop", "%"}));
    e.exec = "edit %F";
    EXPECT_EQ(*expandExec(e, ""), Args{"edit"});
    e.exec = "   ";
    EXPECT_FALSE(expandExec(e, "x"));
}

TEST(DesktopEntry, ShownOnlyWhereTheEntrySays) {
    DesktopEntry e;
    EXPECT_TRUE(isShown(e, ""));
    e.onlyShowIn = {"XFCE"};
    EXPECT_FALSE(isShown(e, "GNOME"));
    EXPECT_TRUE(isShown(e, "ubuntu:XFCE"));
    e.onlyShowIn.clear();
    e.notShowIn = {"KDE"};
    EXPECT_FALSE(isShown(e, "KDE"));
    e.notShowIn.clear();
    e.hidden = true;
    EXPECT_FALSE(isShown(e, ""));
}

TEST(DesktopEntry, InstalledApplicationsFirstIdWinsAndHiddenMasks) {
    test::TempDir dir;
    const fs::path user = dir / "user", system = dir / "system";
    fs::create_directories(user / "vendor");
    fs::create_directories(system / "vendor");
    const auto app = [](const std::string& name, const std::string& extra = {}) {
        return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=sh\n" + extra;
    };
    test::writeText(user / "vendor/paint.desktop", app("Paint (mine)"));
    test::writeText(system / "vendor-paint.desktop", app("Paint (system)"));  // same ID
    test::writeText(user / "gone.desktop", app("Gone", "Hidden=true\n"));
    test::writeText(system / "gone.desktop", app("Gone (system)"));
    test::writeText(system / "tool.desktop", app("Tool", "TryExec=/no/such/program\n"));
    test::writeText(system / "link.desktop", "[Desktop Entry]\nType=Link\nName=L\nURL=x\n");
    test::writeText(system / "broken.desktop", "\x01\x02 not an entry");
    test::writeText(system / "zeta.desktop", app("Zeta", "TryExec=sh\n"));

    const std::vector<InstalledApplication> apps = listApplications({user, system}, "", "");
    ASSERT_EQ(apps.size(), 2u);
    EXPECT_EQ(apps[0].id, "vendor-paint.desktop");
    EXPECT_EQ(apps[0].entry.name, "Paint (mine)");
    EXPECT_EQ(apps[1].entry.name, "Zeta");
}

// What GIO offers for a type, read from private folders: set before GLib first looks.
TEST(DesktopEntry, ApplicationsForATypeDefaultFirstRemovedLeftOut) {
    test::TempDir dir;
    for (const char* name : {"XDG_CURRENT_DESKTOP", "XDG_CONFIG_DIRS"}) unsetenv(name);
    setenv("HOME", (dir / "home").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    setenv("XDG_DATA_DIRS", (dir / "sys").c_str(), 1);
    fs::create_directories(dir / "sys/applications");
    fs::create_directories(dir / "config");
    const auto app = [&](const std::string& id, const std::string& types) {
        test::writeText(dir / "sys/applications" / id,
                        "[Desktop Entry]\nType=Application\nName=" + id +
                            "\nExec=/bin/true %f\nMimeType=" + types + "\n");
    };
    app("a.desktop", "image/png;");
    app("b.desktop", "image/png;image/gif;");
    app("c.desktop", "image/png;");
    app("d.desktop", "image/gif;");
    // GIO learns which entries take a type from the folder's cache.
    if (std::system(
            ("update-desktop-database '" + (dir / "sys/applications").string() + "'").c_str()) != 0)
        GTEST_SKIP() << "update-desktop-database is not installed";
    test::writeText(dir / "config/mimeapps.list",
                    "[Default Applications]\nimage/png=b.desktop\n"
                    "[Removed Associations]\nimage/png=c.desktop;\n");
    std::vector<std::string> ids;
    for (const TypeApplication& a : applicationsForType(mimeTypeOfFile("/x/IMG (1).PNG")))
        ids.push_back(a.id);
    EXPECT_EQ(ids, (Args{"b.desktop", "a.desktop"}));
    EXPECT_EQ(applicationsForType("image/png").front().file, dir / "sys/applications/b.desktop");
    EXPECT_TRUE(applicationsForType("").empty());
}

TEST(DesktopEntry, LaunchablesResolveToWhatRuns) {
    test::TempDir dir;
    const fs::path program = dir / "My Editor.sh";
    writeProgram(program);
    std::string label;
    EXPECT_EQ(resolveLaunchable(program, label), fs::canonical(program));
    EXPECT_EQ(label, "My Editor");

    fs::create_symlink(program, dir / "Shortcut");
    EXPECT_EQ(resolveLaunchable(dir / "Shortcut", label), fs::canonical(program));
    EXPECT_EQ(label, "Shortcut");

    test::writeText(dir / "plain.txt", "text");
    EXPECT_TRUE(resolveLaunchable(dir / "plain.txt", label).empty());

    const fs::path simple = dir / "simple.desktop";
    test::writeText(simple, "[Desktop Entry]\nType=Application\nName=Simple\nExec=\"" +
                                program.string() + "\" %f\n");
    EXPECT_EQ(resolveLaunchable(simple, label), program);
    EXPECT_EQ(label, "Simple");
    // A command with options of its own can only run through the launcher.
    const fs::path rich = dir / "rich.desktop";
    test::writeText(rich, "[Desktop Entry]\nType=Application\nName=Rich\nExec=sh -c x %f\n");
    EXPECT_EQ(resolveLaunchable(rich, label), rich);
    test::writeText(rich, "[Desktop Entry]\nType=Application\nName=R\nExec=/no/such %f\n");
    EXPECT_TRUE(resolveLaunchable(rich, label).empty());
}

}  // namespace
}  // namespace kalder::shell
