#include "page_tools/browser_handoff.h"

#include <cctype>

namespace korvane {

std::string ServiceLabel(std::string_view host) {
    constexpr std::size_t npos = std::string_view::npos;
    // The domain name follows the second dot from the end; a host with fewer dots is one.
    const std::size_t lastDot = host.rfind('.');
    const std::size_t dot = lastDot == npos || lastDot == 0 ? npos : host.rfind('.', lastDot - 1);
    std::string label(dot == npos ? host : host.substr(dot + 1));
    if (!label.empty())
        label[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(label[0])));
    return label;
}

std::string_view HandOffOutcome(bool browserStarted) {
    return browserStarted ? "Request sent" : "Unable to start the browser.";
}

} // namespace korvane
