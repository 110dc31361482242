#include "site_tools/monitoring.h"

#include "shell/desktop.h"
#include "site_run_test.h"
#include "site_tools/alert_mail.h"

#include <algorithm>

namespace korvane {
namespace {

class Watches : public test::SiteRunTest {
  protected:
    WatchInput Input(WatchKind kind, std::int32_t alertMode = kNoAlerts) {
        WatchInput input;
        input.kind = kind;
        input.alertMode = alertMode;
        input.workFolder = m_work.Path();
        return input;
    }

    // Runs a watch as its command would, holding the site-run slot that the watch gives back.
    std::string RunOnce(const WatchInput& input) {
        EXPECT_TRUE(t.run.siteRun.TryTake());
        RunWatch(t.shell, input);
        t.threads.WaitIdle();
        return LastReport();
    }
};

TEST_F(Watches, AOnePassVerificationReportsEverySiteAndHandsBackTheOkButton) {
    WatchInput input = Input(WatchKind::Verify);
    const std::string a = Folder("a", {{"fr-first.txt", "abcdefghij"}});
    const std::string b = Folder("b", {{"x.html", "x"}});
    const std::string absent = m_local.File("absent");
    input.sites = {{{"site.test", a}, {"", b}, {"site.test", ""}, {"site.test", absent}}};
    EXPECT_EQ(RunOnce(input),
              "9:05 Sun Dec 6 2026.\r\nInitialized: Running\r\nFiles in directory " + a +
                  ": 1\r\nSent request for: fr-first.txt\r\nReply received\r\n"
                  "File: fr-first.txt differs at location: 0\r\n"
                  "Local file: a, web file: x\r\n\r\nFiles in directory " +
                  b + ": 1\r\nNo files in folder: " + absent + ".\r\nFinished.\r\n\r\n");
    const auto window = t.desktop.ReportWindows().back();
    EXPECT_EQ(window.caption, "Verify multiple sites");
    EXPECT_EQ(*window.buttonLabels, (std::vector<std::string>{"Cancel", "OK"}));
    EXPECT_EQ(t.desktop.Sounds(), 2);
    EXPECT_TRUE(t.run.siteRun.TryTake()) << "the watch is over: its slot is free again";
    t.run.siteRun.Release();
}

// The alert goes through the real mail server: its message and its log lines are fixed.
TEST_F(Watches, OneAlertMailPerWatchAndOnlyForTheFailuresItsModeNames) {
    const std::string recipient = "watch-" + std::to_string(::getpid()) + "@customers.test";
    t.settings.Set(field::SmtpServer, "localhost");
    t.settings.Set(field::AlertAddress, recipient);
    const std::string missing =
        Folder("m", {{"fr-missing.html", "x"}, {"another-missing.html", "y"}});
    const std::string differs = Folder("d", {{"fr-first.txt", "abcdefghij"}});

    struct Case {
        WatchKind kind;
        std::int32_t mode;
        std::string server;
        std::string folder;
        std::size_t mails;
    };
    const std::vector<Case> cases = {
        {WatchKind::Verify, kAlertOnUnavailable, "site.test", missing, 1}, // two 404s, one mail
        {WatchKind::Verify, kAlertOnUnavailable, "site.test", differs, 0},
        {WatchKind::Verify, kAlertOnVerifyFail, "site.test", differs, 1},
        {WatchKind::Verify, kAlertOnVerifyFail, "site.test", missing, 1},
        {WatchKind::Check, kAlertOnUnavailable, "site.test", missing, 1},
        {WatchKind::Check, kNoAlerts, "site.test", missing, 0},
        // A site that cannot be reached at all is unavailable, in both alert modes.
        {WatchKind::Verify, kAlertOnVerifyFail, "refused.test", missing, 1},
        {WatchKind::Check, kAlertOnUnavailable, "nosuch.test", missing, 1},
        {WatchKind::Check, kNoAlerts, "refused.test", missing, 0},
    };
    std::size_t expected = 0;
    for (const Case& c : cases) {
        t.run.alertLatch.Clear();
        WatchInput input = Input(c.kind, c.mode);
        input.sites[0] = {c.server, c.folder};
        RunOnce(input);
        expected += c.mails;
        EXPECT_EQ(test::MailsTo(recipient).size(), expected)
            << "mode " << c.mode << " on " << c.folder;
    }
    const auto mails = test::MailsTo(recipient);
    EXPECT_NE(std::find(mails.begin(), mails.end(),
                        "FROM: korvane-alert@localhost\r\nTO: " + recipient +
                            "\r\nSUBJECT: Korvane Alert\r\nAlert Notice\r\n"
                            "Server: site.test, page: fr-first.txt\r\n\r\n"),
              mails.end());
    const auto texts = t.LogTexts();
    ASSERT_GE(texts.size(), 5u);
    EXPECT_EQ(t.log.Snapshot()[texts.size() - 5].colour, LineColour::Highlighted);
    EXPECT_EQ(std::vector<std::string>(texts.end() - 5, texts.end()),
              (std::vector<std::string>{"Alert to: " + recipient, "From: korvane-alert@localhost",
                                        "Located mail server localhost, IP: 127.0.0.1",
                                        "Forwarding mail", "Transmission complete"}));
}

// Real servers take mail only from their users: with a From address set, the alert goes from it,
// over the account's encryption and login.
TEST_F(Watches, AnAlertGoesFromTheIdentitysAddressOverTheAccount) {
    const std::string recipient = "secured-watch-" + std::to_string(::getpid()) + "@customers.test";
    t.settings.Set(field::SmtpServer, "mail.test");
    t.settings.Set(field::FromAddress, "webmaster@shop.test");
    t.settings.Set(field::AlertAddress, recipient);
    SetMailAccount(t.settingsFile, {465, MailSecurity::Tls, "mailer"});
    t.desktop.AnswerSecret("Pa55-word.only-in-memory");
    RequestAlertMail(t.shell, "site.test", "index.html");
    t.threads.WaitIdle();
    EXPECT_EQ(test::MailsTo(recipient),
              std::vector<std::string>{"FROM: webmaster@shop.test\r\nTO: " + recipient +
                                       "\r\nSUBJECT: Korvane Alert\r\nAlert Notice\r\n"
                                       "Server: site.test, page: index.html\r\n\r\n"});
    EXPECT_EQ(t.LogTexts().back(), "Transmission complete");
}

// A server that goes silent before it closes may have cut the page short: no verdict on it, even
// where the bytes that came match.
TEST_F(Watches, ASiteThatGoesSilentTimesOutWithoutAVerdict) {
    test::ScriptedServer stalled(
        test::ServerScript{"HTTP/1.0 200 OK\r\n\r\nx", 0, test::ServerScript::Then::HoldOpen});
    ASSERT_TRUE(stalled.Started());
    WatchInput input = Input(WatchKind::Verify);
    input.idleTimeout = std::chrono::milliseconds(300);
    input.sites[0] = {stalled.Host(), Folder("s", {{"page.html", "x"}})};
    const std::string report = RunOnce(input);
    EXPECT_NE(report.find("Timed out: page.html\r\n"), std::string::npos) << report;
    EXPECT_EQ(report.find("Integrity verified"), std::string::npos) << report;
    EXPECT_EQ(t.desktop.Sounds(), 1);
}

TEST_F(Watches, TicksStartPassesButNeverTwoAtOnce) {
    WatchInput input = Input(WatchKind::Check);
    input.frequency = 1;
    input.sites[0] = {"site.test", Folder("t", {{"fr-same.html", "x"}})};
    std::chrono::milliseconds period{0};
    const std::string folder = m_local.File("t");
    t.desktop.AnswerReportWindow([&](const ReportWindowRun& run) {
        period = run.tickPeriod;
        run.onTick(); // the first pass may still run: then this tick is dropped
        t.threads.WaitIdle();
        // Files come and go between passes: each pass scans the folder afresh.
        test::WriteWholeFile(folder + "/fr-lf.txt", "line one\n");
        run.onTick();
        t.threads.WaitIdle();
        std::filesystem::remove(folder + "/fr-lf.txt");
        std::filesystem::remove(folder + "/fr-same.html");
        run.onTick();
        t.threads.WaitIdle();
    });
    const std::string report = RunOnce(input);
    EXPECT_EQ(period, std::chrono::milliseconds(60000));
    std::size_t passes = 0;
    for (std::size_t at = 0; (at = report.find("Finished.\r\n\r\n", at)) != std::string::npos; ++at)
        ++passes;
    EXPECT_GE(passes, 3u);
    EXPECT_LE(passes, 4u);
    EXPECT_NE(report.find("Files in directory " + folder + ": 2\r\n"), std::string::npos);
    EXPECT_NE(report.find("No files in folder: " + folder + ".\r\n"), std::string::npos);
    EXPECT_EQ(*t.desktop.ReportWindows().back().buttonLabels, std::vector<std::string>{"Cancel"});
}

// The menu's watch stores what its dialog holds and watches those sites; a check tells of every
// reply and only of the missing files.
TEST_F(Watches, TheCommandStoresTheDialogsSitesAndWatchesThem) {
    t.settings.Set(field::AlertMode, kAlertOnVerifyFail);
    t.settings.Set(field::CheckFrequency, 1000); // seconds of the connection alarm
    const std::string folder = Folder("c", {{"fr-missing.html", "x"}});
    t.desktop.AnswerForm([&](Form& form) {
        EXPECT_EQ(form.title, "Check multiple sites");
        EXPECT_EQ(form.Field("Folder1").text.substr(form.Field("Folder1").text.size() - 6),
                  "/myweb");
        EXPECT_EQ(form.Field("Alerts").selected, 0) << "mode 2 shows No alerts here";
        EXPECT_EQ(form.Field("Frequency").selected, -1);
        form.Field("Email").text = "me@example.org";
        form.Field("Folder1").text = "";
        form.Field("Server2").text = "site.test";
        form.Field("Folder2").text = folder;
        return kFormAccepted;
    });
    CheckMultipleSitesCommand(t.shell);
    t.threads.WaitIdle();
    EXPECT_EQ(t.settings.Get(field::AlertMode), kNoAlerts);
    EXPECT_EQ(t.settings.Get(field::CheckFrequency), 1000);
    EXPECT_EQ(t.settings.Get(field::AlertAddress), "me@example.org");
    EXPECT_EQ(t.settings.Get(field::MonitoredServer(9)), "site.test");
    EXPECT_EQ(t.settings.Get(field::MonitoredFolder(9)), folder);
    EXPECT_EQ(LastReport(), "Initialized: Running\r\nFiles in directory " + folder +
                                ": 1\r\nSent request for: fr-missing.html\r\n"
                                "Reply received: fr-missing.html\r\nNot found.\r\n"
                                "File: fr-missing.html not available. Server code: 404\r\n\r\n"
                                "Finished.\r\n\r\n");
    EXPECT_EQ(t.desktop.ReportWindows().back().caption, "Check multiple sites");
}

} // namespace
} // namespace korvane
