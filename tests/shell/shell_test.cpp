#include "shell/shell.h"

#include "databases/url_submission.h"
#include "page_tools/markup_validation.h"
#include "page_tools/referrer.h"
#include "page_tools/server_header.h"
#include "page_tools/whois.h"
#include "shell/commands.h"
#include "shell/preferences.h"
#include "shell/shared_dialogs.h"
#include "support/scripted_desktop.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <sys/stat.h>

namespace korvane {
namespace {

using test::ShownMessage;
using test::TestShell;

// A number used twice would run one tool from the other's menu item. Letters act only with Ctrl,
// in either case; Alt with "?" or "/" opens the about box.
TEST(CommandTable, EveryCommandAppearsOnceAndTheKeysFollowTheirTable) {
    std::set<Command> commands;
    for (const Menu& menu : MenuTable())
        for (const MenuItem& item : menu.items)
            EXPECT_TRUE(commands.insert(item.command).second) << item.label;
    EXPECT_EQ(CommandForKey(Key::Letter, 'c', true, false), Command::VerifyCustomerSite);
    EXPECT_EQ(CommandForKey(Key::Letter, '?', false, true), Command::About);
    EXPECT_EQ(CommandForKey(Key::Letter, '/', false, true), Command::About);
    EXPECT_EQ(CommandForKey(Key::Letter, '/', false, false), std::nullopt);
}

TEST(AlertSound, FollowsBeepOnAlertUnlessTheAlarmMustAlwaysSound) {
    TestShell t;
    Alert(t.shell);
    t.settings.SetOn(field::BeepFlag, false);
    Alert(t.shell);
    EXPECT_EQ(t.desktop.Sounds(), 1);
    AlertAlways(t.shell);
    EXPECT_EQ(t.desktop.Sounds(), 2);
}

// The texts of a fresh form are the real dialog's test; here the choices, defaults and limits.
// A list with nothing selected keeps the stored choice; emptied texts store their defaults.
TEST(Preferences, OkStoresEveryFieldWithItsDefaultsAndKeepsUnselectedChoices) {
    TestShell t;
    t.settings.Set(field::IdentifyAsChoice, 2);
    t.settings.Set(field::ReferrerChoice, 9); // outside the list: shown with nothing selected
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("IdentifyAs").selected, 2);
        EXPECT_EQ(form.Field("Referrer").selected, -1);
        form.Field("IdentifyAs").selected = -1;
        form.Field("Referrer").selected = 3;
        form.Field("OtherAgent").text = "crawler/2";
        form.Field("OtherReferrer").text = "";
        form.Field("Verbose").checked = false;
        form.Field("Beep").checked = false;
        return kFormAccepted;
    });
    PreferencesCommand(t.shell);
    EXPECT_EQ(t.settings.Get(field::IdentifyAsChoice), 2);
    EXPECT_EQ(t.settings.Get(field::ReferrerChoice), 3);
    EXPECT_EQ(t.settings.Get(field::OtherAgent), "crawler/2");
    EXPECT_EQ(t.settings.Get(field::OtherReferrer), "http://www.msn.com");
    EXPECT_EQ(t.settings.Get(field::DetailFlag), kFlagOff);
    EXPECT_EQ(t.settings.Get(field::BeepFlag), kFlagOff);
    EXPECT_EQ(t.settings.Get(field::SmtpServer), kSmtpPlaceholder);
}

// Each web setting goes from its field into korvane.cfg, saved on "OK"; a days entry that is not a
// number from 0 to 3650 keeps the stored one; a korvane.cfg made read-only is left as it was.
TEST(Preferences, OkStoresEachWebSettingInKorvaneCfgAtOnce) {
    const auto saved = [](const char* days, char accept, char follow) {
        return std::string("certificate_warning_days=") + days +
               "\naccept_untrusted_certificates=" + accept + "\nfollow_redirects=" + follow + "\n";
    };
    const struct {
        const char* name;
        std::function<void(Form&)> type;
        std::string saved;
        std::vector<ShownMessage> messages;
    } cases[] = {
        {"accept untrusted",
         [](Form& form) { form.Field("AcceptUntrusted").checked = true; },
         saved("30", '1', '0'),
         {}},
        {"warning days",
         [](Form& form) { form.Field("CertificateWarningDays").text = " 0"; },
         saved("0", '0', '0'),
         {}},
        {"days out of range",
         [](Form& form) { form.Field("CertificateWarningDays").text = "3651"; },
         saved("30", '0', '0'),
         {}},
        {"follow redirects",
         [](Form& form) { form.Field("FollowRedirects").checked = true; },
         saved("30", '0', '1'),
         {}},
        {"read-only file",
         [](Form& form) { form.Field("FollowRedirects").checked = true; },
         "certificate_warning_days=30\n",
         {{"Unable to create korvane.cfg", "Problem"}}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        TestShell t;
        const std::string& path = t.settingsFile.Path();
        test::WriteWholeFile(path, "certificate_warning_days=30\n");
        if (!row.messages.empty())
            ::chmod(path.c_str(), 0444);
        ASSERT_TRUE(t.settingsFile.Load());
        t.desktop.AnswerForm([&row](Form& form) {
            EXPECT_FALSE(form.Field("AcceptUntrusted").checked);
            EXPECT_EQ(form.Field("CertificateWarningDays").text, "30");
            EXPECT_FALSE(form.Field("FollowRedirects").checked);
            row.type(form);
            return kFormAccepted;
        });
        PreferencesCommand(t.shell);
        EXPECT_EQ(test::ReadWholeFile(path), row.saved);
        EXPECT_EQ(t.desktop.Messages(), row.messages);
    }
}

TEST(EmailIdentity, OkStoresEveryFieldCutAtItsLimitForgetsOnAskingAndCancelStoresNothing) {
    TestShell t;
    t.settings.Set(field::FromName, "Old Name");
    t.settings.Set(field::SmtpServer, "mail.test");
    t.desktop.AnswerSecret("kept");
    ASSERT_EQ(t.desktop.Secret(MailSecretKey("mail.test", "old"), "?"), "kept");
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("FromName").text, "Old Name");
        EXPECT_EQ(form.Field("Port").text, "25");
        EXPECT_EQ(form.Field("Security").selected, 0);
        EXPECT_EQ(form.Field("User").text, "");
        form.Field("FromName").text = "Webmaster";
        form.Field("FromAddress").text = std::string(90, 'x');
        form.Field("Port").text = "587";
        form.Field("Security").selected = 1;
        form.Field("User").text = "old";
        return kFormAccepted;
    });
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("Port").text, "587");
        EXPECT_EQ(form.Field("Security").selected, 1);
        form.buttons.front().action(form); // "Forget password"
        form.Field("FromName").text = "Someone else";
        form.Field("Port").text = "465";
        return kFormCancelled;
    });
    EXPECT_TRUE(EmailIdentityCommand(t.shell));
    EXPECT_FALSE(EmailIdentityCommand(t.shell));
    EXPECT_EQ(t.settings.Get(field::FromName), "Webmaster");
    EXPECT_EQ(t.settings.Get(field::FromAddress), std::string(79, 'x'));
    EXPECT_EQ(test::ReadWholeFile(t.settingsFile.Path()),
              "smtp_port=587\nsmtp_security=starttls\nsmtp_user=old\n");
    EXPECT_EQ(t.desktop.Secret(MailSecretKey("mail.test", "old"), "?"), std::nullopt)
        << "forgotten, and asked for again";
    EXPECT_EQ(t.desktop.SecretPrompts().size(), 2U);
}

