#include "net/http.h"

#include "shell/settings_block.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <climits>
#include <thread>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::TempDir;
using test::WriteWholeFile;

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

// ---- The reply over a socket pair ---------------------------------------------------------

TEST(ReceiveToFile, CopiesEveryByteInOrderUntilTheServerCloses) {
    TempDir dir;
    std::array<FileDescriptor, 2> ends = test::SocketPair();
    std::string sent;
    for (int i = 0; i < 3000; ++i)
        sent += static_cast<char>(i * 7 % 256);
    std::thread server([&] {
        EXPECT_TRUE(WriteAll(ends[1].Get(), sent.data(), sent.size()));
        ends[1].Close();
    });
    FileDescriptor file(::open(dir.File("r").c_str(), O_WRONLY | O_CREAT, 0644));
    SocketStream stream(std::move(ends[0]));
    const ReceiveResult result = ReceiveToFile(stream, file.Get(), kReceiveIdleTimeout);
    server.join();
    file.Close();
    EXPECT_EQ(result.bytes, sent.size());
    EXPECT_EQ(result.timedOut, false);
    EXPECT_EQ(ReadWholeFile(dir.File("r")), sent);
}

TEST(ReceiveToFile, EndsAfterTheIdleTimeWhenTheServerNeitherSendsNorCloses) {
    TempDir dir;
    std::array<FileDescriptor, 2> ends = test::SocketPair();
    ASSERT_TRUE(WriteAll(ends[1].Get(), "HTTP/1.0", 8));
    FileDescriptor file(::open(dir.File("r").c_str(), O_WRONLY | O_CREAT, 0644));
    const auto start = std::chrono::steady_clock::now();
    SocketStream stream(std::move(ends[0]));
    const ReceiveResult result = ReceiveToFile(stream, file.Get(), std::chrono::milliseconds(150));
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(result.timedOut, true);
    EXPECT_EQ(result.bytes, 8u);
    EXPECT_GE(waited, std::chrono::milliseconds(150));
    EXPECT_LT(waited, std::chrono::seconds(5));
    EXPECT_EQ(ReadWholeFile(dir.File("r")), "HTTP/1.0");
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

} // namespace
} // namespace korvane
