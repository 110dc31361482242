#pragma once

#include "records/record_files.h"
#include "shell/form.h"

#include <cstdint>
#include <string_view>

namespace korvane {

struct Shell;

namespace search_engines {

// Number lookup or text search (the pattern in upper case); after a number lookup the view is
// shown when asked. Returns the number found, 0 for none; the record is then in the buffer.
std::int64_t FindRecord(Shell& shell, std::string_view typed, bool byNumber, bool showView);

// Stores the search-engine buffer over the slot of the index entry that carries its number.
bool RewriteRecord(Shell& shell);

Form SearchEngineDialog(const SearchEngineRecord& record, bool newEngine);
void StoreSearchEngineDialog(const Form& form, SearchEngineRecord& record);

} // namespace search_engines

void EngineDisplayCommand(Shell& shell);
void EngineListCommand(Shell& shell);
void EngineAddCommand(Shell& shell);
void EngineAmendCommand(Shell& shell);
void EngineDeleteCommand(Shell& shell);

} // namespace korvane
