// The web page tools over real and scripted servers: the exchange itself, the header tools, the
// page check, the referrer variance and the link listing, each run as a user starts it, and the
// faults those runs meet on the way.

#include "page_tools/exchange_wording.h"
#include "page_tools/links.h"
#include "page_tools/page_check.h"
#include "page_tools/referrer.h"
#include "page_tools/server_header.h"
#include "page_tools/verify_file.h"

#include "databases/link_exchange.h"
#include "records/record_files.h"
#include "shell/desktop.h"
#include "shell/settings_block.h"
#include "site_tools/folder_runs.h"
#include "support/fault_injection.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include <algorithm>
#include <array>
#include <cerrno>
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
using ::testing::ElementsAre;

TEST(SendRequestOrReport, ReportsTheErrorCodeAndAlertsWhenThePeerIsGone) {
    TestShell t;
    std::array<FileDescriptor, 2> ends = test::SocketPair();
    ends[1].Close();
    SocketStream stream(std::move(ends[0]));
    EXPECT_EQ(SendRequestOrReport(t.shell, stream, "GET / HTTP/1.0\r\n\r\n"), false);
    EXPECT_THAT(t.LogTexts(), ElementsAre("Send error #" + std::to_string(EPIPE) + "."));
    EXPECT_EQ(t.desktop.Sounds(), 1);
}

// The reply file holds every byte the server sent, whatever way its reply ends.
TEST(HttpExchange, SendsTheComposedRequestAndStoresTheReplyUnchanged) {
    KORVANE_REQUIRE_TEST_NETWORK();
    const std::string start = "HTTP/1.0 200 OK\r\n\r\npartial";
    const std::string binary("HTTP/1.0 200 OK\r\nServer: s\r\n\r\n\0\x01\xff body", 37);
    struct Case {
        const char* name;
        ServerScript script;
        std::string stored; // the reply file's first bytes
        std::uint64_t size;
        bool timedOut = false; // no verdict on a reply the server may have cut short
    };
    const std::vector<Case> cases = {
        {"binary body", {binary}, binary, binary.size()},
        {"closed without a byte", {"", 0, ServerScript::Then::Close, false}, "", 0},
        {"reset mid-reply", {start, 0, ServerScript::Then::Reset, true}, start, start.size()},
        {"never closes", {start, 0, ServerScript::Then::HoldOpen, true}, start, start.size(), true},
        {"large body",
         {start, 3'000'000, ServerScript::Then::Close, true},
         start,
         start.size() + 3'000'000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedServer server(c.script);
        ASSERT_TRUE(server.Started());
        TestShell t;
        t.settings.Set(field::IdentifyAsChoice, 2);
        t.settings.Set(field::ReferrerChoice, 3);
        TempDir dir;
        ExchangeRequest request;
        request.server = server.Host();
        request.page = "a b/Index.HTML";
        request.replyFile = "the1.html";
        request.folder = dir.Path();
        request.idleTimeout = std::chrono::milliseconds(300);
        const ExchangeResult result = HttpExchange(t.shell, request);
        EXPECT_EQ(result.outcome, c.timedOut ? ExchangeOutcome::TimedOut : ExchangeOutcome::Stored);
        EXPECT_EQ(result.hold.Holds(), !c.timedOut);
        const std::string reply = ReadWholeFile(dir.File("the1.html"));
        EXPECT_EQ(reply.size(), c.size);
        EXPECT_EQ(reply.substr(0, c.stored.size()), c.stored);
        if (c.timedOut) {
            EXPECT_THAT(t.LogTexts(), ElementsAre("Initialized: Running", "Resolving server",
                                                  "Sent request.", "Timed out."));
        } else {
            EXPECT_THAT(t.LogTexts(), ElementsAre("Initialized: Running", "Resolving server",
                                                  "Sent request.", "Reply received.", "  "));
        }
        EXPECT_EQ(t.desktop.Sounds(), c.timedOut ? 1 : 0);
        if (c.script.readRequest) {
            EXPECT_THAT(server.Requests(),
                        ElementsAre("GET /a b/Index.HTML HTTP/1.0\r\nReferer: http://www." +
                                    server.Host() + "\r\nUser-Agent: Korvane\r\nAccept: " +
                                    "text/html, */*\r\nHost: " + server.Host() + "\r\n\r\n"));
        }
    }
}

using Command = void (*)(Shell&, const WebToolOptions&);

// Runs one tool through its dialog as a user would, and waits for the worker.
void RunThroughDialog(TestShell& t, Command command, const std::string& server,
                      const std::string& page, const TempDir& dir) {
    t.desktop.AnswerForm([server, page](Form& form) {
        form.Field("Server").text = server;
        form.Field("Page").text = page;
        return kFormAccepted;
    });
    command(t.shell, {dir.Path(), std::chrono::milliseconds(300)});
    t.threads.WaitIdle();
}

TEST(ServerPageHeader, AsksForTheDefaultPageWithHeadAndCookiesWithGet) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer server(ServerScript{"HTTP/1.0 200 OK\r\nSet-Cookie: x=1\r\n\r\n"});
    ASSERT_TRUE(server.Started());
    TempDir dir;
    const std::string block =
        "\r\nUser-Agent: Mozilla/5.0\r\nAccept: text/html, */*\r\nHost: " + server.Host() +
        "\r\n\r\n";
    TestShell header;
    RunThroughDialog(header, ServerPageHeaderCommand, server.Host(), "", dir);
    TestShell cookies;
    RunThroughDialog(cookies, HeaderCookiesCommand, server.Host(), "", dir);
    EXPECT_THAT(server.Requests(),
                ElementsAre("HEAD / HTTP/1.0" + block, "GET / HTTP/1.0" + block));
    EXPECT_THAT(header.LogTexts(), ElementsAre("  ", "Server page header: ", "Initialized: Running",
                                               "Resolving server", "Sent request for default page.",
                                               "Reply received.", "  "));
    EXPECT_THAT(cookies.LogTexts(),
                ElementsAre("  ", "Header cookies: ", "Initialized: Running", "Resolving server",
                            "Sent request.", "Reply received.", "SET-COOKIE: X=1 ", "  ",
                            "Finished."));
}

