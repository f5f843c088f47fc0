// kalder-cli's manners: errors that name the file, usage errors, help for every verb, "--" and
// "-", output formats, write errors, JSON text, progress lines, and the generated manual page
// and completion.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "cli/cli_streams.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "support/test_support.h"

using namespace kalder;
namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs kalder-cli in `dir` through the shell with ARGS (already quoted), standard input from
// `in`, standard output to `to` (default: kept in the result).
CliRun runCli(const test::TempDir& dir, const std::string& args,
              const std::string& in = "/dev/null", std::string to = {}) {
    const fs::path out = dir / "stdout", err = dir / "stderr";
    test::writeText(out, "");
    if (to.empty()) to = out.string();
    const std::string command = "cd '" + dir.path().string() + "' && " + KALDER_CLI_PATH + " " +
                                args + " <'" + in + "' >'" + to + "' 2>'" + err.string() + "'";
    CliRun r;
    const int status = std::system(command.c_str());
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = test::readText(out);
    r.err = test::readText(err);
    return r;
}

std::string q(const fs::path& p) { return "'" + p.string() + "'"; }

std::vector<std::uint8_t> bmp(int width, int height) {
    return test::bmp24(width, height, [](int x, int y) {
        return static_cast<std::uint32_t>((x * 40 & 0xFF) << 16 | (y * 40 & 0xFF) << 8 | 0x80);
    });
}

TEST(CliManners, ErrorsNameTheFileAndTheReason) {
    test::TempDir dir;
    const fs::path good = dir / "good.bmp", text = dir / "notes.bmp", cut = dir / "cut.bmp";
    test::writeFile(good, bmp(16, 16));
    test::writeText(text, "not an image at all\n");
    auto bytes = bmp(64, 64);
    bytes.resize(bytes.size() / 3);
    test::writeFile(cut, bytes);
    const std::pair<std::string, std::string> cases[] = {
        {(dir / "none.bmp").string(), "No such file or directory"},
        {dir.path().string(), "Is a directory"},
        {text.string(), "not a supported image"},
    };
    for (const auto& [file, reason] : cases) {
        for (const char* verb : {"info", "exif"}) {
            const CliRun r = runCli(dir, std::string(verb) + " " + q(file));
            EXPECT_EQ(r.status, 1) << verb << " " << file;
            EXPECT_EQ(r.err, "kalder-cli: " + file + ": " + reason + "\n") << verb;
        }
        const CliRun d = runCli(dir, "decode " + q(file) + " -o " + q(dir / "x.png"));
        EXPECT_EQ(d.err, "kalder-cli: " + file + ": " + reason + "\n");
    }
    if (::geteuid() != 0) {
        fs::permissions(good, fs::perms::none);
        EXPECT_EQ(runCli(dir, "info " + q(good)).err,
                  "kalder-cli: " + good.string() + ": Permission denied\n");
        fs::permissions(good, fs::perms::owner_read | fs::perms::owner_write);
    }
    const CliRun truncated = runCli(dir, "decode " + q(cut) + " -o " + q(dir / "cut.png"));
    if (truncated.status != 0) {
        EXPECT_EQ(truncated.status, 1);
        EXPECT_TRUE(truncated.err.starts_with("kalder-cli: " + cut.string() + ": "))
            << truncated.err;
    }

    // Usage errors: one line and where to look, never the whole usage.
    const CliRun usage = runCli(dir, "decode " + q(good));
    EXPECT_EQ(usage.status, 2);
    EXPECT_EQ(usage.err,
              "kalder-cli: missing -o OUT\nTry 'kalder-cli decode --help' for more information.\n");
    const CliRun unknown = runCli(dir, "explode x");
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err,
              "kalder-cli: unknown command: explode\nTry 'kalder-cli --help' for more "
              "information.\n");
    for (const char* args : {"icon-compile", "psd-layers x", "associate", "companion",
                             "scan --mode sepia -o x.png", "send-mail x", "info --bogus x"}) {
        const CliRun r = runCli(dir, args);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << args << ": " << r.err;
    }
}

