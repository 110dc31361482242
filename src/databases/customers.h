#pragma once

#include "databases/record_messages.h"
#include "records/record_files.h"

#include <optional>
#include <string_view>

namespace korvane {

struct Shell;

namespace customers {

// The label of the prompt that picks a customer to change or report on.
inline constexpr std::string_view kPromptLabel = "Number / Company / fragment";

// The lookup of Amend and Delete: the typed text read as a number of at least 1 looks that number
// up, anything else searches by name with the match dialog. No view is shown. Messages are shown
// here; the customer found comes back as a copy of the caller's own.
std::optional<Found<CustomerRecord>> FindForChange(Shell& shell, std::string_view typed);

// Tells what became of writing a found customer back; true when it was written.
bool TellRewrite(Shell& shell, RecordChange change);

} // namespace customers

void CustomerDisplayCommand(Shell& shell);
void CustomerListCommand(Shell& shell);
void CustomerAddCommand(Shell& shell);
void CustomerAmendCommand(Shell& shell);
void CustomerDeleteCommand(Shell& shell);

} // namespace korvane
