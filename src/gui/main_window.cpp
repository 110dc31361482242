#include "gui/main_window.h"

#include "gui/about_dialog.h"
#include "gui/artwork.h"
#include "gui/log_view.h"
#include "gui/picture_button.h"
#include "gui/text.h"
#include "shell/commands.h"
#include "shell/shell.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QMenuBar>

namespace korvane::gui {

namespace {

constexpr int kButtonSize = 80;
constexpr int kButtonLeft = 15;
constexpr std::array kButtonTops = {28, 128, 232, 336, 440};
constexpr int kLogLeft = 110;

std::optional<Key> FunctionKey(int key) {
    switch (key) {
    case Qt::Key_F1:
        return Key::F1;
    case Qt::Key_F2:
        return Key::F2;
    case Qt::Key_F3:
        return Key::F3;
    case Qt::Key_F4:
        return Key::F4;
    default:
        return std::nullopt;
    }
}

std::optional<LogViewModel::ScrollAction> ScrollKey(int key) {
    using A = LogViewModel::ScrollAction;
    switch (key) {
    case Qt::Key_Up:
        return A::LineUp;
    case Qt::Key_Down:
        return A::LineDown;
    case Qt::Key_PageUp:
        return A::PageUp;
    case Qt::Key_PageDown:
        return A::PageDown;
    case Qt::Key_Home:
        return A::Top;
    case Qt::Key_End:
        return A::Bottom;
    default:
        return std::nullopt;
    }
}

} // namespace

MainWindow::MainWindow(Shell& shell, const CommandDispatcher& dispatcher)
    : m_shell(shell), m_dispatcher(dispatcher), m_client(new QWidget(this)),
      m_log(new LogView(shell.log, m_client)) {
    setObjectName(QStringLiteral("KORVANE"));
    setWindowTitle(QStringLiteral("KORVANE"));
    setWindowIcon(QIcon(QPixmap::fromImage(ApplicationIcon(64))));
    setFocusPolicy(Qt::StrongFocus);
    m_client->setFocusPolicy(Qt::NoFocus);
    m_client->installEventFilter(this);
    setCentralWidget(m_client);

    const auto buttons = PictureButtonTable();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        auto* button = new PictureButton(static_cast<int>(i), m_client);
        button->setObjectName(QStringLiteral("button%1").arg(buttons[i].id));
        const Command command = buttons[i].command;
        connect(button, &QAbstractButton::clicked, this, [this, command] { RunCommand(command); });
        m_buttons[i] = button;
    }
    BuildMenus();
    resize(800, 600);
}

void MainWindow::BuildMenus() {
    // Eleven menus must fit the 800-pixel frame without an overflow arrow.
    menuBar()->setStyleSheet(QStringLiteral(
        "QMenuBar { spacing: 0px; } QMenuBar::item { padding: 3px 3px; margin: 0px; }"));
    for (const Menu& menu : MenuTable()) {
        QMenu* qmenu = menuBar()->addMenu(ToQString(menu.title));
        for (const MenuItem& item : menu.items) {
            QString label = ToQString(item.label);
            if (!item.hint.empty())
                label += QLatin1Char('\t') + ToQString(item.hint);
            QAction* action = qmenu->addAction(label);
            action->setObjectName(QStringLiteral("command%1").arg(static_cast<int>(item.command)));
            const Command command = item.command;
            connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
            if (item.separatorAfter)
                qmenu->addSeparator();
        }
    }
}

void MainWindow::RunCommand(Command command) {
    switch (command) {
    case Command::Exit:
        close();
        return;
    case Command::About:
        ShowAbout();
        return;
    case Command::Help:
        m_shell.desktop.ShowHelp();
        return;
    default:
        m_dispatcher.Dispatch(command);
    }
}

void MainWindow::ShowAbout() {
    AboutDialog about(this);
    about.exec();
}

void MainWindow::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (const auto scroll = ScrollKey(key)) {
        m_log->Scroll(*scroll);
        return;
    }
    const bool ctrl = event->modifiers().testFlag(Qt::ControlModifier);
    const bool alt = event->modifiers().testFlag(Qt::AltModifier);
    std::optional<Command> command;
    if (const auto function = FunctionKey(key)) {
        command = CommandForKey(*function, 0, ctrl, alt);
    } else if ((key >= Qt::Key_A && key <= Qt::Key_Z) || key == Qt::Key_Question ||
               key == Qt::Key_Slash) {
        command = CommandForKey(Key::Letter, static_cast<char>(key), ctrl, alt);
    }
    if (command)
        RunCommand(*command);
    else
        QMainWindow::keyPressEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the frame ends the session, even while the help window is open.
    event->accept();
    QApplication::quit();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize)
        LayOutClientArea();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::LayOutClientArea() {
    const int width = m_client->width();
    const int height = m_client->height();
    m_log->setGeometry(kLogLeft, 0, std::max(0, width - kLogLeft), height);
    for (std::size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setGeometry(kButtonLeft, kButtonTops[i], kButtonSize, kButtonSize);
}

} // namespace korvane::gui
