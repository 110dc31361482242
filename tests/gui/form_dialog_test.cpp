#include "gui/form_dialog.h"

#include "databases/database_email.h"
#include "databases/url_submission.h"
#include "gui/qt_desktop.h"
#include "gui_test_support.h"
#include "page_tools/markup_validation.h"
#include "shell/preferences.h"
#include "support/scripted_desktop.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace korvane::gui {
namespace {

using korvane::test::TestShell;
using test::WhenModalOpens;

// A TestShell whose forms go through the real Qt dialogs.
struct QtFormShell {
    TestShell core;
    QtDesktop desktop;
    Shell shell{core.log,   core.settings, core.settingsFile, core.busy, core.pickers, desktop,
                core.clock, core.threads,  core.records,      core.run,  core.history};
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
        QGroupBox* web = nullptr;
        for (QGroupBox* frame : dialog->findChildren<QGroupBox*>())
            if (frame->title() == QStringLiteral("Web"))
                web = frame;
        ASSERT_NE(web, nullptr);
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

// A box that offers the start of its text ("http://www.") keeps it when the user types, in the
// box that has the focus first and in one reached with Tab alike.
TEST(FormDialog, TypingCompletesAStartingTextInsteadOfReplacingIt) {
    struct Case {
        std::function<void(Shell&)> command;
        int tabs;
        const char *field, *typed, *value;
    };
    const std::vector<Case> cases = {
        {SubmitUrlCommand, 0, "URL", "example.com/", "http://www.example.com/"},
        {SubmitUrlCommand, 1, "Email", "example.com", "info@example.com"},
        {MarkupValidationCommand, 0, "URL", "example.com/", "http://www.example.com/"},
    };
    for (const Case& c : cases) {
        QtFormShell t;
        QString value;
        WhenModalOpens([&c, &value](QWidget* dialog) {
            dialog->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
            for (int i = 0; i < c.tabs; ++i)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(c.typed));
            value = dialog->findChild<QLineEdit*>(QString::fromLatin1(c.field))->text();
            dialog->findChild<QPushButton*>(QStringLiteral("Cancel"))->click();
        });
        c.command(t.shell);
        EXPECT_EQ(value, QString::fromLatin1(c.value)) << c.field;
    }
}

// Mail text is typed as UTF-8 and what a mail cannot carry is named in the question, as typed.
TEST(MailmergeDialog, TheQuestionNamesWhatTheMailCannotCarryAsTyped) {
    QtFormShell t;
    t.core.settings.Set(field::SmtpServer, "localhost");
    QString question;
    std::function<void()> answer = [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            QTimer::singleShot(10, answer);
            return;
        }
        question = box->text();
        box->button(QMessageBox::No)->click();
    };
    WhenModalOpens([&](QWidget* dialog) {
        QTest::keyClicks(dialog->findChild<QLineEdit*>(QStringLiteral("Recipient")), "a@b.test");
        auto* text = dialog->findChild<QPlainTextEdit*>(QStringLiteral("Text"));
        text->selectAll();
        text->insertPlainText(QString::fromUtf8("5 \u20ac \u00e9")); // pasted
        answer();
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    });
    MailmergeCommand(t.shell);
    t.core.threads.WaitIdle();
    EXPECT_EQ(question, QString::fromUtf8("These characters cannot be sent and will be left out: "
                                          "\u20ac\nSend it anyway?"));
    EXPECT_EQ(t.core.LogTexts(), std::vector<std::string>{});
}

} // namespace
} // namespace korvane::gui
