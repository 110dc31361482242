#pragma once

// What every benchmark program needs to run a tool without a user: a desktop that answers no
// dialog and shows nothing, record files in a folder of their own, and the shell around them.

#include "history/watch_history.h"
#include "records/record_files.h"
#include "shell/shell.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace korvane::bench {

// Nobody watches a benchmark: every dialog is cancelled, a question is answered "No", messages
// other than the end-of-run question go to standard error, and a password asked for is the one in
// KORVANE_BENCH_PASSWORD.
class QuietDesktop final : public HeadlessDesktop {
  public:
    MessageAnswer ShowMessage(std::string_view text, std::string_view title,
                              MessageButtons buttons) override {
        if (buttons == MessageButtons::Ok)
            std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(title.size()), title.data(),
                         static_cast<int>(text.size()), text.data());
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    std::optional<std::string> Secret(std::string_view, std::string_view) override {
        const char* password = std::getenv("KORVANE_BENCH_PASSWORD");
        return password ? std::optional<std::string>(password) : std::nullopt;
    }
};

// A folder of its own, removed at the end.
struct TempFolder {
    std::string path;
    TempFolder() {
        char pattern[] = "/tmp/korvane-bench-XXXXXX";
        path = ::mkdtemp(pattern);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder() { std::filesystem::remove_all(path); }
};

// The process-wide state of the program around a desktop of the benchmark's choice, with detail
// lines off.
template <typename DesktopType> struct BasicBenchShell {
    SessionLog log;
    SettingsBlock settings;
    BusyFlags busy;
    FilePickerState pickers;
    DesktopType desktop;
    SystemClock clock;
    ToolThreads threads;
    TempFolder folder;
    RecordDatabases records{folder.path};
    SettingsFile settingsFile{folder.path + "/korvane.cfg"};
    RunState run;
    WatchHistory history{folder.path + "/korvane-history.db"};
    Shell shell{log,   settings, settingsFile, busy, pickers, desktop,
                clock, threads,  records,      run,  history};

    BasicBenchShell() { settings.SetOn(field::DetailFlag, false); }
};

using BenchShell = BasicBenchShell<QuietDesktop>;

// What the process holds at this moment, from /proc/self.
struct ProcessFigures {
    long residentKb = -1; // VmRSS
    long peakKb = -1;     // VmHWM, the most resident memory so far
    int descriptors = 0;  // entries of /proc/self/fd
    int threads = 0;      // entries of /proc/self/task
};

inline ProcessFigures TakeProcessFigures() {
    ProcessFigures figures;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            figures.residentKb = std::atol(line.c_str() + 6);
        else if (line.rfind("VmHWM:", 0) == 0)
            figures.peakKb = std::atol(line.c_str() + 6);
    }
    const auto count = [](const char* folder) {
        int entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
            ++entries;
        return entries;
    };
    figures.descriptors = count("/proc/self/fd");
    figures.threads = count("/proc/self/task");
    return figures;
}

} // namespace korvane::bench
