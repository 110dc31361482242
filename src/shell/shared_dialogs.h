#pragma once

#include "shell/busy_flags.h"
#include "shell/desktop.h"

#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

inline constexpr std::size_t kPromptMaxChars = 34;
inline constexpr std::size_t kTitledPromptMaxChars = 39;
inline constexpr std::size_t kReportAppendMaxChars = 1024;

// Shows a form and applies its field limits to what came back, whatever the renderer did.
int ShowForm(Desktop& desktop, Form& form);

// The one-line box without a title: `prompt` labels a frame around the field.
std::optional<std::string> PromptBox(Desktop& desktop, std::string_view prompt,
                                     std::string_view initialText);
// The titled box whose field starts empty and turns every letter into a capital.
std::optional<std::string> TitledPromptBox(Desktop& desktop, std::string_view title,
                                           std::string_view label);

// The modal "Page header" viewer; a worker that opens it waits until it is closed.
int ResultViewer(Desktop& desktop, std::string_view text);

// The file pickers' shared description. The type list is offered until one of the dialogs that
// work on any kind of file has been opened; from then on every picker offers all files.
class FilePickerState {
  public:
    std::optional<std::string> PickOpen(Desktop& desktop);
    std::optional<std::string> PickSave(Desktop& desktop);
    void EmptyTypeList();
    bool OffersTypeList() const;
    std::string FileName() const;

  private:
    std::optional<std::string> Pick(Desktop& desktop, FilePickerRequest::Mode mode);

    mutable std::mutex m_mutex;
    bool m_typeListEmptied = false;
    std::string m_fileName;
};

// The verifications' "Ignore Windows Linux line end differences" box with its note.
void AddLineEndBox(Form& form, bool checked);
// The notes under a server field that ask for the host itself, not a name that redirects.
void AddActualHostNotes(Form& form);

// The folder picker with the instruction "Choose a folder".
std::optional<std::string> PickFolder(Desktop& desktop);

// Formats printf-style, cuts the result to 1024 characters and appends it to the text box.
void ReportAppend(ReportTextBox& box, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

} // namespace korvane