// The titled box turns what was typed into capitals and keeps 39 characters of it; the other box
// starts from its text, keeps 34 characters and shows its prompt above them.
TEST(PromptBox, EachBoxKeepsItsLengthAndTheTitledOneCapitals) {
    test::ScriptedDesktop desktop;
    desktop.AnswerForm([](Form& form) {
        form.Field("EDIT2BOX").text = "acme widgets ltd, " + std::string(32, 'z');
        return kFormAccepted;
    });
    desktop.AnswerForm([](Form& form) {
        form.Field("EDITBOX").text += std::string(40, 'd');
        return kFormAccepted;
    });
    EXPECT_EQ(TitledPromptBox(desktop, "Find customer", "Number / Company / fragment"),
              "ACME WIDGETS LTD, ZZZZZZZZZZZZZZZZZZZZZ");
    EXPECT_EQ(PromptBox(desktop, "Domain", "ex"), "ex" + std::string(32, 'd'));
    EXPECT_EQ(desktop.Forms().at(1).frameLabel, "Domain");
}

TEST(ReportAppend, CutsTheTextAt1024Characters) {
    test::ScriptedDesktop desktop;
    ReportWindowRun run;
    run.onOpen = [](std::shared_ptr<ReportWindowHandle> box) {
        ReportAppend(*box, "%s %d", std::string(1500, 'r').c_str(), 2);
    };
    desktop.RunReportWindow(run);
    EXPECT_EQ(desktop.ReportWindows().at(0).Text(), std::string(1024, 'r'));
}

// Every guarded tool, one table: while its own flag is set a second start is refused with the
// message and no dialog; any other flag leaves it free to ask for its dialog.
TEST(BusyGuard, EachToolIsRefusedOnlyWhileItsOwnFlagIsSet) {
    using B = BusyFlag;
    const std::vector<std::pair<B, void (*)(Shell&)>> tools = {
        {B::HeaderAndSubmit, [](Shell& s) { ServerPageHeaderCommand(s); }},
        {B::HeaderAndSubmit, [](Shell& s) { SubmitUrlCommand(s); }},
        {B::HeaderIPv6, [](Shell& s) { ServerPageHeaderIPv6Command(s); }},
        {B::HeaderCookies, [](Shell& s) { HeaderCookiesCommand(s); }},
        {B::Referrer, [](Shell& s) { ReferrerCommand(s); }},
        {B::MarkupValidation, [](Shell& s) { MarkupValidationCommand(s); }},
        {B::Whois, [](Shell& s) { WhoisCommand(s, WhoisService::Icann); }},
    };
    for (std::size_t i = 0; i < tools.size(); ++i) {
        const auto& [own, command] = tools[i];
        for (const B set : {B::HeaderAndSubmit, B::HeaderIPv6, B::HeaderCookies, B::Referrer,
                            B::MarkupValidation, B::Whois}) {
            SCOPED_TRACE("tool " + std::to_string(i) + ", flag " +
                         std::to_string(static_cast<int>(set)));
            TestShell t;
            t.busy.Set(set);
            t.desktop.AnswerForm(kFormCancelled);
            command(t.shell);
            t.threads.WaitIdle();
            const bool refused = set == own;
            const std::vector<ShownMessage> told{{"In progress", "Please wait"}};
            EXPECT_EQ(t.desktop.Messages(), refused ? told : std::vector<ShownMessage>());
            EXPECT_EQ(t.desktop.Forms().size(), refused ? 0u : 1u);
        }
    }
}

} // namespace
} // namespace korvane
