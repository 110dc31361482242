#include "page_tools/links.h"
#include "page_tools/markup_validation.h"
#include "page_tools/page_check.h"
#include "page_tools/referrer.h"
#include "page_tools/server_header.h"
#include "page_tools/whois.h"

#include "shell/commands.h"
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

TEST(WhoisCommand, OpensTheServicesResultsPageAndLogsTheSearchAndWhetherTheBrowserStarted) {
    struct Case {
        WhoisService service;
        std::string typed;
        bool browserStarts;
        std::string url;
        std::string line;
        std::string outcome;
    };
    const std::vector<Case> cases = {
        {WhoisService::NetworkSolutions, "example.org", true,
         "http://www.networksolutions.com/whois/results.jsp?domain=example.org",
         "WHOIS Domain Search (Networksolutions.com): example.org", "Request sent"},
        {WhoisService::Icann, "", true, "http://lookup.icann.org/whois_new.cgi?d=",
         "WHOIS Domain Search (Icann.org): ", "Request sent"},
        {WhoisService::Icann, "example.net", false,
         "http://lookup.icann.org/whois_new.cgi?d=example.net",
         "WHOIS Domain Search (Icann.org): example.net", "Unable to start the browser."},
    };
    for (const Case& c : cases) {
        TestShell t;
        if (!c.browserStarts)
            t.desktop.BreakBrowser();
        t.desktop.AnswerForm([&](Form& form) {
            EXPECT_EQ(form.Field("EDITBOX").text, "example.com");
            form.Field("EDITBOX").text = c.typed;
            return kFormAccepted;
        });
        WhoisCommand(t.shell, c.service);
        EXPECT_THAT(t.desktop.BrowserTargets(), ElementsAre(c.url));
        EXPECT_THAT(t.LogTexts(), ElementsAre("  ", c.line, c.outcome));
        EXPECT_EQ(t.log.Snapshot()[1].colour, LineColour::Highlighted);
        EXPECT_EQ(t.busy.IsSet(BusyFlag::Whois), false);
    }
}

// Confirming the dialog also empties the reserved field beside the remembered URL.
TEST(MarkupValidationCommand, HandsTheUrlAsTypedToTheValidatorAndLogsWhetherTheBrowserStarted) {
    struct Case {
        std::string remembered;
        std::string sent;
        bool browserStarts;
        std::string outcome;
    };
    const std::vector<Case> cases = {
        {"", "http://www.", true, "Request sent"},
        {"http://site.test/a b.html?x=1&y=2", "http://site.test/a b.html?x=1&y=2", true,
         "Request sent"},
        {"http://site.test/", "http://site.test/", false, "Unable to start the browser."},
    };
    for (const Case& c : cases) {
        TestShell t;
        t.settings.Set(kPageUrl, c.remembered);
        t.settings.Set(kReservedBesideUrl, "left over");
        if (!c.browserStarts)
            t.desktop.BreakBrowser();
        t.desktop.AnswerForm([&c](Form& form) {
            EXPECT_EQ(form.Field("URL").text, c.sent);
            return kFormAccepted;
        });
        MarkupValidationCommand(t.shell);
        EXPECT_THAT(t.desktop.BrowserTargets(),
                    ElementsAre("http://validator.w3.org/check?uri=" + c.sent));
        EXPECT_THAT(t.LogTexts(),
                    ElementsAre("  ", "HTML Validator (W3.org): " + c.sent, c.outcome));
        EXPECT_EQ(t.settings.Get(kPageUrl), c.sent);
        EXPECT_EQ(t.settings.Get(kReservedBesideUrl), "");
        EXPECT_EQ(t.busy.IsSet(BusyFlag::MarkupValidation), false);
    }
}

// The menu names the second WHOIS service and the validator as their prompts and log lines do.
TEST(Handoffs, MenuEntriesCarryTheServicesLabels) {
    const std::vector<std::pair<Command, std::string>> cases = {
        {Command::WhoisSecond, "Whois (" + WhoisLabel(WhoisService::Icann) + ")"},
        {Command::MarkupValidation, "Page syntax check (" + ValidatorLabel() + ")"},
    };
    for (const auto& [command, entry] : cases) {
        std::vector<std::string_view> labels;
        for (const Menu& menu : MenuTable())
            for (const MenuItem& item : menu.items)
                if (item.command == command)
                    labels.push_back(item.label);
        EXPECT_THAT(labels, ElementsAre(entry));
    }
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
