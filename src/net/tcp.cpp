#include "net/tcp.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

namespace korvane {

namespace {

using Clock = std::chrono::steady_clock;

Resolution Lookup(const std::string& host, const char* service, const addrinfo& hints,
                  std::uint16_t port) {
    Resolution resolution;
    addrinfo* found = nullptr;
    resolution.error = ::getaddrinfo(host.c_str(), service, &hints, &found);
    if (resolution.error != 0)
        return resolution;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        Endpoint endpoint;
        std::memcpy(&endpoint.address, entry->ai_addr, entry->ai_addrlen);
        endpoint.length = entry->ai_addrlen;
        endpoint.family = entry->ai_family;
        endpoint.type = entry->ai_socktype;
        endpoint.protocol = entry->ai_protocol;
        if (service == nullptr && entry->ai_family == AF_INET)
            reinterpret_cast<sockaddr_in*>(&endpoint.address)->sin_port = htons(port);
        else if (service == nullptr && entry->ai_family == AF_INET6)
            reinterpret_cast<sockaddr_in6*>(&endpoint.address)->sin6_port = htons(port);
        resolution.addresses.push_back(endpoint);
    }
    ::freeaddrinfo(found);
    return resolution;
}

// Connects a non-blocking socket, waiting at most `timeout`; 0 or the error code.
int ConnectWithin(int socket, const Endpoint& endpoint, std::chrono::milliseconds timeout) {
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&endpoint.address), endpoint.length) ==
        0)
        return 0;
    // An interrupted connect goes on in the background, as one in progress does.
    if (errno != EINPROGRESS && errno != EINTR)
        return errno;
    if (const int waited = WaitForSocket(socket, POLLOUT, timeout); waited != 0)
        return waited;
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

} // namespace

int WaitForSocket(int fd, short events, std::optional<std::chrono::milliseconds> limit) {
    const auto deadline = limit ? Clock::now() + *limit : Clock::time_point::max();
    for (;;) {
        int timeout = -1;
        if (limit) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            timeout = static_cast<int>(std::clamp<std::int64_t>(left, 0, INT_MAX));
        }
        pollfd ready{fd, events, 0};
        const int polled = ::poll(&ready, 1, timeout);
        if (polled > 0)
            return 0;
        if (polled == 0 && Clock::now() >= deadline)
            return ETIMEDOUT;
        if (polled < 0 && errno != EINTR)
            return errno;
    }
}

std::string Endpoint::Numeric() const {
    std::array<char, INET6_ADDRSTRLEN> text{};
    const void* raw =
        family == AF_INET6
            ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&address)->sin6_addr)
            : &reinterpret_cast<const sockaddr_in*>(&address)->sin_addr;
    if (::inet_ntop(family, raw, text.data(), text.size()) == nullptr)
        return {};
    return text.data();
}

Resolution ResolveHttp(std::string_view host, AddressFamily family) {
    addrinfo hints{};
    hints.ai_family = family == AddressFamily::IPv6 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    return Lookup(std::string(host), "http", hints, 0);
}

Resolution ResolvePort(std::string_view host, std::uint16_t port, AddressFamily family) {
    const std::string name(host);
    addrinfo hints{};
    hints.ai_family = family == AddressFamily::IPv6 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    // Only a complete address counts as one; "127.1" and the like are names.
    in6_addr numeric{};
    if (::inet_pton(hints.ai_family, name.c_str(), &numeric) == 1)
        hints.ai_flags = AI_NUMERICHOST;
    else if (name.empty())
        return {{}, EAI_NONAME};
    return Lookup(name, nullptr, hints, port);
}

Resolution ResolveIPv4(std::string_view host, std::uint16_t port) {
    return ResolvePort(host, port, AddressFamily::IPv4);
}

std::optional<int> SocketStream::Send(std::string_view bytes,
                                      std::optional<std::chrono::milliseconds> stallLimit) {
    while (!bytes.empty()) {
        const ssize_t sent =
            ::send(m_socket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent == 0)
            return EPIPE;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return errno;
        // The peer has not taken what went before: wait until it does, or the limit has passed.
        if (const int waited = WaitForSocket(m_socket.Get(), POLLOUT, stallLimit); waited != 0)
            return waited == ETIMEDOUT ? EAGAIN : waited;
    }
    return std::nullopt;
}

Received SocketStream::Receive(std::span<char> buffer, std::chrono::milliseconds wait) {
    const auto deadline = Clock::now() + wait;
    for (;;) {
        // What has arrived already is taken without waiting at all.
        const ssize_t got = ::recv(m_socket.Get(), buffer.data(), buffer.size(), MSG_DONTWAIT);
        if (got > 0)
            return {Received::Status::Data, static_cast<std::size_t>(got), 0};
        if (got == 0)
            return {Received::Status::Closed, 0, 0};
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return {Received::Status::Failed, 0, errno};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (const int waited = WaitForSocket(m_socket.Get(), POLLIN, std::max(left, {}));
            waited != 0)
            return {waited == ETIMEDOUT ? Received::Status::TimedOut : Received::Status::Failed, 0,
                    waited};
    }
}

Connection Connect(std::span<const Endpoint> addresses, std::chrono::milliseconds timeout) {
    Connection connection;
    for (const Endpoint& endpoint : addresses) {
        FileDescriptor socket(::socket(
            endpoint.family, endpoint.type | SOCK_CLOEXEC | SOCK_NONBLOCK, endpoint.protocol));
        if (!socket.IsOpen()) {
            connection.failures.push_back({ConnectFailure::Step::Socket, errno});
            continue;
        }
        if (const int error = ConnectWithin(socket.Get(), endpoint, timeout); error != 0) {
            connection.failures.push_back({ConnectFailure::Step::Connect, error});
            continue;
        }
        // Every protocol here sends a request or command and waits for its answer: nothing is
        // gained by holding a small piece back for the acknowledgement of the one before.
        const int noDelay = 1;
        ::setsockopt(socket.Get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
        connection.stream = std::make_unique<SocketStream>(std::move(socket));
        break;
    }
    return connection;
}

} // namespace korvane
