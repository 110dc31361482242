// What a server field and a redirect's Location mean. The fuzz target checks the round trips.
#include "net/address.h"

#include <gtest/gtest.h>

namespace korvane {
namespace {

constexpr std::optional<std::uint16_t> kRefused = std::nullopt;

TEST(ServerAddress, EachFormOfTheFieldAndTheHostLineItGives) {
    struct Row {
        const char* typed;
        Scheme scheme;
        const char* host;
        std::optional<std::uint16_t> port; // nothing: the text is refused
        const char* hostLine;
    };
    const Row rows[] = {
        // A bare host is the text whole, whatever it holds, as it always was.
        {"site.test", Scheme::Http, "site.test", 80, "site.test"},
        {"site.test:8080", Scheme::Http, "site.test:8080", 80, "site.test:8080"},
        {"http://site.test", Scheme::Http, "site.test", 80, "site.test"},
        {"HTTPS://site.test/", Scheme::Https, "site.test", 443, "site.test"},
        {"https://site.test:8443", Scheme::Https, "site.test", 8443, "site.test:8443"},
        {"http://site.test:443", Scheme::Http, "site.test", 443, "site.test:443"},
        {"https://[::1]:8443/", Scheme::Https, "::1", 8443, "[::1]:8443"},
        {"https://", Scheme::Https, "", kRefused, ""},
        {"https://site.test:", Scheme::Https, "", kRefused, ""},
        {"https://site.test:0", Scheme::Https, "", kRefused, ""},
        {"https://site.test:65536", Scheme::Https, "", kRefused, ""},
        {"https://site.test/shop/", Scheme::Https, "", kRefused, ""},
        {"https://user@site.test", Scheme::Https, "", kRefused, ""},
        {"https://site test", Scheme::Https, "", kRefused, ""},
        {"http://site.test\r\nX: y", Scheme::Http, "", kRefused, ""},
        {"https://[site.test]", Scheme::Https, "", kRefused, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.typed);
        const auto parsed = ParseServerAddress(row.typed);
        ASSERT_EQ(parsed.has_value(), row.port.has_value());
        if (!parsed)
            continue;
        EXPECT_EQ(parsed->scheme, row.scheme);
        EXPECT_EQ(parsed->host, row.host);
        EXPECT_EQ(parsed->port, *row.port);
        EXPECT_EQ(HostHeaderValue(*parsed), row.hostLine);
    }
}

TEST(ResolveLocation, EveryKindOfReferenceFromOnePage) {
    const Url base = *ParseUrl("https://site.test:8443/shop/cart/view.html?item=4");
    const std::pair<const char*, const char*> rows[] = {
        {"http://other.test", "http://other.test/"},
        {"  https://www.site.test/a/./b/../c.html#top ", "https://www.site.test/a/c.html"},
        {"//cdn.test/x", "https://cdn.test/x"},
        {"/", "https://site.test:8443/"},
        {"/a/b/..", "https://site.test:8443/a/"},
        {"pay.html", "https://site.test:8443/shop/cart/pay.html"},
        {"../../../../index.html", "https://site.test:8443/index.html"},
        {"./", "https://site.test:8443/shop/cart/"},
        {"?item=5", "https://site.test:8443/shop/cart/view.html?item=5"},
        {"#reviews", "https://site.test:8443/shop/cart/view.html?item=4"},
        {"new page.html", "https://site.test:8443/shop/cart/new%20page.html"},
        {"/a?x=/../y", "https://site.test:8443/a?x=/../y"},
        {"mailto:shop@site.test", ""},
        {"ftp://site.test/file", ""},
        {"/a\r\nSet-Cookie: x", ""},
        {"https://:80/", ""},
    };
    for (const auto& [location, expected] : rows) {
        SCOPED_TRACE(location);
        const auto resolved = ResolveLocation(base, location);
        EXPECT_EQ(resolved ? FormatUrl(*resolved) : "", expected);
    }
}

} // namespace
} // namespace korvane
