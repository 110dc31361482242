#pragma once

#include "records/record_files.h"
#include "shell/form.h"

#include <cstdint>
#include <string_view>

namespace korvane {

struct Shell;
struct LocalTime;

inline constexpr std::size_t kNumberFieldMaxChars = 19;
inline constexpr int kFirstCreationYear = 1990;
// The result of the "&Next" and "Next" buttons of the database dialogs.
inline constexpr int kFormNext = 2;

namespace customers {

// Number lookup (byNumber: the typed text read as a number) or text search with the match
// dialog; shows the customer view afterwards when asked. Returns the number found, 0 for none;
// the record is then in the customer buffer and its slot is the current slot.
std::int64_t FindRecord(Shell& shell, std::string_view typed, bool byNumber, bool showView);

// Stores the customer buffer over the slot of the index entry that carries its number.
bool RewriteRecord(Shell& shell);

// The entry dialog: blank with today's date and the Next button for a new customer, otherwise
// filled from `record`.
Form CustomerDialog(const CustomerRecord& record, bool newCustomer, const LocalTime& today);
// Copies the dialog into `record`: texts (bytes after each terminator stay), number, creation
// date and the Updated date of `today`.
void StoreCustomerDialog(const Form& form, CustomerRecord& record, const LocalTime& today);

} // namespace customers

void CustomerDisplayCommand(Shell& shell);
void CustomerListCommand(Shell& shell);
void CustomerAddCommand(Shell& shell);
void CustomerAmendCommand(Shell& shell);
void CustomerDeleteCommand(Shell& shell);

} // namespace korvane
