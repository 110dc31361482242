// Runs one pass of a verification watch over a folder and its server in the program's own report
// window, as Verify > "Multiple folders to sites" does, and ends once the window shows the pass's
// last line; prints the files verified. With --history PATH the pass is recorded in that
// history, as the program records every pass; with --no-history the history cannot be opened,
// so the pass records nothing: the difference is what recording costs.
// Usage: watch_record --history PATH|--no-history SERVER FOLDER
#include "report_window_run.h"
#include "site_tools/monitoring.h"

#include <climits>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    using namespace korvane;
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
    Shell watched{bench.log,     bench.settings, bench.settingsFile, bench.busy,    bench.pickers,
                  bench.desktop, bench.clock,    bench.threads,      bench.records, bench.run,
                  history};
    WatchInput input;
    input.kind = WatchKind::Verify;
    input.sites[0] = {argv[argc - 2], argv[argc - 1]};
    input.workFolder = bench.folder.path;
    WatchMemory memory;
    const int verified = bench::RunInReportWindow(
        bench, "Verify multiple sites",
        [&](ReportWindowHandle& report) { WatchPass(watched, input, report, memory); },
        QStringLiteral("Integrity verified"));
    std::printf("Integrity verified: %d, passes recorded: %zu\n", verified,
                history.Passes(input.sites[0].server, 0, INT64_MAX).size());
    return 0;
}
