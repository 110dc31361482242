#include "net/http_exchange.h"

#include "shell/settings_block.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <fcntl.h>
#include <future>
#include <thread>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::ScriptedServer;
using test::ServerScript;
using test::TempDir;
using test::TestShell;
using test::WriteWholeFile;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

std::string HeaderOfLength(std::size_t length) {
    const std::string start = "HTTP/1.1 200 OK\r\nX-Fill: ";
    const std::string end = "\r\n\r\n";
    return start + std::string(length - start.size() - end.size(), 'a') + end;
}

// ---- Pure pieces ---------------------------------------------------------------------------

struct HeaderCase {
    const char* name;
    std::string bytes;
    HeaderStatus status;
    std::size_t headerLength;
};

TEST(FindReplyHeader, FindsTheHeaderOnlyWhenItEndsInsideTheBufferAndHasAStatusLine) {
    const std::string withNul("HTTP/1.1 200 OK\r\nX: a\0b\r\n\r\n\0body", 32);
    const std::vector<HeaderCase> cases = {
        {"empty reply", "", HeaderStatus::NoHeader, 0},
        {"status and blank line", "HTTP/1.1 200 OK\r\n\r\nbody", HeaderStatus::Found, 19},
        {"no blank line", "HTTP/1.1 200 OK\r\nServer: x\r\n", HeaderStatus::NoHeader, 0},
        {"cut inside the blank line", "HTTP/1.1 200 OK\r\n\r", HeaderStatus::NoHeader, 0},
        {"blank line of bare line feeds", "HTTP/1.1 200 OK\n\nbody", HeaderStatus::NoHeader, 0},
        {"no status line", "Server: x\r\n\r\nbody", HeaderStatus::NoHeader, 0},
        {"binary bytes in the header", withNul, HeaderStatus::Found, 27},
        {"2003 bytes fit", HeaderOfLength(2003) + "body", HeaderStatus::Found, 2003},
        {"2004 bytes do not", HeaderOfLength(2004), HeaderStatus::NoHeader, 0},
        {"far too long", HeaderOfLength(100000), HeaderStatus::NoHeader, 0},
    };
    for (const HeaderCase& c : cases) {
        const ReplyHeader header = FindReplyHeader(c.bytes);
        EXPECT_EQ(header.status, c.status) << c.name;
        EXPECT_EQ(header.text.size(), c.headerLength) << c.name;
        if (c.status == HeaderStatus::Found) {
            EXPECT_EQ(header.text, c.bytes.substr(0, c.headerLength)) << c.name;
        }
    }
}

TEST(FindReplyHeader, HonoursASmallerBuffer) {
    EXPECT_EQ(FindReplyHeader(HeaderOfLength(1999), 2000).status, HeaderStatus::Found);
    EXPECT_EQ(FindReplyHeader(HeaderOfLength(2000), 2000).status, HeaderStatus::NoHeader);
}

TEST(ReadReplyHeader, ReadsTheHeaderFromTheFileAndReportsAMissingFile) {
    TempDir dir;
    WriteWholeFile(dir.File("the1.html"), "HTTP/1.0 404 Not Found\r\nA: b\r\n\r\n<html>");
    const ReplyHeader header = ReadReplyHeader(dir.File("the1.html"));
    EXPECT_EQ(header.status, HeaderStatus::Found);
    EXPECT_EQ(header.text, "HTTP/1.0 404 Not Found\r\nA: b\r\n\r\n");
    EXPECT_EQ(ReadReplyHeader(dir.File("absent.html")).status, HeaderStatus::NotOpened);
    WriteWholeFile(dir.File("empty.html"), "");
    EXPECT_EQ(ReadReplyHeader(dir.File("empty.html")).status, HeaderStatus::NoHeader);
}

