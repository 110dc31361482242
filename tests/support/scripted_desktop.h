#pragma once

#include "history/watch_history.h"
#include "records/record_files.h"
#include "shell/desktop.h"
#include "shell/shell.h"
#include "support/temp_dir.h"

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace korvane::test {

struct ShownMessage {
    std::string text;
    std::string title;
    friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};
inline void PrintTo(const ShownMessage& message, std::ostream* out) {
    *out << '"' << message.text << "\" (" << message.title << ")";
}

// A desktop for tests: answers forms and message boxes from a script, in order, and records
// everything the core showed. Safe to call from worker threads.
class ScriptedDesktop final : public Desktop {
  public:
    // Fills in the form as a user would and returns the result of the button pressed.
    using FormAnswer = std::function<int(Form&)>;

    void AnswerForm(FormAnswer answer) { Push(m_formAnswers, std::move(answer)); }
    void AnswerForm(int result) {
        AnswerForm([result](Form&) { return result; });
    }
    void AnswerMessage(MessageAnswer answer) { Push(m_messageAnswers, answer); }
    void AnswerPicker(std::optional<std::string> path) { Push(m_pickerAnswers, std::move(path)); }
    // What the user types when a secret is asked for (nothing: declines). A secret given is kept
    // as a secret store would keep it, until it is forgotten.
    void AnswerSecret(std::optional<std::string> secret) {
        Push(m_secretAnswers, std::move(secret));
    }
    // From now on the browser cannot be started: hand-offs are recorded and fail.
    void BreakBrowser() { m_browserStarts = false; }

    std::vector<Form> Forms() const { return Copy(m_forms); }
    std::vector<ShownMessage> Messages() const { return Copy(m_messages); }
    std::vector<std::string> Results() const { return Copy(m_results); }
    std::vector<std::string> BrowserTargets() const { return Copy(m_browserTargets); }
    std::vector<std::string> Captions() const { return Copy(m_captions); }
    // The prompts of the secrets asked of the user.
    std::vector<std::string> SecretPrompts() const { return Copy(m_secretPrompts); }
    int Sounds() const { return m_sounds; }
    int HelpRequests() const { return m_help; }
    // Each report window shown: its caption, every text appended to it in order, and the labels
    // its push button had, the first one first.
    struct ReportWindowShown {
        std::string caption;
        std::shared_ptr<std::vector<std::string>> texts;
        std::shared_ptr<std::vector<std::string>> buttonLabels;
        std::string Text() const;
    };
    // What the user does while the next report window is open (ticks of its timer, say); by
    // default it is closed as soon as its run has started.
    void AnswerReportWindow(std::function<void(const ReportWindowRun&)> whileOpen) {
        Push(m_reportAnswers, std::move(whileOpen));
    }
    std::vector<ReportWindowShown> ReportWindows() const;
    // The titles of the byte viewers shown.
    std::vector<std::string> ByteViewers() const { return Copy(m_byteViewers); }
    // Forms and message boxes that came when the script had no answer left.
    int Unanswered() const { return Copy(m_unanswered); }

  public: // Desktop
    int RunForm(Form& form) override;
    MessageAnswer ShowMessage(std::string_view text, std::string_view title,
                              MessageButtons buttons) override;
    int ShowResult(std::string_view text) override {
        Push(m_results, std::string(text));
        return 1;
    }
    std::optional<std::string> PickFile(const FilePickerRequest& request) override;
    std::optional<std::string> PickFolder(std::string_view) override { return PickFile({}); }
    bool OpenInBrowser(std::string_view target) override {
        Push(m_browserTargets, std::string(target));
        return m_browserStarts;
    }
    void PlayAlertSound() override { ++m_sounds; }
    void SetCaption(std::string_view caption) override { Push(m_captions, std::string(caption)); }
    void RequestLogRepaint() override {}
    void ShowHelp() override { ++m_help; }
    void ShowByteViewer(ByteViewerModel& model) override;
    void RunReportWindow(const ReportWindowRun& run) override;
    std::optional<std::string> Secret(std::string_view key, std::string_view prompt) override;
    void ForgetSecret(std::string_view key) override {
        std::lock_guard lock(m_mutex);
        m_secrets.erase(std::string(key));
    }

  private:
    // The core calls the desktop from worker threads too: every record is read and written
    // under the lock.
    template <typename T> T Copy(const T& record) const {
        std::lock_guard lock(m_mutex);
        return record;
    }
    template <typename List, typename Value> void Push(List& list, Value&& value) {
        std::lock_guard lock(m_mutex);
        list.push_back(std::forward<Value>(value));
    }
    // The next scripted answer, if any is left; call it under the lock.
    template <typename T> std::optional<T> TakeNext(std::deque<T>& script) {
        if (script.empty())
            return std::nullopt;
        T next = std::move(script.front());
        script.pop_front();
        return next;
    }

    mutable std::mutex m_mutex;
    std::deque<FormAnswer> m_formAnswers;
    std::deque<MessageAnswer> m_messageAnswers;
    std::deque<std::optional<std::string>> m_pickerAnswers;
    std::deque<std::optional<std::string>> m_secretAnswers;
    std::map<std::string, std::string> m_secrets;
    std::vector<std::string> m_secretPrompts;
    std::vector<Form> m_forms;
    std::vector<ShownMessage> m_messages;
    std::vector<std::string> m_results;
    std::vector<std::string> m_browserTargets;
    std::vector<std::string> m_captions;
    std::vector<std::string> m_byteViewers;
    std::vector<ReportWindowShown> m_reportWindows;
    std::deque<std::function<void(const ReportWindowRun&)>> m_reportAnswers;
    std::atomic<int> m_sounds{0};
    std::atomic<int> m_help{0};
    std::atomic<bool> m_browserStarts{true};
    int m_unanswered = 0;
};

// Sunday 6 December 2026, 9:05.
class FixedClock final : public Clock {
  public:
    LocalTime Now() const override { return {2026, 12, 6, 9, 5, 0, 0}; }
    // The same moment in UTC; a test moves it between passes.
    std::int64_t EpochMs() const override { return epochMs.load(); }
    std::atomic<std::int64_t> epochMs{1796547900000};
};

// Everything a tool needs, around a scripted desktop and a fixed clock.
struct TestShell {
    SessionLog log;
    SettingsBlock settings;
    BusyFlags busy;
    FilePickerState pickers;
    ScriptedDesktop desktop;
    FixedClock clock;
    ToolThreads threads;
    // The record files live in a folder of their own for each test.
    TempDir recordFolder;
    RecordDatabases records{recordFolder.Path()};
    SettingsFile settingsFile{recordFolder.File("korvane.cfg")};
    RunState run;
    WatchHistory history{recordFolder.File("korvane-history.db")};
    Shell shell{log,   settings, settingsFile, busy, pickers, desktop,
                clock, threads,  records,      run,  history};

    ~TestShell() { threads.WaitIdle(); }
    std::vector<std::string> LogTexts() const;
};

} // namespace korvane::test
