#include "gui/main_window.h"

#include "gui/log_view.h"
#include "gui/qt_desktop.h"
#include "gui_test_support.h"
#include "shell/commands.h"
#include "support/scripted_desktop.h"

#include <QAbstractButton>
#include <QAction>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <vector>

namespace korvane::gui {
namespace {

using korvane::test::TestShell;

// A main window whose every tool command is recorded instead of run.
struct WindowFixture {
    TestShell core;
    CommandDispatcher dispatcher;
    std::vector<Command> ran;
    MainWindow window{core.shell, dispatcher};

    WindowFixture() {
        for (const Menu& menu : MenuTable())
            for (const MenuItem& item : menu.items)
                dispatcher.Register(item.command, [this, c = item.command] { ran.push_back(c); });
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
};

TEST(MainWindow, MenusFollowTheCommandTableWithHintsAndSeparators) {
    WindowFixture f;
    const QList<QAction*> menus = f.window.menuBar()->actions();
    const auto table = MenuTable();
    ASSERT_EQ(static_cast<std::size_t>(menus.size()), table.size());
    for (std::size_t m = 0; m < table.size(); ++m) {
        EXPECT_EQ(menus[static_cast<int>(m)]->text(), QString::fromLatin1(table[m].title.data()));
        const QList<QAction*> items = menus[static_cast<int>(m)]->menu()->actions();
        int index = 0;
        for (const MenuItem& item : table[m].items) {
            ASSERT_LT(index, items.size());
            QString expected =
                QString::fromLatin1(item.label.data(), static_cast<int>(item.label.size()));
            if (!item.hint.empty())
                expected +=
                    QLatin1Char('\t') +
                    QString::fromLatin1(item.hint.data(), static_cast<int>(item.hint.size()));
            EXPECT_EQ(items[index]->text(), expected);
            ++index;
            if (item.separatorAfter) {
                ASSERT_LT(index, items.size());
                EXPECT_TRUE(items[index]->isSeparator()) << item.label;
                ++index;
            }
        }
        EXPECT_EQ(index, items.size());
    }
}

TEST(MainWindow, MenuItemsButtonsAndKeysDispatchTheirCommands) {
    WindowFixture f;
    f.window.findChild<QAction*>(QStringLiteral("command32807"))->trigger();
    // The picture buttons, top to bottom.
    for (int id = 2400; id < 2405; ++id)
        QTest::mouseClick(f.window.findChild<QAbstractButton*>(QStringLiteral("button%1").arg(id)),
                          Qt::LeftButton);
    QTest::keyClick(&f.window, Qt::Key_H, Qt::ControlModifier);
    QTest::keyClick(&f.window, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(&f.window, Qt::Key_F3);
    // Without Ctrl letters do nothing, and so do unlisted keys.
    QTest::keyClick(&f.window, Qt::Key_H);
    QTest::keyClick(&f.window, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(f.ran,
              (std::vector<Command>{Command::SubmitUrl, Command::ServerPageHeader,
                                    Command::VerifyFile, Command::VerifyFolder, Command::CheckSite,
                                    Command::LinksAll, Command::ServerPageHeader,
                                    Command::VerifyCustomerSite, Command::CustomerAdd}));
    // Help goes to the desktop, from F1 and from its menu item alike.
    QTest::keyClick(&f.window, Qt::Key_F1);
    f.window.findChild<QAction*>(QStringLiteral("command%1").arg(static_cast<int>(Command::Help)))
        ->trigger();
    EXPECT_EQ(f.core.desktop.HelpRequests(), 2);
}

QStringList LabelTexts(QWidget* widget) {
    QStringList texts;
    for (QLabel* label : widget->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            texts << label->text();
    return texts;
}

TEST(MainWindow, AltQuestionMarkOpensTheAboutBoxAndCreditsOpensFromIt) {
    WindowFixture f;
    QStringList aboutTexts;
    QString creditsTitle;
    QString aboutTitle;
    test::WhenModalOpens([&](QWidget* about) {
        aboutTitle = about->windowTitle();
        aboutTexts = LabelTexts(about);
        test::WhenModalOpens([&](QWidget* credits) {
            creditsTitle = credits->windowTitle();
            QTest::mouseClick(credits->findChild<QPushButton*>(QStringLiteral("OK")),
                              Qt::LeftButton);
        });
        QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("Credits")),
                          Qt::LeftButton);
        QTest::mouseClick(about->findChild<QPushButton*>(QStringLiteral("OK")), Qt::LeftButton);
    });
    QTest::keyClick(&f.window, Qt::Key_Question, Qt::AltModifier);

    EXPECT_EQ(aboutTitle, QStringLiteral("Korvane"));
    EXPECT_TRUE(aboutTexts.contains(QStringLiteral("Release 52.00")));
    EXPECT_EQ(creditsTitle, QStringLiteral("Credits"));
    EXPECT_TRUE(f.ran.empty());
}

TEST(LogView, FollowsTheNewestLinesAndScrollKeysMoveIt) {
    WindowFixture f;
    for (int i = 0; i < 199; ++i)
        f.core.log.AppendLine("line " + std::to_string(i));
    LogView* log = f.window.Log();
    log->viewport()->repaint();
    const int fit = log->Model().LinesThatFit();
    ASSERT_GT(fit, 5);
    EXPECT_EQ(log->Model().FirstVisible(), 199 - fit);
    EXPECT_EQ(log->verticalScrollBar()->value(), 199 - fit);
    EXPECT_EQ(log->verticalScrollBar()->maximum(), 201 - fit);

    QTest::keyClick(&f.window, Qt::Key_Home);
    log->viewport()->repaint();
    EXPECT_EQ(log->Model().FirstVisible(), 0);
    QTest::keyClick(&f.window, Qt::Key_Down);
    QTest::keyClick(&f.window, Qt::Key_PageDown);
    EXPECT_EQ(log->Model().FirstVisible(), 1 + fit);
    QTest::keyClick(&f.window, Qt::Key_End);
    EXPECT_EQ(log->Model().FirstVisible(), 201 - fit);
    EXPECT_EQ(log->verticalScrollBar()->value(), 201 - fit);
    log->viewport()->repaint(); // the repaint the scroll asked for keeps the position
    EXPECT_EQ(log->Model().FirstVisible(), 201 - fit);

    // A new line brings the newest lines back.
    f.core.log.AppendLine("newest");
    log->viewport()->repaint();
    EXPECT_EQ(log->Model().FirstVisible(), 199 - fit);
    // The keyboard stays with the main window.
    EXPECT_EQ(log->focusPolicy(), Qt::NoFocus);
}

TEST(LogView, CopyAllPutsEveryLineOnTheClipboardOldestFirst) {
    WindowFixture f;
    f.core.log.AppendLine("Session start:");
    f.core.log.AppendHighlighted("Server page header: /index.html");
    LogView* log = f.window.Log();
    QTimer::singleShot(0, [] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            QAction* copy = menu->actions().value(0);
            EXPECT_EQ(copy->text(), QStringLiteral("Copy all"));
            copy->trigger();
            menu->close();
        }
    });
    QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(20, 20),
                            log->mapToGlobal(QPoint(20, 20)));
    QApplication::sendEvent(log->viewport(), &event);
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("Session start:\nServer page header: /index.html\n"));
}

} // namespace
} // namespace korvane::gui
