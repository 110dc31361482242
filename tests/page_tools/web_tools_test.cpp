// The web page tools over real and scripted servers: the exchange itself, the header tools, the
// page check, the referrer variance and the link listing, each run as a user starts it.

#include "page_tools/exchange_wording.h"
#include "page_tools/links.h"
#include "page_tools/page_check.h"
#include "page_tools/referrer.h"
#include "page_tools/server_header.h"

#include "shell/settings_block.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cerrno>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::ScriptedServer;
using test::ServerScript;
using test::TempDir;
using test::TestShell;
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
    };
    const std::vector<Case> cases = {
        {"binary body", {binary}, binary, binary.size()},
        {"closed without a byte", {"", 0, ServerScript::Then::Close, false}, "", 0},
        {"reset mid-reply", {start, 0, ServerScript::Then::Reset, true}, start, start.size()},
        {"never closes", {start, 0, ServerScript::Then::HoldOpen, true}, start, start.size()},
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
        request.requestLine = RequestLine("GET", request.page);
        request.replyFile = "the1.html";
        request.folder = dir.Path();
        request.idleTimeout = std::chrono::milliseconds(300);
        const ExchangeResult result = HttpExchange(t.shell, request);
        EXPECT_EQ(result.outcome, ExchangeOutcome::Stored);
        EXPECT_EQ(result.hold.Holds(), true);
        const std::string reply = ReadWholeFile(dir.File("the1.html"));
        EXPECT_EQ(reply.size(), c.size);
        EXPECT_EQ(reply.substr(0, c.stored.size()), c.stored);
        EXPECT_THAT(t.LogTexts(), ElementsAre("Initialized: Running", "Resolving server",
                                              "Sent request.", "Reply received.", "  "));
        EXPECT_EQ(t.desktop.Sounds(), 0);
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
    TestShell page;
    RunThroughDialog(page, HeaderCookiesCommand, server.Host(), "docs/a.html", dir);
    EXPECT_THAT(server.Requests(), ElementsAre("HEAD / HTTP/1.0" + block, "GET / HTTP/1.0" + block,
                                               "GET /docs/a.html HTTP/1.0" + block));
    EXPECT_THAT(header.LogTexts(), ElementsAre("  ", "Server page header: ", "Initialized: Running",
                                               "Resolving server", "Sent request for default page.",
                                               "Reply received.", "  "));
    EXPECT_THAT(cookies.LogTexts(),
                ElementsAre("  ", "Header cookies: ", "Initialized: Running", "Resolving server",
                            "Sent request.", "Reply received.", "SET-COOKIE: X=1 ", "  ",
                            "Finished."));
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

// The page tools through their dialogs: what each logs and shows of real and broken replies,
// what it remembers, and that it leaves its busy flag clear.
TEST(WebTools, EachToolLogsAndShowsWhatTheReplyHoldsAndClearsItsFlag) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer tiny(ServerScript{"HTTP/1.0 200 OK\r\nServer: tiny\r\n\r\nbody"});
    ScriptedServer noBlankLine(ServerScript{"HTTP/1.0 200 OK\r\nServer: x\r\n"});
    ScriptedServer holdsOpen(ServerScript{"HTTP/1.0 200 OK\r\n", 0, ServerScript::Then::HoldOpen});
    ScriptedServer slotTwoMissing(std::vector<ServerScript>{
        {Reply("a", "x")}, {Reply("b", "x")}, {"HTTP/1.0 404 Not Found\r\n\r\n"}});
    ScriptedServer unreferredMoved(ServerScript{"HTTP/1.0 301 Moved\r\n\r\n"});
    ScriptedServer slotOneNoHeader(
        std::vector<ServerScript>{{Reply("a", "x")}, {"garbage without header"}});
    ScriptedServer linksNoHeader(ServerScript{"<html>href=\"a.html\"</html>"});
    ASSERT_TRUE(tiny.Started() && noBlankLine.Started() && holdsOpen.Started() &&
                slotTwoMissing.Started() && unreferredMoved.Started() &&
                slotOneNoHeader.Started() && linksNoHeader.Started());
    const Command header = ServerPageHeaderCommand;
    const Command ipv6 = ServerPageHeaderIPv6Command;
    const Command cookies = HeaderCookiesCommand;
    const Command check = CheckPageCommand;
    const Command referrer = ReferrerCommand;
    const Command links = [](Shell& s, const WebToolOptions& o) {
        LinksCommand(s, LinkMode::All, o);
    };
    const Command local = [](Shell& s, const WebToolOptions& o) {
        LinksCommand(s, LinkMode::Local, o);
    };
    const Command external = [](Shell& s, const WebToolOptions& o) {
        LinksCommand(s, LinkMode::External, o);
    };
    const Command broken = [](Shell& s, const WebToolOptions& o) {
        LinksCommand(s, LinkMode::Broken, o);
    };
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
        {header,
         "site.test",
         "missing.html",
         {"  ", "Server page header: missing.html", "Reply received.", "  "},
         0,
         "HTTP/1.1 404 Not Found\r\n"},
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
        {check,
         "site.test",
         "index.html",
         {"  ", "Page check", "Initialized: Running", "Resolving server", "Sent request.",
          "Reply received.", "  ", ok},
         0,
         "",
         true},
        {check, "site.test", "missing.html",
         checked({"Not found.", "File is not available. Server code: 404"}), 1},
        // A code without a text of its own; the texts of the other codes are the exchange's.
        {check, "site.test", "teapot.html", checked({"File is not available. Server code: 418"}),
         1},
        {check, noBlankLine.Host(), "", checked({"Unable to resolve header."}), 1},
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
        // The "Other" referrer as set in the preferences.
        {referrer, "site.test", "index.html",
         verified("site.test",
                  {"No referrer variance: Google.com", "No referrer variance: Yahoo.com",
                   "No referrer variance: site.test", "No referrer variance: http://ref.test/"}),
         0},
        {referrer, slotTwoMissing.Host(), "p.html",
         verified(slotTwoMissing.Host(), {"No referrer variance: Google.com", "Not found.",
                                          "File is not available. Server code: 404 (referrer: 2)"}),
         1},
        {referrer, unreferredMoved.Host(), "p.html",
         verified(unreferredMoved.Host(), {"Moved.", "File is not available. Server code: 301"}),
         1},
        {referrer, holdsOpen.Host(), "p.html",
         verified(holdsOpen.Host(), {"Unable to resolve header: p.html"}), 1},
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
    EXPECT_EQ(noBlankLine.Requests().back(),
              "HEAD / HTTP/1.0\r\nUser-Agent: Mozilla/5.0\r\nAccept: text/html, */*\r\nHost: " +
                  noBlankLine.Host() + "\r\n\r\n");
    // A referrer run stops at its first failure.
    EXPECT_EQ(slotTwoMissing.Requests().size(), 3u);
    EXPECT_EQ(unreferredMoved.Requests().size(), 1u);
    EXPECT_EQ(slotOneNoHeader.Requests().size(), 2u);
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

} // namespace
} // namespace korvane
