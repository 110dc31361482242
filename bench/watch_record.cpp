// Runs one pass of a verification watch over a folder and its server in the program's own report
// window, as Verify > "Multiple folders to sites" does, and ends once the window shows the pass's
// last line; prints the files verified. With --history PATH the pass is recorded in that
// history, as the program records every pass; with --no-history the history cannot be opened,
// so the pass records nothing: the difference is what recording costs.
// Usage: watch_record --history PATH|--no-history SERVER FOLDER
#include "bench_shell.h"
#include "gui/qt_desktop.h"
#include "site_tools/monitoring.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace korvane;

bool ShowsFinished(const QPlainTextEdit& text) {
    const QTextBlock last = text.document()->lastBlock();
    return last.text().isEmpty() && last.previous().text().isEmpty() &&
           last.previous().previous().text() == QStringLiteral("Finished.");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: watch_record --history PATH|--no-history SERVER FOLDER\n");
        return 2;
    }
    const bool recorded = std::strcmp(argv[1], "--history") == 0 && argc == 5;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    bench::BasicBenchShell<gui::QtDesktop> bench;
    WatchHistory history(recorded ? argv[2] : "/nonexistent/korvane-history.db");
    Shell shell = bench.shell;
    Shell watched{shell.log,     shell.settings, shell.settingsFile, shell.busy,    shell.pickers,
                  shell.desktop, shell.clock,    shell.threads,      shell.records, shell.run,
                  history};
    WatchInput input;
    input.kind = WatchKind::Verify;
    input.sites[0] = {argv[argc - 2], argv[argc - 1]};
    input.workFolder = bench.folder.path;
    WatchMemory memory;
    int verified = 0;
    ReportWindowRun run;
    run.caption = "Verify multiple sites";
    run.onOpen = [&](const std::shared_ptr<ReportWindowHandle>& report) {
        auto* window = QApplication::activeModalWidget();
        auto* text = window->findChild<QPlainTextEdit*>(QStringLiteral("Report"));
        auto* watch = new QTimer(window);
        QObject::connect(watch, &QTimer::timeout, window, [&, window, text] {
            if (!ShowsFinished(*text))
                return;
            text->viewport()->repaint();
            for (QTextBlock block = text->document()->begin(); block.isValid();
                 block = block.next())
                verified += block.text().startsWith(QStringLiteral("Integrity verified")) ? 1 : 0;
            window->close();
        });
        if (!bench.threads.Start([&, report, watch] {
                WatchPass(watched, input, *report, memory);
                QMetaObject::invokeMethod(watch, [watch] { watch->start(1); });
            }))
            std::exit(1);
    };
    bench.desktop.RunReportWindow(run);
    bench.threads.WaitIdle();
    std::printf("Integrity verified: %d, passes recorded: %zu\n", verified,
                history.Passes(input.sites[0].server, 0, INT64_MAX).size());
    return 0;
}
