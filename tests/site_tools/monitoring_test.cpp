#include "site_tools/monitoring.h"

#include "compare/folder_scan.h"
#include "shell/desktop.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace korvane {
namespace {

using test::TempDir;
using test::TestShell;
using test::WriteWholeFile;

class Watches : public ::testing::Test {
  protected:
    void SetUp() override { KORVANE_REQUIRE_TEST_NETWORK(); }

    std::string Folder(const std::string& name,
                       const std::vector<std::pair<std::string, std::string>>& files) {
        const std::string folder = m_local.File(name);
        std::filesystem::create_directory(folder);
        for (const auto& [file, bytes] : files)
            WriteWholeFile(folder + "/" + file, bytes);
        return folder;
    }

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
        return t.desktop.ReportWindows().back().Text();
    }

    TestShell t;
    TempDir m_local;
    TempDir m_work;
};

TEST_F(Watches, AOnePassVerificationReportsEverySiteAndHandsBackTheOkButton) {
    WatchInput input = Input(WatchKind::Verify);
    input.sites[0] = {"site.test", Folder("a", {{"fr-first.txt", "abcdefghij"}})};
    input.sites[1] = {"", Folder("b", {{"x.html", "x"}})};
    input.sites[2] = {"site.test", ""};
    input.sites[3] = {"site.test", m_local.File("absent")};
    const std::string report = RunOnce(input);
    EXPECT_EQ(report,
              "9:05 Sun Dec 6 2026.\r\nInitialized: Running\r\n"
              "Files in directory " +
                  m_local.File("a") +
                  ": 1\r\n"
                  "Sent request for: fr-first.txt\r\nReply received\r\n"
                  "File: fr-first.txt differs at location: 0\r\nLocal file: a, web file: x\r\n"
                  "\r\n"
                  "Files in directory " +
                  m_local.File("b") +
                  ": 1\r\n"
                  "No files in folder: " +
                  m_local.File("absent") +
                  ".\r\n"
                  "Finished.\r\n\r\n");
    const auto window = t.desktop.ReportWindows().back();
    EXPECT_EQ(window.caption, "Verify multiple sites");
    EXPECT_EQ(*window.buttonLabels, (std::vector<std::string>{"Cancel", "OK"}));
    EXPECT_EQ(t.desktop.Sounds(), 2);
    EXPECT_TRUE(t.run.siteRun.TryTake()) << "the watch is over: its slot is free again";
    t.run.siteRun.Release();
}

TEST_F(Watches, ACheckReportsEveryReplyAndOnlyTheMissingFiles) {
    WatchInput input = Input(WatchKind::Check);
    input.sites[0] = {"site.test", Folder("c", {{"fr-missing.html", "x"}})};
    const std::string report = RunOnce(input);
    EXPECT_EQ(report, "Initialized: Running\r\nFiles in directory " + m_local.File("c") +
                          ": 1\r\nSent request for: fr-missing.html\r\n"
                          "Reply received: fr-missing.html\r\nNot found.\r\n"
                          "File: fr-missing.html not available. Server code: 404\r\n\r\n"
                          "Finished.\r\n\r\n");
    EXPECT_EQ(t.desktop.ReportWindows().back().caption, "Check multiple sites");
}

// The messages the real mail server stored for one recipient.
std::size_t MailsTo(const std::string& recipient) {
    std::size_t count = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::getenv("KORVANE_TEST_MAILDIR"))) {
        const std::string path = entry.path().string();
        if (entry.path().extension() == ".to" && test::ReadWholeFile(path) == recipient)
            ++count;
    }
    return count;
}

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
        std::string folder;
        std::size_t mails;
    };
    const std::vector<Case> cases = {
        {WatchKind::Verify, kAlertOnUnavailable, missing, 1}, // two 404s, one mail
        {WatchKind::Verify, kAlertOnUnavailable, differs, 0},
        {WatchKind::Verify, kAlertOnVerifyFail, differs, 1},
        {WatchKind::Verify, kAlertOnVerifyFail, missing, 1},
        {WatchKind::Check, kAlertOnUnavailable, missing, 1},
        {WatchKind::Check, kNoAlerts, missing, 0},
    };
    std::size_t expected = 0;
    for (const Case& c : cases) {
        t.run.alertLatch.Clear();
        WatchInput input = Input(c.kind, c.mode);
        input.sites[0] = {"site.test", c.folder};
        RunOnce(input);
        expected += c.mails;
        EXPECT_EQ(MailsTo(recipient), expected) << "mode " << c.mode << " on " << c.folder;
    }
    // Connection failures never send one.
    t.run.alertLatch.Clear();
    WatchInput refused = Input(WatchKind::Verify, kAlertOnVerifyFail);
    refused.sites[0] = {"refused.test", missing};
    EXPECT_NE(RunOnce(refused).find("Unable to communicate: refused.test\r\n"), std::string::npos);
    EXPECT_EQ(MailsTo(recipient), expected);
}