TEST(CliManners, EveryVerbHasItsOwnHelpAndKnowsWhatItLists) {
    test::TempDir dir;
    for (const cli::Verb* verb : cli::verbs()) {
        const std::string name = verb->name;
        for (const char* word : {" --help", " -h", " x --help"}) {
            const CliRun r = runCli(dir, name + word);
            EXPECT_EQ(r.status, 0) << name << word << ": " << r.err;
            EXPECT_TRUE(r.out.starts_with("usage: kalder-cli " + name + " ")) << name << word;
        }
    }
    EXPECT_EQ(runCli(dir, "help decode").out, cli::verbHelpText(*cli::findVerb("decode")));
    const std::string overview = runCli(dir, "--help").out;
    EXPECT_LT(std::count(overview.begin(), overview.end(), '\n'), 40);

    // Every option a verb's help names is one its parser takes.
    for (const cli::Verb* verb : cli::verbs()) {
        for (const std::string& word : cli::verbOptionWords(*verb)) {
            if (word == "--help" || word == "-h" || word == "--quiet") continue;
            EXPECT_NE(verb->check({word, "1"}), "unknown option: " + word) << verb->name;
        }
    }
}

TEST(CliManners, DashDashAndStandardStreams) {
    test::TempDir dir;
    const fs::path source = dir / "-odd.bmp";
    test::writeFile(source, bmp(5, 3));
    // After "--" a name that starts with "-" is a file.
    const CliRun dashed = runCli(dir, "info -- -odd.bmp");
    EXPECT_EQ(dashed.status, 0) << dashed.err;
    EXPECT_TRUE(dashed.out.starts_with("-odd.bmp\tBMP\t")) << dashed.out;
    EXPECT_EQ(runCli(dir, "info -odd.bmp").status, 2);

    // "-" reads standard input and, for decode, writes standard output in --format.
    const CliRun info = runCli(dir, "info -", source.string());
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_TRUE(info.out.starts_with("-\tBMP\t")) << info.out;
    const fs::path png = dir / "piped.png";
    const CliRun decode = runCli(dir, "decode - -o - --format png", source.string());
    EXPECT_EQ(decode.status, 0) << decode.err;
    test::writeText(png, decode.out);
    const auto decoded = test::decodeWithKalder(png);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->width, 5);
    EXPECT_EQ(decoded->height, 3);

    // Unknown output formats are refused before anything is written.
    for (const std::string& args :
         {"decode " + q(source) + " -o " + q(dir / "out.xyz"), "decode " + q(source) + " -o -",
          "decode " + q(source) + " -o " + q(dir / "out.png") + " --format xyz",
          "thumb " + q(source) + " --size 4 -o " + q(dir / "out.jpg")}) {
        EXPECT_EQ(runCli(dir, args).status, 2) << args;
    }
    EXPECT_FALSE(fs::exists(dir / "out.xyz") || fs::exists(dir / "out.jpg"));
    // Without an extension a decode is the PAM dump, every page of it with --all-pages.
    EXPECT_EQ(runCli(dir, "decode " + q(source) + " --all-pages -o " + q(dir / "frame")).status, 0);
    EXPECT_TRUE(test::readText(dir / "frame-0").starts_with("P7\n"));

    // thumb: PNG by extension or --format (a thumbnailer's output may have no extension).
    for (const auto& [out, format, magic] : {std::tuple{"t.png", "", "\x89PNG"},
                                             {"t", "--format png", "\x89PNG"},
                                             {"t.pam", "", "P7\n"}}) {
        const CliRun r =
            runCli(dir, "thumb " + q(source) + " --size 4 " + format + " -o " + q(dir / out));
        EXPECT_EQ(r.status, 0) << out << ": " << r.err;
        EXPECT_TRUE(test::readText(dir / out).starts_with(magic)) << out;
    }
}

