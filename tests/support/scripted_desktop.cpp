#include "support/scripted_desktop.h"

#include "file_utils/byte_viewer.h"

namespace korvane::test {

void ScriptedDesktop::AnswerForm(FormAnswer answer) {
    std::lock_guard lock(m_mutex);
    m_formAnswers.push_back(std::move(answer));
}

void ScriptedDesktop::AnswerMessage(MessageAnswer answer) {
    std::lock_guard lock(m_mutex);
    m_messageAnswers.push_back(answer);
}

void ScriptedDesktop::AnswerByteViewer(std::function<void(ByteViewerModel&)> use) {
    std::lock_guard lock(m_mutex);
    m_viewerAnswers.push_back(std::move(use));
}

void ScriptedDesktop::ShowByteViewer(ByteViewerModel& model) {
    std::function<void(ByteViewerModel&)> use;
    {
        std::lock_guard lock(m_mutex);
        m_byteViewers.push_back(model.Title());
        if (!m_viewerAnswers.empty()) {
            use = std::move(m_viewerAnswers.front());
            m_viewerAnswers.pop_front();
        }
    }
    if (use)
        use(model);
}

namespace {
// Records what a worker appends and how it relabels the button.
class RecordingReportBox final : public ReportWindowHandle {
  public:
    RecordingReportBox(std::mutex& mutex, ScriptedDesktop::ReportWindowShown shown)
        : m_mutex(mutex), m_shown(std::move(shown)) {}
    void Append(std::string_view text) override {
        std::lock_guard lock(m_mutex);
        m_shown.texts->emplace_back(text);
    }
    void SetButtonLabel(std::string_view label) override {
        std::lock_guard lock(m_mutex);
        m_shown.buttonLabels->emplace_back(label);
    }

  private:
    std::mutex& m_mutex;
    ScriptedDesktop::ReportWindowShown m_shown;
};
} // namespace

void ScriptedDesktop::AnswerReportWindow(std::function<void(const ReportWindowRun&)> whileOpen) {
    std::lock_guard lock(m_mutex);
    m_reportAnswers.push_back(std::move(whileOpen));
}

void ScriptedDesktop::RunReportWindow(const ReportWindowRun& run) {
    ReportWindowShown shown{
        run.caption, std::make_shared<std::vector<std::string>>(),
        std::make_shared<std::vector<std::string>>(std::vector<std::string>{run.buttonLabel})};
    std::function<void(const ReportWindowRun&)> whileOpen;
    {
        std::lock_guard lock(m_mutex);
        m_reportWindows.push_back(shown);
        if (!m_reportAnswers.empty()) {
            whileOpen = std::move(m_reportAnswers.front());
            m_reportAnswers.pop_front();
        }
    }
    if (run.onOpen)
        run.onOpen(std::make_shared<RecordingReportBox>(m_mutex, shown));
    if (whileOpen)
        whileOpen(run);
}

std::vector<ScriptedDesktop::ReportWindowShown> ScriptedDesktop::ReportWindows() const {
    std::lock_guard lock(m_mutex);
    std::vector<ReportWindowShown> copies;
    for (const ReportWindowShown& shown : m_reportWindows)
        copies.push_back({shown.caption, std::make_shared<std::vector<std::string>>(*shown.texts),
                          std::make_shared<std::vector<std::string>>(*shown.buttonLabels)});
    return copies;
}

std::string ScriptedDesktop::ReportWindowShown::Text() const {
    std::string all;
    for (const std::string& text : *texts)
        all += text;
    return all;
}

void ScriptedDesktop::AnswerPicker(std::optional<std::string> path) {
    std::lock_guard lock(m_mutex);
    m_pickerAnswers.push_back(std::move(path));
}

int ScriptedDesktop::RunForm(Form& form) {
    FormAnswer answer;
    {
        std::lock_guard lock(m_mutex);
        m_forms.push_back(form);
        if (m_formAnswers.empty()) {
            ++m_unanswered;
            return kFormCancelled;
        }
        answer = std::move(m_formAnswers.front());
        m_formAnswers.pop_front();
    }
    return answer(form);
}

MessageAnswer ScriptedDesktop::ShowMessage(std::string_view text, std::string_view title,
                                           MessageButtons buttons) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back({std::string(text), std::string(title)});
    if (m_messageAnswers.empty()) {
        // A plain message box needs no answer: its only button is "OK".
        if (buttons != MessageButtons::Ok)
            ++m_unanswered;
        return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
    }
    const MessageAnswer answer = m_messageAnswers.front();
    m_messageAnswers.pop_front();
    return answer;
}

int ScriptedDesktop::ShowResult(std::string_view text) {
    std::lock_guard lock(m_mutex);
    m_results.emplace_back(text);
    return 1;
}

std::optional<std::string> ScriptedDesktop::PickFile(const FilePickerRequest& request) {
    std::lock_guard lock(m_mutex);
    m_pickerRequests.push_back(request);
    if (m_pickerAnswers.empty()) {
        ++m_unanswered;
        return std::nullopt;
    }
    auto answer = m_pickerAnswers.front();
    m_pickerAnswers.pop_front();
    return answer;
}

std::optional<std::string> ScriptedDesktop::PickFolder(std::string_view instruction) {
    FilePickerRequest request;
    request.initialPath = std::string(instruction);
    return PickFile(request);
}

bool ScriptedDesktop::OpenInBrowser(std::string_view target) {
    std::lock_guard lock(m_mutex);
    m_browserTargets.emplace_back(target);
    return true;
}

void ScriptedDesktop::PlayAlertSound() {
    std::lock_guard lock(m_mutex);
    ++m_sounds;
}

void ScriptedDesktop::SetCaption(std::string_view caption) {
    std::lock_guard lock(m_mutex);
    m_captions.emplace_back(caption);
}

void ScriptedDesktop::RequestLogRepaint() {}

void ScriptedDesktop::ShowHelp() {
    std::lock_guard lock(m_mutex);
    ++m_help;
}

#define KORVANE_RECORDED(Type, Name, member)                                                       \
    Type ScriptedDesktop::Name() const {                                                           \
        std::lock_guard lock(m_mutex);                                                             \
        return member;                                                                             \
    }
KORVANE_RECORDED(std::vector<Form>, Forms, m_forms)
KORVANE_RECORDED(std::vector<ShownMessage>, Messages, m_messages)
KORVANE_RECORDED(std::vector<std::string>, Results, m_results)
KORVANE_RECORDED(std::vector<FilePickerRequest>, PickerRequests, m_pickerRequests)
KORVANE_RECORDED(std::vector<std::string>, BrowserTargets, m_browserTargets)
KORVANE_RECORDED(std::vector<std::string>, Captions, m_captions)
KORVANE_RECORDED(int, Sounds, m_sounds)
KORVANE_RECORDED(int, HelpRequests, m_help)
KORVANE_RECORDED(std::vector<std::string>, ByteViewers, m_byteViewers)
KORVANE_RECORDED(int, Unanswered, m_unanswered)
#undef KORVANE_RECORDED

std::vector<std::string> TestShell::LogTexts() const {
    std::vector<std::string> texts;
    for (const LogLine& line : log.Snapshot())
        texts.push_back(line.text);
    return texts;
}

} // namespace korvane::test
