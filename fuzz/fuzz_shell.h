#pragma once

// A shell for the fuzz targets that run whole operations: no user, a desktop that answers forms
// from a queue and records every message box.

#include "history/watch_history.h"
#include "records/record_files.h"
#include "shell/shell.h"

#include <deque>
#include <string>
#include <vector>

namespace korvane::fuzz {

class QuietDesktop final : public HeadlessDesktop {
  public:
    struct Message {
        std::string text;
        std::string title;
    };
    std::deque<int> formAnswers; // taken in order; cancelled once they run out
    std::vector<Message> messages;

    int RunForm(Form&) override {
        if (formAnswers.empty())
            return kFormCancelled;
        const int answer = formAnswers.front();
        formAnswers.pop_front();
        return answer;
    }
    MessageAnswer ShowMessage(std::string_view text, std::string_view title,
                              MessageButtons buttons) override {
        messages.push_back({std::string(text), std::string(title)});
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
};

class FixedClock final : public Clock {
  public:
    LocalTime Now() const override { return {2026, 12, 6, 9, 5, 0, 0}; }
    std::int64_t EpochMs() const override { return 1796547900000; }
};

// Everything an operation is handed, with the record files in `folder`.
struct FuzzShell {
    explicit FuzzShell(const std::string& folder)
        : records(folder), settingsFile(folder + "/korvane.cfg") {}
    SessionLog log;
    SettingsBlock settings;
    BusyFlags busy;
    FilePickerState pickers;
    QuietDesktop desktop;
    FixedClock clock;
    ToolThreads threads;
    RecordDatabases records;
    SettingsFile settingsFile;
    RunState run;
    WatchHistory history{":memory:"};
    Shell shell{log,   settings, settingsFile, busy, pickers, desktop,
                clock, threads,  records,      run,  history};
};

} // namespace korvane::fuzz