TEST(ParseStatus, ReadsTheCodeAfterTheProtocolAndMaps200ToZero) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"HTTP/1.1 404 Not Found\r\n\r\n", 404},
        {"HTTP/1.0 200 OK\r\n\r\n", 0},
        {"HTTP/1.1 OK\r\n\r\n", 0},
        {"HTTP/1.1 \t 302 Found\r\n\r\n", 302},
        {"HTTP/1.1 301x\r\n\r\n", 301},
        {"HTTP/1.1 -5\r\n\r\n", -5},
        {"junk before HTTP/1.0 500 oops\r\n\r\n", 500},
        {"HTTP/1.1 99999999999999999999\r\n\r\n", INT_MAX},
        {"HTTP/1.", 0},
        {"http/1.1 404\r\n\r\n", 0},
        {"", 0},
    };
    for (const auto& [header, code] : cases)
        EXPECT_EQ(ParseStatus(header), code) << header;
}

TEST(StatusText, HasATextForTheListedCodesOnly) {
    const std::vector<std::pair<int, std::optional<std::string_view>>> cases = {
        {204, "The server has completed the request, but doesn't need to return any data."},
        {301, "Moved."},
        {302, "Moved temporarily."},
        {400, "Bad request."},
        {401, "Request requires authentication."},
        {404, "Not found."},
        {408, "Time out."},
        {500, "Server error."},
        {505, "HTTP version not supported."},
        {601, "Server did not respond before connection timed out."},
        {0, std::nullopt},
        {200, std::nullopt},
        {303, std::nullopt},
        {418, std::nullopt},
    };
    for (const auto& [code, text] : cases)
        EXPECT_EQ(StatusText(code), text) << code;
}

TEST(RequestLine, PutsASlashBeforeThePageAndKeepsItAsTyped) {
    EXPECT_EQ(RequestLine("GET", "index.html"), "GET /index.html HTTP/1.0");
    EXPECT_EQ(RequestLine("GET", "docs/A b.html"), "GET /docs/A b.html HTTP/1.0");
    EXPECT_EQ(RequestLine("HEAD", ""), "HEAD / HTTP/1.0");
}

struct BlockCase {
    std::int32_t identifyAs;
    std::int32_t referrer;
    std::string otherAgent;
    std::string otherReferrer;
    std::string server;
    std::string block;
};

TEST(ComposeHeaderBlock, FollowsTheIdentifyAsAndReferrerPreferences) {
    const std::string tail = "\r\nAccept: text/html, */*\r\nHost: site.test\r\n\r\n";
    const std::vector<BlockCase> cases = {
        {0, 0, "", "", "site.test", "\r\nUser-Agent: Mozilla/5.0" + tail},
        {1, 0, "", "", "site.test", "\r\nUser-Agent: Mozilla/4.0" + tail},
        {2, 0, "", "", "site.test", "\r\nUser-Agent: Korvane" + tail},
        {3, 0, "", "", "site.test", "\r\nUser-Agent: Googlebot/1.0" + tail},
        {4, 0, "mybot", "", "site.test", "\r\nUser-Agent: mybot" + tail},
        {4, 0, "Agent X/2", "", "site.test", "\r\nUser-Agent: Agent X/2" + tail},
        {5, 0, "", "", "site.test", "\r\nUser-Agent: Mozilla/5.0" + tail},
        {-1, 0, "", "", "site.test", "\r\nUser-Agent: Mozilla/5.0" + tail},
        {0, 1, "", "", "site.test",
         "\r\nReferer: http://www.google.com\r\nUser-Agent: Mozilla/5.0" + tail},
        {0, 2, "", "", "site.test",
         "\r\nReferer: http://www.yahoo.com\r\nUser-Agent: Mozilla/5.0" + tail},
        {0, 3, "", "", "site.test",
         "\r\nReferer: http://www.site.test\r\nUser-Agent: Mozilla/5.0" + tail},
        {0, 3, "", "", "www.site.test",
         "\r\nReferer: http://www.www.site.test\r\nUser-Agent: Mozilla/5.0"
         "\r\nAccept: text/html, */*\r\nHost: www.site.test\r\n\r\n"},
        {0, 4, "", "http://ref.test/x", "site.test",
         "\r\nReferer: http://ref.test/x\r\nUser-Agent: Mozilla/5.0" + tail},
        {0, 5, "", "", "site.test", "\r\nUser-Agent: Mozilla/5.0" + tail},
        {0, -3, "", "", "site.test", "\r\nUser-Agent: Mozilla/5.0" + tail},
    };
    for (const BlockCase& c : cases) {
        SettingsBlock settings;
        settings.Set(field::IdentifyAsChoice, c.identifyAs);
        settings.Set(field::ReferrerChoice, c.referrer);
        settings.Set(field::OtherAgent, c.otherAgent);
        settings.Set(field::OtherReferrer, c.otherReferrer);
        EXPECT_EQ(ComposeHeaderBlock(settings, c.server), c.block)
            << "identify " << c.identifyAs << ", referrer " << c.referrer;
    }
}

