#pragma once

#include "gui/pacer.h"
#include "shell/desktop.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QThread>

#include <atomic>
#include <memory>
#include <type_traits>

class QWidget;

namespace korvane::gui {

class AlertSound;
class HelpWindow;
class SecretStore;

// The desktop as the core sees it, made of Qt widgets. Calls from worker threads are carried
// to the user-interface thread; those that answer wait for the answer there.
class QtDesktop final : public QObject, public Desktop {
    Q_OBJECT

  public:
    // The session log's view repaints at most this often.
    static constexpr int kLogRepaintPeriodMs = 16;

    QtDesktop();
    ~QtDesktop() override;

    // The window that owns dialogs and message boxes.
    void SetOwner(QWidget* owner) { m_owner = owner; }

  public: // Desktop
    int RunForm(Form& form) override;
    MessageAnswer ShowMessage(std::string_view text, std::string_view title,
                              MessageButtons buttons) override;
    MessageAnswer AskInUnicode(std::string_view question, std::string_view title) override;
    int ShowResult(std::string_view text) override;
    std::optional<std::string> PickFile(const FilePickerRequest& request) override;
    std::optional<std::string> PickFolder(std::string_view instruction) override;
    bool OpenInBrowser(std::string_view target) override;
    void PlayAlertSound() override;
    void SetCaption(std::string_view caption) override;
    void RequestLogRepaint() override;
    void ShowHelp() override;
    void ShowByteViewer(ByteViewerModel& model) override;
    void RunReportWindow(const ReportWindowRun& run) override;
    std::optional<std::string> Secret(std::string_view key, std::string_view prompt) override;
    void ForgetSecret(std::string_view key) override;

    // Runs `work` on the user-interface thread and waits for its result.
    template <typename Work> auto OnGuiThread(Work&& work) -> std::invoke_result_t<Work> {
        using Result = std::invoke_result_t<Work>;
        if (QThread::currentThread() == thread())
            return work();
        if constexpr (std::is_void_v<Result>) {
            QMetaObject::invokeMethod(this, std::forward<Work>(work), Qt::BlockingQueuedConnection);
        } else {
            Result result{};
            QMetaObject::invokeMethod(
                this, [&] { result = work(); }, Qt::BlockingQueuedConnection);
            return result;
        }
    }

  signals:
    void logRepaintRequested();
    void captionRequested(const QString& caption);

  private:
    MessageAnswer Show(const QString& text, const QString& title, MessageButtons buttons);

    QPointer<QWidget> m_owner;
    std::unique_ptr<AlertSound> m_sound;
    std::unique_ptr<HelpWindow> m_help;
    std::atomic<bool> m_repaintPending{false};
    Pacer m_logRepaints{kLogRepaintPeriodMs};
    // Both used on the interface thread only.
    std::unique_ptr<SecretStore> m_store;
    QHash<QString, QString> m_secrets; // this session's, in memory only
};

} // namespace korvane::gui
