#pragma once

// A run in the program's own report window, timed as the user sees it: over once the window shows
// its last line, "Finished." and a blank one.
#include "bench_shell.h"
#include "gui/qt_desktop.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace korvane::bench {

inline bool ShowsFinished(const QPlainTextEdit& text) {
    const QTextBlock last = text.document()->lastBlock();
    return last.text().isEmpty() && last.previous().text().isEmpty() &&
           last.previous().previous().text() == QStringLiteral("Finished.");
}

// Runs `worker` on a thread of the shell's, reporting into a report window with `caption`, and
// returns once the window shows the last line; gives the lines that begin with `counted`.
inline int RunInReportWindow(BasicBenchShell<gui::QtDesktop>& bench, const std::string& caption,
                             std::function<void(ReportWindowHandle&)> worker,
                             const QString& counted) {
    int lines = 0;
    ReportWindowRun run;
    run.caption = caption;
    run.onOpen = [&](const std::shared_ptr<ReportWindowHandle>& report) {
        auto* window = QApplication::activeModalWidget();
        auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("Report"));
        // Once the worker is over, watch for the last line to show.
        auto* watch = new QTimer(window);
        QObject::connect(watch, &QTimer::timeout, window, [&, window, text] {
            if (!ShowsFinished(*text))
                return;
            text->viewport()->repaint();
            for (QTextBlock block = text->document()->begin(); block.isValid();
                 block = block.next())
                lines += block.text().startsWith(counted) ? 1 : 0;
            window->close();
        });
        if (!bench.threads.Start([&worker, report, watch] {
                worker(*report);
                QMetaObject::invokeMethod(watch, [watch] { watch->start(1); });
            }))
            std::exit(1);
    };
    bench.desktop.RunReportWindow(run);
    bench.threads.WaitIdle();
    return lines;
}

} // namespace korvane::bench
