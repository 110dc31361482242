#pragma once

#include "net/tcp.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;
using SSL_SESSION = struct ssl_session_st;

namespace korvane {

// A handshake that neither finishes nor fails in this time counts as failed, like a silent reply.
inline constexpr std::chrono::milliseconds kHandshakeTimeout{30000};

// What the server's certificate says about itself.
struct CertificateFacts {
    std::string protocol;           // "TLSv1.3"
    std::string subject;            // one line: "CN = site.test"
    std::string issuer;             // the same for the issuer
    std::vector<std::string> names; // the host names it is for: its DNS and IP names, else its CN
    std::int64_t notAfter = 0;      // seconds since 1970, UTC
};

// Why the certificate is not to be trusted.
struct CertificateProblem {
    enum class Kind { None, Untrusted, Expired, NotYetValid, WrongHost };
    Kind kind = Kind::None;
    std::string reason; // the verifier's own words ("self-signed certificate"), for Untrusted
};

struct TlsResult {
    // The encrypted stream: the handshake succeeded and the certificate is trusted, or it is not
    // and the client was told to accept such certificates. None otherwise.
    std::unique_ptr<Stream> stream;
    std::optional<CertificateFacts> certificate; // when the server showed one
    CertificateProblem problem;
    bool resumed = false; // an earlier session of the run was taken up again: no full handshake
    // With no stream and no certificate problem: the handshake itself failed. ETIMEDOUT, the
    // socket's error, or EPROTO with the library's reason ("wrong version number").
    int error = 0;
    std::string failure;
};

// The client side of TLS for one run: the system's trust store (OpenSSL's default paths, which
// honour SSL_CERT_FILE and SSL_CERT_DIR), TLS 1.2 or 1.3, and the sessions of the run's
// connections kept per server, so that a run of many requests resumes instead of paying a full
// handshake for each. Safe to share between threads.
class TlsClient {
  public:
    struct Options {
        bool acceptUntrusted = false;
    };
    explicit TlsClient(Options options);
    TlsClient() : TlsClient(Options{}) {}
    ~TlsClient();
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;

    // Makes the handshake on `plain`'s socket with the server `host` (a name, or an address
    // whose certificate names it) at `port`, sending the name (SNI) and checking that the
    // certificate is for it.
    TlsResult Open(SocketStream& plain, const std::string& host, std::uint16_t port,
                   std::chrono::milliseconds timeout = kHandshakeTimeout);

  private:
    static int KeepSession(SSL* ssl, SSL_SESSION* session);

    Options m_options;
    SSL_CTX* m_context = nullptr;
    std::mutex m_mutex;
    std::map<std::string, SSL_SESSION*> m_sessions; // by "host:port"
};

} // namespace korvane
