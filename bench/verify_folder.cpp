// Runs the folder verification of a local folder against a server, as Verify > "Local folder to
// site" does, and prints its report: for timing against fetching the same files with curl.
#include "databases/record_files.h"
#include "shell/shell.h"
#include "site_tools/folder_runs.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace korvane;

// Nobody watches a benchmark: every dialog is cancelled and nothing is shown.
class QuietDesktop final : public Desktop {
  public:
    int RunForm(Form&) override { return kFormCancelled; }
    MessageAnswer ShowMessage(std::string_view text, std::string_view title,
                              MessageButtons) override {
        std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                     static_cast<int>(text.size()), text.data());
        return MessageAnswer::Ok;
    }
    int ShowResult(std::string_view) override { return 1; }
    std::optional<std::string> PickFile(const FilePickerRequest&) override { return {}; }
    std::optional<std::string> PickFolder(std::string_view) override { return {}; }
    bool OpenInBrowser(std::string_view) override { return true; }
    void PlayAlertSound() override {}
    void SetCaption(std::string_view) override {}
    void RequestLogRepaint() override {}
    void ShowHelp() override {}
    void RunReportWindow(const ReportWindowRun&) override {}
    void ShowByteViewer(ByteViewerModel&) override {}
};

class PrintedReport final : public ReportTextBox {
  public:
    void Append(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
};

// The record files are not used here; they live in a folder of their own.
struct TempRecords {
    std::string path;
    TempRecords() {
        char pattern[] = "/tmp/korvane-bench-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    ~TempRecords() { std::filesystem::remove_all(path); }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: verify_folder SERVER FOLDER\n");
        return 2;
    }
    SessionLog log;
    SettingsBlock settings;
    settings.SetOn(field::DetailFlag, false);
    BusyFlags busy;
    FilePickerState pickers;
    QuietDesktop desktop;
    SystemClock clock;
    ToolThreads threads;
    TempRecords folder;
    RecordDatabases records(folder.path);
    FolderRunInput input;
    input.server = argv[1];
    input.folder = argv[2];
    PrintedReport report;
    Shell shell{log, settings, busy, pickers, desktop, clock, threads, records};
    VerifyFolderWorker(shell, input, report);
    return 0;
}
