#include "site_tools/folder_runs.h"

#include "shell/desktop.h"
#include "site_run_test.h"
#include "site_tools/monitoring.h"

namespace korvane {
namespace {

class FolderRuns : public test::SiteRunTest {
  protected:
    // The local copy of the fixture site, with the differences each case needs.
    std::string LocalMirror() {
        std::string binary;
        for (int i = 0; i < 1024; ++i)
            binary += static_cast<char>(i % 256);
        const std::string local =
            Folder("local", {{"fr-same.html", "<html>\n<body>The same page</body>\n</html>\n"},
                             {"fr-lf.txt", "line one\r\nline two\r\nline three\r\n"},
                             {"fr-binary.bin", binary},
                             {"fr-truncated.txt", "abcdefghijk"},
                             {"fr-extra.txt", "abcdefghij"},
                             {"fr-first.txt", "abcdefghij"},
                             {"temp.html", "moved away"},
                             {"fr-missing.html", "never uploaded"},
                             {"fr-empty.txt", ""}});
        std::filesystem::create_directory(local + "/images");
        // An entry that cannot be opened is passed over.
        std::filesystem::create_symlink(local + "/nowhere", local + "/dangling.html");
        return local;
    }
};

bool Has(const std::string& report, const std::string& line) {
    return report.find(line) != std::string::npos;
}

TEST_F(FolderRuns, VerificationReportsEveryKindOfDifference) {
    const std::string report = Run(VerifyFolderCommand, "site.test", LocalMirror());
    EXPECT_EQ(report.rfind("Files in directory: 9\r\nInitialized: Running\r\n", 0), 0u) << report;
    EXPECT_TRUE(Has(report, "Sent request for: fr-same.html\r\n"));
    EXPECT_TRUE(Has(report, "Reply received\r\n"));
    for (const char* name : {"fr-same.html", "fr-lf.txt", "fr-binary.bin", "fr-extra.txt"})
        EXPECT_TRUE(Has(report, std::string("Integrity verified: ") + name + "\r\n")) << name;
    EXPECT_TRUE(Has(report, "File: fr-first.txt differs at location: 0\r\n"
                            "Local file: a, web file: x\r\n"));
    EXPECT_TRUE(Has(report, "File: fr-truncated.txt truncated at: "));
    // An empty local file against an empty web copy: the same.
    EXPECT_TRUE(Has(report, "Integrity verified: fr-empty.txt\r\n"));
    EXPECT_TRUE(Has(report, "Moved temporarily.\r\nMoved to: http://site.test/index.html\r\n"
                            "File: temp.html not available. Server code: 302\r\n"));
    EXPECT_TRUE(
        Has(report, "Not found.\r\nFile: fr-missing.html not available. Server code: 404\r\n"));
    EXPECT_EQ(report.substr(report.size() - 13), "Finished.\r\n\r\n");
    EXPECT_EQ(t.desktop.Sounds(), 4); // differs, truncated, 302, 404
    EXPECT_EQ(t.settings.Get(field::ServerField(DialogSlot::VerifyFolder)), "site.test");
}

TEST_F(FolderRuns, TheLineEndBoxDecidesWhetherCrLfAgainstLfDiffers) {
    const std::string local =
        Folder("lf", {{"fr-lf.txt", "line one\r\nline two\r\nline three\r\n"}});
    EXPECT_TRUE(Has(Run(VerifyFolderCommand, "site.test", local, false),
                    "File: fr-lf.txt differs at location: 8\r\nFinished."));
    EXPECT_EQ(t.settings.Get(field::LineEndFlag), kFlagOff);
    EXPECT_TRUE(Has(Run(VerifyFolderCommand, "site.test", local, true),
                    "Integrity verified: fr-lf.txt\r\n"));
}

TEST_F(FolderRuns, CheckReportsPresenceOnly) {
    const std::string report = Run(CheckSiteCommand, "site.test", LocalMirror());
    for (const char* name : {"fr-same.html", "fr-lf.txt", "fr-first.txt", "fr-truncated.txt"})
        EXPECT_TRUE(Has(report, std::string("Success ") + name + " received code 200.\r\n"))
            << name;
    EXPECT_TRUE(
        Has(report, "Not found.\r\nFile: fr-missing.html not available. Server code: 404\r\n"));
    EXPECT_FALSE(Has(report, "Reply received"));
    EXPECT_EQ(t.desktop.Sounds(), 2);
}

TEST_F(FolderRuns, AServerThatRefusesEndsAVerificationButNotACheck) {
    const std::string local = LocalMirror();
    const std::string verify = Run(VerifyFolderCommand, "refused.test", local);
    EXPECT_EQ(verify, "Files in directory: 9\r\nInitialized: Running\r\n");
    const auto log = t.LogTexts();
    EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
              (std::vector<std::string>{"Unable to connect: refused.test",
                                        "Unable to communicate: refused.test", "  "}));
    EXPECT_EQ(t.desktop.Sounds(), 0);