// The tool's own connect time-out, not a test's shorter one: a host that drops the packets costs
// ten seconds, then the tool says what it always says of a server it cannot reach.
TEST(ServerPageHeader, AHostThatDropsTheConnectionAttemptIsGivenUpAfterTenSeconds) {
    KORVANE_REQUIRE_TEST_NETWORK();
    test::SilentHost host;
    ASSERT_TRUE(host.Started());
    TestShell t;
    t.settings.SetOn(field::DetailFlag, false);
    TempDir dir;
    t.desktop.AnswerForm([&host](Form& form) {
        form.Field("Server").text = host.Host();
        form.Field("Page").text = "index.html";
        return kFormAccepted;
    });
    const auto started = std::chrono::steady_clock::now();
    ServerPageHeaderCommand(t.shell, {dir.Path()});
    t.threads.WaitIdle();
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::seconds(10));
    EXPECT_LT(waited, std::chrono::seconds(15));
    EXPECT_THAT(t.LogTexts(), ElementsAre("  ", "Server page header: index.html",
                                          "Unable to connect: " + host.Host(),
                                          "Unable to communicate: " + host.Host(), "  "));
}

std::string Reply(const std::string& date, const std::string& body) {
    return "HTTP/1.0 200 OK\r\nDate: " + date + "\r\n\r\n" + body;
}

TEST(ReferrerVariance, SendsFiveRequestsAndJudgesTheBodiesOnly) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer server(std::vector<ServerScript>{
        {Reply("Mon", "same body")},
        {Reply("Tuesday", "same body")},
        {Reply("Wed", "other body")},
        {Reply("Thu", "same body plus")},
        {Reply("Fri", "same bod")},
    });
    ASSERT_TRUE(server.Started());
    const std::string host = server.Host();
    TempDir dir;
    TestShell t;
    t.settings.Set(field::IdentifyAsChoice, 2);
    t.settings.Set(field::ReferrerChoice, 1); // the preference plays no part here
    RunThroughDialog(t, ReferrerCommand, host, "", dir);
    EXPECT_EQ(t.busy.IsSet(BusyFlag::Referrer), false);
    EXPECT_THAT(t.LogTexts(),
                ElementsAre("  ", "Verify referrer: " + host, "Initialized: Running",
                            "Sent request for default page (no referrer)", "Reply received",
                            "Sent request (referrer: http://www.google.com)", "Reply received",
                            "No referrer variance: Google.com",
                            "Sent request (referrer: http://www.yahoo.com)", "Reply received",
                            "Page with no referrer differs from referer: Yahoo.com",
                            "Sent request (referrer: " + host + ")", "Reply received",
                            "Page with no referrer differs from referer: " + host,
                            "Sent request (referrer: http://www.msn.com)", "Reply received",
                            "Page with no referrer differs from referer: http://www.msn.com"));
    const std::vector<LogLine> lines = t.log.Snapshot();
    EXPECT_EQ(lines[10].colour, LineColour::Highlighted);
    EXPECT_EQ(lines[7].colour, LineColour::Normal);
    EXPECT_EQ(t.desktop.Sounds(), 3);
    // The empty "Other" referrer took the default and keeps it.
    EXPECT_EQ(t.settings.Get(field::OtherReferrer), "http://www.msn.com");

    const std::string agent =
        "\r\nUser-Agent: Korvane\r\nAccept: text/html, */*\r\nHost: " + host + "\r\n\r\n";
    EXPECT_THAT(server.Requests(),
                ElementsAre("GET / HTTP/1.0" + agent,
                            "GET / HTTP/1.0\r\nReferer: http://www.google.com" + agent,
                            "GET / HTTP/1.0\r\nReferer: http://www.yahoo.com" + agent,
                            "GET / HTTP/1.0\r\nReferer: http://www." + host + agent,
                            "GET / HTTP/1.0\r\nReferer: http://www.msn.com" + agent));
    EXPECT_EQ(ReadWholeFile(dir.File("ref0.html")), Reply("Mon", "same body"));
    EXPECT_EQ(ReadWholeFile(dir.File("ref4.html")), Reply("Fri", "same bod"));
}

