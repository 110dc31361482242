#include "net/address.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <utility>
#include <vector>

namespace korvane {
namespace {

constexpr std::size_t npos = std::string_view::npos;

bool StartsWithNoCase(std::string_view text, std::string_view lowerPrefix) {
    if (text.size() < lowerPrefix.size())
        return false;
    for (std::size_t i = 0; i < lowerPrefix.size(); ++i) {
        const char c = text[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != lowerPrefix[i])
            return false;
    }
    return true;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

// A byte that may stand in a host name: nothing that would end the name in a URL or a request.
bool IsHostByte(char c) {
    return !IsControl(c) && c != ' ' && c != '/' && c != '?' && c != '#' && c != '@' && c != '[' &&
           c != ']' && c != '\\' && c != ':';
}

// "http://" or "https://" at the start, with what follows it.
std::optional<std::pair<Scheme, std::string_view>> SplitScheme(std::string_view text) {
    if (StartsWithNoCase(text, "http://"))
        return std::pair{Scheme::Http, text.substr(7)};
    if (StartsWithNoCase(text, "https://"))
        return std::pair{Scheme::Https, text.substr(8)};
    return std::nullopt;
}

// "host", "host:port", "[v6]" or "[v6]:port".
std::optional<ServerAddress> ParseAuthority(Scheme scheme, std::string_view authority) {
    ServerAddress server{scheme, {}, DefaultPort(scheme), false};
    std::string_view host = authority;
    std::optional<std::string_view> port;
    if (!authority.empty() && authority.front() == '[') {
        const std::size_t close = authority.find(']');
        if (close == npos)
            return std::nullopt;
        host = authority.substr(1, close - 1);
        const std::string_view rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':')
                return std::nullopt;
            port = rest.substr(1);
        }
        if (host.find(':') == npos || !std::all_of(host.begin(), host.end(), [](char c) {
                return IsHexDigit(c) || c == ':' || c == '.';
            }))
            return std::nullopt;
    } else {
        const std::size_t colon = authority.find(':');
        if (colon != npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
        }
        if (!std::all_of(host.begin(), host.end(), IsHostByte))
            return std::nullopt;
    }
    if (host.empty())
        return std::nullopt;
    if (port) {
        unsigned value = 0;
        if (port->empty() || port->size() > 5 || !std::all_of(port->begin(), port->end(), IsDigit))
            return std::nullopt;
        std::from_chars(port->data(), port->data() + port->size(), value);
        if (value == 0 || value > 65535)
            return std::nullopt;
        server.port = static_cast<std::uint16_t>(value);
    }
    server.host = std::string(host);
    return server;
}

// The path with its "." and ".." segments taken out; `path` starts with "/".
std::string RemoveDotSegments(std::string_view path) {
    std::vector<std::string_view> kept;
    bool endsInFolder = false;
    for (std::size_t start = 1;;) {
        const std::size_t slash = path.find('/', start);
        const std::string_view segment = path.substr(start, slash == npos ? npos : slash - start);
        const bool last = slash == npos;
        if (segment == "." || segment == "..") {
            if (segment == ".." && !kept.empty())
                kept.pop_back();
            endsInFolder = last;
        } else {
            kept.push_back(segment);
        }
        if (last)
            break;
        start = slash + 1;
    }
    std::string out;
    for (const std::string_view segment : kept)
        out.append("/").append(segment);
    if (out.empty() || endsInFolder)
        out += '/';
    return out;
}

// A path and query ready for the request line: dot segments resolved, blanks and bytes beyond
// ASCII escaped as a browser does. Nothing when it holds a control character, which could end
// the request line early.
std::optional<std::string> RequestPath(std::string_view pathAndQuery) {
    if (std::any_of(pathAndQuery.begin(), pathAndQuery.end(), IsControl))
        return std::nullopt;
    const std::size_t query = pathAndQuery.find('?');
    const std::string_view pathPart = pathAndQuery.substr(0, query);
    std::string path = RemoveDotSegments(pathPart.starts_with('/') ? std::string(pathPart)
                                                                   : "/" + std::string(pathPart));
    if (query != npos)
        path.append(pathAndQuery.substr(query));
    std::string escaped;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == ' ' || byte >= 0x80) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xf];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Whether `text` starts with a scheme of any kind ("mailto:", "ftp:").
bool HasScheme(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == npos || colon == 0 || text.find_first_of("/?#") < colon)
        return false;
    const auto schemeByte = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '+' ||
               c == '-' || c == '.';
    };
    return !IsDigit(text[0]) &&
           std::all_of(text.begin(), text.begin() + static_cast<long>(colon), schemeByte);
}

} // namespace

std::optional<ServerAddress> ParseServerAddress(std::string_view text) {
    const auto split = SplitScheme(text);
    if (!split)
        return ServerAddress{Scheme::Http, std::string(text), 80, true};
    std::string_view authority = split->second;
    if (!authority.empty() && authority.back() == '/')
        authority.remove_suffix(1);
    if (authority.find_first_of("/?#") != npos)
        return std::nullopt;
    return ParseAuthority(split->first, authority);
}

std::optional<Url> ParseUrl(std::string_view text) {
    const auto split = SplitScheme(text);
    if (!split)
        return std::nullopt;
    const std::string_view rest = split->second;
    const std::size_t pathStart = rest.find_first_of("/?#");
    auto server = ParseAuthority(split->first, rest.substr(0, pathStart));
    if (!server)
        return std::nullopt;
    Url url{std::move(*server), "/"};
    if (pathStart != npos) {
        std::string_view tail = rest.substr(pathStart);
        tail = tail.substr(0, tail.find('#'));
        const auto path = tail.empty() || tail.front() == '/'
                              ? RequestPath(tail)
                              : RequestPath("/" + std::string(tail));
        if (!path)
            return std::nullopt;
        url.path = *path;
    }
    return url;
}

std::string HostHeaderValue(const ServerAddress& server) {
    if (server.bare)
        return server.host;
    std::string value = server.host.find(':') == npos ? server.host : "[" + server.host + "]";
    if (server.port != DefaultPort(server.scheme))
        value += ":" + std::to_string(server.port);
    return value;
}

std::string FormatUrl(const Url& url) {
    return (url.server.scheme == Scheme::Https ? "https://" : "http://") +
           HostHeaderValue(
               ServerAddress{url.server.scheme, url.server.host, url.server.port, false}) +
           url.path;
}

std::optional<Url> ResolveLocation(const Url& base, std::string_view location) {
    std::string_view reference = Trimmed(location);
    reference = reference.substr(0, reference.find('#'));
    if (HasScheme(reference))
        return ParseUrl(reference);
    if (reference.starts_with("//"))
        return ParseUrl((base.server.scheme == Scheme::Https ? "https:" : "http:") +
                        std::string(reference));
    Url url{base.server, base.path};
    if (reference.empty())
        return url;
    const std::string_view basePath = std::string_view(base.path).substr(0, base.path.find('?'));
    std::string merged;
    if (reference.front() == '/')
        merged = reference;
    else if (reference.front() == '?')
        merged = std::string(basePath) + std::string(reference);
    else
        merged = std::string(basePath.substr(0, basePath.rfind('/') + 1)) + std::string(reference);
    auto path = RequestPath(merged);
    if (!path)
        return std::nullopt;
    url.path = std::move(*path);
    return url;
}

} // namespace korvane
