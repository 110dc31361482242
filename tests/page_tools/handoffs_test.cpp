#include "page_tools/markup_validation.h"
#include "page_tools/whois.h"

#include "shell/settings_block.h"
#include "support/scripted_desktop.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace korvane {
namespace {

using test::TestShell;
using ::testing::ElementsAre;

const TextField kPageUrl = field::ServerField(DialogSlot::MarkupValidation);

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
        {WhoisService::Icann, "www.example.org",
         "http://lookup.icann.org/whois_new.cgi?d=www.example.org",
         "WHOIS Domain Search (ICANN): www.example.org"},
        {WhoisService::Icann, "",
         "http://lookup.icann.org/whois_new.cgi?d=", "WHOIS Domain Search (ICANN): "},
    };
    for (const Case& c : cases) {
        TestShell t;
        std::string prompt;
        t.desktop.AnswerForm([&](Form& form) {
            prompt = form.frameLabel;
            EXPECT_EQ(form.Field("EDITBOX").text, "example.com");
            form.Field("EDITBOX").text = c.typed;
            return kFormAccepted;
        });
        WhoisCommand(t.shell, c.service);
        EXPECT_EQ(prompt, "WHOIS Domain Search (" + std::string(WhoisLabel(c.service)) + "):");
        EXPECT_THAT(t.desktop.BrowserTargets(), ElementsAre(c.url));
        EXPECT_THAT(t.LogTexts(), ElementsAre("  ", c.line, "Request sent"));
        EXPECT_EQ(t.log.Snapshot()[1].colour, LineColour::Highlighted);
        EXPECT_EQ(t.busy.IsSet(BusyFlag::Whois), false);
    }
}

TEST(WhoisCommand, CancelOpensNothing) {
    TestShell t;
    t.desktop.AnswerForm(kFormCancelled);
    WhoisCommand(t.shell, WhoisService::NetworkSolutions);
    EXPECT_THAT(t.desktop.BrowserTargets(), ElementsAre());
    EXPECT_THAT(t.LogTexts(), ElementsAre());
}

TEST(MarkupValidationCommand, HandsTheUrlAsTypedToTheValidator) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "http://www."},
        {"http://site.test/a b.html?x=1&y=2", "http://site.test/a b.html?x=1&y=2"},
    };
    for (const auto& [remembered, sent] : cases) {
        TestShell t;
        t.settings.Set(kPageUrl, remembered);
        t.desktop.AnswerForm([&](Form& form) {
            EXPECT_EQ(form.title, "HTML Page Check (W3)");
            EXPECT_EQ(form.Field("URL").text, sent);
            return kFormAccepted;
        });
        MarkupValidationCommand(t.shell);
        EXPECT_THAT(t.desktop.BrowserTargets(),
                    ElementsAre("http://validator.w3.org/check?uri=" + sent));
        EXPECT_THAT(t.LogTexts(),
                    ElementsAre("  ", "HTML Validator (W3C): " + sent, "Request sent"));
        EXPECT_EQ(t.settings.Get(kPageUrl), sent);
        EXPECT_EQ(t.busy.IsSet(BusyFlag::MarkupValidation), false);
    }
}

TEST(MarkupValidationCommand, CancelKeepsTheRememberedUrlAndAnEmptyUrlOpensNothing) {
    TestShell t;
    t.settings.Set(kPageUrl, "http://site.test/");
    t.desktop.AnswerForm([](Form& form) {
        form.Field("URL").text = "http://other.test/";
        return kFormCancelled;
    });
    t.desktop.AnswerForm([](Form& form) {
        form.Field("URL").text = "";
        return kFormAccepted;
    });
    MarkupValidationCommand(t.shell);
    EXPECT_EQ(t.settings.Get(kPageUrl), "http://site.test/");
    MarkupValidationCommand(t.shell);
    EXPECT_THAT(t.desktop.BrowserTargets(), ElementsAre());
    EXPECT_THAT(t.LogTexts(), ElementsAre());
}

} // namespace
} // namespace korvane
