// The link scanner over any page: every target it reports is a piece of the page, and the
// broken-link split of a target gives a host and a path that rebuild it and fit in a request.
#include "net/address.h"
#include "page_tools/links.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

constexpr std::string_view kServer = "site.test";
const korvane::ServerAddress kPageServer{korvane::Scheme::Http, std::string(kServer), 80, true};

// A request line or header line built from this text stays one line.
bool FitsInRequest(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    return true;
}

void CheckSplit(std::string_view target) {
    using Kind = korvane::LinkTarget::Kind;
    const korvane::LinkTarget link = korvane::ClassifyTarget(target, kPageServer);
    if (link.kind != Kind::Check)
        return;
    if (!FitsInRequest(link.host) || !FitsInRequest(link.path) ||
        link.host.find('/') != std::string::npos)
        __builtin_trap();
    const std::size_t colon = target.find(':');
    if (colon == std::string_view::npos) {
        // A relative target is asked from the page's own server, unchanged.
        if (link.host != kServer || link.path != target)
            __builtin_trap();
        return;
    }
    // scheme://host[/path]
    if (target.substr(colon, 3) != "://")
        __builtin_trap();
    // An http or https URL is asked of the server it names, with its scheme and port.
    if (const auto url = korvane::ParseUrl(target)) {
        if (!(link.server == url->server))
            __builtin_trap();
        return;
    }
    const std::string_view rest = target.substr(colon + 3);
    const std::string rebuilt = link.host + (rest.size() > link.host.size() ? "/" : "") + link.path;
    if (rest != rebuilt)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);
    std::FILE* file = std::tmpfile();
    std::fwrite(page.data(), 1, page.size(), file);
    std::fflush(file);
    std::rewind(file);
    korvane::ScanLinks(::fileno(file), [&](std::string_view target) {
        if (page.find(target) == std::string::npos || target.size() > korvane::kLinkTargetMaxChars)
            __builtin_trap();
        CheckSplit(target);
        (void)korvane::ShowsTarget(korvane::LinkMode::All, target);
    });
    std::fclose(file);
    // The split is also fed the page itself, so targets of any shape reach it directly.
    CheckSplit(std::string_view(page).substr(0, korvane::kLinkTargetMaxChars));
    return 0;
}
