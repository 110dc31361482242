#pragma once

#include "net/address.h"

#include <set>
#include <string>
#include <string_view>

namespace korvane {

// "Follow redirects" asks at most this many Locations for one request.
inline constexpr int kMaxRedirects = 10;

// The redirects of one request, from the URL first asked.
class RedirectTrail {
  public:
    enum class Step { Follow, TooMany, Loop, Unusable };
    explicit RedirectTrail(Url start);
    // Where `location` leads from the current URL: Follow makes that the current URL.
    Step Next(std::string_view location);
    const Url& Current() const { return m_current; }
    int Hops() const { return m_hops; }
    // "Redirect N: CODE LOCATION" for the hop just taken.
    std::string HopLine(int code) const;

  private:
    Url m_current;
    int m_hops = 0;
    std::set<std::string> m_seen;
};

// The line that ends a trail that is not followed further.
std::string_view RedirectFailureLine(RedirectTrail::Step step);

// The URL a server field and a page name ask for: the page is the path after the first "/".
Url RequestUrl(const ServerAddress& server, std::string_view page);
// The page name of a URL: its path without the first "/".
std::string PageOf(const Url& url);

} // namespace korvane
