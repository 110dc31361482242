#include "databases/search_engines.h"

#include "databases/record_messages.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"

#include <array>
#include <cctype>
#include <cinttypes>
#include <cstdio>

namespace korvane::search_engines {

namespace {

constexpr StoreTexts kTexts{
    {"Data file: urlsubmit.dat, not present.", "Fatal error"},
    {"Not able to read urlsubmit.dat", "Problem"},
    {"urlsubmit.dat", "Problem"},
    {"Data file: urlsubmit.dat, not present.", "Fatal error"},
    {"urlsubmit.dat", "Problem"},
    {"Unable to write to file: urlsubmit.dat.", "Permission problem"},
    {"urlsubmit.dat", "Problem"},
    {"Unable to write to file: urlsubmit.dat.", "Permission problem"},
    {"Not able to write to urlsubmit.dat", "Problem"},
    {"Not able to write to file: urlsubmit.dat.", "Permission problem"},
    {"Not able to write to urlsubmit.dat", "Problem"},
    {"Data file: urlsubmit.dat, not present.", "Fatal error"},
    {"Not able to read urlsubmit.dat", "Problem"},
};

constexpr std::size_t kEngineTextMaxChars = 119;

struct TextSpec {
    std::string_view id;
    std::string_view label;
    TextField field;
};

constexpr std::array<TextSpec, 13> kTextFields = {{
    {"Search engine", "Search engine", engine::Name},
    {"Base URL", "Base URL", engine::BaseUrl},
    {"Script path", "Script path", engine::ScriptPath},
    {"URL form name", "URL form name", engine::UrlFormName},
    {"Email form name", "Email form name", engine::EmailFormName},
    {"Extra field 1", "Extra field 1", engine::ExtraField(0)},
    {"Value 1", "Value", engine::ExtraValue(0)},
    {"Extra field 2", "Extra field 2", engine::ExtraField(1)},
    {"Value 2", "Value", engine::ExtraValue(1)},
    {"Extra field 3", "Extra field 3", engine::ExtraField(2)},
    {"Value 3", "Value", engine::ExtraValue(2)},
    {"Extra field 4", "Extra field 4", engine::ExtraField(3)},
    {"Value 4", "Value", engine::ExtraValue(3)},
}};

SearchEngineStore& Store(Shell& shell) {
    return shell.records.engines;
}

void AddTextFields(Form& form, const SearchEngineRecord& record, std::size_t maxChars) {
    for (const TextSpec& spec : kTextFields) {
        FormField field = FormField::TextBox(std::string(spec.id), std::string(spec.label),
                                             record.Text(spec.field), maxChars);
        field.upperCase = spec.field.offset == engine::Name.offset;
        // Two to a row: each value beside its extra field's name.
        field.besidePrevious = spec.label == "Value" || spec.id == "Search engine" ||
                               spec.id == "Script path" || spec.id == "Email form name";
        form.fields.push_back(std::move(field));
    }
}

// The read-only view and match dialog.
Form ShownEngine(const SearchEngineRecord& record) {
    Form form;
    form.name = "SearchEngineView";
    form.title = "Search engine";
    form.fields.push_back(FormField::TextBox("Number", "Number", NumberText(record.Number()), 0));
    AddTextFields(form, record, 0);
    for (FormField& field : form.fields)
        field.readOnly = true;
    return form;
}

MatchChoice OfferMatch(Shell& shell, const SearchEngineRecord& record) {
    Form form = ShownEngine(record);
    form.name = "SearchEngineMatch";
    form.buttons = {{"Next", kFormNext, false, {}},
                    {"Cancel", kFormCancelled, false, {}},
                    {"OK", kFormAccepted, true, {}}};
    const int result = ShowForm(shell.desktop, form);
    if (result == kFormNext)
        return MatchChoice::Next;
    return result == kFormAccepted ? MatchChoice::Accept : MatchChoice::Cancel;
}

void ShowView(Shell& shell, const SearchEngineRecord& record) {
    Form form = ShownEngine(record);
    form.buttons = {{"OK", kFormAccepted, true, {}}};
    ShowForm(shell.desktop, form);
}

std::string UpperCase(std::string_view text) {
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

// Number lookup or text search (the pattern in upper case) with the match dialog.
std::optional<Found<SearchEngineRecord>> Find(Shell& shell, std::string_view typed, bool byNumber) {
    if (byNumber)
        return FindByNumber(shell, Store(shell), kTexts, ReadNumber(typed));
    return FindByName(
        shell, Store(shell), kTexts, UpperCase(typed),
        [&shell](const SearchEngineRecord& record) { return OfferMatch(shell, record); });
}

void LogCounts(Shell& shell) {
    const RecordCounts counts = Store(shell).Counts();
    char line[96];
    std::snprintf(line, sizeof line, "Search engine records: %" PRId64 " (%" PRId64 " deleted)",
                  counts.slotCount, counts.deleted);
    shell.log.AppendLine(line);
}

std::int64_t NumberTyped(const Form& form) {
    return ReadNumber(form.Field("Number").text);
}

Form SearchEngineDialog(const SearchEngineRecord& record, bool newEngine) {
    Form form;
    form.name = "SearchEngine";
    form.title = newEngine ? "Search engine" : "Amend search engine";
    form.fields.push_back(
        FormField::TextBox("Number", "Number", NumberText(record.Number()), kNumberFieldMaxChars));
    AddTextFields(form, record, kEngineTextMaxChars);
    const bool post = record.Int32At(engine::kMethodOffset) == engine::kMethodPost;
    form.fields.push_back(
        FormField::RadioGroup("Request", "Request", {"Post", "Get"}, post ? 0 : 1));
    form.buttons = Form::OkCancel();
    form.focusField = "Number";
    return form;
}

void StoreSearchEngineDialog(const Form& form, SearchEngineRecord& record) {
    record.SetNumber(NumberTyped(form));
    for (const TextSpec& spec : kTextFields)
        record.SetText(spec.field, form.Field(spec.id).text);
    record.SetInt32At(engine::kMethodOffset, form.Field("Request").selected == 0
                                                 ? engine::kMethodPost
                                                 : engine::kMethodGet);
}

} // namespace

} // namespace korvane::search_engines

namespace korvane {

using search_engines::SearchEngineDialog;
using search_engines::StoreSearchEngineDialog;

void EngineDisplayCommand(Shell& shell) {
    const auto typed =
        TitledPromptBox(shell.desktop, "Find search engine", "Number / name / fragment");
    if (!typed)
        return;
    // Only a number lookup shows the view; a match accepted with OK shows nothing more.
    const bool byNumber = NumberInRange(ReadNumber(*typed));
    const auto found = search_engines::Find(shell, *typed, byNumber);
    if (found && byNumber)
        search_engines::ShowView(shell, found->record);
}

void EngineListCommand(Shell& shell) {
    const auto typed = TitledPromptBox(shell.desktop, "List search engines", "From number:");
    if (!typed)
        return;
    ListRecords(shell, shell.records.engines, search_engines::kTexts, "Search Engine List",
                ReadNumber(*typed), [](const SearchEngineRecord& record) {
                    return record.Text(engine::Name) + "  " + record.Text(engine::BaseUrl);
                });
}

void EngineAddCommand(Shell& shell) {
    SearchEngineStore& store = shell.records.engines;
    SearchEngineRecord image; // a new engine starts from zero bytes
    image.SetNumber(store.SuggestNumber(1));
    Form form = SearchEngineDialog(image, true);
    if (ShowForm(shell.desktop, form) == kFormCancelled)
        return;
    for (;;) {
        std::string_view problem;
        if (!NumberInRange(search_engines::NumberTyped(form)))
            problem = "Number outside range.";
        else if (form.Field("Search engine").text.size() < 2)
            problem = "The search engine name must have at least two characters.";
        else
            break;
        AlertAlways(shell);
        shell.desktop.ShowMessage(problem, "Problem");
        form.title = "Amend search engine";
        if (ShowForm(shell.desktop, form) == kFormCancelled)
            return;
    }
    StoreSearchEngineDialog(form, image);
    if (store.NumberInUse(image.Number())) {
        shell.desktop.ShowMessage("Number in use.", "Problem");
        return;
    }
    if (!TellChange(shell, store.Add(image), search_engines::kTexts.addOpenFailed,
                    search_engines::kTexts.addWriteFailed))
        return;
    shell.log.AppendHighlighted("Search engine added " + NumberText(image.Number()) + " " +
                                image.Text(engine::Name));
    search_engines::LogCounts(shell);
    shell.log.AppendLine("  ");
}

void EngineAmendCommand(Shell& shell) {
    const auto typed = TitledPromptBox(shell.desktop, "Amend search engine", "");
    if (!typed)
        return;
    const auto found = search_engines::Find(shell, *typed, ReadNumber(*typed) >= 1);
    if (!found)
        return;
    Form form = SearchEngineDialog(found->record, false);
    if (ShowForm(shell.desktop, form) == kFormCancelled)
        return;
    if (search_engines::NumberTyped(form) != found->number) {
        shell.desktop.ShowMessage("Number cannot be changed", "Problem");
        return;
    }
    if (form.Field("Search engine").text.size() < 2) {
        AlertAlways(shell);
        shell.desktop.ShowMessage("The search engine must have at least two characters.",
                                  "Problem");
        return;
    }
    SearchEngineRecord image = found->record;
    StoreSearchEngineDialog(form, image);
    // A record that could not be written is not logged as amended: the message said why.
    if (!TellChange(shell, shell.records.engines.Rewrite(image, found->slot),
                    search_engines::kTexts.rewriteOpenFailed,
                    search_engines::kTexts.rewriteWriteFailed))
        return;
    shell.log.AppendHighlighted("Search engine amended: " + NumberText(image.Number()) + " " +
                                image.Text(engine::Name));
    shell.log.AppendLine("  ");
}

void EngineDeleteCommand(Shell& shell) {
    const auto typed = TitledPromptBox(shell.desktop, "Delete item number / description", "");
    if (!typed)
        return;
    const auto found = search_engines::Find(shell, *typed, ReadNumber(*typed) > 0);
    if (!found)
        return;
    const std::string name = found->record.Text(engine::Name);
    if (shell.desktop.ShowMessage("Are you sure?", NumberText(found->number) + " Item: " + name,
                                  MessageButtons::OkCancel) != MessageAnswer::Ok)
        return;
    if (!TellChange(shell, shell.records.engines.Delete(*found),
                    search_engines::kTexts.deleteOpenFailed,
                    search_engines::kTexts.deleteWriteFailed))
        return;
    shell.log.AppendHighlighted("Search engine deleted: " + NumberText(found->number) + " " + name);
    search_engines::LogCounts(shell);
    shell.log.AppendLine("  ");
}

} // namespace korvane
