#pragma once

#include "net/address.h"
#include "net/tcp.h"
#include "net/tls.h"

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace korvane {

// The addresses of a server: a bare host as the "http" service (its text whole), a URL form with
// its own port.
Resolution Resolve(const ServerAddress& server, AddressFamily family);

// What came of opening one connection to a server.
struct Dialed {
    enum class Outcome { Connected, NotConnected, HandshakeFailed, CertificateRefused };
    Outcome outcome = Outcome::NotConnected;
    // The connection to send on: plain, or TLS with a trusted certificate or an untrusted one
    // the run accepts. None with any other outcome.
    std::unique_ptr<Stream> stream;
    std::vector<ConnectFailure> connectFailures; // each address that did not connect
    // Over TLS: what the server showed, its complaint (also when accepted), the handshake's own
    // failure, and whether an earlier session of the run was resumed.
    bool secure = false;
    std::optional<CertificateFacts> certificate;
    CertificateProblem problem;
    int handshakeError = 0;
    std::string handshakeFailure;
    bool resumed = false;
};

// Opens the connections of one run: each address in turn, then TLS for an https server. The TLS
// sessions are kept for the run, so the connections after the first one resume. Safe to share
// between threads.
class Dialer {
  public:
    struct Options {
        std::chrono::milliseconds connectTimeout = kConnectTimeout;
        std::chrono::milliseconds handshakeTimeout = kHandshakeTimeout;
        bool acceptUntrusted = false;
    };
    explicit Dialer(Options options) : m_options(options) {}
    Dialer() : Dialer(Options{}) {}

    Dialed Open(const ServerAddress& server, std::span<const Endpoint> addresses);
    const Options& GetOptions() const { return m_options; }

  private:
    Options m_options;
    std::mutex m_mutex;
    std::unique_ptr<TlsClient> m_tls; // made at the first https connection
};

} // namespace korvane
