#include "page_tools/exchange_wording.h"

#include "shell/settings_block.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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
using ::testing::ElementsAreArray;

TEST(SendRequestOrReport, ReportsTheErrorCodeAndAlertsWhenThePeerIsGone) {
    TestShell t;
    std::array<FileDescriptor, 2> ends = test::SocketPair();
    ends[1].Close();
    SocketStream stream(std::move(ends[0]));
    EXPECT_EQ(SendRequestOrReport(t.shell, stream, "GET / HTTP/1.0\r\n\r\n"), false);
    EXPECT_THAT(t.LogTexts(), ElementsAre("Send error #" + std::to_string(EPIPE) + "."));
    EXPECT_EQ(t.desktop.Sounds(), 1);
}
// ---- The whole exchange against real peers -----------------------------------------------

ExchangeRequest RequestFor(const std::string& server, const std::string& page, const TempDir& dir) {
    ExchangeRequest request;
    request.server = server;
    request.page = page;
    request.requestLine = RequestLine(page.empty() ? "HEAD" : "GET", page);
    request.replyFile = "the1.html";
    request.folder = dir.Path();
    request.idleTimeout = std::chrono::milliseconds(2000);
    return request;
}

TEST(HttpExchange, SendsTheComposedRequestAndStoresTheReplyUnchanged) {
    KORVANE_REQUIRE_TEST_NETWORK();
    const std::string reply =
        std::string("HTTP/1.0 200 OK\r\nServer: s\r\n\r\n\0\x01\xff body", 37);
    ScriptedServer server(ServerScript{reply});
    ASSERT_TRUE(server.Started());
    TestShell t;
    t.settings.Set(field::IdentifyAsChoice, 2);
    t.settings.Set(field::ReferrerChoice, 3);
    TempDir dir;
    const ExchangeResult result =
        HttpExchange(t.shell, RequestFor(server.Host(), "a b/Index.HTML", dir));
    EXPECT_EQ(result.outcome, ExchangeOutcome::Stored);
    EXPECT_EQ(result.hold.Holds(), true);
    EXPECT_THAT(server.Requests(),
                ElementsAre("GET /a b/Index.HTML HTTP/1.0\r\nReferer: http://www." + server.Host() +
                            "\r\nUser-Agent: Korvane\r\nAccept: text/html, */*" +
                            "\r\nHost: " + server.Host() + "\r\n\r\n"));
    EXPECT_EQ(ReadWholeFile(dir.File("the1.html")), reply);
    EXPECT_THAT(t.LogTexts(), ElementsAre("Initialized: Running", "Resolving server",
                                          "Sent request.", "Reply received.", "  "));
    EXPECT_EQ(t.desktop.Sounds(), 0);
}

TEST(HttpExchange, DetailLinesFollowTheVerbosePreference) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer server(ServerScript{"HTTP/1.0 200 OK\r\n\r\n"});
    ASSERT_TRUE(server.Started());
    TempDir dir;
    for (const bool verbose : {true, false}) {
        TestShell t;
        t.settings.SetOn(field::DetailFlag, verbose);
        HttpExchange(t.shell, RequestFor(server.Host(), "", dir));
        const std::vector<std::string> expected =
            verbose ? std::vector<std::string>{"Initialized: Running", "Resolving server",
                                               "Sent request for default page.", "Reply received.",
                                               "  "}
                    : std::vector<std::string>{"Reply received.", "  "};
        EXPECT_EQ(t.LogTexts(), expected);
    }
    EXPECT_EQ(server.Requests().at(0).substr(0, 17), "HEAD / HTTP/1.0\r\n");
}

TEST(HttpExchange, ReportsEachFailureWithItsLinesAndAlert) {
    KORVANE_REQUIRE_TEST_NETWORK();
    struct Case {
        std::string server;
        AddressFamily family;
        ExchangeOutcome outcome;
        std::vector<std::string> lines;
        int sounds;
    };
    const std::vector<Case> cases = {
        {"nosuch.test",
         AddressFamily::IPv4,
         ExchangeOutcome::NotResolved,
         {"Unable to translate host nosuch.test"},
         1},
        {"", AddressFamily::IPv4, ExchangeOutcome::NotResolved, {"Unable to translate host "}, 1},
        {"site.test",
         AddressFamily::IPv6,
         ExchangeOutcome::NotResolved,
         {"Unable to translate host site.test"},
         1},
        {"refused.test",
         AddressFamily::IPv4,
         ExchangeOutcome::NotConnected,
         {"Unable to connect: refused.test", "Unable to communicate: refused.test", "  "},
         0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        ExchangeRequest request = RequestFor(c.server, "index.html", dir);
        request.family = c.family;
        const ExchangeResult result = HttpExchange(t.shell, request);
        EXPECT_EQ(result.outcome, c.outcome) << c.server;
        EXPECT_THAT(t.LogTexts(), ElementsAreArray(c.lines)) << c.server;
        EXPECT_EQ(t.desktop.Sounds(), c.sounds) << c.server;
        EXPECT_EQ(result.hold.Holds(), false);
    }
}

TEST(HttpExchange, TriesTheNextAddressWhenTheFirstRefuses) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TestShell t;
    t.settings.SetOn(field::DetailFlag, false);
    TempDir dir;
    const ExchangeResult result = HttpExchange(t.shell, RequestFor("twoaddr.test", "", dir));
    EXPECT_EQ(result.outcome, ExchangeOutcome::Stored);
    EXPECT_THAT(t.LogTexts(),
                ElementsAre("Unable to connect: twoaddr.test", "Reply received.", "  "));
    // nginx answers an HTTP/1.0 request with its own protocol version and closes.
    EXPECT_EQ(ReadWholeFile(dir.File("the1.html")).substr(0, 17), "HTTP/1.1 200 OK\r\n");
}

