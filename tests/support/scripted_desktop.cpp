#include "support/scripted_desktop.h"

#include "file_utils/byte_viewer.h"

namespace korvane::test {

int ScriptedDesktop::RunForm(Form& form) {
    std::optional<FormAnswer> answer;
    {
        std::lock_guard lock(m_mutex);
        m_forms.push_back(form);
        answer = TakeNext(m_formAnswers);
        m_unanswered += !answer;
    }
    return answer ? (*answer)(form) : kFormCancelled;
}

MessageAnswer ScriptedDesktop::ShowMessage(std::string_view text, std::string_view title,
                                           MessageButtons buttons) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back({std::string(text), std::string(title)});
    if (const auto answer = TakeNext(m_messageAnswers))
        return *answer;
    // A plain message box needs no answer: its only button is "OK".
    m_unanswered += buttons != MessageButtons::Ok;
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

std::optional<std::string> ScriptedDesktop::PickFile(const FilePickerRequest&) {
    std::lock_guard lock(m_mutex);
    const auto answer = TakeNext(m_pickerAnswers);
    m_unanswered += !answer;
    return answer.value_or(std::nullopt);
}

void ScriptedDesktop::ShowByteViewer(ByteViewerModel& model) {
    Push(m_byteViewers, model.Title());
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

void ScriptedDesktop::RunReportWindow(const ReportWindowRun& run) {
    ReportWindowShown shown{
        run.caption, std::make_shared<std::vector<std::string>>(),
        std::make_shared<std::vector<std::string>>(std::vector<std::string>{run.buttonLabel})};
    std::optional<std::function<void(const ReportWindowRun&)>> whileOpen;
    {
        std::lock_guard lock(m_mutex);
        m_reportWindows.push_back(shown);
        whileOpen = TakeNext(m_reportAnswers);
    }
    if (run.onOpen)
        run.onOpen(std::make_shared<RecordingReportBox>(m_mutex, shown));
    if (whileOpen && *whileOpen)
        (*whileOpen)(run);
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

std::vector<std::string> TestShell::LogTexts() const {
    std::vector<std::string> texts;
    for (const LogLine& line : log.Snapshot())
        texts.push_back(line.text);
    return texts;
}

std::optional<std::string> ScriptedDesktop::Secret(std::string_view key, std::string_view prompt) {
    std::lock_guard lock(m_mutex);
    if (const auto kept = m_secrets.find(std::string(key)); kept != m_secrets.end())
        return kept->second;
    m_secretPrompts.emplace_back(prompt);
    const auto answer = TakeNext(m_secretAnswers);
    m_unanswered += !answer;
    if (!answer || !*answer)
        return std::nullopt;
    m_secrets[std::string(key)] = **answer;
    return *answer;
}

} // namespace korvane::test
