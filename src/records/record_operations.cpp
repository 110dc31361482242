#include "records/record_operations.h"

#include "shell/shared_dialogs.h"

namespace korvane {

bool ShowRecordList(Shell& shell, std::string_view title, const std::vector<ListRow>& rows,
                    bool withNext) {
    Form form;
    form.name = "RecordList";
    form.title = std::string(title);
    for (std::size_t i = 0; i < kListRows; ++i) {
        // Rows past the end of a short page stay blank.
        const ListRow row = i < rows.size() ? rows[i] : ListRow{};
        FormField number = FormField::TextBox("Number" + std::to_string(i + 1), "", row.number, 0);
        number.readOnly = true;
        form.fields.push_back(std::move(number));
        FormField text = FormField::TextBox("Text" + std::to_string(i + 1), "", row.text, 0);
        text.readOnly = true;
        text.besidePrevious = true;
        form.fields.push_back(std::move(text));
    }
    form.buttons.push_back({"Finish", kFormAccepted, !withNext, {}});
    if (withNext)
        form.buttons.push_back({"Next", kListNext, true, {}});
    return ShowForm(shell.desktop, form) == kListNext;
}

} // namespace korvane
