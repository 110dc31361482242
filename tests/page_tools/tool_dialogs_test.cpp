#include "page_tools/links.h"
#include "page_tools/markup_validation.h"
#include "page_tools/page_check.h"
#include "page_tools/referrer.h"
#include "page_tools/server_header.h"
#include "page_tools/whois.h"

#include "shell/settings_block.h"
#include "support/fault_injection.h"
#include "support/scripted_desktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace korvane {
namespace {

using test::TestShell;
using ::testing::ElementsAre;

const TextField kPageUrl = field::ServerField(DialogSlot::MarkupValidation);
const TextField kReservedBesideUrl = field::SecondField(DialogSlot::MarkupValidation);

TEST(WhoisCommand, OpensTheServicesResultsPageAndLogsTheSearch) {
    struct Case {
        WhoisService service;
        std::string typed;
        std::string url;
        std::string line;
    };
    const std::vector<Case> cases = {
        {WhoisService::NetworkSolutions, "example.org",
         "http://www.networksolutions.com/whois/results.jsp?domain=example.org",
         "WHOIS Domain Search (Networksolutions.com): example.org"},
        {WhoisService::Icann, "",
         "http://lookup.icann.org/whois_new.cgi?d=", "WHOIS Domain Search (Icann.org): "},
    };
    for (const Case& c : cases) {
        TestShell t;
        t.desktop.AnswerForm([&](Form& form) {
            EXPECT_EQ(form.Field("EDITBOX").text, "example.com");
            form.Field("EDITBOX").text = c.typed;
            return kFormAccepted;
        });
        WhoisCommand(t.shell, c.service);
        EXPECT_THAT(t.desktop.BrowserTargets(), ElementsAre(c.url));
        EXPECT_THAT(t.LogTexts(), ElementsAre("  ", c.line, "Request sent"));
        EXPECT_EQ(t.log.Snapshot()[1].colour, LineColour::Highlighted);
        EXPECT_EQ(t.busy.IsSet(BusyFlag::Whois), false);
    }
}

// Confirming the dialog also empties the reserved field beside the remembered URL.
TEST(MarkupValidationCommand, HandsTheUrlAsTypedToTheValidator) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "http://www."},
        {"http://site.test/a b.html?x=1&y=2", "http://site.test/a b.html?x=1&y=2"},
    };
    for (const auto& [remembered, sent] : cases) {
        TestShell t;
        t.settings.Set(kPageUrl, remembered);
        t.settings.Set(kReservedBesideUrl, "left over");
        // A copy: clang 14 cannot capture a structured binding.
        t.desktop.AnswerForm([expected = sent](Form& form) {
            EXPECT_EQ(form.Field("URL").text, expected);
            return kFormAccepted;
        });
        MarkupValidationCommand(t.shell);
        EXPECT_THAT(t.desktop.BrowserTargets(),
                    ElementsAre("http://validator.w3.org/check?uri=" + sent));
        EXPECT_THAT(t.LogTexts(),
                    ElementsAre("  ", "HTML Validator (W3.org): " + sent, "Request sent"));
        EXPECT_EQ(t.settings.Get(kPageUrl), sent);
        EXPECT_EQ(t.settings.Get(kReservedBesideUrl), "");
        EXPECT_EQ(t.busy.IsSet(BusyFlag::MarkupValidation), false);
    }
}

// A browser that cannot be started is logged in place of "Request sent".
TEST(Handoffs, TellWhenTheBrowserCannotBeStarted) {
    TestShell t;
    t.desktop.BreakBrowser();
    t.desktop.AnswerForm(kFormAccepted);
    t.desktop.AnswerForm(kFormAccepted);
    WhoisCommand(t.shell, WhoisService::Icann);
    MarkupValidationCommand(t.shell);
    EXPECT_THAT(t.LogTexts(), ElementsAre("  ", "WHOIS Domain Search (Icann.org): example.com",
                                          "Unable to start the browser.", "  ",
                                          "HTML Validator (W3.org): http://www.",
                                          "Unable to start the browser."));
}

