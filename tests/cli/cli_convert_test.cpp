// kalder-cli convert: exit status, existing outputs, folders and Ctrl+C.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

#include "support/test_support.h"
#include "tools/jpeg_transform/jpeg_test_files.h"

using namespace kalder;
namespace fs = std::filesystem;

namespace {

int runCli(const std::string& args) {
    const std::string command = std::string(KALDER_CLI_PATH) + " " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void writeBmp(const fs::path& path, int w, int h) {
    test::writeFile(path, test::bmp24(w, h, [](int x, int y) {
                        return static_cast<std::uint32_t>((x * 3) << 16 | (y * 5) << 8 | (x ^ y));
                    }));
}

bool anyTemporary(const fs::path& dir) {
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (e.path().filename().string().rfind("brx", 0) == 0) return true;
    return false;
}

}  // namespace

TEST(CliConvert, ExitStatusAndExistingOutputs) {
    test::TempDir dir;
    const std::string d = dir.path().string();
    writeBmp(dir / "a.bmp", 20, 10);
    writeBmp(dir / "b.bmp", 8, 8);
    test::writeFile(dir / "bad.bmp", {'B', 'M', 0});

    EXPECT_EQ(runCli("convert " + d + "/a.bmp " + d + "/b.bmp --resample 50%"), 0);
    EXPECT_TRUE(fs::exists(dir / "a.png") && fs::exists(dir / "b.png"));
    const auto first = test::readFile(dir / "a.png");
    // Existing outputs are refused unless asked; the others still convert.
    EXPECT_EQ(runCli("convert " + d + "/a.bmp " + d + "/b.bmp --format tga"), 0);
    EXPECT_EQ(runCli("convert " + d + "/a.bmp " + d + "/b.bmp --format tga --rotate 90"), 1);
    EXPECT_EQ(runCli("convert " + d + "/a.bmp --format tga --skip-existing --rotate 90"), 0);
    const auto decoded = test::decodeWithKalder(dir / "a.tga");
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 20);  // still the first, unturned result
    EXPECT_EQ(runCli("convert " + d + "/a.bmp --format tga --overwrite --rotate 90"), 0);
    EXPECT_EQ(test::decodeWithKalder(dir / "a.tga")->width, 10);
    EXPECT_EQ(test::readFile(dir / "a.png"), first);

    // One unreadable file: status 1, the rest converted, no temporary file left.
    EXPECT_EQ(runCli("convert " + d + "/bad.bmp " + d + "/b.bmp --format jpg --quality 90"), 1);
    EXPECT_TRUE(fs::exists(dir / "b.jpg"));
    EXPECT_FALSE(fs::exists(dir / "bad.jpg"));
    if (test::havePillow()) {
        const auto pillow = test::decodeWithPillow(dir / "b.jpg");
        const auto ours = test::decodeWithKalder(dir / "b.bmp");
        ASSERT_TRUE(pillow && ours);
        EXPECT_LE(test::maxChannelDifference(*pillow, *ours), 24);
    }
    for (const char* usage : {"convert", "convert a.bmp --format xyz", "convert a.bmp --rotate 45",
                              "convert a.bmp --overwrite --skip-existing",
                              "convert a.bmp --resample 0x0", "convert a.bmp --copy-subfolders /"})
        EXPECT_EQ(runCli(usage), 2) << usage;
    EXPECT_FALSE(anyTemporary(dir.path()));
}

TEST(CliConvert, CutFileIsConvertedWithDamageAndFails) {
    const auto full = test::jpeg::makeJpeg(64, 256);
    if (full.empty()) GTEST_SKIP() << "codec module missing";
    test::TempDir dir;
    test::writeFile(dir / "trunc.jpg", {full.begin(), full.begin() + full.size() / 2});
    writeBmp(dir / "b.bmp", 8, 8);
    const fs::path err = dir / "err.txt";
    const std::string command = std::string(KALDER_CLI_PATH) + " convert " +
                                (dir / "trunc.jpg").string() + " " + (dir / "b.bmp").string() +
                                " >/dev/null 2>" + err.string();
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_TRUE(fs::exists(dir / "trunc.png") && fs::exists(dir / "b.png"));
    const std::string text = test::readText(err);
    EXPECT_NE(text.find("kalder-cli: " + (dir / "trunc.jpg").string() +
                        ": converted with damage: data ends at row "),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("2 converted (1 with damage), 0 failed, 0 skipped"), std::string::npos)
        << text;
}

TEST(CliConvert, OutputFolderWithSubfoldersAndNames) {
    test::TempDir dir;
    fs::create_directories(dir / "in" / "b");
    writeBmp(dir / "in" / "b" / "c.bmp", 30, 20);
    writeBmp(dir / "in" / "top.bmp", 30, 20);
    const std::string d = dir.path().string();
    EXPECT_EQ(runCli("convert " + d + "/in/b/c.bmp " + d + "/in/top.bmp -o " + d +
                     "/out --copy-subfolders " + d +
                     "/in --prefix x_ --suffix _s --format bmp "
                     "--resample 15x --keep-aspect --jobs 2"),
              0);
    const auto c = test::decodeWithKalder(dir / "out" / "b" / "x_c_s.bmp");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->width, 15);
    EXPECT_EQ(c->height, 10);
    EXPECT_TRUE(fs::exists(dir / "out" / "x_top_s.bmp"));
}

TEST(CliConvert, InterruptStopsWithoutTemporaryFiles) {
    test::TempDir dir;
    std::vector<std::string> args = {KALDER_CLI_PATH, "convert"};
    for (int i = 0; i < 24; ++i) {
        const fs::path p = dir / ("f" + std::to_string(i) + ".bmp");
        writeBmp(p, 900, 700);
        args.push_back(p.string());
    }
    for (const char* a : {"-o", "", "--resample", "1800x1400", "--jobs", "2"}) args.push_back(a);
    args[args.size() - 5] = (dir / "out").string();

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        ::freopen("/dev/null", "w", stderr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    // Interrupt once the run is under way (its first temporary file exists). Every file made in
    // the folders wakes the wait (inotify), and so does the run's end (its pidfd).
    const int files = ::inotify_init1(IN_CLOEXEC),
              ended = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    ASSERT_GE(files, 0);
    ASSERT_GE(ended, 0);
    ::inotify_add_watch(files, dir.path().c_str(), IN_CREATE);
    bool watchingOut = false;
    for (;;) {
        // Each watch is in place before the look that it would otherwise have to repeat.
        if (!watchingOut && fs::exists(dir / "out"))
            watchingOut = ::inotify_add_watch(files, (dir / "out").c_str(), IN_CREATE) >= 0;
        if (watchingOut && anyTemporary(dir / "out")) {
            ::kill(pid, SIGINT);
            break;
        }
        pollfd wake[2] = {{files, POLLIN, 0}, {ended, POLLIN, 0}};
        // A minute without a new file: stop watching and let the run end on its own.
        if (::poll(wake, 2, 60000) <= 0 || wake[1].revents != 0) break;
        char events[4096];
        (void)::read(files, events, sizeof events);
    }
    ::close(files);
    ::close(ended);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by a signal";
    EXPECT_LE(WEXITSTATUS(status), 1);
    EXPECT_FALSE(anyTemporary(dir.path()));
}
