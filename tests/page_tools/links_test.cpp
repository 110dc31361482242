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

TEST(LinkScanner, FindsTargetsByTheKeywordAndQuoteRules) {
    const std::string longTarget(250, 'x');
    struct Case {
        std::string body;
        std::vector<std::string> targets;
    };
    const std::vector<Case> cases = {
        {"<a href=\"page2.html\">2</a> <A HREF='http://host/x'>x</A>",
         {"page2.html", "http://host/x"}},
        {"<a href=page.html>Next</a> more", {"page.html>Next</a>"}},
        {"<a href=a.html\tb\r\nc'", {"a.html\tb\r\nc"}},
        {"<a href =\"x.html\">", {}},
        {"hhref=\"a\" ahref=\"b\" xhref=c ", {"b", "c"}},
        {"href= x\"", {" x"}},
        {"href=\"a' href=''", {"a", ""}},
        {"<link HrEf=\"style.css\"> plain text href=\"t\"", {"style.css", "t"}},
        {"href=\"" + longTarget + "\" href=\"y\"", {std::string(198, 'x'), "y"}},
        {"href=\"unfinished", {}},
        {"href=", {}},
        {std::string("href=\"a\0b\"", 10), {std::string("a\0b", 3)}},
        {"no links at all", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Scan(c.body, c.body.size() + 1), c.targets) << c.body;
        // Fed a byte at a time the scan finds the same.
        EXPECT_EQ(Scan(c.body, 1), c.targets) << c.body;
    }
}

TEST(ShowsTarget, SortsTargetsIntoLocalAndExternal) {
    const std::vector<std::tuple<std::string, bool, bool>> cases = {
        {"page2.html", true, false},    {"http://host/x", false, true},
        {"HTTPS://host", false, true},  {"mailto:a@b", true, false},
        {"#top", true, false},          {"htt", true, false},
        {"javascript:x()", true, false}};
    for (const auto& [target, local, external] : cases) {
        EXPECT_EQ(ShowsTarget(LinkMode::All, target), true) << target;
        EXPECT_EQ(ShowsTarget(LinkMode::Local, target), local) << target;
        EXPECT_EQ(ShowsTarget(LinkMode::External, target), external) << target;
    }
}

TEST(ClassifyTarget, SplitsHostAndPathOrRefusesImproperTargets) {
    using Kind = LinkTarget::Kind;
    const std::vector<std::tuple<std::string, Kind, std::string, std::string>> cases = {
        {"#", Kind::Skip, "", ""},
        {"ab", Kind::Improper, "", ""},
        {"mailto:a@b.test", Kind::Skip, "", ""},
        {"MAILto:a@b.test", Kind::Skip, "", ""},
        {"http://ab", Kind::Improper, "", ""},
        {"page.html?t=10:30", Kind::Improper, "", ""},
        {"x:/abcdefgh", Kind::Improper, "", ""},
        {"about.html", Kind::Check, "site.test", "about.html"},
        {"/about.html", Kind::Check, "site.test", "/about.html"},
        {"../up.html", Kind::Check, "site.test", "../up.html"},
        {"http://other.test/a/b.html", Kind::Check, "other.test", "a/b.html"},
        {"https://other.test", Kind::Check, "other.test", ""},
        {"ftp://files.test/f", Kind::Check, "files.test", "f"},
        // A control character would put lines of the page's own into the request.
        {"page.html>\r\nHost: other.test", Kind::Improper, "", ""},
        {"http://other.test/a\nX: y", Kind::Improper, "", ""},
        {"tab\there.html", Kind::Improper, "", ""},
        {std::string("nul\0.html", 9), Kind::Improper, "", ""},
    };
    for (const auto& [target, kind, host, path] : cases) {
        const LinkTarget link = ClassifyTarget(target, "site.test");
        EXPECT_EQ(link.kind, kind) << target;
        EXPECT_EQ(link.host, host) << target;
        EXPECT_EQ(link.path, path) << target;
    }
}

TEST(LinksCommand, AnEmptyServerEndsSilentlyButIsRemembered) {
    TestShell t;
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("Page").text, "index.html");
        form.Field("Server").text = "";
        form.Field("Page").text = "a.html";
        return kFormAccepted;
    });
    LinksCommand(t.shell, LinkMode::All);
    t.threads.WaitIdle();
    EXPECT_THAT(t.LogTexts(), ElementsAre());
    EXPECT_EQ(t.settings.Get(field::SecondField(DialogSlot::Links)), "a.html");
}

const std::vector<std::string> kIndexAll = {"page2.html", "http://site.test/docs/a.html",
                                            "missing.html"};

TEST(Links, ListTheTargetsOfARealPageInEachMode) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TempDir dir;
    const WebToolOptions options{dir.Path(), std::chrono::milliseconds(2000)};
    {
        TestShell t;
        t.desktop.AnswerForm([](Form& form) {
            form.Field("Server").text = "site.test";
            form.Field("Page").text = "index.html";
            return kFormAccepted;
        });
        LinksCommand(t.shell, LinkMode::All, options);
        t.threads.WaitIdle();
        EXPECT_THAT(t.LogTexts(),
                    ElementsAre("  ", "Links: site.test, index.html", "Initialized: Running",
                                "Sent request for: index.html", "Reply received", "    ",
                                kIndexAll[0], kIndexAll[1], kIndexAll[2], "Scan complete"));
    }
    const std::vector<std::pair<LinkMode, std::vector<std::string>>> modes = {
        {LinkMode::Local, {"page2.html", "missing.html"}},
        {LinkMode::External, {"http://site.test/docs/a.html"}},
    };
    for (const auto& [mode, targets] : modes) {
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        RunLinks(t.shell, mode, "site.test", "", options);
        std::vector<std::string> expected = {"Reply received", "    "};
        expected.insert(expected.end(), targets.begin(), targets.end());
        expected.push_back("Scan complete");
        EXPECT_EQ(t.LogTexts(), expected);
    }
}

