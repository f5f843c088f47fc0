#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "tools/mail/mail_session.h"

namespace kalder::cli {

struct SendMailOptions {
    tools::MailServer server;
    tools::MailFields fields;
    bool subjectGiven = false;
    std::string textFile;
    std::vector<std::string> files;
};

struct SendMailParse {
    SendMailOptions options;
    std::string error;  // empty on success
};

// The words after "send-mail". There is deliberately no password option: a password on the
// command line is visible to every user of the machine.
SendMailParse parseSendMailArgs(const std::vector<std::string>& args);

// Sends the files; the password comes from KALDER_SMTP_PASSWORD or is asked on the terminal.
// Exit status: 0 sent, 1 not sent, 2 usage error.
int runSendMail(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kalder::cli
