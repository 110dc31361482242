#include "page_tools/verify_file.h"

#include "compare/folder_scan.h"
#include "net/http.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::TestShell;
using test::WriteWholeFile;

TEST(SplitLocalPath, TakesTheCurrentFolderWithoutASlashAndTheRootWithALeadingOne) {
    std::string folder, name;
    SplitLocalPath("index.html", folder, name);
    EXPECT_EQ(folder, ".");
    EXPECT_EQ(name, "index.html");
    SplitLocalPath("/index.html", folder, name);
    EXPECT_EQ(folder, "/");
}

class VerifyFile : public ::testing::Test {
  protected:
    void SetUp() override { KORVANE_REQUIRE_TEST_NETWORK(); }

    // Verifies `page` of the fixture site against a local file holding `local`.
    std::vector<std::string> Verify(const std::string& page, const std::string& local,
                                    bool forgive = true, bool view = false,
                                    const std::string& localName = "") {
        const std::string name = localName.empty() ? page : localName;
        WriteWholeFile(m_local.File(page), local);
        VerifyFileInput input;
        input.server = "site.test";
        input.page = page;
        input.localFolder = m_local.Path();
        input.localName = name;
        input.localPath = m_local.File(name);
        input.forgiveCrLf = forgive;
        input.comparativeView = view;
        input.workFolder = m_work.Path();
        const std::size_t before = t.LogTexts().size();
        VerifyFileWorker(t.shell, input);
        const auto log = t.LogTexts();
        return std::vector<std::string>(log.begin() + static_cast<long>(before), log.end());
    }

    std::size_t HeaderEnd() {
        const ReplyHeader header = ReadReplyHeader(m_work.File("the6.html"));
        return header.text.size() - 1;
    }

    TestShell t;
    TempDir m_local;
    TempDir m_work;
};

TEST_F(VerifyFile, AnIdenticalPageIsVerifiedWithEveryLineOfTheRun) {
    EXPECT_EQ(Verify("fr-same.html", "<html>\n<body>The same page</body>\n</html>\n"),
              (std::vector<std::string>{"  ", "Verify page: fr-same.html", "Initialized: Running",
                                        "Resolving server", "Sent request for: fr-same.html",
                                        "Reply received", "Integrity verified: fr-same.html"}));
    EXPECT_EQ(t.log.Snapshot()[1].colour, LineColour::Highlighted);
    EXPECT_EQ(ReadWholeFile(m_work.File("kv.htm")),
              "<html>\n<body>The same page</body>\n</html>\n");
    EXPECT_EQ(t.desktop.Sounds(), 0);
}

TEST_F(VerifyFile, LineEndsDifferOnlyWhenNotForgiven) {
    const std::string crlf = "line one\r\nline two\r\nline three\r\n";
    EXPECT_EQ(Verify("fr-lf.txt", crlf, true).back(), "Integrity verified: fr-lf.txt");
    EXPECT_EQ(Verify("fr-lf.txt", crlf, false).back(), "File: fr-lf.txt differs at location: 9");
    EXPECT_EQ(ReadWholeFile(m_work.File("kv.htm")), "line one\n");
    EXPECT_EQ(t.desktop.Sounds(), 1);
}

TEST_F(VerifyFile, AShorterServerCopyIsTruncatedAndALongerOneVerified) {
    const std::string truncated = Verify("fr-truncated.txt", "abcdefghijk").back();
    EXPECT_EQ(truncated,
              "File: fr-truncated.txt truncated at: " + std::to_string(HeaderEnd() + 10));
    EXPECT_EQ(Verify("fr-extra.txt", "abcdefghij").back(), "Integrity verified: fr-extra.txt");
    EXPECT_EQ(t.desktop.Sounds(), 1) << "the truncated copy alone";
}

TEST_F(VerifyFile, AMissingPageLeavesTheReportFileAlone) {
    WriteWholeFile(m_work.File("kv.htm"), "earlier run");
    const auto log = Verify("fr-missing.html", "x");
    EXPECT_EQ(
        std::vector<std::string>(log.end() - 3, log.end()),
        (std::vector<std::string>{"Not found.", "File is not available. Server code: 404", "  "}));
    EXPECT_EQ(ReadWholeFile(m_work.File("kv.htm")), "earlier run");
    EXPECT_EQ(Verify("fr-same.html", "x", true, false, "FR-SAME.HTML").back(),
              "Unable to open local file.");
}

TEST_F(VerifyFile, ADifferenceWithTheComparativeViewOpensTheComparison) {
    Verify("fr-first.txt", "abcdefghij", true, true);
    EXPECT_EQ(ReadWholeFile(m_work.File("kv.htm")), "xbcdefghij") << "the whole body";
    EXPECT_EQ(t.desktop.BrowserTargets(), (std::vector<std::string>{m_work.File("tc.html")}));
    const std::string left = ReadWholeFile(m_work.File("fa.html"));
    EXPECT_NE(left.find(m_local.File("fr-first.txt") + "\r\n"), std::string::npos)
        << "equal sizes: the local file stands left";

    Verify("fr-same.html", "<html>\n<body>The same page</body>\n</html>\n", true, true);
    EXPECT_EQ(t.desktop.BrowserTargets().size(), 1u) << "no comparison for identical files";
}

TEST(VerifyFileCommand, StoresTheDialogAndSplitsThePath) {
    TestShell t;
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("Page").text, "index.html");
        EXPECT_EQ(form.Field("LocalFile").text, "");
        EXPECT_FALSE(form.Field("Comparative").checked);
        form.Field("Server").text = "nosuch.test";
        form.Field("Page").text = "about.html";
        form.Field("LocalFile").text = "/nonexistent/folder/about.html";
        form.Field("Comparative").checked = true;
        return kFormAccepted;
    });
    VerifyFileCommand(t.shell);
    t.threads.WaitIdle();
    EXPECT_EQ(t.settings.Get(field::VerifyFileFolder), "/nonexistent/folder");
    EXPECT_EQ(t.settings.Get(field::VerifyFileName), "about.html");
    EXPECT_EQ(t.settings.Get(field::AlertMode), 2);
    EXPECT_EQ(t.LogTexts().back(), "Unable to open local file.");

    // Opening the dialog again sets the alert mode back to 0; cancelling keeps it there.
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("LocalFile").text, "/nonexistent/folder/about.html");
        return kFormCancelled;
    });
    VerifyFileCommand(t.shell);
    EXPECT_EQ(t.settings.Get(field::AlertMode), 0);
    EXPECT_FALSE(t.pickers.OffersTypeList());
}

} // namespace
} // namespace korvane