TEST(Links, BrokenModeReportsOnlyTheMissingTarget) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TempDir dir;
    TestShell t;
    t.settings.SetOn(field::DetailFlag, false);
    RunLinks(t.shell, LinkMode::Broken, "site.test", "index.html",
             {dir.Path(), std::chrono::milliseconds(2000)});
    EXPECT_THAT(t.LogTexts(), ElementsAre("Reply received, checking links", "    ",
                                          "site.test, missing.html, Server code: 404", "Not found.",
                                          "    ", "Scan complete"));
    EXPECT_EQ(t.desktop.Sounds(), 1);
    EXPECT_THAT(t.desktop.Captions(), ElementsAre(kIndexAll[0], "KORVANE", kIndexAll[1], "KORVANE",
                                                  kIndexAll[2], "KORVANE"));
}

TEST(Links, BrokenChecksSendHeadForTheTargetAndReportEachFailure) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer linked(std::vector<ServerScript>{
        {"HTTP/1.0 200 OK\r\n\r\n"},
        {"HTTP/1.0 500 Oops\r\n\r\n"},
        {"HTTP/1.0 418 Teapot\r\n\r\n"},
        {"no header at all"},
    });
    ASSERT_TRUE(linked.Started());
    const std::string l = linked.Host();
    ScriptedServer page(ServerScript{
        "HTTP/1.0 200 OK\r\n\r\n<a href=\"about.html\"> <a href=\"/about.html\"> href='http://" +
        l + "/x' href='http://" + l + "/y' href='http://" + l + "/z' href='http://" + l +
        "/w' href=\"#\" href=\"mailto:a@b\" href=\"ab\" href=\"page.html?t=10:30\" "
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
                            "Unable to resolve header: " + l, "ab", "Improper url", "    ",
                            "page.html?t=10:30", "Improper url", "    ", "nosuch.test, q",
                            "Unable to resolve nosuch.test", "    ",
                            "Connect error refused.test, #111.", "    ", "Scan complete"));
    EXPECT_EQ(t.desktop.Sounds(), 5);
    const std::string block =
        "\r\nUser-Agent: Mozilla/5.0\r\nAccept: text/html, */*\r\nHost: " + p + "\r\n\r\n";
    EXPECT_THAT(page.Requests(),
                ElementsAre("GET / HTTP/1.0" + block, "HEAD /about.html HTTP/1.0" + block,
                            "HEAD //about.html HTTP/1.0" + block));
    EXPECT_EQ(linked.Requests().at(0),
              "HEAD /x HTTP/1.0\r\nUser-Agent: Mozilla/5.0\r\nAccept: text/html, */*\r\nHost: " +
                  l + "\r\n\r\n");
}

TEST(Links, AFailedPageRequestEndsBeforeTheScan) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer noHeader(ServerScript{"<html>href=\"a.html\"</html>"});
    ASSERT_TRUE(noHeader.Started());
    TempDir dir;
    const WebToolOptions options{dir.Path(), std::chrono::milliseconds(2000)};
    const std::vector<std::tuple<std::string, std::string, std::vector<std::string>>> cases = {
        {"site.test",
         "missing.html",
         {"Reply received", "    ", "Not found.", "File is not available. Server code: 404"}},
        {noHeader.Host(), "p.html", {"Reply received", "    ", "Unable to resolve header: p.html"}},
        {"site.test", "page2.html", {"Reply received", "    ", "Scan complete"}},
        {"nosuch.test", "", {"Unable to translate host nosuch.test"}},
    };
    for (const auto& [server, pageName, lines] : cases) {
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        RunLinks(t.shell, LinkMode::All, server, pageName, options);
        EXPECT_EQ(t.LogTexts(), lines) << server << "/" << pageName;
    }
    TestShell t;
    t.settings.SetOn(field::DetailFlag, false);
    RunLinks(t.shell, LinkMode::All, "site.test", "", {dir.File("absent"), kReceiveIdleTimeout});
    EXPECT_THAT(t.desktop.Messages(),
                ElementsAre(test::ShownMessage{"Data file: the4.html.", "Fatal error"}));
}

TEST(Links, AReplyFileThatCannotBeCreatedForALinkIsAFatalFileError) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TestShell t;
    TempDir dir;
    CheckLink(t.shell, "page2.html", "site.test", {dir.File("absent"), kReceiveIdleTimeout});
    EXPECT_THAT(t.desktop.Messages(),
                ElementsAre(test::ShownMessage{"Data file: the5.html.", "Fatal file error"}));
    EXPECT_THAT(t.LogTexts(), ElementsAre());
}

} // namespace
} // namespace korvane
