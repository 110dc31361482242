// Server fields and redirect Locations from any bytes. The first line is a page URL (a fixed one
// when it is not a URL), the rest a Location from that page. Whatever is accepted is a usable
// request: a host, a port, a path that starts at the root and holds nothing that could end the
// request line, and it reads back as itself when written out.
#include "net/address.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using korvane::FormatUrl;
using korvane::ParseUrl;
using korvane::Url;

void CheckUsable(const Url& url) {
    if (url.server.host.empty() || url.server.port == 0 || url.path.empty() || url.path[0] != '/')
        __builtin_trap();
    for (const char c : url.path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7f || c == '#')
            __builtin_trap();
    }
    const std::string_view path = std::string_view(url.path).substr(0, url.path.find('?'));
    for (const std::string_view dots : {"/./", "/../"})
        if (path.find(dots) != std::string_view::npos)
            __builtin_trap();
    if (path.ends_with("/.") || path.ends_with("/.."))
        __builtin_trap();
    const auto again = ParseUrl(FormatUrl(url));
    if (!again || !(*again == url))
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t lineEnd = bytes.find('\n');
    const std::string_view first = bytes.substr(0, lineEnd);
    const std::string_view location =
        lineEnd == std::string_view::npos ? std::string_view() : bytes.substr(lineEnd + 1);

    if (const auto server = korvane::ParseServerAddress(first)) {
        if (server->bare) {
            if (server->host != first || korvane::HostHeaderValue(*server) != first)
                __builtin_trap();
        } else {
            CheckUsable(Url{*server, "/"});
        }
    }
    auto base = ParseUrl(first);
    if (base)
        CheckUsable(*base);
    else
        base = Url{{korvane::Scheme::Http, "site.test", 80, false}, "/shop/page.html"};
    if (const auto resolved = korvane::ResolveLocation(*base, location)) {
        CheckUsable(*resolved);
        // Where a Location leads does not move when it is followed again from there.
        const auto same = korvane::ResolveLocation(*resolved, FormatUrl(*resolved));
        if (!same || !(*same == *resolved))
            __builtin_trap();
    }
    return 0;
}
