#include "site_tools/monitoring.h"

#include "shell/desktop.h"
#include "site_run_test.h"
#include "site_tools/alert_mail.h"

#include <algorithm>
#include <climits>
#include <functional>

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

    // A watch of `passes` passes a minute apart by the clock; `between` runs before pass n > 1.
    std::string RunPasses(const WatchInput& watched, int passes,
                          const std::function<void(int)>& between = {}) {
        WatchInput input = watched;
        input.frequency = 1;
        t.desktop.AnswerReportWindow([&](const ReportWindowRun& run) {
            t.threads.WaitIdle();
            for (int pass = 2; pass <= passes; ++pass) {
                t.clock.epochMs += 60000;
                if (between)
                    between(pass);
                run.onTick();
                t.threads.WaitIdle();
            }
        });
        return RunOnce(input);
    }
};

const std::string kPage = "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<p>Welcome</p>";

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

// Each pass leaves its row, with its response time and its first failure; a pass of the watch
// drops the rows older than the days kept.
TEST_F(Watches, EveryPassIsRecordedWithItsTimesAndItsFirstFailure) {
    test::ScriptedServer slow(test::ServerScript{kPage, 0, test::ServerScript::Then::Close, true,
                                                 std::chrono::milliseconds(300)});
    ASSERT_TRUE(slow.Started());
    SitePass old;
    old.server = "site.test";
    old.atMs = t.clock.epochMs - 401LL * 24 * 3600 * 1000;
    old.files = {{}};
    ASSERT_TRUE(t.history.Record(std::span(&old, 1)));
    WatchInput input = Input(WatchKind::Verify);
    input.sites[0] = {
        "site.test",
        Folder("v", {{"fr-missing.html", "x"},
                     {"fr-same.html", "<html>\n<body>The same page</body>\n</html>\n"}})};
    input.sites[1] = {slow.Host(), Folder("s", {{"page.html", "<p>Welcome</p>"}})};
    RunOnce(input);
    const auto all = [&](const std::string& server) {
        return t.history.Passes(server, 0, INT64_MAX);
    };
    ASSERT_EQ(all("site.test").size(), 1u) << "the old pass is gone, the new one is there";
    const PassRow site = all("site.test").front();
    EXPECT_EQ(site.atMs, t.clock.epochMs);
    EXPECT_FALSE(site.ok);
    EXPECT_EQ(site.cause, "File: fr-missing.html not available. Server code: 404");
    EXPECT_EQ(std::make_pair(site.files, site.failures), std::make_pair(2, 1));
    ASSERT_EQ(all(slow.Host()).size(), 1u);
    EXPECT_TRUE(all(slow.Host()).front().ok);
    EXPECT_GE(all(slow.Host()).front().responseMs, 300);
    EXPECT_LT(all("site.test").front().responseMs, 300);
}

