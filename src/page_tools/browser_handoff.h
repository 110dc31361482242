#pragma once

#include <string>
#include <string_view>

namespace korvane {

// A web service's label in menus, prompts and the log: its host's domain name (the last two names
// of the host) with a capital initial, so "validator.w3.org" gives "W3.org".
std::string ServiceLabel(std::string_view host);

// The log line that ends a hand-off to the browser: whether the browser took the page.
std::string_view HandOffOutcome(bool browserStarted);

} // namespace korvane
