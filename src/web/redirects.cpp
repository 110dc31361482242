#include "web/redirects.h"

namespace korvane {

RedirectTrail::RedirectTrail(Url start) : m_current(std::move(start)) {
    m_seen.insert(FormatUrl(m_current));
}

RedirectTrail::Step RedirectTrail::Next(std::string_view location) {
    const auto next = ResolveLocation(m_current, location);
    if (!next)
        return Step::Unusable;
    if (m_hops == kMaxRedirects)
        return Step::TooMany;
    if (!m_seen.insert(FormatUrl(*next)).second)
        return Step::Loop;
    m_current = *next;
    ++m_hops;
    return Step::Follow;
}

std::string RedirectTrail::HopLine(int code) const {
    return "Redirect " + std::to_string(m_hops) + ": " + std::to_string(code) + " " +
           FormatUrl(m_current);
}

std::string_view RedirectFailureLine(RedirectTrail::Step step) {
    switch (step) {
    case RedirectTrail::Step::TooMany:
        return "Too many redirects";
    case RedirectTrail::Step::Loop:
        return "Redirect loop";
    case RedirectTrail::Step::Unusable:
        return "Redirect to an address that cannot be asked";
    case RedirectTrail::Step::Follow:
        break;
    }
    return {};
}

Url RequestUrl(const ServerAddress& server, std::string_view page) {
    Url url;
    url.server = server;
    url.path = "/" + std::string(page);
    return url;
}

std::string PageOf(const Url& url) {
    return url.path.empty() ? std::string() : url.path.substr(1);
}

} // namespace korvane
