#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/mail/mail_session.h"

namespace kalder::tools {

// "E-mail Options" as the dialog edits it. The password is deliberately absent: it is kept in
// memory for the program run and never written anywhere.
struct MailOptions {
    std::string server;
    std::int32_t port = 25;
    MailSecurity security = MailSecurity::None;
    std::string user;
    std::string fromName;
    std::string fromAddress;
    std::string replyToName;
    std::string replyToAddress;
    std::string caFile;  // certificates trusted besides the system's (a self-hosted server)
};

// Where the options live in the settings record: the server and port in their own fields, the
// four sender texts in the four mail fields in dialog order, and the security, user name and
// certificate file as tagged entries ("#security=starttls", "#user=ann", "#cafile=/etc/x.pem")
// at the end of the address history,
// which otherwise holds the remembered To, Cc and Bcc addresses, most recent first. An address
// never starts with "#", so older files read as before.
struct MailSettingsFields {
    std::string* smtpServer;
    std::int32_t* smtpPort;
    std::array<std::string, 4>* mailFields;
    std::vector<std::string>* addressHistory;
};

MailOptions loadMailOptions(const MailSettingsFields& stored);
void storeMailOptions(const MailOptions& options, const MailSettingsFields& stored);

// The remembered addresses, most recent first (the tagged entries left out).
std::vector<std::string> rememberedAddresses(const std::vector<std::string>& history);
// Puts the address first, once; the oldest go beyond kMaxRemembered. Empty addresses are not
// remembered.
void rememberAddress(std::vector<std::string>& history, const std::string& address);

inline constexpr std::size_t kMaxRemembered = 20;

}  // namespace kalder::tools
