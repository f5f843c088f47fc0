// kalder-cli send-mail: its words, and a real delivery through the binary.
#include "cli/cli_mail.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "support/test_support.h"
#include "tools/mail/smtp_test_server.h"

using namespace kalder;
namespace fs = std::filesystem;

namespace {

TEST(CliMail, Words) {
    const std::vector<std::string> base = {"--server", "mx", "--from", "a@b", "--to", "c@d"};
    auto parse = [&](std::vector<std::string> extra) {
        auto args = base;
        args.insert(args.end(), extra.begin(), extra.end());
        return cli::parseSendMailArgs(args);
    };
    const auto ok = parse({"--security", "starttls", "x.jpg"});
    EXPECT_EQ(ok.error, "");
    EXPECT_EQ(ok.options.server.port, 587);
    EXPECT_EQ(parse({"--security", "tls", "--port", "2465", "x.jpg"}).options.server.port, 2465);
    // Recipients add up over repeated options and lists; after "--" only files.
    const auto many = parse({"--to", "e@f, g@h", "--cc", "i@j", "--cc", "k@l", "--", "--to", "-"});
    EXPECT_EQ(many.error, "");
    EXPECT_EQ(many.options.fields.to, "c@d, e@f, g@h");
    EXPECT_EQ(many.options.fields.cc, "i@j, k@l");
    EXPECT_EQ(many.options.files, (std::vector<std::string>{"--to", "-"}));
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--password", "p", "x.jpg"}, "unknown option: --password"},
        {{"--security", "ssl", "x.jpg"}, "bad value for --security (none, starttls, tls): ssl"},
        {{"--port", "70000", "x.jpg"}, "bad value for --port: 70000"},
        {{"--text", "a", "--text-file", "f", "x.jpg"}, "give either --text or --text-file, once"},
        {{}, "no file to send"},
        {{"--cc"}, "--cc needs a value"},
    };
    for (const auto& [extra, error] : bad) EXPECT_EQ(parse(extra).error, error);
    EXPECT_EQ(cli::parseSendMailArgs({"--from", "a@b", "x"}).error, "missing --server HOST");
}

int runCli(const std::string& env, const std::string& args) {
    const std::string command =
        env + " " + KALDER_CLI_PATH + " send-mail " + args + " >/dev/null 2>&1 </dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(CliMail, SendsThroughARealServer) {
    if (!test::haveSmtpServer()) GTEST_SKIP() << "python3-aiosmtpd is not installed";
    test::TempDir dir;
    test::SmtpTestServer smtp(dir.path(), "auth");
    ASSERT_TRUE(smtp.ready());
    test::writeFile(dir / "a.jpg", {1, 2, 3, 4});
    test::writeFile(dir / "note.txt", {'h', 'i', '\n'});
    const std::string args = "--server 127.0.0.1 --port " + std::to_string(smtp.port()) +
                             " --user ann --from ann@example.com --to bob@example.com "
                             "--text-file '" +
                             (dir / "note.txt").string() + "' '" + (dir / "a.jpg").string() + "'";
    // No terminal and no password in the environment: nothing to log in with.
    EXPECT_EQ(runCli("env -u KALDER_SMTP_PASSWORD setsid -w", args), 2);
    EXPECT_EQ(runCli("KALDER_SMTP_PASSWORD=wrong", args), 1);
    EXPECT_EQ(runCli("KALDER_SMTP_PASSWORD=secret", args), 0);
    // A refused recipient fails the command though the others got the message.
    EXPECT_EQ(runCli("KALDER_SMTP_PASSWORD=secret", args + " --to nobody@example.com"), 1);
    EXPECT_EQ(
        runCli("KALDER_SMTP_PASSWORD=secret", args + " '" + (dir / "gone.jpg").string() + "'"), 1);
    EXPECT_EQ(smtp.messages().size(), 2u);
}

}  // namespace
