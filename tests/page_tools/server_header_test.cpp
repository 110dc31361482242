#include "page_tools/server_header.h"

#include "shell/settings_block.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::ScriptedServer;
using test::ServerScript;
using test::TempDir;
using test::TestShell;
using ::testing::ElementsAre;

const TextField kServer = field::ServerField(DialogSlot::ServerPageHeader);
const TextField kPage = field::SecondField(DialogSlot::ServerPageHeader);

// The replay of the cookie scan's corpus checks every line against the header; here the limit
// itself: a long line is cut at 198 characters and the search goes on behind the cut.
TEST(CookieLines, CutALongLineAtTheLimitAndSearchOnBehindIt) {
    EXPECT_EQ(
        CookieLines(Capitalise("Set-Cookie: " + std::string(190, 'a') + "Set-Cookie: b\r\n")),
        (std::vector<std::string>{"SET-COOKIE: " + std::string(186, 'A'), "SET-COOKIE: B\r"}));
}

TEST(ServerHeaderForm, ShowsTheRememberedFieldsUnderTheToolsTitle) {
    SettingsBlock settings;
    settings.Set(kServer, "site.test");
    settings.Set(kPage, "docs/a.html");
    for (const auto& [tool, title] : std::vector<std::pair<HeaderTool, std::string>>{
             {HeaderTool::Header, "Server page header"},
             {HeaderTool::HeaderIPv6, "Server page header IPv6"},
             {HeaderTool::Cookies, "Server page header"}}) {
        const Form form = ServerHeaderForm(settings, tool);
        EXPECT_EQ(form.title, title);
        EXPECT_EQ(form.Field("Server").text, "site.test");
        EXPECT_EQ(form.Field("Server").maxChars, 199u);
        EXPECT_EQ(form.Field("Page").text, "docs/a.html");
        EXPECT_EQ(form.focusField, "Server");
        bool mentionsIPv6 = false;
        for (const FormField& f : form.fields)
            mentionsIPv6 = mentionsIPv6 || f.text == "IPv6 is required of the local node, "
                                                     "router(s) and the web server.";
        EXPECT_EQ(mentionsIPv6, tool == HeaderTool::HeaderIPv6);
    }
}

TEST(ServerPageHeaderCommand, StoresNothingOnCancel) {
    TestShell t;
    t.settings.Set(kServer, "old.test");
    t.desktop.AnswerForm([](Form& form) {
        form.Field("Server").text = "new.test";
        return kFormCancelled;
    });
    ServerPageHeaderCommand(t.shell);
    t.threads.WaitIdle();
    EXPECT_EQ(t.settings.Get(kServer), "old.test");
    EXPECT_THAT(t.LogTexts(), ElementsAre());
}

// Runs one header tool through its dialog as a user would, and waits for the worker.
void RunThroughDialog(TestShell& t, HeaderTool tool, const std::string& server,
                      const std::string& page, const TempDir& dir) {
    t.desktop.AnswerForm([server, page](Form& form) {
        form.Field("Server").text = server;
        form.Field("Page").text = page;
        return kFormAccepted;
    });
    const WebToolOptions options{dir.Path(), std::chrono::milliseconds(2000)};
    if (tool == HeaderTool::Header)
        ServerPageHeaderCommand(t.shell, options);
    else if (tool == HeaderTool::HeaderIPv6)
        ServerPageHeaderIPv6Command(t.shell, options);
    else
        HeaderCookiesCommand(t.shell, options);
    t.threads.WaitIdle();
}

TEST(ServerPageHeader, ShowsOnlyTheHeaderOfTheStoredPage) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TestShell t;
    TempDir dir;
    RunThroughDialog(t, HeaderTool::Header, "site.test", "index.html", dir);
    EXPECT_EQ(t.settings.Get(kServer), "site.test");
    EXPECT_EQ(t.settings.Get(kPage), "index.html");
    EXPECT_EQ(t.busy.IsSet(BusyFlag::HeaderAndSubmit), false);
    EXPECT_THAT(t.LogTexts(),
                ElementsAre("  ", "Server page header: index.html", "Initialized: Running",
                            "Resolving server", "Sent request.", "Reply received.", "  "));
    const std::string stored = ReadWholeFile(dir.File("the1.html"));
    ASSERT_EQ(t.desktop.Results().size(), 1u);
    const std::string shown = t.desktop.Results()[0];
    EXPECT_EQ(shown.substr(0, 17), "HTTP/1.1 200 OK\r\n");
    EXPECT_EQ(shown.substr(shown.size() - 4), "\r\n\r\n");
    // The file holds the header the viewer showed, then the whole page.
    EXPECT_EQ(stored.substr(0, shown.size()), shown);
    EXPECT_EQ(stored.substr(shown.size(), 6), "<html>");
    EXPECT_EQ(stored.substr(stored.size() - 15), "</body></html>\n");
    EXPECT_EQ(t.desktop.Sounds(), 0);
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
    RunThroughDialog(header, HeaderTool::Header, server.Host(), "", dir);
    TestShell cookies;
    RunThroughDialog(cookies, HeaderTool::Cookies, server.Host(), "", dir);
    TestShell page;
    RunThroughDialog(page, HeaderTool::Cookies, server.Host(), "docs/a.html", dir);
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

