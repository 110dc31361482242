// Runs the folder verification of a local folder against a server, as Verify > "Local folder to
// site" does, for timing against fetching the same files with wget or curl.
// Usage: verify_folder SERVER FOLDER           prints the report (detail lines off)
//        verify_folder --window SERVER FOLDER  reports into the program's own report window with
//                                              the default settings, and ends once the window
//                                              shows the last line; prints the files verified
#include "bench_shell.h"
#include "gui/qt_desktop.h"
#include "site_tools/folder_runs.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using namespace korvane;

class PrintedReport final : public ReportTextBox {
  public:
    void Append(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
};

// The run is over for the user when the window shows its last line, "Finished." and a blank one.
bool ShowsFinished(const QPlainTextEdit& text) {
    const QTextBlock last = text.document()->lastBlock();
    return last.text().isEmpty() && last.previous().text().isEmpty() &&
           last.previous().previous().text() == QStringLiteral("Finished.");
}

int InWindow(int argc, char** argv, const FolderRunInput& input) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes about window hints would fill the timing's output.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    bench::BasicBenchShell<gui::QtDesktop> bench;
    bench.settings.SetOn(field::DetailFlag, true);
    int verified = 0;
    ReportWindowRun run;
    run.caption = "Verify site to folder";
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
                verified += block.text().startsWith(QStringLiteral("Integrity verified")) ? 1 : 0;
            window->close();
        });
        if (!bench.threads.Start([&, report, watch] {
                VerifyFolderWorker(bench.shell, input, *report);
                QMetaObject::invokeMethod(watch, [watch] { watch->start(1); });
            }))
            std::exit(1);
    };
    bench.desktop.RunReportWindow(run);
    bench.threads.WaitIdle();
    std::printf("Integrity verified: %d\n", verified);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const bool window = argc == 4 && std::strcmp(argv[1], "--window") == 0;
    if (argc != 3 && !window) {
        std::fprintf(stderr, "usage: verify_folder [--window] SERVER FOLDER\n");
        return 2;
    }
    FolderRunInput input;
    input.server = argv[argc - 2];
    input.folder = argv[argc - 1];
    if (window)
        return InWindow(argc, argv, input);
    bench::BenchShell bench;
    PrintedReport report;
    VerifyFolderWorker(bench.shell, input, report);
    return 0;
}