template <LinkMode mode> void Links(Shell& shell, const WebToolOptions& options) {
    LinksCommand(shell, mode, options);
}

// The page tools through their dialogs: what each logs and shows of real and broken replies,
// what it remembers, and that it leaves its busy flag clear.
TEST(WebTools, EachToolLogsAndShowsWhatTheReplyHoldsAndClearsItsFlag) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer tiny(ServerScript{"HTTP/1.0 200 OK\r\nServer: tiny\r\n\r\nbody"});
    ScriptedServer noBlankLine(ServerScript{"HTTP/1.0 200 OK\r\nServer: x\r\n"});
    ScriptedServer slotTwoMissing(std::vector<ServerScript>{
        {Reply("a", "x")}, {Reply("b", "x")}, {"HTTP/1.0 404 Not Found\r\n\r\n"}});
    ScriptedServer unreferredMoved(ServerScript{"HTTP/1.0 301 Moved\r\n\r\n"});
    ScriptedServer slotOneNoHeader(
        std::vector<ServerScript>{{Reply("a", "x")}, {"garbage without header"}});
    ScriptedServer linksNoHeader(ServerScript{"<html>href=\"a.html\"</html>"});
    // A header of exactly the 2000 bytes the referrer tool takes.
    const std::string fill(2000 - std::string("HTTP/1.0 200 OK\r\nX: \r\n\r\n").size(), 'f');
    ScriptedServer header2000(ServerScript{"HTTP/1.0 200 OK\r\nX: " + fill + "\r\n\r\nbody"});
    // A whole header, then silence: the body may be cut short.
    ScriptedServer stalled(
        ServerScript{"HTTP/1.0 200 OK\r\n\r\nbody", 0, ServerScript::Then::HoldOpen});
    ASSERT_TRUE(tiny.Started() && noBlankLine.Started() && slotTwoMissing.Started() &&
                unreferredMoved.Started() && slotOneNoHeader.Started() && linksNoHeader.Started() &&
                stalled.Started() && header2000.Started());
    const Command header = ServerPageHeaderCommand;
    const Command ipv6 = ServerPageHeaderIPv6Command;
    const Command cookies = HeaderCookiesCommand;
    const Command check = CheckPageCommand;
    const Command referrer = ReferrerCommand;
    const Command links = Links<LinkMode::All>;
    const Command local = Links<LinkMode::Local>;
    const Command external = Links<LinkMode::External>;
    const Command broken = Links<LinkMode::Broken>;
    // The first lines of each tool's run.
    const auto checked = [](std::vector<std::string> tail) {
        tail.insert(tail.begin(), {"  ", "Page check", "Sent request.", "Reply received."});
        return tail;
    };
    const auto verified = [](const std::string& host, std::vector<std::string> tail) {
        tail.insert(tail.begin(), {"  ", "Verify referrer: " + host});
        return tail;
    };
    const auto listed = [](const std::string& title, std::vector<std::string> tail) {
        tail.insert(tail.begin(), {"  ", "Links: " + title, "Reply received", "    "});
        return tail;
    };
    const std::string ok = "Success, server completed request, code 200";
    const std::vector<std::string> index = {"page2.html", "http://site.test/docs/a.html",
                                            "missing.html"};
    struct Case {
        Command command;
        std::string server;
        std::string page;
        std::vector<std::string> lines;
        int sounds;
        std::string shown = ""; // how the header in the result viewer starts; empty: no viewer
        bool verbose = false;
        std::vector<std::string> captions = {};
    };
    const std::vector<Case> cases = {
        {ipv6,
         "v6.test",
         "page2.html",
         {"  ", "Server page header IPv6: page2.html", "Reply received.", "  "},
         0,
         "HTTP/1.1 200 OK\r\n"},
        {cookies,
         "site.test",
         "cookies.html",
         {"  ", "Header cookies: cookies.html", "Reply received.", "SET-COOKIE: ID=AB1; PATH=/ ",
          "  ", "SET-COOKIE: LANG=EN ", "  ", "Finished."},
         0},
        // Without cookies the capitalised header is shown, and only the header.
        {cookies,
         tiny.Host(),
         "p.html",
         {"  ", "Header cookies: p.html", "Reply received.", "No header cookies."},
         0,
         "HTTP/1.0 200 OK\r\nSERVER: TINY\r\n\r\n"},
        {header,
         noBlankLine.Host(),
         "p.html",
         {"  ", "Server page header: p.html", "Reply received.", "  ", "Unable to resolve header."},
         1},
        {ipv6,
         "site.test",
         "p.html",
         {"  ", "Server page header IPv6: p.html", "Unable to translate host site.test"},
         1},
        // A code without a text of its own: only the code is told.
        {check, "site.test", "teapot.html", checked({"File is not available. Server code: 418"}),
         1},
        {check, noBlankLine.Host(), "", checked({"Unable to resolve header."}), 1},
        {referrer, stalled.Host(), "p.html", verified(stalled.Host(), {"Timed out."}), 1},
        {referrer, header2000.Host(), "p.html",
         verified(header2000.Host(),
                  {"No referrer variance: Google.com", "No referrer variance: Yahoo.com",
                   "No referrer variance: " + header2000.Host(),
                   "No referrer variance: http://ref.test/"}),
         0},
        {check,
         "refused.test",
         "index.html",
         {"  ", "Page check", "Unable to connect: refused.test",
          "Unable to communicate: refused.test", "  "},
         0},
        // The first address refuses, the second answers.
        {check,
         "twoaddr.test",
         "",
         {"  ", "Page check", "Unable to connect: twoaddr.test", "Sent request.", "Reply received.",
          ok},
         0},
        {referrer, slotTwoMissing.Host(), "p.html",
         verified(slotTwoMissing.Host(), {"No referrer variance: Google.com", "Not found.",
                                          "File is not available. Server code: 404 (referrer: 2)"}),
         1},
        {referrer, unreferredMoved.Host(), "p.html",
         verified(unreferredMoved.Host(), {"Moved.", "File is not available. Server code: 301"}),
         1},
        {referrer, slotOneNoHeader.Host(), "p.html",
         verified(slotOneNoHeader.Host(), {"Unable to resolve header: p.html (referrer: 1)"}), 1},
        {referrer, "nosuch.test", "p.html",
         verified("nosuch.test", {"Unable to translate host nosuch.test"}), 1},
        {referrer, "refused.test", "p.html",
         verified("refused.test",
                  {"Unable to connect: refused.test", "Unable to communicate: refused.test", "  "}),
         0},
        {links,
         "site.test",
         "index.html",
         {"  ", "Links: site.test, index.html", "Initialized: Running",
          "Sent request for: index.html", "Reply received", "    ", index[0], index[1], index[2],
          "Scan complete"},
         0,
         "",
         true},
        {local, "site.test", "",
         listed("site.test, ", {"page2.html", "missing.html", "Scan complete"}), 0},
        {external, "site.test", "",
         listed("site.test, ", {"http://site.test/docs/a.html", "Scan complete"}), 0},
        // Only the missing target is reported.
        {broken,
         "site.test",
         "",
         {"  ", "Links: site.test, ", "Reply received, checking links", "    ",
          "site.test, missing.html, Server code: 404", "Not found.", "    ", "Scan complete"},
         1,
         "",
         false,
         {index[0], "KORVANE", index[1], "KORVANE", index[2], "KORVANE"}},
        // A failed page request ends before the scan.
        {links, linksNoHeader.Host(), "p.html",
         listed(linksNoHeader.Host() + ", p.html", {"Unable to resolve header: p.html"}), 1},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server + "/" + c.page);
        TestShell t;
        t.settings.SetOn(field::DetailFlag, c.verbose);
        t.settings.Set(field::OtherReferrer, "http://ref.test/");
        RunThroughDialog(t, c.command, c.server, c.page, dir);
        EXPECT_EQ(t.LogTexts(), c.lines);
        EXPECT_EQ(t.desktop.Sounds(), c.sounds);
        EXPECT_EQ(t.desktop.Captions(), c.captions);
        const DialogSlot slot = c.command == check      ? DialogSlot::CheckPage
                                : c.command == referrer ? DialogSlot::Referrer
                                : c.command == header || c.command == ipv6 || c.command == cookies
                                    ? DialogSlot::ServerPageHeader
                                    : DialogSlot::Links;
        EXPECT_EQ(t.settings.Get(field::ServerField(slot)), c.server);
        EXPECT_EQ(t.settings.Get(field::SecondField(slot)), c.page);
        const std::vector<std::string> results = t.desktop.Results();
        EXPECT_EQ(results.size(), c.shown.empty() ? 0u : 1u);
        for (const std::string& shown : results) {
            EXPECT_EQ(shown.substr(0, c.shown.size()), c.shown);
            EXPECT_EQ(shown.substr(shown.size() - 4), "\r\n\r\n");
            // The file starts with the header the viewer showed (in capitals for cookies).
            EXPECT_EQ(Capitalise(ReadWholeFile(dir.File("the1.html")).substr(0, shown.size())),
                      Capitalise(shown));
        }
        EXPECT_FALSE(t.busy.IsSet(BusyFlag::HeaderAndSubmit) ||
                     t.busy.IsSet(BusyFlag::HeaderIPv6) || t.busy.IsSet(BusyFlag::HeaderCookies) ||
                     t.busy.IsSet(BusyFlag::Referrer));
    }
}

