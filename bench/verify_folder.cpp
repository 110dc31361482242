// Runs the folder verification of a local folder against a server, as Verify > "Local folder to
// site" does, for timing against fetching the same files with wget or curl.
// Usage: verify_folder SERVER FOLDER           prints the report (detail lines off)
//        verify_folder --window SERVER FOLDER  reports into the program's own report window with
//                                              the default settings, and ends once the window
//                                              shows the last line; prints the files verified
#include "report_window_run.h"
#include "site_tools/folder_runs.h"

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

int InWindow(int argc, char** argv, const FolderRunInput& input) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes about window hints would fill the timing's output.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    bench::BasicBenchShell<gui::QtDesktop> bench;
    bench.settings.SetOn(field::DetailFlag, true);
    const int verified = bench::RunInReportWindow(
        bench, "Verify site to folder",
        [&](ReportWindowHandle& report) { VerifyFolderWorker(bench.shell, input, report); },
        QStringLiteral("Integrity verified"));
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
