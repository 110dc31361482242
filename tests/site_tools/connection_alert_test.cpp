#include "site_tools/connection_alert.h"

#include "shell/desktop.h"
#include "site_run_test.h"
#include "web/web_run.h"

#include <cerrno>
#include <ctime>

namespace korvane {
namespace {

class ConnectionAlarm : public test::SiteRunTest {
  protected:
    // Runs one check into a report window of its own and returns what it reported.
    std::string Check(const std::string& probe) {
        ConnectionCheckInput input;
        input.probeHost = probe;
        input.workFolder = m_work.Path();
        input.connectTimeout = std::chrono::milliseconds(300);
        ReportWindowRun run;
        run.onOpen = [&](std::shared_ptr<ReportWindowHandle> report) {
            ConnectionCheck(t.shell, input, *report);
        };
        t.desktop.RunReportWindow(run);
        return LastReport();
    }
};

TEST_F(ConnectionAlarm, EachCheckGivesItsVerdictAndEveryFailureSounds) {
    t.settings.SetOn(field::BeepFlag, false); // the alarm sounds all the same
    EXPECT_EQ(Check("site.test"),
              "9:05 Sun Dec 6 2026.\r\nInitialized: Running\r\nResolved server\r\n"
              "Connection available.\r\n\r\n");
    EXPECT_EQ(t.desktop.Sounds(), 0);
    EXPECT_EQ(Check("nosuch.test"),
              "9:05 Sun Dec 6 2026.\r\nInitialized: Running\r\nUnable to resolve server\r\n"
              "Connection unavailable.\r\n\r\n");
    EXPECT_EQ(Check("refused.test"),
              "9:05 Sun Dec 6 2026.\r\nInitialized: Running\r\nResolved server\r\n"
              "Connect error #111.\r\nConnection unavailable.\r\n\r\n");
    // A drop that loses the packets: the attempt is given up when the time-out has passed.
    test::SilentHost dropped;
    ASSERT_TRUE(dropped.Started());
    EXPECT_EQ(Check(dropped.Host()),
              "9:05 Sun Dec 6 2026.\r\nInitialized: Running\r\nResolved server\r\n"
              "Connect error #" +
                  std::to_string(ETIMEDOUT) + ".\r\nConnection unavailable.\r\n\r\n");
    // Over HTTPS a certificate that fails is no working connection: a network that intercepts
    // the connection shows one.
    EXPECT_EQ(Check("https://site.test"),
              "9:05 Sun Dec 6 2026.\r\nInitialized: Running\r\nResolved server\r\n"
              "Connection available.\r\n\r\n");
    EXPECT_EQ(Check("https://expired.test"),
              "9:05 Sun Dec 6 2026.\r\nInitialized: Running\r\nResolved server\r\n"
              "Certificate expired on " +
                  CertificateDate(std::time(nullptr) - 7 * 86400) +
                  "\r\nConnection unavailable.\r\n\r\n");
    EXPECT_EQ(t.desktop.Sounds(), 4);

    t.settings.SetOn(field::DetailFlag, false);
    EXPECT_EQ(Check("site.test"), "9:05 Sun Dec 6 2026.\r\nConnection available.\r\n\r\n");
}

// The command asks the real probe host: only inside the test network, where it cannot leave.
TEST_F(ConnectionAlarm, TheDialogOffersTwentySecondsAndTheWatchTicksAtThatPace) {
    t.settings.Set(field::CheckFrequency, 7);
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("Frequency")
                      .choices[static_cast<std::size_t>(form.Field("Frequency").selected)],
                  "20");
        return kFormAccepted;
    });
    std::chrono::milliseconds period{0};
    t.desktop.AnswerReportWindow([&](const ReportWindowRun& run) { period = run.tickPeriod; });
    ConnectionDropAlertCommand(t.shell);
    t.threads.WaitIdle();
    EXPECT_EQ(t.settings.Get(field::CheckFrequency), 20);
    EXPECT_EQ(period, std::chrono::milliseconds(20000));
    EXPECT_TRUE(t.run.siteRun.TryTake()) << "closing the window gives the slot back";
    t.run.siteRun.Release();
}

} // namespace
} // namespace korvane
