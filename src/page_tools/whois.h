#pragma once

#include <string>
#include <string_view>

namespace korvane {

struct Shell;

enum class WhoisService { NetworkSolutions, Icann };

inline constexpr std::string_view kWhoisExampleDomain = "example.com";

// The service's label, as the menu, the prompt and the log show it.
std::string WhoisLabel(WhoisService service);
// The service's results page for the domain, which is put in as typed.
std::string WhoisUrl(WhoisService service, std::string_view domain);

// Utilities > "Whois (...)": asks for a domain and opens the service's results page.
void WhoisCommand(Shell& shell, WhoisService service);

} // namespace korvane