TEST(HeaderTools, EachToolLogsAndShowsWhatTheReplyHoldsAndClearsItsFlag) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer tiny(ServerScript{"HTTP/1.0 200 OK\r\nServer: tiny\r\n\r\nbody"});
    ScriptedServer noBlankLine(ServerScript{"HTTP/1.0 200 OK\r\nServer: x\r\n"});
    ScriptedServer noStatus(ServerScript{"hello\r\n\r\n"});
    ScriptedServer silent(ServerScript{"", 0, ServerScript::Then::Close, true});
    ASSERT_TRUE(tiny.Started() && noBlankLine.Started() && noStatus.Started() && silent.Started());
    using H = HeaderTool;
    const std::string unresolved = "Unable to resolve header.";
    const std::vector<std::string> refused = {"Unable to connect: refused.test",
                                              "Unable to communicate: refused.test", "  "};
    struct Case {
        HeaderTool tool;
        std::string server;
        std::string page;
        std::vector<std::string> tail; // the lines after the title
        std::string shown; // how the header in the result viewer starts; empty: no viewer
        int sounds;
    };
    const std::vector<Case> cases = {
        {H::Header,
         "site.test",
         "missing.html",
         {"Reply received.", "  "},
         "HTTP/1.1 404 Not Found\r\n",
         0},
        {H::HeaderIPv6,
         "v6.test",
         "page2.html",
         {"Reply received.", "  "},
         "HTTP/1.1 200 OK\r\n",
         0},
        {H::Cookies,
         "site.test",
         "cookies.html",
         {"Reply received.", "SET-COOKIE: ID=AB1; PATH=/ ", "  ", "SET-COOKIE: LANG=EN ", "  ",
          "Finished."},
         "",
         0},
        {H::Cookies,
         "site.test",
         "lowercookie.html",
         {"Reply received.", "SET-COOKIE: A=1 ", "  ", "Finished."},
         "",
         0},
        // Without cookies the capitalised header is shown, and only the header.
        {H::Cookies,
         tiny.Host(),
         "p.html",
         {"Reply received.", "No header cookies."},
         "HTTP/1.0 200 OK\r\nSERVER: TINY\r\n\r\n",
         0},
        {H::Header, noBlankLine.Host(), "p.html", {"Reply received.", "  ", unresolved}, "", 1},
        {H::Header, noStatus.Host(), "p.html", {"Reply received.", "  ", unresolved}, "", 1},
        {H::Cookies, silent.Host(), "p.html", {"Reply received.", unresolved}, "", 1},
        {H::HeaderIPv6, "site.test", "p.html", {"Unable to translate host site.test"}, "", 1},
        {H::Header, "refused.test", "p.html", refused, "", 0},
        {H::Cookies, "refused.test", "p.html", refused, "", 0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        const std::string what = c.server + "/" + c.page;
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        RunThroughDialog(t, c.tool, c.server, c.page, dir);
        const std::string title = c.tool == H::Header       ? "Server page header: "
                                  : c.tool == H::HeaderIPv6 ? "Server page header IPv6: "
                                                            : "Header cookies: ";
        std::vector<std::string> lines = {"  ", title + c.page};
        lines.insert(lines.end(), c.tail.begin(), c.tail.end());
        EXPECT_EQ(t.LogTexts(), lines) << what;
        EXPECT_EQ(t.desktop.Sounds(), c.sounds) << what;
        const std::vector<std::string> results = t.desktop.Results();
        EXPECT_EQ(results.size(), c.shown.empty() ? 0u : 1u) << what;
        for (const std::string& shown : results) {
            EXPECT_EQ(shown.substr(0, c.shown.size()), c.shown) << what;
            EXPECT_EQ(shown.substr(shown.size() - 4), "\r\n\r\n") << what;
        }
        EXPECT_FALSE(t.busy.IsSet(BusyFlag::HeaderAndSubmit) ||
                     t.busy.IsSet(BusyFlag::HeaderIPv6) || t.busy.IsSet(BusyFlag::HeaderCookies))
            << what;
    }
}

// The one test that waits the whole connect time-out, as a user would.
TEST(ServerPageHeader, AHostThatDropsTheConnectionAttemptIsGivenUpAfterTenSeconds) {
    KORVANE_REQUIRE_TEST_NETWORK();
    test::SilentHost host;
    ASSERT_TRUE(host.Started());
    TestShell t;
    t.settings.SetOn(field::DetailFlag, false);
    TempDir dir;
    const auto started = std::chrono::steady_clock::now();
    RunThroughDialog(t, HeaderTool::Header, host.Host(), "index.html", dir);
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::seconds(10));
    EXPECT_LT(waited, std::chrono::seconds(15));
    EXPECT_THAT(t.LogTexts(), ElementsAre("  ", "Server page header: index.html",
                                          "Unable to connect: " + host.Host(),
                                          "Unable to communicate: " + host.Host(), "  "));
    EXPECT_EQ(t.desktop.Sounds(), 0);
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
