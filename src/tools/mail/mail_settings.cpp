#include "tools/mail/mail_settings.h"

#include <algorithm>

namespace kalder::tools {
namespace {

constexpr char kSecurityTag[] = "#security=";
constexpr char kUserTag[] = "#user=";
constexpr char kCaFileTag[] = "#cafile=";

bool isTagged(const std::string& entry) { return entry.starts_with('#'); }

}  // namespace

MailOptions loadMailOptions(const MailSettingsFields& s) {
    MailOptions o;
    o.server = *s.smtpServer;
    o.port = *s.smtpPort;
    o.fromName = (*s.mailFields)[0];
    o.fromAddress = (*s.mailFields)[1];
    o.replyToName = (*s.mailFields)[2];
    o.replyToAddress = (*s.mailFields)[3];
    for (const auto& entry : *s.addressHistory) {
        if (entry.starts_with(kSecurityTag)) {
            o.security = mailSecurityFromName(entry.substr(sizeof kSecurityTag - 1))
                             .value_or(MailSecurity::None);
        } else if (entry.starts_with(kUserTag)) {
            o.user = entry.substr(sizeof kUserTag - 1);
        } else if (entry.starts_with(kCaFileTag)) {
            o.caFile = entry.substr(sizeof kCaFileTag - 1);
        }
    }
    return o;
}

void storeMailOptions(const MailOptions& o, const MailSettingsFields& s) {
    *s.smtpServer = o.server;
    *s.smtpPort = o.port;
    *s.mailFields = {o.fromName, o.fromAddress, o.replyToName, o.replyToAddress};
    auto& h = *s.addressHistory;
    h.erase(std::remove_if(h.begin(), h.end(), isTagged), h.end());
    if (o.security != MailSecurity::None)
        h.push_back(kSecurityTag + std::string(mailSecurityName(o.security)));
    if (!o.user.empty()) h.push_back(kUserTag + o.user);
    if (!o.caFile.empty()) h.push_back(kCaFileTag + o.caFile);
}

std::vector<std::string> rememberedAddresses(const std::vector<std::string>& history) {
    std::vector<std::string> out;
    std::copy_if(history.begin(), history.end(), std::back_inserter(out),
                 [](const std::string& e) { return !isTagged(e) && !e.empty(); });
    return out;
}

void rememberAddress(std::vector<std::string>& history, const std::string& address) {
    if (address.empty() || isTagged(address)) return;
    std::vector<std::string> tags;
    std::copy_if(history.begin(), history.end(), std::back_inserter(tags), isTagged);
    std::vector<std::string> addresses = rememberedAddresses(history);
    addresses.erase(std::remove(addresses.begin(), addresses.end(), address), addresses.end());
    addresses.insert(addresses.begin(), address);
    if (addresses.size() > kMaxRemembered) addresses.resize(kMaxRemembered);
    history = std::move(addresses);
    history.insert(history.end(), tags.begin(), tags.end());
}

}  // namespace kalder::tools