TEST_F(Watches, TicksStartPassesButNeverTwoAtOnce) {
    WatchInput input = Input(WatchKind::Check);
    input.frequency = 5;
    input.sites[0] = {"site.test", Folder("t", {{"fr-same.html", "x"}})};
    std::chrono::milliseconds period{0};
    const std::string folder = m_local.File("t");
    t.desktop.AnswerReportWindow([&](const ReportWindowRun& run) {
        period = run.tickPeriod;
        run.onTick(); // the first pass may still run: then this tick is dropped
        t.threads.WaitIdle();
        // Files come and go between passes: each pass scans the folder afresh.
        WriteWholeFile(folder + "/fr-lf.txt", "line one\n");
        run.onTick();
        t.threads.WaitIdle();
        std::filesystem::remove(folder + "/fr-lf.txt");
        std::filesystem::remove(folder + "/fr-same.html");
        run.onTick();
        t.threads.WaitIdle();
    });
    const std::string report = RunOnce(input);
    EXPECT_EQ(period, std::chrono::milliseconds(300000));
    std::size_t passes = 0;
    for (std::size_t at = 0; (at = report.find("Finished.\r\n\r\n", at)) != std::string::npos; ++at)
        ++passes;
    EXPECT_GE(passes, 3u);
    EXPECT_LE(passes, 4u);
    EXPECT_NE(report.find("Files in directory " + folder + ": 2\r\n"), std::string::npos);
    EXPECT_NE(report.find("No files in folder: " + folder + ".\r\n"), std::string::npos);
    EXPECT_EQ(*t.desktop.ReportWindows().back().buttonLabels, std::vector<std::string>{"Cancel"});
}

TEST(WatchDialogs, StoreTheirGroupFrequencyAndAlertMode) {
    TestShell t;
    t.settings.Set(field::AlertMode, kAlertOnVerifyFail);
    t.settings.Set(field::CheckFrequency, 1000); // seconds of the connection alarm
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "Check multiple sites");
        EXPECT_EQ(form.Field("Alerts").choices.size(), 2u);
        EXPECT_EQ(form.Field("Alerts").selected, 0) << "mode 2 shows No alerts here";
        EXPECT_EQ(form.Field("Frequency").selected, -1);
        EXPECT_EQ(form.Field("Frequency").choices.size(), 800u);
        form.Field("Server2").text = "www.example.org";
        form.Field("Folder2").text = "/srv/www";
        return kFormAccepted;
    });
    const auto checked = WatchDialog(
        t.shell, WatchKind::Check, SitesOfSlots(t.shell, FirstWatchSlot(WatchKind::Check, false)));
    ASSERT_TRUE(checked);
    StoreSitesInSlots(t.shell, FirstWatchSlot(WatchKind::Check, false), *checked);
    EXPECT_EQ(t.settings.Get(field::AlertMode), kNoAlerts);
    EXPECT_EQ(t.settings.Get(field::CheckFrequency), 1000);
    EXPECT_EQ(t.settings.Get(field::MonitoredServer(9)), "www.example.org");
    EXPECT_EQ(t.settings.Get(field::MonitoredFolder(9)), "/srv/www");

    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("Folder1").text.substr(form.Field("Folder1").text.size() - 6),
                  "/myweb");
        form.Field("Frequency").selected = 15;
        form.Field("Alerts").selected = 2;
        form.Field("Email").text = "me@example.org";
        return kFormAccepted;
    });
    EXPECT_TRUE(WatchDialog(t.shell, WatchKind::Verify, WatchedSites{}));
    EXPECT_EQ(t.settings.Get(field::CheckFrequency), 15);
    EXPECT_EQ(t.settings.Get(field::AlertMode), kAlertOnVerifyFail);
    EXPECT_EQ(t.settings.Get(field::AlertAddress), "me@example.org");
    EXPECT_EQ(FirstWatchSlot(WatchKind::Verify, true), 4u);
    EXPECT_EQ(FirstWatchSlot(WatchKind::Check, true), 12u);
}

} // namespace
} // namespace korvane
