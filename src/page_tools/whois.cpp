#include "page_tools/whois.h"

#include "page_tools/browser_handoff.h"
#include "shell/shell.h"

namespace korvane {

namespace {

std::string_view Host(WhoisService service) {
    return service == WhoisService::NetworkSolutions ? "www.networksolutions.com"
                                                     : "lookup.icann.org";
}

} // namespace

std::string WhoisLabel(WhoisService service) {
    return ServiceLabel(Host(service));
}

std::string WhoisUrl(WhoisService service, std::string_view domain) {
    std::string url = "http://" + std::string(Host(service));
    url += service == WhoisService::NetworkSolutions ? "/whois/results.jsp?domain="
                                                     : "/whois_new.cgi?d=";
    url += domain;
    return url;
}

void WhoisCommand(Shell& shell, WhoisService service) {
    if (RefuseWhileBusy(shell.busy, BusyFlag::Whois, shell.desktop))
        return;
    const std::string label = WhoisLabel(service);
    const auto domain =
        PromptBox(shell.desktop, "WHOIS Domain Search (" + label + "):", kWhoisExampleDomain);
    if (!domain)
        return;
    shell.busy.Set(BusyFlag::Whois);
    BusyRelease release(shell.busy, BusyFlag::Whois);
    const bool started = shell.desktop.OpenInBrowser(WhoisUrl(service, *domain));
    shell.log.AppendLine("  ");
    shell.log.AppendHighlighted("WHOIS Domain Search (" + label + "): " + *domain);
    shell.log.AppendLine(HandOffOutcome(started));
}

} // namespace korvane
