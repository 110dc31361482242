#include "gui/form_dialog.h"

#include "gui/qt_desktop.h"
#include "gui_test_support.h"
#include "shell/preferences.h"
#include "shell/shared_dialogs.h"
#include "support/scripted_desktop.h"

#include <QCheckBox>
#include <QComboBox>
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
    Shell shell{core.log,   core.settings, core.busy,    core.pickers, desktop,
                core.clock, core.threads,  core.records, core.run};
};

TEST(PreferencesDialog, TypingIntoTheRealDialogStoresWhatTheUserSees) {
    QtFormShell t;
    WhenModalOpens([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Preferences"));
        auto* smtp = dialog->findChild<QLineEdit*>(QStringLiteral("SmtpServer"));
        ASSERT_NE(smtp, nullptr);
        EXPECT_TRUE(smtp->hasFocus() || QApplication::focusWidget() == nullptr);
        EXPECT_EQ(smtp->text(), QString::fromLatin1(kSmtpPlaceholder.data()));
        smtp->selectAll();
        QTest::keyClicks(smtp, QString(85, QLatin1Char('q')));
        auto* agent = dialog->findChild<QLineEdit*>(QStringLiteral("OtherAgent"));
        EXPECT_EQ(agent->text(), QStringLiteral("mybot"));
        agent->clear();
        dialog->findChild<QComboBox*>(QStringLiteral("IdentifyAs"))->setCurrentIndex(3);
        dialog->findChild<QCheckBox*>(QStringLiteral("Beep"))->click();
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    });
    PreferencesCommand(t.shell);

    EXPECT_EQ(t.core.settings.Get(field::SmtpServer), std::string(79, 'q'));
    EXPECT_EQ(t.core.settings.Get(field::OtherAgent), "mybot");
    EXPECT_EQ(t.core.settings.Get(field::IdentifyAsChoice), 3);
    EXPECT_EQ(t.core.settings.Get(field::BeepFlag), kFlagOff);
    EXPECT_EQ(t.core.settings.Get(field::DetailFlag), kFlagOn);
}

TEST(PreferencesDialog, CancelStoresNothing) {
    QtFormShell t;
    const auto before = t.core.settings.CopyImage();
    WhenModalOpens([](QWidget* dialog) {
        dialog->findChild<QComboBox*>(QStringLiteral("Referrer"))->setCurrentIndex(2);
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("SmtpServer")), "x");
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Cancel")),
                          Qt::LeftButton);
    });
    PreferencesCommand(t.shell);
    EXPECT_EQ(t.core.settings.CopyImage(), before);
}

TEST(PromptBoxDialog, TheTitledBoxTurnsTypingIntoCapitalsAndStopsAt39) {
    QtDesktop desktop;
    WhenModalOpens([](QWidget* dialog) {
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Find customer"));
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("EDIT2BOX"));
        ASSERT_NE(edit, nullptr);
        QTest::keyClicks(edit, QStringLiteral("smith and sons, builders of fine homes 1234"));
        EXPECT_EQ(edit->text(), QStringLiteral("SMITH AND SONS, BUILDERS OF FINE HOMES "));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    const auto typed = TitledPromptBox(desktop, "Find customer", "Number / Company / fragment");
    EXPECT_EQ(typed, "SMITH AND SONS, BUILDERS OF FINE HOMES ");
}

TEST(PromptBoxDialog, TheUntitledBoxStopsAt34AndEscapeCancels) {
    QtDesktop desktop;
    WhenModalOpens([](QWidget* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("EDITBOX"));
        QTest::keyClicks(edit, QString(50, QLatin1Char('w')));
        EXPECT_EQ(edit->text().size(), 34);
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(PromptBox(desktop, "Domain", ""), std::string(34, 'w'));

    WhenModalOpens([](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    EXPECT_EQ(PromptBox(desktop, "Domain", "x"), std::nullopt);
}

TEST(FormDialog, AnActionButtonChangesTheFormWhileTheDialogStaysOpen) {
    QtDesktop desktop;
    Form form;
    form.name = "Mailmerge";
    form.title = "Mailmerge";
    form.fields.push_back(FormField::TextBox("Subject", "Subject", "", 20));
    form.buttons = Form::OkCancel();
    form.buttons.push_back(
        {"Load", 7, false, [](Form& shown) { shown.Field("Subject").text += " loaded"; }});
    WhenModalOpens([](QWidget* dialog) {
        auto* subject = dialog->findChild<QLineEdit*>(QStringLiteral("Subject"));
        QTest::keyClicks(subject, "News");
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("Load")), Qt::LeftButton);
        EXPECT_EQ(subject->text(), QStringLiteral("News loaded"));
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    });
    EXPECT_EQ(ShowForm(desktop, form), kFormAccepted);
    EXPECT_EQ(form.Field("Subject").text, "News loaded");
}

} // namespace
} // namespace korvane::gui
