#include "app/qt/application.h"

#include "app/startup.h"
#include "app/tool_registry.h"
#include "gui/artwork.h"
#include "gui/log_view.h"
#include "gui/main_window.h"
#include "gui/qt_desktop.h"
#include "gui/splash_window.h"
#include "history/watch_history.h"
#include "records/record_files.h"
#include "shell/commands.h"
#include "shell/instance_lock.h"
#include "shell/screen.h"
#include "shell/shell.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <sys/socket.h>
#include <unistd.h>

namespace korvane::app {

using gui::ApplicationIcon;
using gui::MainWindow;
using gui::QtDesktop;
using gui::SplashWindow;

namespace {

int g_signalPipe[2] = {-1, -1};

void OnTerminationSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
}

// A session logout or kill sends SIGTERM: end through the normal end sequence so the settings
// typed in this session are written, as they are when the window is closed.
void EndOnTerminationSignals(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&app] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(g_signalPipe[0], &byte, 1);
        app.quit();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

} // namespace

int RunKorvane(int argc, char** argv) {
    InstanceLock instance;
    if (!instance.Acquire(InstanceLock::DefaultPath()) && instance.HeldElsewhere())
        return 0;

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvane"));
    QApplication::setDesktopFileName(QStringLiteral("korvane"));
    QApplication::setWindowIcon(QIcon(QPixmap::fromImage(ApplicationIcon(256))));

    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr || DesktopTooNarrow(screen->geometry().width())) {
        QMessageBox::warning(nullptr, QStringLiteral("Problem"),
                             QStringLiteral("Program requires desktop of at least 800 by 600"));
        return 0;
    }
    EndOnTerminationSignals(app);

    SessionLog log;
    SettingsBlock settings;
    SettingsFile settingsFile;
    BusyFlags busy;
    FilePickerState pickers;
    SystemClock clock;
    ToolThreads threads;
    QtDesktop desktop;
    RecordDatabases records;
    RunState run;
    WatchHistory history;
    Shell shell{log,   settings, settingsFile, busy, pickers, desktop,
                clock, threads,  records,      run,  history};
    log.SetRepaintRequest([&desktop] { desktop.RequestLogRepaint(); });

    CommandDispatcher dispatcher;
    RegisterTools(dispatcher, shell);

    MainWindow window(shell, dispatcher);
    desktop.SetOwner(&window);
    QObject::connect(&desktop, &QtDesktop::logRepaintRequested, &window,
                     [&window] { window.Log()->viewport()->update(); });
    QObject::connect(&desktop, &QtDesktop::captionRequested, &window, &QWidget::setWindowTitle);

    const std::string settingsPath(kSettingsFileName);
    std::unique_ptr<SplashWindow> splash;
    if (RunStartupSequence(shell, settingsPath)) {
        splash = std::make_unique<SplashWindow>(screen);
        QObject::connect(splash.get(), &SplashWindow::finished, &window, [&] {
            const QRect area = screen->geometry();
            const ScreenPoint origin = MainWindowPosition(area.width(), area.height());
            window.move(area.x() + origin.x, area.y() + origin.y);
            window.resize(kMainWindowWidth, kMainWindowHeight);
            window.showNormal();
            window.activateWindow();
            window.setFocus();
            desktop.ShowHelp();
        });
        splash->show();
        app.exec();
    }

    RunEndSequence(shell, settingsPath);
    if (threads.Running() > 0) {
        // Workers still running end with the process, as a closed window means "stop now".
        std::fflush(nullptr);
        std::_Exit(0);
    }
    return 0;
}

} // namespace korvane::app