TEST(CliManners, WriteErrorsFailAndLeaveNothing) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    test::TempDir dir;
    const fs::path source = dir / "s.bmp";
    test::writeFile(source, bmp(40, 40));
    for (const std::string& args :
         {"info " + q(source), "exif " + q(source), "decode " + q(source) + " -o - --format png",
          "thumb " + q(source) + " --size 8 -o - --format png"}) {
        const CliRun r = runCli(dir, args, "/dev/null", "/dev/full");
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << args << r.err;
    }
    fs::create_symlink("/dev/full", dir / "full.pam");
    for (const fs::path& out : {dir / "full.pam", dir / "missing" / "x.png"}) {
        const CliRun r = runCli(dir, "decode " + q(source) + " -o " + q(out));
        EXPECT_EQ(r.status, 1) << out;
        EXPECT_TRUE(r.err.starts_with("kalder-cli: ")) << r.err;
    }
    std::size_t left = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path())) ++left;
    EXPECT_EQ(left, 4u);  // s.bmp, full.pam, stdout, stderr
}

TEST(CliManners, JsonStaysUtf8) {
    EXPECT_EQ(cli::jsonEscape("a\"\\\n\x01\x7f"), "a\\\"\\\\\\n\\u0001\\u007f");
    // Well-formed UTF-8 passes; stray, overlong and surrogate bytes are escaped one by one.
    EXPECT_EQ(cli::jsonEscape("\xc3\xbc\xe2\x82\xac\xf0\x9f\x98\x80"),
              "\xc3\xbc\xe2\x82\xac\xf0\x9f\x98\x80");
    EXPECT_EQ(cli::jsonEscape("x\xff\xc0\xaf\xed\xa0\x80\xc3"),
              "x\\udcff\\udcc0\\udcaf\\udced\\udca0\\udc80\\udcc3");
    test::TempDir dir;
    const fs::path odd = dir / "odd\xe9.bmp";
    test::writeFile(odd, bmp(2, 2));
    const CliRun r = runCli(dir, "info --json " + q(odd));
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("odd\\udce9.bmp"), std::string::npos) << r.out;
}

TEST(CliManners, ProgressLinesOnATerminalUnlessQuiet) {
    if (std::system("command -v script >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "script (util-linux) is not installed";
    test::TempDir dir;
    fs::create_directory(dir / "in");
    for (const char* name : {"a.bmp", "b.bmp"}) test::writeFile(dir / "in" / name, bmp(8, 8));
    const std::string thumbs = std::string(KALDER_CLI_PATH) + " thumbs " + q(dir / "in") +
                               " --size 4 --jobs 1 -o " + q(dir / "out");
    // script gives the command a terminal and copies what it shows to standard output.
    auto shown = [&](const std::string& extra) {
        const std::string command = "script -qec \"" + thumbs + extra + "\" /dev/null >" +
                                    q(dir / "tty") + " 2>&1 </dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0);
        return test::readText(dir / "tty");
    };
    const std::string loud = shown("");
    EXPECT_NE(loud.find("[1/2] "), std::string::npos) << loud;
    EXPECT_NE(loud.find("[2/2] "), std::string::npos) << loud;
    EXPECT_EQ(shown(" --quiet").find("[1/2]"), std::string::npos);
    // Not a terminal: nothing.
    EXPECT_EQ(runCli(dir, "thumbs " + q(dir / "in") + " --size 4 -o " + q(dir / "out")).err, "");
}

TEST(CliManners, ManualPageAndCompletionAreUpToDate) {
    const fs::path source = test::sourceDir();
    // Regenerate with scripts/gen-cli-docs.sh.
    EXPECT_EQ(test::readText(source / "data/man/kalder-cli.1"), cli::manPageText());
    EXPECT_EQ(test::readText(source / "data/completion/kalder-cli"), cli::bashCompletionText());
    if (std::system("command -v bash >/dev/null 2>&1") == 0) {
        const std::string check =
            "bash -n '" + (source / "data/completion/kalder-cli").string() + "'";
        EXPECT_EQ(std::system(check.c_str()), 0);
    }
}

}  // namespace
