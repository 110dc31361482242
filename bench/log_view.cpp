// The session log's view while a worker logs a line every millisecond, as a link extraction or a
// broken-link run does: how many times the view paints, and how much of the interface thread the
// painting takes. Usage: korvane_log_view [SECONDS] (Qt's offscreen platform unless told)
#include "gui/log_view.h"
#include "gui/qt_desktop.h"
#include "shell/session_log.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>

namespace {

double ThreadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

class PaintCounter final : public QObject {
  public:
    int paints = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    QApplication app(argc, argv);
    using namespace korvane;
    SessionLog log;
    gui::QtDesktop desktop;
    log.SetRepaintRequest([&desktop] { desktop.RequestLogRepaint(); });
    // The size the view has in the main window.
    gui::LogView view(log, nullptr);
    view.resize(690, 600);
    QObject::connect(&desktop, &gui::QtDesktop::logRepaintRequested, &view,
                     [&view] { view.viewport()->update(); });
    PaintCounter counter;
    view.viewport()->installEventFilter(&counter);
    view.show();
    QApplication::processEvents();

    std::atomic<bool> over{false};
    const int lines = seconds * 1000;
    const double cpuBefore = ThreadCpuMs();
    const int paintsBefore = counter.paints;
    std::thread worker([&] {
        auto next = std::chrono::steady_clock::now();
        for (int i = 0; i < lines; ++i) {
            log.AppendLine("http://www.example.com/docs/page" + std::to_string(i) + ".html");
            next += std::chrono::milliseconds(1);
            std::this_thread::sleep_until(next);
        }
        over = true;
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (over)
            app.quit();
    });
    poll.start(10);
    app.exec();
    worker.join();
    const double busy = ThreadCpuMs() - cpuBefore;
    std::printf("%d lines in %d s: %d paints, interface thread busy %.0f ms (%.1f%%)\n", lines,
                seconds, counter.paints - paintsBefore, busy, busy / (seconds * 10.0));
    return 0;
}
