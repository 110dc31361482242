#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace korvane {

struct Shell;

// Whether `text` appears in what `fd` holds from its current position to its end, searched
// block by block with the last bytes of each block carried over, so a body of any length is
// searched whole in little memory. Case-sensitive.
bool StreamContains(int fd, std::string_view text);

struct LinkExchangeInput {
    std::string workFolder = "."; // the1.html
    std::chrono::milliseconds idleTimeout{30000};
};

// Checks every customer's link-exchange page for its link text; clears busy flag 1 at the end.
void LinkExchangeRun(Shell& shell, const LinkExchangeInput& input);

// "Link exchange" > "Check".
void LinkExchangeCommand(Shell& shell);

} // namespace korvane
