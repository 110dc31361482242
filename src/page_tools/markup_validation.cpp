#include "page_tools/markup_validation.h"

#include "page_tools/browser_handoff.h"
#include "shell/shell.h"

namespace korvane {

namespace {

constexpr std::size_t kUrlMaxChars = 199;
constexpr TextField kPageUrl = field::ServerField(DialogSlot::MarkupValidation);
// Emptied whenever the dialog is confirmed; nothing reads it.
constexpr TextField kReservedSecond = field::SecondField(DialogSlot::MarkupValidation);
constexpr std::string_view kValidatorHost = "validator.w3.org";

} // namespace

std::string ValidatorLabel() {
    return ServiceLabel(kValidatorHost);
}

Form MarkupValidationForm(const SettingsBlock& settings) {
    const std::string url = settings.Get(kPageUrl);
    Form form;
    form.name = "DIALOG9";
    form.title = "HTML Page Check (W3)";
    form.fields.push_back(FormField::TextBox("URL", "URL", url, kUrlMaxChars));
    if (url.empty()) {
        form.fields.back().text = kUrlStart;
        form.fields.back().caretAtEnd = true;
    }
    form.fields.push_back(FormField::NoteText("http://www.example.com/page.html"));
    form.fields.push_back(
        FormField::NoteText("The page may be omitted for the server default page."));
    form.fields.push_back(FormField::NoteText("The page is validated for correct syntax by W3"));
    form.buttons = Form::OkCancel();
    form.focusField = "URL";
    return form;
}

std::string ValidatorUrl(std::string_view pageUrl) {
    std::string url = "http://" + std::string(kValidatorHost) + "/check?uri=";
    url += pageUrl;
    return url;
}

void MarkupValidationCommand(Shell& shell) {
    if (RefuseWhileBusy(shell.busy, BusyFlag::MarkupValidation, shell.desktop))
        return;
    Form form = MarkupValidationForm(shell.settings);
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    const std::string pageUrl = form.Field("URL").text;
    shell.settings.Set(kPageUrl, pageUrl);
    shell.settings.Set(kReservedSecond, "");
    if (pageUrl.empty())
        return;
    shell.busy.Set(BusyFlag::MarkupValidation);
    BusyRelease release(shell.busy, BusyFlag::MarkupValidation);
    const bool started = shell.desktop.OpenInBrowser(ValidatorUrl(pageUrl));
    shell.log.AppendQuiet("  ");
    shell.log.AppendHighlighted("HTML Validator (" + ValidatorLabel() + "): " + pageUrl);
    shell.log.AppendLine(HandOffOutcome(started));
}

} // namespace korvane
