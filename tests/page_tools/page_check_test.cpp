#include "page_tools/page_check.h"

#include "page_tools/links.h"
#include "page_tools/referrer.h"
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
using test::ShownMessage;
using test::TempDir;
using test::TestShell;
using ::testing::ElementsAre;

const TextField kServer = field::ServerField(DialogSlot::CheckPage);
const TextField kPage = field::SecondField(DialogSlot::CheckPage);

TEST(CheckPageCommand, OffersIndexHtmlWhenNoPageIsRememberedAndCancelStoresNothing) {
    TestShell t;
    t.settings.Set(kServer, "old.test");
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "Check page");
        EXPECT_EQ(form.Field("Server").text, "old.test");
        EXPECT_EQ(form.Field("Page").text, "index.html");
        form.Field("Server").text = "new.test";
        return kFormCancelled;
    });
    CheckPageCommand(t.shell);
    EXPECT_EQ(t.settings.Get(kServer), "old.test");
    EXPECT_THAT(t.LogTexts(), ElementsAre());
    t.settings.Set(kPage, "Docs/A.html");
    EXPECT_EQ(CheckPageForm(t.settings).Field("Page").text, "Docs/A.html");
}

// The lines after the request was sent and the reply received.
std::vector<std::string> Replied(std::vector<std::string> tail) {
    tail.insert(tail.begin(), {"  ", "Page check", "Sent request.", "Reply received."});
    return tail;
}

TEST(PageCheck, ReportsTheStatusOfRealPages) {
    KORVANE_REQUIRE_TEST_NETWORK();
    struct Case {
        std::string server;
        std::string page;
        bool verbose;
        std::vector<std::string> lines;
        int sounds;
    };
    const std::string ok = "Success, server completed request, code 200";
    const std::vector<Case> cases = {
        {"site.test",
         "index.html",
         true,
         {"  ", "Page check", "Initialized: Running", "Resolving server", "Sent request.",
          "Reply received.", "  ", ok},
         0},
        {"site.test", "index.html", false, Replied({ok}), 0},
        {"site.test", "", false, Replied({ok}), 0},
        {"site.test", "missing.html", false,
         Replied({"Not found.", "File is not available. Server code: 404"}), 1},
        // A code without a text of its own; the texts of the other codes are the exchange's.
        {"site.test", "teapot.html", false, Replied({"File is not available. Server code: 418"}),
         1},
        {"nosuch.test",
         "index.html",
         false,
         {"  ", "Page check", "Unable to translate host nosuch.test"},
         1},
        {"refused.test",
         "index.html",
         false,
         {"  ", "Page check", "Unable to connect: refused.test",
          "Unable to communicate: refused.test", "  "},
         0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        TestShell t;
        t.settings.SetOn(field::DetailFlag, c.verbose);
        t.desktop.AnswerForm([&c](Form& form) {
            form.Field("Server").text = c.server;
            form.Field("Page").text = c.page;
            return kFormAccepted;
        });
        CheckPageCommand(t.shell, {dir.Path(), std::chrono::milliseconds(2000)});
        // The check runs on the calling thread: everything is done when the command returns.
        EXPECT_EQ(t.threads.Running(), 0u);
        EXPECT_EQ(t.LogTexts(), c.lines) << c.server << "/" << c.page;
        EXPECT_EQ(t.desktop.Sounds(), c.sounds) << c.server << "/" << c.page;
        EXPECT_EQ(t.settings.Get(kServer), c.server);
        EXPECT_EQ(t.settings.Get(kPage), c.page);
    }
}

TEST(PageCheck, SendsHeadAndHandlesRepliesNoServerShouldSend) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer noBlankLine(ServerScript{"HTTP/1.0 200 OK\r\n"});
    ScriptedServer numberless(ServerScript{"HTTP/1.1 OK\r\n\r\n"});
    ScriptedServer neverCloses(
        ServerScript{"HTTP/1.0 404 Not Found\r\n\r\n", 0, ServerScript::Then::HoldOpen});
    ASSERT_TRUE(noBlankLine.Started() && numberless.Started() && neverCloses.Started());
    TempDir dir;
    const WebToolOptions options{dir.Path(), std::chrono::milliseconds(200)};
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {noBlankLine.Host(), {"Unable to resolve header."}},
        {numberless.Host(), {"Success, server completed request, code 200"}},
        {neverCloses.Host(), {"Not found.", "File is not available. Server code: 404"}},
    };
    for (const auto& [server, tail] : cases) {
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        RunPageCheck(t.shell, server, "", options);
        EXPECT_EQ(t.LogTexts(), Replied(tail)) << server;
    }
    EXPECT_EQ(noBlankLine.Requests().at(0),
              "HEAD / HTTP/1.0\r\nUser-Agent: Mozilla/5.0\r\nAccept: text/html, */*\r\nHost: " +
                  noBlankLine.Host() + "\r\n\r\n");
}

// Every web tool whose reply file cannot be created, one table: what it logs and what it tells.
TEST(WebTools, AReplyFileThatCannotBeCreatedEndsTheRunAsEachToolSays) {
    KORVANE_REQUIRE_TEST_NETWORK();
    using Tool = void (*)(Shell&, const WebToolOptions&);
    struct Case {
        const char* tool;
        Tool run;
        std::vector<std::string> log;
        std::vector<ShownMessage> messages;
    };
    const std::vector<Case> cases = {
        {"page check",
         [](Shell& s, const WebToolOptions& o) { RunPageCheck(s, "site.test", "index.html", o); },
         {"  ", "Page check", "Sent request."},
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
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        c.run(t.shell, {dir.File("absent"), kReceiveIdleTimeout});
        EXPECT_EQ(t.LogTexts(), c.log) << c.tool;
        EXPECT_EQ(t.desktop.Messages(), c.messages) << c.tool;
        EXPECT_EQ(t.desktop.Sounds(), 0) << c.tool;
    }
}

} // namespace
} // namespace korvane
