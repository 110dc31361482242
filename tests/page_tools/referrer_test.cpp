#include "page_tools/referrer.h"

#include "shell/settings_block.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::ScriptedServer;
using test::ServerScript;
using test::TempDir;
using test::TestShell;
using test::WriteWholeFile;
using ::testing::ElementsAre;

TEST(CompareBodies, ComparesFromEachHeadersEndToTheFilesEnds) {
    TempDir dir;
    const std::string big(200'000, 'b');
    struct Case {
        std::string a;
        std::size_t aOffset;
        std::string b;
        std::size_t bOffset;
        BodyComparison result;
    };
    const std::vector<Case> cases = {
        {"HDR1body", 4, "HEADER2body", 7, BodyComparison::Same},
        {"H", 1, "HH", 2, BodyComparison::Same}, // two empty bodies
        {"Hbody", 1, "Hbody!", 1, BodyComparison::Differs},
        {"Hbody", 1, "Hbod", 1, BodyComparison::Differs},
        {"Hbody", 1, "Hbady", 1, BodyComparison::Differs},
        {"H" + big, 1, "HH" + big, 2, BodyComparison::Same},
        {"H" + big + "x", 1, "HH" + big + "y", 2, BodyComparison::Differs},
        {"H" + big, 1, "HH" + big + "z", 2, BodyComparison::Differs},
    };
    for (const Case& c : cases) {
        WriteWholeFile(dir.File("a"), c.a);
        WriteWholeFile(dir.File("b"), c.b);
        EXPECT_EQ(CompareBodies(dir.File("a"), c.aOffset, dir.File("b"), c.bOffset), c.result)
            << c.a.size() << "/" << c.b.size();
    }
    EXPECT_EQ(CompareBodies(dir.File("a"), 0, dir.File("absent"), 0), BodyComparison::NotOpened);
}

TEST(ReferrerCommand, IgnoresAnEmptyServer) {
    TestShell t;
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.title, "Verify page for alternate referrers");
        EXPECT_EQ(form.Field("Page").text, "index.html");
        form.Field("Server").text = "";
        form.Field("Page").text = "p.html";
        return kFormAccepted;
    });
    ReferrerCommand(t.shell);
    t.threads.WaitIdle();
    EXPECT_THAT(t.LogTexts(), ElementsAre());
    EXPECT_EQ(t.busy.IsSet(BusyFlag::Referrer), false);
    EXPECT_EQ(t.settings.Get(field::SecondField(DialogSlot::Referrer)), "p.html");
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
    t.desktop.AnswerForm([&host](Form& form) {
        form.Field("Server").text = host;
        form.Field("Page").text = "";
        return kFormAccepted;
    });
    ReferrerCommand(t.shell, {dir.Path(), std::chrono::milliseconds(2000)});
    t.threads.WaitIdle();
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

TEST(ReferrerVariance, ARealServerShowsNoVarianceWithTheOtherReferrerAsSet) {
    KORVANE_REQUIRE_TEST_NETWORK();
    TempDir dir;
    TestShell t;
    t.settings.SetOn(field::DetailFlag, false);
    t.settings.Set(field::OtherReferrer, "http://ref.test/");
    RunReferrerVariance(t.shell, "site.test", "index.html",
                        {dir.Path(), std::chrono::milliseconds(2000)});
    EXPECT_THAT(t.LogTexts(),
                ElementsAre("  ", "Verify referrer: site.test", "No referrer variance: Google.com",
                            "No referrer variance: Yahoo.com", "No referrer variance: site.test",
                            "No referrer variance: http://ref.test/"));
    EXPECT_EQ(t.desktop.Sounds(), 0);
}

TEST(ReferrerVariance, StopsAtTheFirstFailureWithItsLines) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer slotTwoMissing(std::vector<ServerScript>{
        {Reply("a", "x")}, {Reply("b", "x")}, {"HTTP/1.0 404 Not Found\r\n\r\n"}});
    ScriptedServer unreferredMoved(ServerScript{"HTTP/1.0 301 Moved\r\n\r\n"});
    ScriptedServer noBlankLine(
        ServerScript{"HTTP/1.0 200 OK\r\n", 0, ServerScript::Then::HoldOpen});
    ScriptedServer slotOneNoHeader(
        std::vector<ServerScript>{{Reply("a", "x")}, {"garbage without header"}});
    ASSERT_TRUE(slotTwoMissing.Started() && unreferredMoved.Started() && noBlankLine.Started() &&
                slotOneNoHeader.Started());
    struct Case {
        std::string server;
        std::vector<std::string> tail;
        int sounds;
    };
    const std::vector<Case> cases = {
        {slotTwoMissing.Host(),
         {"No referrer variance: Google.com", "Not found.",
          "File is not available. Server code: 404 (referrer: 2)"},
         1},
        {unreferredMoved.Host(), {"Moved.", "File is not available. Server code: 301"}, 1},
        {noBlankLine.Host(), {"Unable to resolve header: p.html"}, 1},
        {slotOneNoHeader.Host(), {"Unable to resolve header: p.html (referrer: 1)"}, 1},
        {"nosuch.test", {"Unable to translate host nosuch.test"}, 1},
        {"refused.test",
         {"Unable to connect: refused.test", "Unable to communicate: refused.test", "  "},
         0},
    };
    TempDir dir;
    for (const Case& c : cases) {
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        t.busy.Set(BusyFlag::Referrer);
        RunReferrerVariance(t.shell, c.server, "p.html",
                            {dir.Path(), std::chrono::milliseconds(300)});
        std::vector<std::string> lines = t.LogTexts();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 2, lines.end()), c.tail) << c.server;
        EXPECT_EQ(t.desktop.Sounds(), c.sounds) << c.server;
        EXPECT_EQ(t.busy.IsSet(BusyFlag::Referrer), false);
    }
    EXPECT_EQ(slotTwoMissing.Connections(), 3u);
    EXPECT_EQ(unreferredMoved.Connections(), 1u);
    EXPECT_EQ(slotOneNoHeader.Connections(), 2u);
}

} // namespace
} // namespace korvane
