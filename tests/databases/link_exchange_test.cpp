#include "databases/link_exchange.h"

#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using test::ScriptedServer;
using test::ServerScript;
using test::TestShell;

struct Partner {
    std::int64_t number;
    std::string domain;
    std::string page;
    std::string text;
};

void PutCustomers(TestShell& t, const std::vector<Partner>& partners) {
    std::string bytes;
    for (const Partner& partner : partners) {
        CustomerRecord record;
        record.Clear();
        record.SetNumber(partner.number);
        record.SetText(customer::Company, "PARTNER " + std::to_string(partner.number));
        record.SetText(customer::LinkDomain, partner.domain);
        record.SetText(customer::LinkPage, partner.page);
        record.SetText(customer::LinkText, partner.text);
        bytes.append(reinterpret_cast<const char*>(record.Raw().data()), CustomerRecord::kSize);
    }
    test::WriteWholeFile(t.records.customers.Path(), bytes);
    ASSERT_TRUE(LoadRecordFiles(t.records).Ok());
}

std::string PageWithTextAt(std::size_t offset, const std::string& text) {
    return "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n" + std::string(offset, 'x') + text +
           "</html>";
}

TEST(LinkExchange, ReportsEachPartnerPageAndGoesOnPastFailures) {
    KORVANE_REQUIRE_TEST_NETWORK();
    const std::string text = "Visit Acme Widgets";
    ScriptedServer near(ServerScript{PageWithTextAt(39999, text)});
    // Far down the page, and across the boundary of two read blocks.
    ScriptedServer far(ServerScript{PageWithTextAt(6 * 65536 - 5, text)});
    // The text begins in the header and ends in the body: only the body counts.
    ScriptedServer split(ServerScript{"HTTP/1.0 200 OK\r\nX-Note: Visit Acme\r\n\r\n Widgets"});
    ASSERT_TRUE(near.Started() && far.Started() && split.Started());
    TestShell t;
    PutCustomers(t, {{1, "site.test", "lx-present.html", text},
                     {2, "site.test", "lx-case.html", text},
                     {3, "site.test", "lx-present.html", ""}, // no link text: skipped
                     {4, "site.test", "fr-missing.html", text},
                     {5, near.Host(), "page.html", text},
                     {6, far.Host(), "page.html", text},
                     {7, split.Host(), "page.html", "Acme\r\n\r\n Widgets"},
                     {8, "nosuch.test", "page.html", text},
                     {9, "refused.test", "page.html", text},
                     {10, "https://site.test", "lx-present.html", text},
                     {11, "https://wrong.test", "lx-present.html", text}});
    t.settings.SetOn(field::DetailFlag, false);
    t.busy.Set(BusyFlag::HeaderAndSubmit);
    LinkExchangeInput input;
    test::TempDir work;
    input.workFolder = work.Path();
    LinkExchangeRun(t.shell, input);

    const std::vector<std::string> expected = {
        "  ",
        "Link exchange verification",
        "Reply received.",
        "Link found",
        "  ",
        "Reply received.",
        "Link not found",
        "  ",
        "Reply received.",
        "Not found.",
        "File is not available. Server code: 404",
        "  ",
        "Reply received.",
        "Link found",
        "  ",
        "Reply received.",
        "Link found",
        "  ",
        "Reply received.",
        "Link not found",
        "  ",
        "DNS server lookup error (nosuch.test, gethostbyname) #-2.",
        "Connect error #111.",
        "  ",
        "Reply received.",
        "Link found",
        "  ",
        "Certificate is for www.other.test, not wrong.test",
        "  ",
        "Complete",
        "  "};
    EXPECT_EQ(t.LogTexts(), expected);
    EXPECT_EQ(t.log.Snapshot()[6].colour, LineColour::Highlighted) << "Link not found stands out";
    EXPECT_FALSE(t.busy.IsSet(BusyFlag::HeaderAndSubmit));
    EXPECT_EQ(t.desktop.Sounds(), 4);
}

TEST(LinkExchange, AReplyWithoutAHeaderEndsTheRun) {
    KORVANE_REQUIRE_TEST_NETWORK();
    ScriptedServer broken(ServerScript{"HTTP/1.0 200 OK\r\nno end of header"});
    TestShell t;
    PutCustomers(t, {{1, broken.Host(), "p.html", "x"}, {2, "site.test", "lx-present.html", "x"}});
    t.settings.SetOn(field::DetailFlag, false);
    LinkExchangeInput input;
    test::TempDir work;
    input.workFolder = work.Path();
    LinkExchangeRun(t.shell, input);
    EXPECT_EQ(t.LogTexts(),
              (std::vector<std::string>{"  ", "Link exchange verification", "Reply received.",
                                        "Unable to resolve header."}));
}

} // namespace
} // namespace korvane
