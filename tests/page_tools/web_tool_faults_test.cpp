// Faults a web tool run meets on the way: a disk that cannot take a whole reply or report file,
// a server that resets the connection in the middle of its reply, a reply file that cannot be
// created. Each case checks what the user is told and what is left on disk.

#include "databases/link_exchange.h"
#include "page_tools/links.h"
#include "page_tools/page_check.h"
#include "page_tools/referrer.h"
#include "page_tools/server_header.h"
#include "page_tools/verify_file.h"
#include "records/record_files.h"
#include "shell/desktop.h"
#include "site_tools/folder_runs.h"
#include "support/fault_injection.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::ScriptedServer;
using test::ServerScript;
using test::TempDir;
using test::TestShell;
using test::WriteWholeFile;

constexpr std::uint64_t kNoLimit = UINT64_MAX;
constexpr std::uint64_t kDiskRoom = 4096;

constexpr const char* kLinkText = "Visit Acme Widgets";
constexpr const char* kStatusOk = "HTTP/1.0 200 OK\r\n\r\n";

enum class Fault {
    DiskFull,  // each file has room for kDiskRoom bytes
    KvHtmFull, // kv.htm alone lies on a full disk
    Reset,     // the server resets the connection after `arrived`
};

// The page of the first `links` lines, each a link; the whole page has 400 of them and ends with
// the partner's link text. It is far larger than the room on the disk.
std::string Body(int links = 400) {
    std::string body = "<html>\n";
    for (int n = 0; n < links; ++n)
        body += "<a href=\"p" + std::to_string(n) + ".html\">page " + std::to_string(n) + "</a>\n";
    return links < 400 ? body : body + kLinkText + "</html>\n";
}

class CollectedReport final : public ReportTextBox {
  public:
    void Append(std::string_view text) override { m_text += text; }
    const std::string& Text() const { return m_text; }

  private:
    std::string m_text;
};

// What the user saw and heard, as one text: the log lines, the message boxes, the report window,
// how many pages went to the browser and the alert sounds.
std::string Seen(const std::vector<std::string>& log,
                 const std::vector<test::ShownMessage>& messages, const std::string& report,
                 std::size_t browser, int sounds) {
    std::string text = "log:";
    for (const std::string& line : log)
        text += "\n  " + line;
    text += "\nmessages:";
    for (const test::ShownMessage& message : messages)
        text += "\n  " + message.text + " (" + message.title + ")";
    return text + "\nreport: " + report + "\nbrowser: " + std::to_string(browser) +
           "\nsounds: " + std::to_string(sounds);
}

struct Folders {
    TempDir work;  // reply files, kv.htm
    TempDir local; // the local copy of the page
    CollectedReport report;
};

// Runs one tool against `host` for page.html.
using Tool = std::function<void(TestShell&, const std::string& host, Folders&)>;

void ExtractLinks(TestShell& t, const std::string& host, Folders& folders) {
    RunLinks(t.shell, LinkMode::All, host, "page.html", {folders.work.Path()});
}

// With the comparative view, which a difference would open in the browser.
void VerifyFile(TestShell& t, const std::string& host, Folders& folders) {
    VerifyFileInput input;
    input.server = host;
    input.page = "page.html";
    input.localFolder = folders.local.Path();
    input.localName = "page.html";
    input.localPath = folders.local.File("page.html");
    input.workFolder = folders.work.Path();
    input.comparativeView = true;
    VerifyFileWorker(t.shell, input);
}

void VerifyFolder(TestShell& t, const std::string& host, Folders& folders) {
    FolderRunInput input;
    input.server = host;
    input.folder = folders.local.Path();
    input.workFolder = folders.work.Path();
    VerifyFolderWorker(t.shell, input, folders.report);
}

// The customer whose link-exchange partner is `host`; written before the disk fills.
void PutPartner(TestShell& t, const std::string& host) {
    CustomerRecord partner;
    partner.SetNumber(1);
    partner.SetText(customer::Company, "PARTNER");
    partner.SetText(customer::LinkDomain, host);
    partner.SetText(customer::LinkPage, "page.html");
    partner.SetText(customer::LinkText, kLinkText);
    CustomerStore& store = t.records.customers;
    WriteWholeFile(store.Path(), std::string(reinterpret_cast<const char*>(partner.Raw().data()),
                                             CustomerRecord::kSize));
    store.Load();
}

void CheckLinkExchange(TestShell& t, const std::string&, Folders& folders) {
    LinkExchangeInput input;
    input.workFolder = folders.work.Path();
    LinkExchangeRun(t.shell, input);
}

