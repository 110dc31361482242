#include "gui/main_window.h"

#include "gui_test_support.h"
#include "shell/commands.h"
#include "support/scripted_desktop.h"

#include <QAbstractButton>
#include <QAction>

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

} // namespace
} // namespace korvane::gui