TEST(Handoffs, CancelKeepsTheRememberedUrlAndNeitherCancelNorAnEmptyUrlOpensAnything) {
    TestShell t;
    t.settings.Set(kPageUrl, "http://site.test/");
    t.settings.Set(kReservedBesideUrl, "left over");
    t.desktop.AnswerForm([](Form& form) {
        form.Field("URL").text = "http://other.test/";
        return kFormCancelled;
    });
    t.desktop.AnswerForm([](Form& form) {
        form.Field("URL").text = "";
        return kFormAccepted;
    });
    t.desktop.AnswerForm(kFormCancelled);
    MarkupValidationCommand(t.shell);
    EXPECT_EQ(t.settings.Get(kPageUrl), "http://site.test/");
    EXPECT_EQ(t.settings.Get(kReservedBesideUrl), "left over");
    MarkupValidationCommand(t.shell);
    EXPECT_EQ(t.settings.Get(kReservedBesideUrl), "");
    WhoisCommand(t.shell, WhoisService::NetworkSolutions);
    EXPECT_THAT(t.desktop.BrowserTargets(), ElementsAre());
    EXPECT_THAT(t.LogTexts(), ElementsAre());
}

// The dialogs of the page tools: each offers the remembered server, and index.html where it
// names a page; a cancel stores nothing, and an empty server starts nothing but is remembered.
TEST(PageToolCommands, RememberWhatWasAcceptedAndStartNothingWithoutAServer) {
    struct Case {
        std::function<void(Shell&)> command;
        DialogSlot slot;
        std::string offeredPage;
        std::string typedServer;
        int answer;
    };
    const std::vector<Case> cases = {
        {[](Shell& s) { CheckPageCommand(s); }, DialogSlot::CheckPage, "index.html", "new.test",
         kFormCancelled},
        {[](Shell& s) { ServerPageHeaderCommand(s); }, DialogSlot::ServerPageHeader, "", "new.test",
         kFormCancelled},
        {[](Shell& s) { ReferrerCommand(s); }, DialogSlot::Referrer, "index.html", "",
         kFormAccepted},
        {[](Shell& s) { LinksCommand(s, LinkMode::All); }, DialogSlot::Links, "index.html", "",
         kFormAccepted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.slot));
        TestShell t;
        t.settings.Set(field::ServerField(c.slot), "old.test");
        t.desktop.AnswerForm([&c](Form& form) {
            EXPECT_EQ(form.Field("Server").text, "old.test");
            EXPECT_EQ(form.Field("Page").text, c.offeredPage);
            form.Field("Server").text = c.typedServer;
            form.Field("Page").text = "p.html";
            return c.answer;
        });
        c.command(t.shell);
        t.threads.WaitIdle();
        const bool accepted = c.answer == kFormAccepted;
        EXPECT_EQ(t.settings.Get(field::ServerField(c.slot)), accepted ? "" : "old.test");
        EXPECT_EQ(t.settings.Get(field::SecondField(c.slot)), accepted ? "p.html" : "");
        EXPECT_THAT(t.LogTexts(), ElementsAre());
        EXPECT_FALSE(t.busy.IsSet(BusyFlag::Referrer));
    }
}

// With no thread to be had a tool says so and is not left busy, which would refuse it until the
// program ends.
TEST(PageToolCommands, AToolWhoseThreadCannotStartIsNotLeftBusy) {
    const std::vector<std::pair<std::function<void(Shell&)>, BusyFlag>> cases = {
        {[](Shell& s) { ServerPageHeaderCommand(s); }, BusyFlag::HeaderAndSubmit},
        {[](Shell& s) { ReferrerCommand(s); }, BusyFlag::Referrer},
    };
    for (const auto& c : cases) {
        TestShell t;
        t.desktop.AnswerForm([](Form& form) {
            form.Field("Server").text = "site.test";
            return kFormAccepted;
        });
        const auto seen = test::RunInChild(test::NoMoreThreads, [&] {
            c.first(t.shell);
            return std::to_string(t.busy.IsSet(c.second)) + " " + t.desktop.Messages().at(0).text;
        });
        EXPECT_EQ(seen, "0 Unable to start thread");
    }
}

} // namespace
} // namespace korvane