    const std::string check = Run(CheckSiteCommand, "refused.test", local);
    std::string expected = "Files in directory: 9\r\nInitialized: Running\r\n";
    for (int i = 0; i < 9; ++i)
        expected += "Unable to connect: refused.test\r\nUnable to communicate: refused.test\r\n";
    EXPECT_EQ(check, expected + "Finished.\r\n\r\n");
}

TEST_F(FolderRuns, NoFilesOrNoServerEndTheRunWithAnAlert) {
    EXPECT_EQ(Run(VerifyFolderCommand, "site.test", m_local.File("absent")),
              "No files in folder.\r\n");
    const std::string local = LocalMirror();
    EXPECT_EQ(Run(CheckSiteCommand, "nosuch.test", local),
              "Files in directory: 9\r\nInitialized: Running\r\nUnable to resolve server\r\n");
    EXPECT_EQ(Run(VerifyFolderCommand, "nosuch.test", local),
              "Files in directory: 9\r\nInitialized: Running\r\n");
    EXPECT_EQ(t.LogTexts().back(), "Unable to translate host nosuch.test");
    EXPECT_EQ(t.desktop.Sounds(), 3);
}

// A folder run cannot go on without its reply file; a watch passes the file over and goes on.
TEST_F(FolderRuns, AReplyFileThatCannotBeCreatedEndsAFolderRunButNotAWatch) {
    const std::string local = Folder("one", {{"fr-same.html", "x"}});
    for (const char* name : {"the8.html", "the9.html"})
        std::filesystem::create_directory(m_work.File(name)); // no file can take its name
    EXPECT_EQ(
        Run(CheckSiteCommand, "site.test", local),
        "Files in directory: 1\r\nInitialized: Running\r\nSent request for: fr-same.html\r\n");
    WatchInput watch;
    watch.sites[0] = {"site.test", local};
    ASSERT_TRUE(t.run.siteRun.TryTake());
    RunWatch(t.shell, watch);
    t.threads.WaitIdle();
    EXPECT_EQ(LastReport(), "9:05 Sun Dec 6 2026.\r\nInitialized: Running\r\nFiles in directory " +
                                local +
                                ": 1\r\nSent request for: fr-same.html\r\n\r\nFinished.\r\n\r\n");
    EXPECT_EQ(t.desktop.Messages(),
              (std::vector<test::ShownMessage>{{"Data file: the9.html.", "Fatal error"}}));
    EXPECT_EQ(t.desktop.Sounds(), 0);
}

// A file gone since the scan is never verified: the run says it could not be read.
TEST_F(FolderRuns, AFileGoneSinceTheScanIsUnreadable) {
    SiteWalk walk;
    walk.server = "site.test";
    walk.compare = true;
    walk.replyFile = "the7.html";
    struct : ReportTextBox {
        void Append(std::string_view line) override { text += line; }
        std::string text;
    } report;
    EXPECT_TRUE(WalkSite(t.shell, walk, {{"fr-same.html", m_local.File("gone"), 44}}, report));
    EXPECT_EQ(report.text,
              "Sent request for: fr-same.html\r\nUnable to open local file: fr-same.html\r\n");
    EXPECT_EQ(t.desktop.Sounds(), 1);
}

TEST_F(FolderRuns, ASecondRunWaitsForTheFirst) {
    ASSERT_TRUE(t.run.siteRun.TryTake());
    CheckSiteCommand(t.shell);
    t.run.siteRun.Release();
    EXPECT_EQ(t.desktop.Messages(),
              (std::vector<test::ShownMessage>{{"In progress", "Please wait"}}));
    EXPECT_TRUE(t.desktop.Forms().empty());
}

} // namespace
} // namespace korvane
