#include "net/http.h"

#include "page_tools/referrer.h"
#include "shell/settings_block.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

namespace korvane {
namespace {

std::string HeaderOfLength(std::size_t length) {
    const std::string start = "HTTP/1.1 200 OK\r\nX-Fill: ";
    const std::string end = "\r\n\r\n";
    return start + std::string(length - start.size() - end.size(), 'a') + end;
}

// The replay of the reply-header corpus checks that a header found is the reply's start and ends
// with its blank line; here what decides whether there is one, and the status read from it.
TEST(ReplyHeader, IsFoundWithinTheBufferOnlyWithAStatusLineAndGivesItsCode) {
    const std::string withNul("HTTP/1.1 200 OK\r\nX: a\0b\r\n\r\n\0body", 32);
    struct Case {
        std::string bytes;
        std::size_t headerLength; // 0: no header
        int code;
    };
    const std::vector<Case> cases = {
        {"HTTP/1.1 200 OK\r\n\r\nbody", 19, 0},
        {"HTTP/1.1 200 OK\r\n\r", 0, 0},
        {"HTTP/1.1 200 OK\n\nbody", 0, 0},
        {"Server: x\r\n\r\nbody", 0, 0},
        {withNul, 27, 0},
        {HeaderOfLength(2003) + "body", 2003, 0},
        {HeaderOfLength(2004), 0, 0},
        {"HTTP/1.1 OK\r\n\r\n", 15, 0},
        {"HTTP/1.1 \t 302 Found\r\n\r\n", 24, 302},
        {"HTTP/1.1 301x\r\n\r\n", 17, 301},
        {"HTTP/1.1 -5\r\n\r\n", 15, -5},
        {"junk before HTTP/1.0 500 oops\r\n\r\n", 33, 500},
        {"HTTP/1.1 99999999999999999999\r\n\r\n", 33, INT_MAX},
        {"HTTP/1.", 0, 0},
        {"http/1.1 404\r\n\r\n", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes.substr(0, 40));
        const ReplyHeader header = FindReplyHeader(c.bytes);
        EXPECT_EQ(header.status,
                  c.headerLength == 0 ? HeaderStatus::NoHeader : HeaderStatus::Found);
        EXPECT_EQ(header.text, c.bytes.substr(0, c.headerLength));
        EXPECT_EQ(ParseStatus(c.bytes), c.code);
    }
    // The referrer tool's header ends within 2000 bytes, the last one included.
    EXPECT_EQ(FindReplyHeader(HeaderOfLength(2000), kReferrerHeaderBufferBytes).text.size(), 2000u);
    EXPECT_EQ(FindReplyHeader(HeaderOfLength(2001), kReferrerHeaderBufferBytes).status,
              HeaderStatus::NoHeader);
}

// Where a redirect leads: the Location field in any case, with or without a blank after the colon,
// and only for a 3xx status.
TEST(RedirectLocation, IsTheLocationFieldOfA3xxReplyOnly) {
    struct Case {
        int code;
        std::string header;
        std::optional<std::string> location;
    };
    const std::vector<Case> cases = {
        {301, "HTTP/1.1 301 Moved\r\nLocation: https://a.test/x\r\n\r\n", "https://a.test/x"},
        {302, "HTTP/1.1 302 Found\r\nX-Location: no\r\nlocation:/b \t\r\n\r\n", "/b"},
        {307, "HTTP/1.1 307 Temporary\r\nLOCATION: \t c.html\r\n\r\n", "c.html"},
        {301, "HTTP/1.1 301 Moved\r\nLocation:\r\n\r\n", std::nullopt},
        {200, "HTTP/1.1 200 OK\r\nLocation: /d\r\n\r\n", std::nullopt},
        {304, "HTTP/1.1 304 Not Modified\r\n\r\n", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        EXPECT_EQ(RedirectLocation(c.code, c.header), c.location);
    }
}

// The agents and referrers the whole runs do not send; out-of-range choices fall back.
TEST(ComposeHeaderBlock, FollowsTheIdentifyAsAndReferrerPreferences) {
    struct Case {
        std::int32_t identifyAs;
        std::int32_t referrer;
        std::string block;
    };
    const std::string tail = "\r\nAccept: text/html, */*\r\nHost: site.test\r\n\r\n";
    const std::vector<Case> cases = {
        {1, 1, "\r\nReferer: http://www.google.com\r\nUser-Agent: Mozilla/4.0" + tail},
        {3, 2, "\r\nReferer: http://www.yahoo.com\r\nUser-Agent: Googlebot/1.0" + tail},
        {4, 4, "\r\nReferer: http://ref.test/x\r\nUser-Agent: Agent X/2" + tail},
        {5, 5, "\r\nUser-Agent: Mozilla/5.0" + tail},
        {-1, -3, "\r\nUser-Agent: Mozilla/5.0" + tail},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("identify " + std::to_string(c.identifyAs));
        SettingsBlock settings;
        settings.Set(field::IdentifyAsChoice, c.identifyAs);
        settings.Set(field::ReferrerChoice, c.referrer);
        settings.Set(field::OtherAgent, "Agent X/2");
        settings.Set(field::OtherReferrer, "http://ref.test/x");
        EXPECT_EQ(ComposeHeaderBlock(settings, "site.test"), c.block);
    }
}

} // namespace
} // namespace korvane