TEST(HttpExchange, AsksForIPv6AddressesOnlyWhenTold) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TestShell t;
    TempDir dir;
    ExchangeRequest request = RequestFor("v6.test", "page2.html", dir);
    request.family = AddressFamily::IPv6;
    EXPECT_EQ(HttpExchange(t.shell, request).outcome, ExchangeOutcome::Stored);
    const std::string reply = ReadWholeFile(dir.File("the1.html"));
    EXPECT_EQ(ReplyHeader{FindReplyHeader(reply)}.status, HeaderStatus::Found);
    EXPECT_EQ(reply.substr(reply.size() - 8), "</html>\n");

    TestShell v4;
    request.family = AddressFamily::IPv4;
    EXPECT_EQ(HttpExchange(v4.shell, request).outcome, ExchangeOutcome::NotResolved);
}

TEST(HttpExchange, AReplyFileThatCannotBeCreatedIsReportedAsTheWordingSays) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer server(ServerScript{"HTTP/1.0 200 OK\r\n\r\n"});
    ASSERT_TRUE(server.Started());
    TempDir dir;
    ExchangeRequest request = RequestFor(server.Host(), "x.html", dir);
    request.folder = dir.File("no-such-folder");
    for (const ReplyFileFailure failure :
         {ReplyFileFailure::LogLine, ReplyFileFailure::FatalMessage, ReplyFileFailure::Silent}) {
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        ExchangeWording wording;
        wording.replyFileFailure = failure;
        const ExchangeResult result = HttpExchange(t.shell, request, wording);
        EXPECT_EQ(result.outcome, ExchangeOutcome::ReplyFileNotCreated);
        EXPECT_EQ(result.hold.Holds(), false);
        EXPECT_EQ(t.desktop.Sounds(), 0);
        const auto lines = failure == ReplyFileFailure::LogLine
                               ? std::vector<std::string>{"Data file: the1.html."}
                               : std::vector<std::string>{};
        EXPECT_EQ(t.LogTexts(), lines);
        const auto messages =
            failure == ReplyFileFailure::FatalMessage
                ? std::vector<test::ShownMessage>{{"Data file: the1.html.", "Fatal error"}}
                : std::vector<test::ShownMessage>{};
        EXPECT_EQ(t.desktop.Messages(), messages);
    }
}

TEST(HttpExchange, HostileRepliesEndTheReceiveAndKeepWhatArrived) {
    KORVANE_REQUIRE_TEST_NETWORK();
    const std::string start = "HTTP/1.0 200 OK\r\n\r\npartial";
    struct Case {
        const char* name;
        ServerScript script;
        std::uint64_t size;
    };
    const std::vector<Case> cases = {
        {"closed without a byte", {"", 0, ServerScript::Then::Close, false}, 0},
        {"reset mid-reply", {start, 0, ServerScript::Then::Reset, true}, start.size()},
        {"never closes", {start, 0, ServerScript::Then::HoldOpen, true}, start.size()},
        {"large body",
         {start, 3'000'000, ServerScript::Then::Close, true},
         start.size() + 3'000'000},
    };
    for (const Case& c : cases) {
        ScriptedServer server(c.script);
        ASSERT_TRUE(server.Started());
        TestShell t;
        TempDir dir;
        ExchangeRequest request = RequestFor(server.Host(), "p.html", dir);
        request.idleTimeout = std::chrono::milliseconds(300);
        const ExchangeResult result = HttpExchange(t.shell, request);
        EXPECT_EQ(result.outcome, ExchangeOutcome::Stored) << c.name;
        EXPECT_EQ(ReadWholeFile(dir.File("the1.html")).size(), c.size) << c.name;
    }
}

} // namespace
} // namespace korvane
