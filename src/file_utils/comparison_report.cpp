#include "file_utils/comparison_report.h"

#include "compare/comparison.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"

#include <unistd.h>

namespace korvane {

void ShowComparison(Desktop& desktop, const std::string& leftName, const std::string& rightName,
                    const std::string& folder) {
    WriteComparison(leftName, rightName, folder);
    desktop.OpenInBrowser(folder + "/tc.html");
}

void VisualComparisonCommand(Shell& shell) {
    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr) {
        shell.desktop.ShowMessage("Unable to locate directory.", "Problem");
        return;
    }
    const std::string saved = cwd;
    shell.pickers.EmptyTypeList();
    Form form;
    form.name = "File comparison";
    form.title = "File comparison";
    auto picker = [&shell] { return shell.pickers.PickOpen(shell.desktop); };
    FormField first = FormField::TextBox("File1", "File 1", "", kComparisonNameMaxChars);
    first.browse = picker;
    form.fields.push_back(std::move(first));
    form.fields.push_back(FormField::NoteText("For example: /home/user/myweb/index.html"));
    FormField second = FormField::TextBox("File2", "File 2", "", kComparisonNameMaxChars);
    second.browse = picker;
    form.fields.push_back(std::move(second));
    form.fields.push_back(FormField::NoteText(
        "The two texts will display in a browser with the differences highlighted (processing "
        "may take several minutes)."));
    form.fields.push_back(FormField::NoteText(
        "Note that only text type files (HTML, txt, css) should be used. The non trivial "
        "algorithms utilized are unsuitable for use with binary or rich text content."));
    form.buttons = {FormButton{"Compare", kFormAccepted, true, {}},
                    FormButton{"Cancel", kFormCancelled, false, {}}};
    form.focusField = "File1";
    const int result = ShowForm(shell.desktop, form);
    if (::chdir(saved.c_str()) != 0) {
        // The folder went away meanwhile; the comparison then writes where the process now is.
    }
    const std::string file1 = form.Field("File1").text;
    const std::string file2 = form.Field("File2").text;
    if (result != kFormAccepted || file1.empty() || file2.empty())
        return;
    const auto [left, right] = OrderBySize(file1, file2);
    ShowComparison(shell.desktop, left, right);
}

} // namespace korvane
