#include "page_tools/whois.h"

#include "shell/shell.h"

namespace korvane {

std::string_view WhoisLabel(WhoisService service) {
    return service == WhoisService::NetworkSolutions ? "Networksolutions.com" : "ICANN";
}

std::string WhoisUrl(WhoisService service, std::string_view domain) {
    std::string url = service == WhoisService::NetworkSolutions
                          ? "http://www.networksolutions.com/whois/results.jsp?domain="
                          : "http://lookup.icann.org/whois_new.cgi?d=";
    url += domain;
    return url;
}

void WhoisCommand(Shell& shell, WhoisService service) {
    if (RefuseWhileBusy(shell.busy, BusyFlag::Whois, shell.desktop))
        return;
    const std::string label(WhoisLabel(service));
    const auto domain =
        PromptBox(shell.desktop, "WHOIS Domain Search (" + label + "):", kWhoisExampleDomain);
    if (!domain)
        return;
    shell.busy.Set(BusyFlag::Whois);
    BusyRelease release(shell.busy, BusyFlag::Whois);
    shell.desktop.OpenInBrowser(WhoisUrl(service, *domain));
    shell.log.AppendLine("  ");
    shell.log.AppendHighlighted("WHOIS Domain Search (" + label + "): " + *domain);
    shell.log.AppendLine("Request sent");
}

} // namespace korvane
