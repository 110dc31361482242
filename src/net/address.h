#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

enum class Scheme { Http, Https };

constexpr std::uint16_t DefaultPort(Scheme scheme) {
    return scheme == Scheme::Https ? 443 : 80;
}

// Where a server is reached.
struct ServerAddress {
    Scheme scheme = Scheme::Http;
    std::string host; // an IPv6 literal without its brackets
    std::uint16_t port = 80;
    // Typed without a scheme: the text is the host name whole, sent in the Host line as typed.
    bool bare = false;
    bool operator==(const ServerAddress&) const = default;
};

// A server and the path asked of it: "/" or more, with the query, never a fragment.
struct Url {
    ServerAddress server;
    std::string path = "/";
    bool operator==(const Url&) const = default;
};

// What a server field holds: "https://host", "https://host:port", "http://host",
// "http://host:port" (a "/" after them is allowed) or a bare host. A bare host is plain HTTP on
// port 80 and its text is the host name whole, exactly as before there were schemes, so stored
// files and old habits keep their meaning. Nothing for a URL form that names no usable server:
// no host, a port outside 1 to 65535, a path, user information, or a blank or control
// character in the host.
std::optional<ServerAddress> ParseServerAddress(std::string_view text);

// An absolute http or https URL; nothing for any other scheme or a malformed one.
std::optional<Url> ParseUrl(std::string_view text);

// The Host header's value: the host, with ":port" when the port is not the scheme's default.
std::string HostHeaderValue(const ServerAddress& server);

// The URL as text: "https://host:port/path", the port only when it is not the default.
std::string FormatUrl(const Url& url);

// Where a redirect's Location leads from `base`: an absolute http or https URL, "//host/path",
// "/path", or a path relative to the base's own, with its "." and ".." segments resolved and any
// fragment dropped. Nothing for another scheme or a Location that names no usable server.
std::optional<Url> ResolveLocation(const Url& base, std::string_view location);

} // namespace korvane