// A run that finds its reply file in another run's hands says that it waits, then goes on.
TEST(HeaderTools, ARunThatWaitsForAnotherRunsReplyFileSaysSo) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TempDir dir;
    TestShell t;
    t.settings.SetOn(field::DetailFlag, false);
    ReplyFileHold other(t.run.replyFiles, ReplyFilePath(dir.Path(), "the5.html"));
    ASSERT_TRUE(t.threads.Start([&] { RunPageCheck(t.shell, "site.test", "", {dir.Path()}); }));
    const std::string waiting = "Waiting for the5.html: another run is using it";
    const auto waits = [&] {
        const std::vector<std::string> log = t.LogTexts();
        return !log.empty() && log.back() == waiting;
    };
    for (int i = 0; i < 500 && !waits(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(waits());
    other.Release();
    t.threads.WaitIdle();
    EXPECT_EQ(t.LogTexts().back(), "Success, server completed request, code 200");
}

TEST(HeaderTools, RunsThatShareTheReplyFileKeepTheirOwnReplies) {
    KORVANE_REQUIRE_TEST_NETWORK();
    // Two large replies written to the1.html at the same time: each run must read its own header.
    ScriptedServer first(ServerScript{"HTTP/1.0 200 OK\r\nX-Run: first\r\n\r\n", 2'000'000});
    ScriptedServer second(
        ServerScript{"HTTP/1.0 200 OK\r\nSet-Cookie: run=second\r\n\r\n", 2'000'000});
    ASSERT_TRUE(first.Started() && second.Started());
    TempDir dir;
    TestShell t;
    t.settings.SetOn(field::DetailFlag, false);
    const WebToolOptions options{dir.Path(), std::chrono::milliseconds(2000)};
    t.busy.Set(BusyFlag::HeaderAndSubmit);
    t.busy.Set(BusyFlag::HeaderCookies);
    ASSERT_TRUE(t.threads.Start(
        [&] { RunHeaderTool(t.shell, HeaderTool::Header, first.Host(), "a", options); }));
    ASSERT_TRUE(t.threads.Start(
        [&] { RunHeaderTool(t.shell, HeaderTool::Cookies, second.Host(), "b", options); }));
    t.threads.WaitIdle();
    EXPECT_THAT(t.desktop.Results(), ElementsAre("HTTP/1.0 200 OK\r\nX-Run: first\r\n\r\n"));
    const std::vector<std::string> lines = t.LogTexts();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "SET-COOKIE: RUN=SECOND "), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "Unable to resolve header."), 0);
}

// ---- Faults on the way: a disk that cannot take a whole reply or report file, a server that
// resets the connection in the middle of its reply, a reply file that cannot be created. Each
// case checks what the user is told and what is left on disk.

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
// ends the reply like a close: what arrived is what the tool works on, and the folder
// verification names the point where the server's copy stopped.
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
         [](Shell& s, const WebToolOptions& o) {
             WebRun web(s);
             CheckLink(s, web, "page2.html", ServerOf("site.test"), o);
         },
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
