#include "net/dial.h"

#include <string>

namespace korvane {

Resolution Resolve(const ServerAddress& server, AddressFamily family) {
    if (server.bare)
        return ResolveHttp(server.host, family);
    // An address literal says its own family, whatever the tool asks for.
    const bool literal6 = server.host.find(':') != std::string::npos;
    return ResolvePort(server.host, server.port, literal6 ? AddressFamily::IPv6 : family);
}

Dialed Dialer::Open(const ServerAddress& server, std::span<const Endpoint> addresses) {
    Dialed dialed;
    Connection connection = Connect(addresses, m_options.connectTimeout);
    dialed.connectFailures = std::move(connection.failures);
    if (!connection.stream)
        return dialed;
    if (server.scheme != Scheme::Https) {
        dialed.outcome = Dialed::Outcome::Connected;
        dialed.stream = std::move(connection.stream);
        return dialed;
    }
    TlsClient* tls = nullptr;
    {
        const std::lock_guard lock(m_mutex);
        if (!m_tls)
            m_tls = std::make_unique<TlsClient>(
                TlsClient::Options{.acceptUntrusted = m_options.acceptUntrusted});
        tls = m_tls.get();
    }
    TlsResult opened =
        tls->Open(*connection.stream, server.host, server.port, m_options.handshakeTimeout);
    dialed.secure = true;
    dialed.certificate = std::move(opened.certificate);
    dialed.problem = std::move(opened.problem);
    dialed.resumed = opened.resumed;
    dialed.handshakeError = opened.error;
    dialed.handshakeFailure = std::move(opened.failure);
    if (opened.stream) {
        dialed.outcome = Dialed::Outcome::Connected;
        dialed.stream = std::move(opened.stream);
    } else {
        dialed.outcome = dialed.problem.kind != CertificateProblem::Kind::None
                             ? Dialed::Outcome::CertificateRefused
                             : Dialed::Outcome::HandshakeFailed;
    }
    return dialed;
}

} // namespace korvane
