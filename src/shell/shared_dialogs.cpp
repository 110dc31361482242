#include "shell/shared_dialogs.h"

#include "shell/run_state.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace korvane {

int ShowForm(Desktop& desktop, Form& form) {
    const int result = desktop.RunForm(form);
    ApplyFieldRules(form);
    return result;
}

std::optional<std::string> PromptBox(Desktop& desktop, std::string_view prompt,
                                     std::string_view initialText) {
    Form form;
    form.name = "editbox";
    form.frameLabel = std::string(prompt);
    form.fields.push_back(
        FormField::TextBox("EDITBOX", "", std::string(initialText), kPromptMaxChars));
    form.buttons = Form::OkCancel();
    form.focusField = "EDITBOX";
    if (ShowForm(desktop, form) != kFormAccepted)
        return std::nullopt;
    return form.Field("EDITBOX").text;
}

std::optional<std::string> TitledPromptBox(Desktop& desktop, std::string_view title,
                                           std::string_view label) {
    Form form;
    form.name = "edit2box";
    form.title = std::string(title);
    FormField field = FormField::TextBox("EDIT2BOX", std::string(label), "", kTitledPromptMaxChars);
    field.upperCase = true;
    form.fields.push_back(std::move(field));
    form.buttons = Form::OkCancel();
    form.focusField = "EDIT2BOX";
    if (ShowForm(desktop, form) != kFormAccepted)
        return std::nullopt;
    return form.Field("EDIT2BOX").text;
}

int ResultViewer(Desktop& desktop, std::string_view text) {
    return desktop.ShowResult(text);
}

bool RefuseWhileBusy(const BusyFlags& flags, BusyFlag flag, Desktop& desktop) {
    if (!flags.IsSet(flag))
        return false;
    desktop.ShowMessage("In progress", "Please wait");
    return true;
}

bool RefuseSecondSiteRun(SiteRunReservation& reservation, Desktop& desktop) {
    if (reservation.Take())
        return false;
    desktop.ShowMessage("In progress", "Please wait");
    return true;
}

std::optional<std::string> FilePickerState::PickOpen(Desktop& desktop) {
    return Pick(desktop, FilePickerRequest::Mode::Open);
}

std::optional<std::string> FilePickerState::PickSave(Desktop& desktop) {
    return Pick(desktop, FilePickerRequest::Mode::Save);
}

void FilePickerState::EmptyTypeList() {
    std::lock_guard lock(m_mutex);
    m_typeListEmptied = true;
}

bool FilePickerState::OffersTypeList() const {
    std::lock_guard lock(m_mutex);
    return !m_typeListEmptied;
}

std::string FilePickerState::FileName() const {
    std::lock_guard lock(m_mutex);
    return m_fileName;
}

std::optional<std::string> FilePickerState::Pick(Desktop& desktop, FilePickerRequest::Mode mode) {
    FilePickerRequest request;
    request.mode = mode;
    {
        std::lock_guard lock(m_mutex);
        if (!m_typeListEmptied)
            request.types = {{"Korvane text files (*.txt)", "*.txt"}, {"All Files (*.*)", "*.*"}};
        request.defaultExtension = "txt";
        request.initialPath = m_fileName;
    }
    std::optional<std::string> chosen = desktop.PickFile(request);
    if (!chosen)
        return std::nullopt;
    std::lock_guard lock(m_mutex);
    m_fileName = *chosen;
    return chosen;
}

void AddLineEndBox(Form& form, bool checked) {
    form.fields.push_back(
        FormField::CheckBox("LineEnds", "Ignore Windows Linux line end differences", checked));
    form.fields.push_back(FormField::NoteText(
        "The Windows text file end of line CR+LF may infrequently be reduced to a LF by Linux "
        "servers. "));
}

void AddActualHostNotes(Form& form) {
    form.fields.push_back(FormField::NoteText("The server should be the actual host (do not use a "
                                              "domain name that redirects to another server)."));
    form.fields.push_back(FormField::NoteText(
        "A site reached under its bare domain may need the www. form typed, as www.example.com."));
}

std::optional<std::string> PickFolder(Desktop& desktop) {
    return desktop.PickFolder("Choose a folder");
}

void ReportAppend(ReportTextBox& box, const char* format, ...) {
    std::vector<char> text(kReportAppendMaxChars + 1);
    va_list arguments;
    va_start(arguments, format);
    const int length = std::vsnprintf(text.data(), text.size(), format, arguments);
    va_end(arguments);
    if (length < 0)
        return;
    box.Append(std::string_view(text.data()));
}

} // namespace korvane
