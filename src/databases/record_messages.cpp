#include "databases/record_messages.h"

#include "shell/shared_dialogs.h"
#include "shell/shell.h"

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>

namespace korvane {

namespace {

void Tell(Shell& shell, Notice notice) {
    shell.desktop.ShowMessage(notice.text, notice.title);
}

} // namespace

std::int64_t ReadNumber(std::string_view text) {
    const std::string copy(text);
    errno = 0;
    const long long value = std::strtoll(copy.c_str(), nullptr, 10);
    return static_cast<std::int64_t>(value);
}

std::string NumberText(std::int64_t number) {
    char text[32];
    std::snprintf(text, sizeof text, "%" PRId64, number);
    return text;
}

void LogUnreadableRecord(Shell& shell, std::int64_t number) {
    shell.log.AppendLine("Record " + NumberText(number) + " could not be read; skipped.");
}

bool TellRead(Shell& shell, RecordIo io, Notice openFailed, Notice readFailed) {
    if (io == RecordIo::OpenFailed)
        Tell(shell, openFailed);
    if (io == RecordIo::IoFailed)
        Tell(shell, readFailed);
    return io == RecordIo::Ok;
}

bool TellChange(Shell& shell, RecordChange change, Notice openFailed, Notice writeFailed) {
    switch (change) {
    case RecordChange::Done:
        return true;
    case RecordChange::DoneOutOfMemory:
        Tell(shell, {"Out of memory.", "Problem"});
        return true;
    case RecordChange::InvalidNumber:
        Tell(shell, {"Invalid number.", "Problem"});
        return false;
    case RecordChange::OpenFailed:
        Tell(shell, openFailed);
        return false;
    case RecordChange::WriteFailed:
        Tell(shell, writeFailed);
        return false;
    }
    return false;
}

void TellSearch(Shell& shell, const StoreTexts& texts, SearchEnd end) {
    switch (end) {
    case SearchEnd::Accepted:
    case SearchEnd::Cancelled:
    case SearchEnd::NotRun:
        return;
    case SearchEnd::NoMatch:
        Tell(shell, {"No match found", "Finished"});
        return;
    case SearchEnd::OpenFailed:
        Tell(shell, texts.findOpenFailed);
        return;
    case SearchEnd::ReadFailed:
        Tell(shell, texts.scanReadFailed);
        return;
    case SearchEnd::NextOpenFailed:
        Tell(shell, texts.nextOpenFailed);
        return;
    case SearchEnd::NextReadFailed:
        Tell(shell, texts.nextReadFailed);
        return;
    }
}

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
        form.buttons.push_back({"Next", kFormNext, true, {}});
    return ShowForm(shell.desktop, form) == kFormNext;
}

} // namespace korvane
