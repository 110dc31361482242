#include "site_tools/alert_mail.h"

#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace korvane {
namespace {

using test::TestShell;

std::vector<std::string> StoredFor(const std::string& recipient) {
    std::vector<std::string> messages;
    const char* folder = std::getenv("KORVANE_TEST_MAILDIR");
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".data")
            continue;
        const std::string base = entry.path().string().substr(0, entry.path().string().size() - 5);
        if (test::ReadWholeFile(base + ".to") == recipient)
            messages.push_back(test::ReadWholeFile(entry.path().string()));
    }
    return messages;
}

TEST(AlertMail, SendsTheFixedMessageNamingTheFailure) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TestShell t;
    const std::string recipient = "webmaster-" + std::to_string(::getpid()) + "@customers.test";
    t.settings.Set(field::SmtpServer, "127.0.0.1"); // a dotted address is taken as it is
    t.settings.Set(field::AlertAddress, recipient);
    RequestAlertMail(t.shell, "site.test", "index.html");
    t.threads.WaitIdle();

    EXPECT_EQ(StoredFor(recipient),
              std::vector<std::string>{"FROM: korvane-alert@localhost\r\nTO: " + recipient +
                                       "\r\nSUBJECT: Korvane Alert\r\nAlert Notice\r\n"
                                       "Server: site.test, page: index.html\r\n\r\n"});
    EXPECT_EQ(t.LogTexts(),
              (std::vector<std::string>{"Alert to: " + recipient, "From: korvane-alert@localhost",
                                        "Located mail server 127.0.0.1, IP: 127.0.0.1",
                                        "Forwarding mail", "Transmission complete"}));
    EXPECT_EQ(t.log.Snapshot().front().colour, LineColour::Highlighted);
}

TEST(AlertMail, NothingHappensWithoutAServerAndAnUnknownOneIsLogged) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TestShell t;
    t.settings.Set(field::AlertAddress, "someone@customers.test");
    RequestAlertMail(t.shell, "site.test", "index.html");
    t.threads.WaitIdle();
    EXPECT_TRUE(t.LogTexts().empty());

    t.settings.Set(field::SmtpServer, "nosuch.test");
    RequestAlertMail(t.shell, "site.test", "index.html");
    t.threads.WaitIdle();
    EXPECT_EQ(t.LogTexts(), (std::vector<std::string>{
                                "Alert to: someone@customers.test", "From: korvane-alert@localhost",
                                "Unable to resolve SMTP mail server", "Transmission aborted"}));

    TestShell refused;
    refused.settings.Set(field::AlertAddress, "someone@customers.test");
    refused.settings.Set(field::SmtpServer, "refused.test");
    RequestAlertMail(refused.shell, "site.test", "index.html");
    refused.threads.WaitIdle();
    EXPECT_EQ(refused.LogTexts(),
              (std::vector<std::string>{"Alert to: someone@customers.test",
                                        "From: korvane-alert@localhost",
                                        "Located mail server refused.test, IP: 127.0.0.2",
                                        "Error connecting to the server socket"}));
    EXPECT_TRUE(t.desktop.Messages().empty() && refused.desktop.Messages().empty());
}

} // namespace
} // namespace korvane