TEST(ComposeHeaderBlock, TheLongestRequestIsKeptWhole) {
    SettingsBlock settings;
    settings.Set(field::IdentifyAsChoice, 4);
    settings.Set(field::ReferrerChoice, 3);
    settings.Set(field::OtherAgent, std::string(79, 'a'));
    const std::string server(199, 's');
    const std::string request =
        RequestLine("GET", std::string(199, 'p')) + ComposeHeaderBlock(settings, server);
    EXPECT_EQ(request.size(), 762u);
}

// ---- Steps over a socket pair ------------------------------------------------------------

struct SocketPair {
    int ends[2] = {-1, -1};
    SocketPair() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0); }
    ~SocketPair() {
        for (int fd : ends)
            if (fd >= 0)
                ::close(fd);
    }
    void CloseEnd(int i) {
        ::close(ends[i]);
        ends[i] = -1;
    }
};

TEST(ReceiveToFile, CopiesEveryByteInOrderUntilTheServerCloses) {
    TempDir dir;
    SocketPair pair;
    std::string sent;
    for (int i = 0; i < 3000; ++i)
        sent += static_cast<char>(i * 7 % 256);
    std::thread server([&] {
        EXPECT_EQ(::write(pair.ends[1], sent.data(), sent.size()),
                  static_cast<ssize_t>(sent.size()));
        pair.CloseEnd(1);
    });
    FileDescriptor file(::open(dir.File("r").c_str(), O_WRONLY | O_CREAT, 0644));
    const ReceiveResult result = ReceiveToFile(pair.ends[0], file.Get(), kReceiveIdleTimeout);
    server.join();
    file.Close();
    EXPECT_EQ(result.bytes, sent.size());
    EXPECT_EQ(result.timedOut, false);
    EXPECT_EQ(ReadWholeFile(dir.File("r")), sent);
}

TEST(ReceiveToFile, EndsAfterTheIdleTimeWhenTheServerNeitherSendsNorCloses) {
    TempDir dir;
    SocketPair pair;
    ASSERT_EQ(::write(pair.ends[1], "HTTP/1.0", 8), 8);
    FileDescriptor file(::open(dir.File("r").c_str(), O_WRONLY | O_CREAT, 0644));
    const auto start = std::chrono::steady_clock::now();
    const ReceiveResult result =
        ReceiveToFile(pair.ends[0], file.Get(), std::chrono::milliseconds(150));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.timedOut, true);
    EXPECT_EQ(result.bytes, 8u);
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_EQ(ReadWholeFile(dir.File("r")), "HTTP/1.0");
}

TEST(SendRequestOrReport, ReportsTheErrorCodeAndAlertsWhenThePeerIsGone) {
    TestShell t;
    SocketPair pair;
    pair.CloseEnd(1);
    EXPECT_EQ(SendRequestOrReport(t.shell, pair.ends[0], "GET / HTTP/1.0\r\n\r\n"), false);
    EXPECT_THAT(t.LogTexts(), ElementsAre("Send error #" + std::to_string(EPIPE) + "."));
    EXPECT_EQ(t.desktop.Sounds(), 1);
}

TEST(ReplyFileHold, KeepsASecondRunOfTheSameFileWaitingUntilTheFirstReleases) {
    ReplyFileLocks locks;
    ReplyFileHold first(locks, "/tmp/hold-test/the1.html");
    std::atomic<bool> secondHeld = false;
    std::thread second([&] {
        ReplyFileHold hold(locks, "/tmp/hold-test/the1.html");
        secondHeld = true;
    });
    // Another name is free meanwhile.
    ReplyFileHold other(locks, "/tmp/hold-test/the5.html");
    EXPECT_EQ(other.Holds(), true);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(secondHeld.load(), false);
    first.Release();
    second.join();
    EXPECT_EQ(secondHeld.load(), true);
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
