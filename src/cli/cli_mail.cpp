#include "cli/cli_mail.h"

#include <termios.h>
#include <unistd.h>

#include <charconv>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>

#include "cli/cli_args.h"
#include "cli/cli_usage.h"
#include "cli/cli_verb.h"
#include "tools/mail/mail_charset.h"

namespace kalder::cli {
namespace {

constexpr char kMailer[] = "Kalder v3.0a";

// Reads a line from the terminal with echo off; nullopt when there is no terminal.
std::optional<std::string> askPassword(const std::string& user) {
    FILE* tty = std::fopen("/dev/tty", "r+");
    if (!tty) return std::nullopt;
    const int fd = fileno(tty);
    termios saved{};
    const bool haveTerm = tcgetattr(fd, &saved) == 0;
    if (haveTerm) {
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    std::fprintf(tty, "Password for %s: ", user.c_str());
    std::fflush(tty);
    std::string password;
    for (int c; (c = std::fgetc(tty)) != EOF && c != '\n';) password += static_cast<char>(c);
    if (haveTerm) tcsetattr(fd, TCSAFLUSH, &saved);
    std::fputc('\n', tty);
    std::fclose(tty);
    return password;
}

}  // namespace

SendMailParse parseSendMailArgs(const std::vector<std::string>& args) {
    SendMailParse r;
    SendMailOptions& o = r.options;
    bool portGiven = false, textGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) { return takeValue(args, i, out, r.error); };
        std::string v;
        if (a == "--server") {
            if (!value(o.server.host)) return r;
        } else if (a == "--port") {
            if (!value(v)) return r;
            auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), o.server.port);
            if (ec != std::errc{} || p != v.data() + v.size() || o.server.port < 1 ||
                o.server.port > 65535) {
                r.error = "bad value for --port: " + v;
                return r;
            }
            portGiven = true;
        } else if (a == "--security") {
            if (!value(v)) return r;
            const auto security = tools::mailSecurityFromName(v);
            if (!security) {
                r.error = "bad value for --security (none, starttls, tls): " + v;
                return r;
            }
            o.server.security = *security;
        } else if (a == "--user") {
            if (!value(o.server.user)) return r;
        } else if (a == "--ca-file") {
            if (!value(o.server.extraCaFile)) return r;
        } else if (a == "--from") {
            if (!value(o.fields.fromAddress)) return r;
        } else if (a == "--from-name") {
            if (!value(o.fields.fromName)) return r;
        } else if (a == "--to" || a == "--cc" || a == "--bcc") {
            // Repeated, the recipients add up; each value may be a list itself.
            if (!value(v)) return r;
            std::string& field = a == "--to"   ? o.fields.to
                                 : a == "--cc" ? o.fields.cc
                                               : o.fields.bcc;
            field += (field.empty() ? "" : ", ") + v;
        } else if (a == "--subject") {
            if (!value(o.fields.subject)) return r;
            o.subjectGiven = true;
        } else if (a == "--text" || a == "--text-file") {
            if (textGiven) {
                r.error = "give either --text or --text-file, once";
                return r;
            }
            textGiven = true;
            if (!value(a == "--text" ? o.fields.text : o.textFile)) return r;
        } else if (a == "--") {
            o.files.insert(o.files.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                           args.end());
            break;
        } else if (!a.empty() && a[0] == '-' && a != "-") {
            r.error = "unknown option: " + a;
            return r;
        } else {
            o.files.push_back(a);
        }
    }
    if (!portGiven) o.server.port = tools::defaultMailPort(o.server.security);
    if (o.server.host.empty())
        r.error = "missing --server HOST";
    else if (o.fields.fromAddress.empty())
        r.error = "missing --from ADDR";
    else if (tools::splitAddresses(o.fields.to).empty())
        r.error = "missing --to ADDR";
    else if (o.files.empty())
        r.error = "no file to send";
    return r;
}

int runSendMail(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    SendMailParse parsed = parseSendMailArgs(args);
    if (!parsed.error.empty()) return usageError(err, "send-mail", parsed.error);
    SendMailOptions& o = parsed.options;
    if (!o.textFile.empty()) {
        std::ifstream in(o.textFile, std::ios::binary);
        if (!in) return fileError(err, o.textFile, readFailureReason(o.textFile));
        o.fields.text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::vector<std::filesystem::path> files(o.files.begin(), o.files.end());
    if (!o.subjectGiven) o.fields.subject = tools::subjectForFiles(files);
    if (!o.server.user.empty()) {
        if (const char* env = std::getenv("KALDER_SMTP_PASSWORD")) {
            o.server.password = env;
        } else if (auto typed = askPassword(o.server.user)) {
            o.server.password = *typed;
        } else {
            err << "kalder-cli: no password: set KALDER_SMTP_PASSWORD or run on a terminal\n";
            return 2;
        }
    }
    // The message says which charset its texts are in: the one of the user's locale.
    std::setlocale(LC_CTYPE, "");
    tools::MailProgress progress;
    if (progressWanted())
        progress.onFile = [&](std::size_t i, std::size_t n, const std::string& name) {
            err << "[" << i + 1 << "/" << n << "] " << name << "\n";
        };
    const tools::MailResult result =
        tools::sendMail(o.server, o.fields, files, tools::localeCharset(), tools::MailClock::now(),
                        kMailer, progress);
    for (const std::string& refused : result.refused) err << "kalder-cli: " << refused << "\n";
    if (result.outcome != tools::MailOutcome::Sent) {
        err << "kalder-cli: " << result.message << "\n";
        return result.outcome == tools::MailOutcome::MissingFields ? 2 : 1;
    }
    out << "sent to " << o.fields.to << "\n";
    // Not every recipient got it: a script must not take that for success.
    return result.refused.empty() ? 0 : 1;
}

const Verb& sendMailVerb() {
    static const Verb verb = {
        "send-mail",
        "--server HOST --from ADDR --to ADDR [options] FILE...",
        "mail the files as attachments",
        "--to, --cc and --bcc may be repeated or hold a comma-separated list. The password comes\n"
        "from KALDER_SMTP_PASSWORD or is asked on the terminal.\n",
        "  --server HOST      the SMTP server\n"
        "  --port N           default 25, 587 with starttls, 465 with tls\n"
        "  --security NAME    none, starttls or tls (certificates are verified)\n"
        "  --user NAME        log in as NAME\n"
        "  --ca-file F        also trust the certificates in this PEM file\n"
        "  --from ADDR        the sender's address\n"
        "  --from-name NAME   the sender's name\n"
        "  --to ADDR          a recipient\n"
        "  --cc ADDR          a recipient in copy\n"
        "  --bcc ADDR         a hidden recipient\n"
        "  --subject TEXT     default: the file names\n"
        "  --text TEXT, --text-file F  the message text\n",
        "any",
        [](const std::vector<std::string>& args) { return parseSendMailArgs(args).error; },
        runSendMail,
    };
    return verb;
}

}  // namespace kalder::cli