// A disk that cannot take a whole file, and a server that resets the connection in the middle of
// its reply. A file cut by the disk is reported and never read as the server's reply; a reset
// ends the reply like a close: what arrived is what the tools work on, and the comparing tools
// name the point where the server's copy stopped.
TEST(WebToolFaults, ACutReplyIsReportedAsTheDisksOrTheServersDoing) {
    KORVANE_REQUIRE_TEST_NETWORK();
    const std::string whole = kStatusOk + Body();
    const std::string arrived = kStatusOk + Body(100); // the reset comes after the hundredth link
    ScriptedServer full(ServerScript{whole});
    ScriptedServer resets(ServerScript{arrived, 0, ServerScript::Then::Reset, true});
    ASSERT_TRUE(full.Started() && resets.Started());
    std::string otherBody = Body();
    otherBody[0] = 'X';
    const std::string truncatedAt = std::to_string(arrived.size() - 1);

    struct Case {
        const char* name;
        Tool tool;
        Fault fault;
        std::string local; // the local copy of the page
        const char* replyFile;
        std::vector<std::string> log;
        std::vector<test::ShownMessage> messages;
        std::string report;
        int alerts;
    };
    const std::vector<Case> cases = {
        {"link extraction, disk full",
         ExtractLinks,
         Fault::DiskFull,
         Body(),
         "the4.html",
         {}, // no link and no "Scan complete" from a cut page
         {{"Data file: the4.html.", "Fatal error"}},
         "",
         0},
        {"folder verification, disk full",
         VerifyFolder,
         Fault::DiskFull,
         Body(),
         "the7.html",
         {},
         {{"Data file: the7.html.", "Fatal error"}},
         "Files in directory: 1\r\n",
         0},
        {"link exchange, disk full",
         CheckLinkExchange,
         Fault::DiskFull,
         Body(),
         "the1.html",
         {"  ", "Link exchange verification", "Data file: the1.html."}, // no "Link not found"
         {},
         "",
         0},
        // The reply fits; only kv.htm, the copy of the body, finds the disk full. The verdict
        // is the comparison's and stands; the missing copy is told and never compared.
        {"kv.htm, same page",
         VerifyFile,
         Fault::KvHtmFull,
         Body(),
         "the6.html",
         {"  ", "Verify page: page.html", "Reply received", "Integrity verified: page.html"},
         {{"Unable to create KV.HTM", "Problem"}},
         "",
         0},
        {"kv.htm, different page",
         VerifyFile,
         Fault::KvHtmFull,
         otherBody,
         "the6.html",
         {"  ", "Verify page: page.html", "Reply received",
          "File: page.html differs at location: 1", "Local file: X, web file: <"},
         {{"Unable to create KV.HTM", "Problem"}},
         "",
         1},
        {"folder verification, reset",
         VerifyFolder,
         Fault::Reset,
         Body(),
         "the7.html",
         {},
         {},
         "Files in directory: 1\r\nFile: page.html truncated at: " + truncatedAt +
             "\r\nFinished.\r\n\r\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string host = c.fault == Fault::Reset ? resets.Host() : full.Host();
        const std::uint64_t limit = c.fault == Fault::DiskFull ? kDiskRoom : kNoLimit;
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        PutPartner(t, host);
        Folders folders;
        WriteWholeFile(folders.local.File("page.html"), c.local);
        const std::string kvPath = folders.work.File("kv.htm");
        if (c.fault == Fault::KvHtmFull)
            std::filesystem::create_symlink("/dev/full", kvPath);
        else
            WriteWholeFile(kvPath, "an earlier run");

        const auto seen = test::RunInChild(
            [&] { return test::LimitFileSize(limit); },
            [&] {
                c.tool(t, host, folders);
                return Seen(t.LogTexts(), t.desktop.Messages(), folders.report.Text(),
                            t.desktop.BrowserTargets().size(), t.desktop.Sounds());
            });
        ASSERT_TRUE(seen.has_value()) << "the run did not end normally";
        // No comparison is ever built from a cut copy.
        EXPECT_EQ(*seen, Seen(c.log, c.messages, c.report, 0, c.alerts));

        // On disk: the reply file holds what fitted, and kv.htm of an earlier run is untouched
        // when the run did not get that far.
        const std::string& sent = c.fault == Fault::Reset ? arrived : whole;
        EXPECT_EQ(ReadWholeFile(folders.work.File(c.replyFile)),
                  sent.substr(0, std::min<std::uint64_t>(limit, sent.size())));
        if (c.fault == Fault::DiskFull) {
            EXPECT_EQ(ReadWholeFile(kvPath), "an earlier run");
        }
    }
}

// Every web tool whose reply file cannot be created: what it logs and what it tells.
TEST(WebToolFaults, AReplyFileThatCannotBeCreatedEndsTheRunAsEachToolSays) {
    KORVANE_REQUIRE_TEST_NETWORK();
    using Command = void (*)(Shell&, const WebToolOptions&);
    struct Case {
        const char* tool;
        Command run;
        std::vector<std::string> log;
        std::vector<test::ShownMessage> messages;
    };
    const std::vector<Case> cases = {
        {"page check",
         [](Shell& s, const WebToolOptions& o) { RunPageCheck(s, "site.test", "index.html", o); },
         {"  ", "Page check", "Sent request."},
         {}},
        {"header",
         [](Shell& s, const WebToolOptions& o) {
             RunHeaderTool(s, HeaderTool::Header, "site.test", "", o);
         },
         {"  ", "Server page header: ", "Data file: the1.html."},
         {}},
        {"referrer",
         [](Shell& s, const WebToolOptions& o) { RunReferrerVariance(s, "site.test", "", o); },
         {"  ", "Verify referrer: site.test"},
         {{"Data file: ref0.html.", "Fatal error"}}},
        {"links",
         [](Shell& s, const WebToolOptions& o) { RunLinks(s, LinkMode::All, "site.test", "", o); },
         {}, // the request line is a detail
         {{"Data file: the4.html.", "Fatal error"}}},
        {"one link",
         [](Shell& s, const WebToolOptions& o) { CheckLink(s, "page2.html", "site.test", o); },
         {},
         {{"Data file: the5.html.", "Fatal file error"}}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.tool);
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        c.run(t.shell, {dir.File("absent"), kReceiveIdleTimeout});
        EXPECT_EQ(t.LogTexts(), c.log);
        EXPECT_EQ(t.desktop.Messages(), c.messages);
        EXPECT_EQ(t.desktop.Sounds(), 0);
    }
}

} // namespace
} // namespace korvane
