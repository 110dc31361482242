#include "gui/main_window.h"

#include "gui_test_support.h"
#include "shell/commands.h"
#include "support/scripted_desktop.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace korvane::gui {
namespace {

using korvane::test::TestShell;

QStringList LabelTexts(QWidget* widget) {
    QStringList texts;
    for (QLabel* label : widget->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts << label->text();
    return texts;
}

TEST(AboutBox, AltQuestionMarkOpensItAndCreditsOpensFromIt) {
    TestShell core;
    CommandDispatcher dispatcher;
    MainWindow window(core.shell, dispatcher);
    window.show();

    QStringList aboutTexts;
    QStringList creditsTexts;
    QString aboutTitle;
    test::WhenModalOpens([&](QWidget* about) {
        aboutTitle = about->windowTitle();
        aboutTexts = LabelTexts(about);
        test::WhenModalOpens([&](QWidget* credits) {
            EXPECT_EQ(credits->windowTitle(), QStringLiteral("Credits"));
            creditsTexts = LabelTexts(credits);
            QTest::mouseClick(credits->findChild<QPushButton*>(QStringLiteral("OK")),
                              Qt::LeftButton);
        });
        QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("Credits")),
                          Qt::LeftButton);
        QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    });
    QTest::keyClick(&window, Qt::Key_Question, Qt::AltModifier);

    EXPECT_EQ(aboutTitle, QStringLiteral("Korvane"));
    EXPECT_TRUE(aboutTexts.contains(QStringLiteral("Release 52.00")));
    EXPECT_TRUE(creditsTexts.contains(QStringLiteral("Code:")));
    EXPECT_TRUE(creditsTexts.contains(QStringLiteral("Interface:")));
    EXPECT_TRUE(creditsTexts.contains(QStringLiteral("Acknowledgment")));
    EXPECT_TRUE(creditsTexts.contains(
        QStringLiteral("The program utilitzes the RSA Data Security, Inc. MD5 Message-Digest.")));
}

TEST(Help, F1AndTheHelpItemOpenTheHelp) {
    TestShell core;
    CommandDispatcher dispatcher;
    MainWindow window(core.shell, dispatcher);
    window.show();
    QTest::keyClick(&window, Qt::Key_F1);
    window.RunCommand(Command::Help);
    EXPECT_EQ(core.desktop.HelpRequests(), 2);
}

} // namespace
} // namespace korvane::gui
