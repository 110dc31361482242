// One header exchange, or the broken-link check of a page, as the tools run them, with the log
// printed at the end: for timing against curl.
// Usage: korvane_web_tools header SERVER PAGE | korvane_web_tools broken SERVER PAGE
#include "databases/record_files.h"
#include "page_tools/links.h"
#include "shell/shell.h"
#include "web/http_exchange.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
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
    if (argc != 4 || (std::strcmp(argv[1], "header") != 0 && std::strcmp(argv[1], "broken") != 0)) {
        std::fprintf(stderr, "usage: %s header|broken SERVER PAGE\n", argv[0]);
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
    Shell shell{log, settings, busy, pickers, desktop, clock, threads, records};
    const std::string server = argv[2];
    const std::string page = argv[3];
    if (std::strcmp(argv[1], "header") == 0) {
        ExchangeRequest request;
        request.server = server;
        request.page = page;
        request.requestLine = RequestLine(page.empty() ? "HEAD" : "GET", page);
        request.replyFile = "the1.html";
        ExchangeResult exchange = HttpExchange(shell, request);
        const ReplyHeader header = ReadReplyHeader(exchange.replyPath);
        std::fwrite(header.text.data(), 1, header.text.size(), stdout);
    } else {
        RunLinks(shell, LinkMode::Broken, server, page, {});
        for (const LogLine& line : log.Snapshot())
            std::printf("%s\n", line.text.c_str());
    }
    return 0;
}
