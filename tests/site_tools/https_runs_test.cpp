// The folder runs and the watches over HTTPS: a whole site verified over TLS, a certificate that
// fails ends the run with its line and no verdict, a watch warns of a certificate's end once.
#include "shell/desktop.h"
#include "shell/settings_file.h"
#include "site_run_test.h"
#include "site_tools/folder_runs.h"
#include "site_tools/monitoring.h"

namespace korvane {
namespace {

class HttpsRuns : public test::SiteRunTest {
  protected:
    std::string Site() {
        return Folder("site",
                      {{"fr-same.html", "<html>\n<body>The same page</body>\n</html>\n"},
                       {"fr-extra.txt", "abcdefghij"},
                       {"page2.html", "<html><body><p>The second page.</p></body></html>\n"}});
    }
};

TEST_F(HttpsRuns, EachRunOverHttpsGivesItsVerdictsOrTheCertificatesLineAlone) {
    struct Row {
        const char* what;
        void (*command)(Shell&);
        std::string server;
        std::vector<std::string> has;
        std::string never;
        int sounds;
        bool follow = false;
        std::string extra = {}; // a file of the site's besides the usual three
    };
    const std::vector<Row> rows = {
        {"verify over https",
         VerifyFolderCommand,
         "https://secure.test",
         {"Integrity verified: fr-same.html\r\n", "Integrity verified: fr-extra.txt\r\n",
          "Integrity verified: page2.html\r\n", "Finished.\r\n"},
         "not available",
         0},
        {"verify, plain http followed to https",
         VerifyFolderCommand,
         "secure.test",
         {"Redirect 1: 301 https://secure.test/fr-extra.txt\r\n",
          "Integrity verified: fr-extra.txt\r\n", "Finished.\r\n"},
         "Moved",
         0,
         true},
        // A redirect to the server first asked is asked at the addresses found for it.
        {"check, redirect on the same server",
         CheckSiteCommand,
         "http://site.test",
         {"Redirect 1: 302 http://site.test/index.html\r\n",
          "Success temp.html received code 200.\r\n"},
         "Unable",
         0,
         true,
         "temp.html"},
        {"check, self-signed",
         CheckSiteCommand,
         "https://self.test",
         {"Certificate not trusted: self-signed certificate\r\n"},
         "Success",
         1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const int before = t.desktop.Sounds();
        SetFollowRedirects(t.settingsFile, row.follow);
        const std::string site = Site();
        if (!row.extra.empty())
            test::WriteWholeFile(site + "/" + row.extra, "x");
        const std::string report = Run(row.command, row.server, site);
        for (const std::string& line : row.has)
            EXPECT_NE(report.find(line), std::string::npos) << line << " in " << report;
        EXPECT_EQ(report.find(row.never), std::string::npos) << report;
        EXPECT_EQ(t.desktop.Sounds() - before, row.sounds);
        std::filesystem::remove_all(m_local.File("site"));
    }
    // A certificate that fails ends the run at once: one line, not one for each file.
    const std::string report = LastReport();
    EXPECT_EQ(report.find("Certificate"), report.rfind("Certificate"));
    EXPECT_EQ(report.find("Finished."), std::string::npos);
}

// A watch warns once of a certificate that ends within the warning's days, and asks for its
// alert e-mail for it once a watch; the site is not down for it.
TEST_F(HttpsRuns, AWatchWarnsOfACertificatesEndOnceAndMailsOnce) {
    const std::string recipient = "tls-" + std::to_string(::getpid()) + "@customers.test";
    t.settings.Set(field::SmtpServer, "localhost");
    t.settings.Set(field::AlertAddress, recipient);
    WatchInput input;
    input.kind = WatchKind::Verify;
    input.alertMode = kAlertOnUnavailable;
    input.workFolder = m_work.Path();
    input.sites[0] = {"https://soon.test", Site()};
    input.sites[1] = {"https://soon.test", Folder("again", {{"page2.html", "x"}})};
    ASSERT_TRUE(t.run.siteRun.TryTake());
    RunWatch(t.shell, input);
    t.threads.WaitIdle();
    const std::string report = LastReport();
    const std::string warning = "Certificate expires in 5 days (";
    EXPECT_NE(report.find(warning), std::string::npos) << report;
    EXPECT_NE(report.find("Integrity verified: page2.html\r\n"), std::string::npos);
    EXPECT_NE(report.find("File: page2.html differs at location: 0\r\n"), std::string::npos);
    const auto mails = test::MailsTo(recipient);
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_NE(mails[0].find("Server: https://soon.test, page: "), std::string::npos) << mails[0];
}

} // namespace
} // namespace korvane
