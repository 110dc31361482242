#include "shell/preferences.h"

#include "support/scripted_desktop.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

using test::TestShell;

// The texts of a fresh form are the real dialog's test; here the choices and limits.
TEST(Preferences, AFreshInstallSelectsTheFirstChoicesAndChecksBothBoxes) {
    TestShell t;
    t.desktop.AnswerForm(kFormCancelled);
    PreferencesCommand(t.shell);
    const Form form = t.desktop.Forms().at(0);
    EXPECT_EQ(form.Field("IdentifyAs").selected, 0);
    EXPECT_EQ(form.Field("Referrer").selected, 0);
    EXPECT_TRUE(form.Field("Verbose").checked);
    EXPECT_TRUE(form.Field("Beep").checked);
    EXPECT_EQ(form.Field("SmtpServer").maxChars, 79u);
}

TEST(Preferences, OkStoresEveryFieldWithItsDefaultsAndLimits) {
    TestShell t;
    t.desktop.AnswerForm([](Form& form) {
        form.Field("IdentifyAs").selected = 4;
        form.Field("OtherAgent").text = "";
        form.Field("Referrer").selected = 3;
        form.Field("OtherReferrer").text = "";
        form.Field("Verbose").checked = false;
        form.Field("Beep").checked = false;
        form.Field("SmtpServer").text = std::string(85, 'm');
        return kFormAccepted;
    });
    PreferencesCommand(t.shell);

    EXPECT_EQ(t.settings.Get(field::IdentifyAsChoice), 4);
    EXPECT_EQ(t.settings.Get(field::OtherAgent), "mybot");
    EXPECT_EQ(t.settings.Get(field::ReferrerChoice), 3);
    EXPECT_EQ(t.settings.Get(field::OtherReferrer), "http://www.msn.com");
    EXPECT_EQ(t.settings.Get(field::DetailFlag), kFlagOff);
    EXPECT_EQ(t.settings.Get(field::BeepFlag), kFlagOff);
    EXPECT_EQ(t.settings.Get(field::SmtpServer), std::string(79, 'm'));
}

TEST(Preferences, NoSelectionKeepsTheStoredChoicesAndAnUntouchedPlaceholderIsStored) {
    TestShell t;
    t.settings.Set(field::IdentifyAsChoice, 2);
    t.settings.Set(field::ReferrerChoice, 9); // outside the list: shown with nothing selected
    t.settings.Set(field::DetailFlag, kFlagOff);
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("IdentifyAs").selected, 2);
        EXPECT_EQ(form.Field("Referrer").selected, -1);
        form.Field("IdentifyAs").selected = -1;
        form.Field("Referrer").selected = -1;
        form.Field("OtherAgent").text = "crawler/2";
        form.Field("Verbose").checked = true;
        return kFormAccepted;
    });
    PreferencesCommand(t.shell);

    EXPECT_EQ(t.settings.Get(field::IdentifyAsChoice), 2);
    EXPECT_EQ(t.settings.Get(field::ReferrerChoice), 9);
    EXPECT_EQ(t.settings.Get(field::OtherAgent), "crawler/2");
    EXPECT_EQ(t.settings.Get(field::DetailFlag), kFlagOn);
    EXPECT_EQ(t.settings.Get(field::SmtpServer), kSmtpPlaceholder);
}

TEST(EmailIdentity, OkStoresBothFieldsCutAtTheirLimitAndCancelStoresNothing) {
    TestShell t;
    t.settings.Set(field::FromName, "Old Name");
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("FromName").text, "Old Name");
        form.Field("FromName").text = "Webmaster";
        form.Field("FromAddress").text = std::string(90, 'x');
        return kFormAccepted;
    });
    EXPECT_TRUE(EmailIdentityCommand(t.shell));
    EXPECT_EQ(t.settings.Get(field::FromName), "Webmaster");
    EXPECT_EQ(t.settings.Get(field::FromAddress), std::string(79, 'x'));

    t.desktop.AnswerForm([](Form& form) {
        form.Field("FromName").text = "Someone else";
        return kFormCancelled;
    });
    EXPECT_FALSE(EmailIdentityCommand(t.shell));
    EXPECT_EQ(t.settings.Get(field::FromName), "Webmaster");
    EXPECT_EQ(t.desktop.Forms()[1].title, "Email identity");
}

} // namespace
} // namespace korvane
