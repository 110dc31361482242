#pragma once

#include "shell/form.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korvane {

enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

struct FileType {
    std::string description; // "Korvane text files (*.txt)"
    std::string pattern;     // "*.txt"
};

struct FilePickerRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    std::vector<FileType> types; // empty: every file, no type list
    std::string defaultExtension;
    std::string initialPath;
};

class ByteViewerModel;

// A text box that report lines are appended to, such as the report window's.
class ReportTextBox {
  public:
    virtual ~ReportTextBox() = default;
    // The text box shows the texts in the order they were appended; the call may return before
    // it does, so that a worker never waits on the window for each line.
    virtual void Append(std::string_view text) = 0;
};

// The report window as a run sees it while it is open: its text, and its one push button.
class ReportWindowHandle : public ReportTextBox {
  public:
    // Relabels the push button (a watch's "Cancel" becomes "OK" when its only pass is over).
    virtual void SetButtonLabel(std::string_view label) = 0;
};

// One run of the report window: a modal window with a caption, a read-only scrolling text and
// one push button that closes it, for folder runs and watches.
struct ReportWindowRun {
    std::string caption;
    std::string buttonLabel = "OK";
    // Called on the interface thread once the window is up; it usually starts the run's worker.
    // The handle outlives the window: what is appended after the window closed is dropped.
    std::function<void(std::shared_ptr<ReportWindowHandle>)> onOpen;
    // While the window is open, onTick is called on the interface thread every tickPeriod
    // (never when the period is zero); closing the window ends the ticks.
    std::chrono::milliseconds tickPeriod{0};
    std::function<void()> onTick;
};

// The only way the core reaches the user. The Qt layer implements it; tests use a scripted
// double. Every call may come from a worker thread: an implementation runs the work on the
// user-interface thread and, for the calls that return an answer, waits for it.
class Desktop {
  public:
    virtual ~Desktop() = default;

    // Shows a modal form; returns the result of the button that closed it (kFormCancelled when
    // it was cancelled or closed) and leaves the user's entries in `form`.
    virtual int RunForm(Form& form) = 0;
    virtual MessageAnswer ShowMessage(std::string_view text, std::string_view title,
                                      MessageButtons buttons = MessageButtons::Ok) = 0;
    // A Yes/No question whose text is UTF-8, so that it can name characters the single-byte
    // texts of the other calls cannot hold.
    virtual MessageAnswer AskInUnicode(std::string_view question, std::string_view title) {
        return ShowMessage(question, title, MessageButtons::YesNo);
    }
    // The modal "Page header" viewer; 1 on "OK", 0 when closed otherwise.
    virtual int ShowResult(std::string_view text) = 0;
    virtual std::optional<std::string> PickFile(const FilePickerRequest& request) = 0;
    virtual std::optional<std::string> PickFolder(std::string_view instruction) = 0;
    // Hands a URL or a local file to the desktop's opener (the web browser for pages).
    virtual bool OpenInBrowser(std::string_view target) = 0;
    // Starts the alert sound and returns at once.
    virtual void PlayAlertSound() = 0;
    virtual void SetCaption(std::string_view caption) = 0;
    // Asks for a repaint of the log view; posts it and returns at once.
    virtual void RequestLogRepaint() = 0;
    virtual void ShowHelp() = 0;
    // Shows the report window until the user closes it.
    virtual void RunReportWindow(const ReportWindowRun& run) = 0;
    // The modal byte viewer over its model; returns when it is closed.
    virtual void ShowByteViewer(ByteViewerModel& model) = 0;
    // The secret kept under `key` (a mail password): from the desktop's secret store, else from
    // this session's memory, else asked of the user once, with `prompt`, and kept. Never written
    // to a file of the program's. Nothing when the user declines.
    virtual std::optional<std::string> Secret(std::string_view key, std::string_view prompt) = 0;
    // Removes the secret from the store and from memory.
    virtual void ForgetSecret(std::string_view key) = 0;
};

// A desktop with nobody in front of it, for programs that run tools without a window (the
// benchmarks, the soak, the fuzz targets): every form is cancelled, a question is answered "No",
// any other message "OK", and nothing is shown. Such a program overrides what it needs.
class HeadlessDesktop : public Desktop {
  public:
    int RunForm(Form&) override { return kFormCancelled; }
    MessageAnswer ShowMessage(std::string_view, std::string_view,
                              MessageButtons buttons = MessageButtons::Ok) override {
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
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
    std::optional<std::string> Secret(std::string_view, std::string_view) override { return {}; }
    void ForgetSecret(std::string_view) override {}
};

} // namespace korvane
