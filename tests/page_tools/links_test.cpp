#include "page_tools/links.h"

#include "shell/settings_block.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace korvane {
namespace {

using test::ScriptedServer;
using test::ServerScript;
using test::TempDir;
using test::TestShell;
using ::testing::ElementsAre;

std::vector<std::string> Scan(std::string_view body, std::size_t piece) {
    LinkScanner scanner;
    std::vector<std::string> targets;
    for (std::size_t at = 0; at < body.size(); at += piece)
        scanner.Feed(body.substr(at, piece),
                     [&](std::string_view target) { targets.emplace_back(target); });
    return targets;
}

// The replay of the link-scan corpus checks that every target is a piece of the page; here which
// pieces are targets, fed whole and a byte at a time.
TEST(LinkScanner, FindsTargetsByTheKeywordAndQuoteRules) {
    struct Case {
        std::string body;
        std::vector<std::string> targets;
    };
    const std::vector<Case> cases = {
        {"<a href=page.html>Next</a> more", {"page.html>Next</a>"}},
        {"<a href =\"x.html\">", {}},
        {"hhref=\"a\" ahref=\"b\" xhref=c ", {"b", "c"}},
        {"href= x\"", {" x"}},
        {"href=\"a' href=''", {"a", ""}},
        {"<link HrEf=\"style.css\"> plain text href=\"t\"", {"style.css", "t"}},
        {"href=\"" + std::string(250, 'x') + "\" href=\"y\"", {std::string(198, 'x'), "y"}},
        {"href=\"unfinished", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Scan(c.body, c.body.size() + 1), c.targets) << c.body;
        EXPECT_EQ(Scan(c.body, 1), c.targets) << c.body;
    }
}

TEST(Links, BrokenChecksSendHeadForTheTargetAndReportEachFailure) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer linked(std::vector<ServerScript>{
        {"HTTP/1.0 200 OK\r\n\r\n"},
        {"HTTP/1.0 500 Oops\r\n\r\n"},
        {"HTTP/1.0 418 Teapot\r\n\r\n"},
        {"HTTP/1.0 302 Found\r\n\r\n"},
        {"no header at all"},
    });
    ASSERT_TRUE(linked.Started());
    const std::string l = linked.Host();
    ScriptedServer page(ServerScript{
        "HTTP/1.0 200 OK\r\n\r\n<a href=\"about.html\"> <a href=\"/about.html\"> href='http://" +
        l + "/x' href='http://" + l + "/y' href='http://" + l + "/z' href='http://" + l +
        "/v' href='http://" + l +
        "/w' href=\"http://ab/\" href=\"#\" href=\"mailto:a@b\" href=\"ab\" "
        "href=\"page.html?t=10:30\" "
        "href=\"http://nosuch.test/q\" href=\"http://refused.test/\""});
    ASSERT_TRUE(page.Started());
    const std::string p = page.Host();
    TempDir dir;
    TestShell t;
    t.settings.SetOn(field::DetailFlag, false);
    RunLinks(t.shell, LinkMode::Broken, p, "", {dir.Path(), std::chrono::milliseconds(2000)});
    EXPECT_THAT(t.LogTexts(),
                ElementsAre("Reply received, checking links", "    ", l + ", y, Server code: 500",
                            "Server error.", "    ", l + ", z, Server code: 418", "    ",
                            "Unable to resolve header: " + l, "ab, ", "Unable to resolve ab",
                            "    ", "ab", "Improper url", "    ", "page.html?t=10:30",
                            "Improper url", "    ", "nosuch.test, q",
                            "Unable to resolve nosuch.test", "    ",
                            "Connect error refused.test, #111.", "    ", "Scan complete"));
    EXPECT_EQ(t.desktop.Sounds(), 6);
    const std::string block =
        "\r\nUser-Agent: Mozilla/5.0\r\nAccept: text/html, */*\r\nHost: " + p + "\r\n\r\n";
    EXPECT_THAT(page.Requests(),
                ElementsAre("GET / HTTP/1.0" + block, "HEAD /about.html HTTP/1.0" + block,
                            "HEAD //about.html HTTP/1.0" + block));
    EXPECT_EQ(linked.Requests().at(0),
              "HEAD /x HTTP/1.0\r\nUser-Agent: Mozilla/5.0\r\nAccept: text/html, */*\r\nHost: " +
                  l + "\r\n\r\n");
}

} // namespace
} // namespace korvane
