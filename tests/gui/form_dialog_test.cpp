#include "gui/form_dialog.h"

#include "databases/customers.h"
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
#include <QPushButton>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

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
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    });
    PreferencesCommand(t.shell);
    EXPECT_EQ(t.core.settings.Get(field::SmtpServer), std::string(79, 'q'));
    EXPECT_EQ(t.core.settings.Get(field::OtherAgent), "mybot");
    EXPECT_EQ(t.core.settings.Get(field::IdentifyAsChoice), 3);
    EXPECT_EQ(t.core.settings.Get(field::BeepFlag), kFlagOff);
    EXPECT_EQ(t.core.settings.Get(field::DetailFlag), kFlagOn);
}

// A box that offers the start of its text ("http://www.") keeps it when the user types, in the
// box that has the focus first and in one reached with Tab alike.
TEST(FormDialog, TypingCompletesAStartingTextInsteadOfReplacingIt) {
    struct Case {
        std::function<void(Shell&)> command;
        int tabs;
        const char* field;
        const char* typed;
        const char* value;
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

// Number and Company are marked as required; the contact names and the link-exchange entry sit in
// frames of their own.
TEST(CustomerForm, MarksTheRequiredFieldsAndFramesTheContactAndTheLinkExchange) {
    QtFormShell t;
    WhenModalOpens([](QWidget* dialog) {
        for (const QLineEdit* edit : dialog->findChildren<QLineEdit*>()) {
            const bool required = edit->objectName() == QStringLiteral("Number") ||
                                  edit->objectName() == QStringLiteral("Company");
            EXPECT_EQ(edit->palette().color(QPalette::Base) == QColor(Qt::yellow), required)
                << edit->objectName().toStdString();
        }
        const std::vector<std::pair<QString, QStringList>> frames = {
            {QStringLiteral("Contact"),
             {QStringLiteral("Title"), QStringLiteral("First name"), QStringLiteral("Last name")}},
            {QStringLiteral("Link exchange"),
             {QStringLiteral("Domain"), QStringLiteral("Page"), QStringLiteral("Link text")}},
        };
        for (const auto& [title, expected] : frames) {
            QStringList fields;
            for (const QGroupBox* frame : dialog->findChildren<QGroupBox*>())
                if (frame->title() == title)
                    for (const QLineEdit* edit : frame->findChildren<QLineEdit*>())
                        fields << edit->objectName();
            EXPECT_EQ(fields, expected) << title.toStdString();
        }
        dialog->findChild<QPushButton*>(QStringLiteral("Cancel"))->click();
    });
    CustomerAddCommand(t.shell);
}

} // namespace
} // namespace korvane::gui