// Each rule speaks only when it is broken; the text rules make a check fetch the page.
TEST_F(Watches, EachRuleFiresWhereItIsBrokenAndStaysQuietElsewhere) {
    struct Case {
        const char* name;
        WatchRules rules;
        std::vector<std::string> bodies; // one per pass
        std::chrono::milliseconds delay;
        std::string line; // the rule's line in the last pass; empty: none
    };
    const auto rules = [](auto change) {
        WatchRules r;
        change(r);
        return r;
    };
    const std::vector<Case> cases = {
        {"present",
         rules([](WatchRules& r) { r.mustContain = "Welcome"; }),
         {"<p>Welcome</p>"},
         {},
         ""},
        {"absent",
         rules([](WatchRules& r) { r.mustContain = "Welcome"; }),
         {"<p>Closed</p>"},
         {},
         "lacks the text: Welcome"},
        {"forbidden",
         rules([](WatchRules& r) { r.mustNotContain = "Error"; }),
         {"<p>Database Error</p>"},
         {},
         "holds the text: Error"},
        {"allowed",
         rules([](WatchRules& r) { r.mustNotContain = "Error"; }),
         {"<p>Fine</p>"},
         {},
         ""},
        {"slow",
         rules([](WatchRules& r) { r.responseLimitMs = 100; }),
         {""},
         std::chrono::milliseconds(300),
         "over the limit of 100 ms"},
        {"quick", rules([](WatchRules& r) { r.responseLimitMs = 5000; }), {""}, {}, ""},
        {"changed",
         rules([](WatchRules& r) { r.alertOnChange = true; }),
         {"one", "two"},
         {},
         "has changed since the last pass"},
        {"unchanged", rules([](WatchRules& r) { r.alertOnChange = true; }), {"one", "one"}, {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<test::ServerScript> scripts;
        for (const std::string& body : c.bodies)
            scripts.push_back({"HTTP/1.0 200 OK\r\n\r\n" + body, 0, test::ServerScript::Then::Close,
                               true, c.delay});
        test::ScriptedServer server(scripts);
        ASSERT_TRUE(server.Started());
        ASSERT_TRUE(t.history.SetRules(server.Host(), c.rules));
        WatchInput input = Input(WatchKind::Check, kAlertOnUnavailable);
        // A page of its own: the change rule compares with the page's last pass.
        input.sites[0] = {server.Host(), Folder(c.name, {{c.name + std::string(".html"), "x"}})};
        t.run.alertLatch.Clear();
        const int sounds = t.desktop.Sounds();
        const std::string report = RunPasses(input, static_cast<int>(c.bodies.size()));
        const std::string last = report.substr(report.rfind("Reply received"));
        EXPECT_EQ(last.find(c.line.empty() ? "File: " : c.line) != std::string::npos,
                  !c.line.empty())
            << report;
        EXPECT_EQ(t.desktop.Sounds() - sounds, c.line.empty() ? 0 : 1);
        EXPECT_EQ(t.run.alertLatch.TakeFirst(), c.line.empty()) << "the alert was asked for";
        const bool reads = !c.rules.mustContain.empty() || !c.rules.mustNotContain.empty() ||
                           c.rules.alertOnChange;
        EXPECT_EQ(server.Requests().back().substr(0, 4), reads ? "GET " : "HEAD");
    }
}

// With two failures asked for, the first failing pass stays quiet; the alert comes with the
// second, once, and the recovery notice when the site is back, both through the mail server.
TEST_F(Watches, AnOutageAlertsAfterItsFailuresInARowAndMailsItsRecovery) {
    const std::string recipient = "outage-" + std::to_string(::getpid()) + "@customers.test";
    t.settings.Set(field::SmtpServer, "localhost");
    t.settings.Set(field::AlertAddress, recipient);
    test::ScriptedServer server(test::ServerScript{kPage});
    ASSERT_TRUE(server.Started());
    WatchRules rules;
    rules.failuresBeforeAlert = 2;
    ASSERT_TRUE(t.history.SetRules(server.Host(), rules));
    WatchInput input = Input(WatchKind::Check, kAlertOnUnavailable);
    input.sites[0] = {server.Host(), Folder("o", {{"index.html", "x"}})};
    std::vector<std::size_t> mails;
    RunPasses(input, 6, [&](int pass) {
        mails.push_back(test::MailsTo(recipient).size());
        if (pass == 2)
            server.Stop();
        if (pass == 6) {
            ASSERT_TRUE(server.Restart());
        }
    });
    mails.push_back(test::MailsTo(recipient).size());
    // Passes 2 to 5 fail: the alert with the third pass, the recovery with the sixth.
    EXPECT_EQ(mails, (std::vector<std::size_t>{0, 0, 1, 1, 1, 2}));
    const std::string head = "FROM: korvane-alert@localhost\r\nTO: " + recipient + "\r\n";
    const std::string where = "Server: " + server.Host() + ", page: index.html\r\n";
    auto sent = test::MailsTo(recipient);
    std::sort(sent.begin(), sent.end());
    EXPECT_EQ(sent, (std::vector<std::string>{
                        head + "SUBJECT: Korvane Alert\r\nAlert Notice\r\n" + where + "\r\n",
                        head + "SUBJECT: Korvane Recovery\r\nRecovery Notice\r\n" + where +
                            "Down for: 4 min\r\n\r\n"}));
    const auto passes = t.history.Passes(server.Host(), 0, INT64_MAX);
    ASSERT_EQ(passes.size(), 6u);
    EXPECT_EQ(passes[1].cause, "Unable to communicate: " + server.Host());
    EXPECT_TRUE(passes[5].ok);
}

TEST(Duration, IsToldToTheMinuteAndToTheSecondBelowOne) {
    const std::vector<std::pair<std::int64_t, std::string>> cases = {
        {-5, "0 s"},         {59999, "59 s"},         {60000, "1 min"},
        {3599999, "59 min"}, {3600000, "1 h 00 min"}, {90061000, "1 d 1 h"}};
    for (const auto& [ms, text] : cases)
        EXPECT_EQ(DurationText(ms), text) << ms;
}

// "Rules..." in a watch dialog edits the rules of one of the servers typed there, and keeps them
// whatever the watch dialog's answer; a number out of range asks again.
TEST_F(Watches, TheRulesButtonStoresTheRulesOfTheServerPicked) {
    t.desktop.AnswerForm([&](Form& form) {
        form.Field("Server1").text = "a.test";
        form.Field("Server2").text = "b.test";
        form.Field("Server3").text = "a.test";
        form.buttons.back().action(form);
        return kFormCancelled;
    });
    t.desktop.AnswerForm([](Form& pick) {
        EXPECT_EQ(pick.Field("Server").choices, (std::vector<std::string>{"a.test", "b.test"}));
        pick.Field("Server").selected = 1;
        return kFormAccepted;
    });
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "Rules for b.test");
        form.Field("MustContain").text = "Caf\xc3\xa9";
        form.Field("ResponseLimit").text = "1500";
        form.Field("Failures").text = "0";
        form.Field("Recovery").checked = false;
        form.Field("AlertOnChange").checked = true;
        return kFormAccepted;
    });
    t.desktop.AnswerForm([](Form& form) {
        form.Field("Failures").text = "3";
        return kFormAccepted;
    });
    CheckMultipleSitesCommand(t.shell);
    WatchRules expected;
    expected.mustContain = "Caf\xc3\xa9";
    expected.responseLimitMs = 1500;
    expected.failuresBeforeAlert = 3;
    expected.recoveryMail = false;
    expected.alertOnChange = true;
    EXPECT_EQ(t.history.RulesFor("b.test"), expected);
    EXPECT_EQ(t.history.RulesFor("a.test"), WatchRules{});
    EXPECT_EQ(t.desktop.Messages().size(), 1u);
    EXPECT_TRUE(t.run.siteRun.TryTake()) << "the cancelled watch gave its slot back";
}

} // namespace
} // namespace korvane
