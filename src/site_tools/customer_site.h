#pragma once

#include "records/record_files.h"

#include <optional>
#include <string_view>

namespace korvane {

struct Shell;

// What the customer database lends this tool: its lookup (a typed number, or a name with its match
// dialog; any message shown, the customer found returned as a copy) and the wording of what became
// of writing a customer back. The program hands in the customer database's own.
struct CustomerLookup {
    std::optional<Found<CustomerRecord>> (*find)(Shell& shell, std::string_view typed);
    bool (*tellRewrite)(Shell& shell, RecordChange change);
};

// Verify > "Customer site from database" and Check > "Customer site": a watch over the four
// server and folder pairs of one customer, edited in the watch dialog and written back.
void VerifyCustomerSiteCommand(Shell& shell, const CustomerLookup& customers);
void CheckCustomerSiteCommand(Shell& shell, const CustomerLookup& customers);

} // namespace korvane
