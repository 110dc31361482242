#include "gui/form_dialog.h"

#include "gui/qt_desktop.h"
#include "gui_test_support.h"
#include "shell/preferences.h"
#include "support/scripted_desktop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace korvane::gui {
namespace {

using korvane::test::TestShell;
using test::WhenModalOpens;

// A TestShell whose forms go through the real Qt dialogs.
struct QtFormShell {
    TestShell core;
    QtDesktop desktop;
    Shell shell{core.log, core.settings, core.settingsFile, core.busy,    core.pickers,
                desktop,  core.clock,    core.threads,      core.records, core.run};
};

TEST(PreferencesDialog, TypingIntoTheRealDialogStoresWhatTheUserSees) {
    QtFormShell t;
    WhenModalOpens([](QWidget* dialog) {
        auto* smtp = dialog->findChild<QLineEdit*>(QStringLiteral("SmtpServer"));
        ASSERT_NE(smtp, nullptr);
        EXPECT_EQ(smtp->text(), QString::fromLatin1(kSmtpPlaceholder.data()));
        smtp->selectAll();
        QTest::keyClicks(smtp, QString(85, QLatin1Char('q')));
        auto* agent = dialog->findChild<QLineEdit*>(QStringLiteral("OtherAgent"));
        EXPECT_EQ(agent->text(), QStringLiteral("mybot"));
        agent->clear();
        dialog->findChild<QComboBox*>(QStringLiteral("IdentifyAs"))->setCurrentIndex(3);
        dialog->findChild<QCheckBox*>(QStringLiteral("Beep"))->click();
        auto* web = dialog->findChild<QGroupBox*>(QStringLiteral("Web"));
        ASSERT_NE(web, nullptr);
        EXPECT_EQ(web->title(), QStringLiteral("Web"));
        auto* days = web->findChild<QLineEdit*>(QStringLiteral("CertificateWarningDays"));
        ASSERT_NE(days, nullptr);
        days->selectAll();
        QTest::keyClicks(days, QStringLiteral("30"));
        web->findChild<QCheckBox*>(QStringLiteral("FollowRedirects"))->click();
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    });
    PreferencesCommand(t.shell);
    EXPECT_EQ(t.core.settings.Get(field::SmtpServer), std::string(79, 'q'));
    EXPECT_EQ(t.core.settings.Get(field::OtherAgent), "mybot");
    EXPECT_EQ(t.core.settings.Get(field::IdentifyAsChoice), 3);
    EXPECT_EQ(t.core.settings.Get(field::BeepFlag), kFlagOff);
    EXPECT_EQ(t.core.settings.Get(field::DetailFlag), kFlagOn);
    EXPECT_EQ(CertificateWarningDays(t.core.settingsFile), 30);
    EXPECT_TRUE(FollowRedirects(t.core.settingsFile));
    EXPECT_FALSE(AcceptUntrustedCertificates(t.core.settingsFile));
}

} // namespace
} // namespace korvane::gui
