#pragma once

namespace korvane {

struct Shell;

// Verify > "Customer site from database" and Check > "Customer site": a watch over the four
// server and folder pairs of one customer, edited in the watch dialog and written back.
void VerifyCustomerSiteCommand(Shell& shell);
void CheckCustomerSiteCommand(Shell& shell);

} // namespace korvane
