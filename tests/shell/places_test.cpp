#include "shell/places.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/test_support.h"

namespace kalder::shell {
namespace {

namespace fs = std::filesystem;

TEST(MountsFile, FieldsAreSplitAndUnescaped) {
    const std::string text =
        "proc /proc proc rw,relatime 0 0\n"
        "/dev/sdc1 /run/media/ann/My\\040Stick exfat rw 0 0\n"
        "/dev/sdd1\t/mnt/tab\\011and\\134slash ext4 rw 0 0\n"
        "broken-line-with-two fields\n"
        "\n"
        "none relative/point tmpfs rw 0 0\n"
        "/dev/sde1 /mnt/odd\\9 ext4 rw 0 0";  // no final newline, a stray backslash
    const std::vector<MountEntry> mounts = parseMounts(text);
    ASSERT_EQ(mounts.size(), 4u);
    EXPECT_EQ(mounts[0].device, "proc");
    EXPECT_EQ(mounts[0].type, "proc");
    EXPECT_EQ(mounts[1].mountPoint, fs::path("/run/media/ann/My Stick"));
    EXPECT_EQ(mounts[1].type, "exfat");
    EXPECT_EQ(mounts[2].mountPoint, fs::path("/mnt/tab\tand\\slash"));
    EXPECT_EQ(mounts[3].mountPoint, fs::path("/mnt/odd\\9"));
    EXPECT_EQ(unescapeMountField("a\\040b\\04"), "a b\\04");
}

TEST(MountsFile, OnlyUserFacingStorageBecomesAPlace) {
    struct Case {
        const char* line;
        std::optional<PlaceKind> kind;
    };
    const Case cases[] = {
        {"/dev/sda1 / ext4", std::nullopt},  // the root has a place of its own
        {"proc /proc proc", std::nullopt},
        {"sysfs /sys sysfs", std::nullopt},
        {"tmpfs /mnt/scratch tmpfs", std::nullopt},
        {"overlay /var/lib/docker/overlay2/x/merged overlay", std::nullopt},
        {"/dev/loop3 /snap/core/17 squashfs", std::nullopt},
        {"/dev/sda2 /boot/efi vfat", std::nullopt},
        {"/dev/sdb2 /run/user/1000/doc ext4", std::nullopt},
        {"/dev/vda /etc/hosts ext4", std::nullopt},  // a container's bind-mounted file
        {"cgroup2 /sys/fs/cgroup/unified cgroup2", std::nullopt},
        {"/dev/sdb1 /media/usb vfat", PlaceKind::Removable},
        {"/dev/sdc1 /run/media/ann/Stick exfat", PlaceKind::Removable},
        {"/dev/sda3 /data ext4", PlaceKind::Drive},
        {"/dev/sdb1 /mnt/windows fuseblk", PlaceKind::Drive},
        {"server:/export /mnt/share nfs4", PlaceKind::Network},
        {"//nas/photos /home/ann/photos cifs", PlaceKind::Network},
        {"ann@host:/ /mnt/remote fuse.sshfs", PlaceKind::Network},
        {"gvfsd-fuse /run/user/1000/gvfs fuse.gvfsd-fuse", std::nullopt},
    };
    for (const Case& c : cases) {
        const std::vector<MountEntry> mounts = parseMounts(std::string(c.line) + " rw 0 0\n");
        ASSERT_EQ(mounts.size(), 1u) << c.line;
        EXPECT_EQ(userMountKind(mounts[0]), c.kind) << c.line;
    }
}

TEST(UserDirs, ValuesFollowTheShellRules) {
    const fs::path home = "/home/ann";
    const std::string text =
        "# written by xdg-user-dirs-update\n"
        "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
        "XDG_MUSIC_DIR=\"/srv/music\"\n"
        "  XDG_VIDEOS_DIR=\"$HOME/\"\n"
        "XDG_PICTURES_DIR=\"$HOME/Old\"\n"
        "XDG_PICTURES_DIR=\"$HOME/My \\\"Best\\\" Pictures\"\n"
        "XDG_TEMPLATES_DIR=\"Templates\"\n"
        "XDG_PUBLICSHARE_DIR=\"$HOMEWORK/x\"\n"
        "XDG_DOCUMENTS_DIR=${HOME}/Docs\n"
        "XDG_DOWNLOAD_DIR=\"$HOME/unterminated\n";
    EXPECT_EQ(userDirFromConfig(text, "DESKTOP", home), fs::path("/home/ann/Schreibtisch"));
    EXPECT_EQ(userDirFromConfig(text, "MUSIC", home), fs::path("/srv/music"));
    EXPECT_EQ(userDirFromConfig(text, "VIDEOS", home), home);  // "disabled": the home folder itself
    EXPECT_EQ(userDirFromConfig(text, "PICTURES", home),
              fs::path("/home/ann/My \"Best\" Pictures"));
    EXPECT_EQ(userDirFromConfig(text, "DOCUMENTS", home), fs::path("/home/ann/Docs"));
    EXPECT_EQ(userDirFromConfig(text, "TEMPLATES", home), std::nullopt);  // relative
    EXPECT_EQ(userDirFromConfig(text, "PUBLICSHARE", home), std::nullopt);
    EXPECT_EQ(userDirFromConfig(text, "DOWNLOAD", home), std::nullopt);
    EXPECT_EQ(userDirFromConfig(text, "ABSENT", home), std::nullopt);
}

TEST(Places, HomeUserFoldersRootAndDrivesInOrder) {
    test::TempDir dir;
    const fs::path home = dir / "ann";
    fs::create_directories(home / "Schreibtisch");
    fs::create_directories(home / "Pictures");  // the fallback, as the key is missing
    fs::create_directories(home / "Desktop");   // not used: the configured one wins
    const std::string userDirs = "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n";
    const std::string mounts =
        "/dev/sda1 / ext4 rw 0 0\n"
        "proc /proc proc rw 0 0\n"
        "/dev/sdb1 /media/Holiday\\040Stick vfat rw 0 0\n"
        "/dev/sdb1 /media/Holiday\\040Stick vfat rw 0 0\n"  // mounted twice over
        "/dev/sda4 " +
        home.string() +
        " ext4 rw 0 0\n"  // already listed as Home
        "server:/x /mnt/nas nfs rw 0 0\n";
    const std::vector<Place> places = buildPlaces(home.string() + "/", userDirs, mounts);
    const std::vector<Place> expected = {
        {"Home", home, PlaceKind::Home},
        {"Desktop", home / "Schreibtisch", PlaceKind::Desktop},
        {"Pictures", home / "Pictures", PlaceKind::Pictures},
        {"File System", "/", PlaceKind::Root},
        {"Holiday Stick", "/media/Holiday Stick", PlaceKind::Removable},
        {"nas", "/mnt/nas", PlaceKind::Network},
    };
    EXPECT_EQ(places, expected);
}

TEST(Places, MissingOrDisabledUserFoldersAreLeftOut) {
    test::TempDir dir;
    const fs::path home = dir / "bob";
    fs::create_directories(home);
    // Desktop disabled (the home folder itself), Pictures named but never created.
    const std::string userDirs = "XDG_DESKTOP_DIR=\"$HOME/\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    const std::vector<Place> places = buildPlaces(home, userDirs, "");
    ASSERT_EQ(places.size(), 2u);
    EXPECT_EQ(places[0].kind, PlaceKind::Home);
    EXPECT_EQ(places[1].kind, PlaceKind::Root);
}

TEST(SubFolders, VisibleFoldersSortedWithoutCase) {
    test::TempDir dir;
    for (const char* sub :
         {"beta", "Alpha", "gamma/inner", ".hidden/inner", "delta/.secret", "Beta"})
        fs::create_directories(dir / sub);
    std::ofstream(dir / "file.txt") << "x";
    std::ofstream(dir / "gamma" / "file.txt") << "x";
    fs::create_directory_symlink(dir / "gamma", dir / "link");
    fs::create_symlink(dir / "file.txt", dir / "filelink");
    fs::create_symlink(dir / "nowhere", dir / "dangling");

    const std::vector<SubFolder> subs = listSubFolders(dir.path());
    std::vector<std::string> names;
    for (const SubFolder& s : subs) names.push_back(s.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Beta", "beta", "delta", "gamma", "link"}));
    for (const SubFolder& s : subs) {
        const bool hasInner = s.name == "gamma" || s.name == "link";
        EXPECT_EQ(s.mayHaveSubFolders, hasInner) << s.name;  // hidden sub-folders do not count
    }
    EXPECT_TRUE(hasSubFolder(dir.path()));
    EXPECT_FALSE(hasSubFolder(dir / "delta"));
    EXPECT_TRUE(listSubFolders(dir / "missing").empty());
    EXPECT_FALSE(hasSubFolder(dir / "file.txt"));

    // Without the look inside, every folder keeps its button.
    for (const SubFolder& s : listSubFolders(dir.path(), false)) EXPECT_TRUE(s.mayHaveSubFolders);
}

TEST(SubFolders, NameOrder) {
    EXPECT_TRUE(folderNameLess("apple", "Banana"));
    EXPECT_TRUE(folderNameLess("Apple", "apple"));  // ties by the exact bytes
    EXPECT_FALSE(folderNameLess("apple", "Apple"));
    EXPECT_FALSE(folderNameLess("same", "same"));
    EXPECT_TRUE(folderNameLess("a", "a b"));
}

}  // namespace
}  // namespace kalder::shell
