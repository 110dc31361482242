#pragma once

#include "shell/posix_file.h"

#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

// A connection attempt that neither succeeds nor fails in this time (a host that drops the
// packets) counts as failed, and the next address is tried.
inline constexpr std::chrono::milliseconds kConnectTimeout{10000};
// A server that neither sends nor closes for this long is treated as if it had closed.
inline constexpr std::chrono::milliseconds kReceiveIdleTimeout{30000};
// What "Initialized: %s" names: sockets here need no start-up, so they are always running.
inline constexpr std::string_view kSocketStatusText = "Running";

enum class AddressFamily { IPv4, IPv6 };

// One address of a host, ready to connect to.
struct Endpoint {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = 0;
    int type = SOCK_STREAM;
    int protocol = 0;
    // The address as text: dotted decimal for IPv4.
    std::string Numeric() const;
};

struct Resolution {
    // In the resolver's order; empty when the name did not resolve.
    std::vector<Endpoint> addresses;
    int error = 0; // the resolver's code (EAI_...) when it failed
};

// The addresses of `host` for the "http" service over TCP, of the one family asked for.
Resolution ResolveHttp(std::string_view host, AddressFamily family);
// The addresses of `host` with `port`, of the one family asked for: an address literal is taken as
// it is, anything else is looked up by name.
Resolution ResolvePort(std::string_view host, std::uint16_t port, AddressFamily family);
Resolution ResolveIPv4(std::string_view host, std::uint16_t port);

// What came of one receive.
struct Received {
    enum class Status { Data, Closed, TimedOut, Failed };
    Status status = Status::Closed;
    std::size_t bytes = 0; // with Data: how many bytes arrived
    int error = 0;         // with Failed: the error code
};

// A connected byte stream: a TCP connection, or in the tests anything that behaves like one.
class Stream {
  public:
    virtual ~Stream() = default;
    // Sends every byte. Gives nothing when all went, otherwise the error code; a peer that takes
    // nothing for `stallLimit` gives EAGAIN. Without a limit the send waits as long as it takes.
    virtual std::optional<int> Send(std::string_view bytes,
                                    std::optional<std::chrono::milliseconds> stallLimit) = 0;
    // Waits at most `wait` for bytes, then takes what arrived, up to the buffer's size.
    virtual Received Receive(std::span<char> buffer, std::chrono::milliseconds wait) = 0;
};

// Waits until `events` (poll's) can happen on `fd`: 0, ETIMEDOUT when the limit passed first, or
// the error of the wait. A signal only makes it wait again for what is left of the limit.
int WaitForSocket(int fd, short events, std::optional<std::chrono::milliseconds> limit);

// A stream over a connected stream socket. Every wait is a poll that a signal does not cut
// short, so the time limits hold whatever the socket's own options are.
class SocketStream final : public Stream {
  public:
    explicit SocketStream(FileDescriptor socket) : m_socket(std::move(socket)) {}
    std::optional<int> Send(std::string_view bytes,
                            std::optional<std::chrono::milliseconds> stallLimit) override;
    Received Receive(std::span<char> buffer, std::chrono::milliseconds wait) override;
    // Hands the socket over, to a stream that speaks another protocol on it (TLS).
    FileDescriptor Release() { return std::move(m_socket); }

  private:
    FileDescriptor m_socket;
};

struct ConnectFailure {
    enum class Step { Socket, Connect };
    Step step = Step::Connect; // no socket could be made, or the connection was not made
    int error = 0;             // the error code; ETIMEDOUT when the time-out passed
};

struct Connection {
    std::unique_ptr<SocketStream> stream; // none when no address connected
    // One for each address that did not connect, in the order tried.
    std::vector<ConnectFailure> failures;
};

// Tries the addresses in order, each for at most `timeout`, and keeps the first connection made.
Connection Connect(std::span<const Endpoint> addresses,
                   std::chrono::milliseconds timeout = kConnectTimeout);

} // namespace korvane
