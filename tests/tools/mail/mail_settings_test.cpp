#include "tools/mail/mail_settings.h"

#include <gtest/gtest.h>

namespace kalder::tools {
namespace {

TEST(MailSettings, OptionsAndHistoryShareTheRecordWithoutMixing) {
    std::string server;
    std::int32_t port = 25;
    std::array<std::string, 4> fields;
    // An older file: plain addresses only.
    std::vector<std::string> history = {"old@x.org", "older@x.org"};
    const MailSettingsFields stored{&server, &port, &fields, &history};

    MailOptions o = loadMailOptions(stored);
    EXPECT_EQ(o.security, MailSecurity::None);
    EXPECT_TRUE(o.user.empty());
    o.server = "smtp.x.org";
    o.port = 587;
    o.security = MailSecurity::StartTls;
    o.user = "ann";
    o.fromName = "Ann";
    o.fromAddress = "ann@x.org";
    o.replyToAddress = "reply@x.org";
    o.caFile = "/etc/own-ca.pem";
    storeMailOptions(o, stored);
    storeMailOptions(o, stored);  // storing twice leaves one tag of each
    EXPECT_EQ(fields, (std::array<std::string, 4>{"Ann", "ann@x.org", "", "reply@x.org"}));

    rememberAddress(history, "older@x.org");
    rememberAddress(history, "");
    rememberAddress(history, "#user=mallory");
    EXPECT_EQ(rememberedAddresses(history), (std::vector<std::string>{"older@x.org", "old@x.org"}));
    const MailOptions back = loadMailOptions(stored);
    EXPECT_EQ(back.security, MailSecurity::StartTls);
    EXPECT_EQ(back.user, "ann");
    EXPECT_EQ(back.caFile, "/etc/own-ca.pem");
    EXPECT_EQ(back.server, "smtp.x.org");

    for (int i = 0; i < 30; ++i) rememberAddress(history, "a" + std::to_string(i) + "@x.org");
    EXPECT_EQ(rememberedAddresses(history).size(), kMaxRemembered);
    EXPECT_EQ(rememberedAddresses(history).front(), "a29@x.org");
    EXPECT_EQ(loadMailOptions(stored).user, "ann");
}

}  // namespace
}  // namespace kalder::tools
