#include "net/tls.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <tuple>
#include <utility>

namespace korvane {
namespace {

using Clock = std::chrono::steady_clock;

// What one connection carries for the library's callbacks.
struct ConnectionState {
    TlsClient* client = nullptr;
    int socket = -1; // what the BIO reads and writes
    std::string sessionKey;
    // The first complaint of the certificate check: the check goes on after it so that the
    // certificate's facts can be shown, and the first complaint is the one that matters (an
    // untrusted chain before a wrong name, a wrong name before a date).
    int firstError = X509_V_OK;
    int errorDepth = -1;
};

struct SslFree {
    void operator()(SSL* ssl) const { SSL_free(ssl); }
};
using SslPointer = std::unique_ptr<SSL, SslFree>;

ConnectionState* StateOf(const SSL* ssl) {
    return static_cast<ConnectionState*>(SSL_get_app_data(ssl));
}

int NoteAndGoOn(int preverified, X509_STORE_CTX* store) {
    if (preverified == 0) {
        const auto* ssl = static_cast<const SSL*>(
            X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
        ConnectionState* state = StateOf(ssl);
        if (state != nullptr && state->firstError == X509_V_OK) {
            state->firstError = X509_STORE_CTX_get_error(store);
            state->errorDepth = X509_STORE_CTX_get_error_depth(store);
        }
    }
    return 1;
}

std::chrono::milliseconds Left(Clock::time_point deadline) {
    return std::max(std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()),
                    std::chrono::milliseconds(0));
}

// The error code for a failed library call, and its reason where it has one.
std::pair<int, std::string> FailureOf(int sslError) {
    if (sslError == SSL_ERROR_SYSCALL) {
        const int saved = errno;
        ERR_clear_error();
        return {saved != 0 ? saved : ECONNRESET, {}};
    }
    if (sslError == SSL_ERROR_ZERO_RETURN)
        return {ECONNRESET, {}};
    const unsigned long code = ERR_peek_last_error();
    const char* reason = code != 0 ? ERR_reason_error_string(code) : nullptr;
    ERR_clear_error();
    return {EPROTO, reason != nullptr ? reason : ""};
}

// Repeats `step` until it succeeds, waiting on the socket for what the library asks; the
// library's error code when it fails, ETIMEDOUT-like kWaitFailed when the wait does.
template <typename Step>
int Drive(SSL* ssl, int fd, std::optional<Clock::time_point> deadline, int& waitError, Step step) {
    for (;;) {
        ERR_clear_error();
        errno = 0;
        const int done = step();
        if (done > 0)
            return SSL_ERROR_NONE;
        const int error = SSL_get_error(ssl, done);
        if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
            return error;
        const short events = error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT;
        const std::optional<std::chrono::milliseconds> limit =
            deadline ? std::optional(Left(*deadline)) : std::nullopt;
        if ((waitError = WaitForSocket(fd, events, limit)) != 0)
            return SSL_ERROR_WANT_READ;
    }
}

std::string OneLine(const X509_NAME* name) {
    BIO* out = BIO_new(BIO_s_mem());
    X509_NAME_print_ex(out, name, 0, XN_FLAG_ONELINE & ~ASN1_STRFLGS_ESC_MSB);
    char* text = nullptr;
    const long length = BIO_get_mem_data(out, &text);
    std::string line(text, static_cast<std::size_t>(length));
    BIO_free(out);
    return line;
}

std::vector<std::string> NamesOf(X509* certificate) {
    std::vector<std::string> names;
    auto* alternatives = static_cast<GENERAL_NAMES*>(
        X509_get_ext_d2i(certificate, NID_subject_alt_name, nullptr, nullptr));
    for (int i = 0; i < sk_GENERAL_NAME_num(alternatives); ++i) {
        const GENERAL_NAME* name = sk_GENERAL_NAME_value(alternatives, i);
        if (name->type == GEN_DNS) {
            const ASN1_STRING* text = name->d.dNSName;
            names.emplace_back(reinterpret_cast<const char*>(ASN1_STRING_get0_data(text)),
                               static_cast<std::size_t>(ASN1_STRING_length(text)));
        } else if (name->type == GEN_IPADD) {
            const ASN1_OCTET_STRING* raw = name->d.iPAddress;
            char text[INET6_ADDRSTRLEN] = {};
            const int family = ASN1_STRING_length(raw) == 16 ? AF_INET6 : AF_INET;
            if (::inet_ntop(family, ASN1_STRING_get0_data(raw), text, sizeof text) != nullptr)
                names.emplace_back(text);
        }
    }
    GENERAL_NAMES_free(alternatives);
    if (names.empty()) {
        char common[256] = {};
        if (X509_NAME_get_text_by_NID(X509_get_subject_name(certificate), NID_commonName, common,
                                      sizeof common) > 0)
            names.emplace_back(common);
    }
    return names;
}

CertificateFacts FactsOf(const SSL* ssl, X509* certificate) {
    CertificateFacts facts;
    facts.protocol = SSL_get_version(ssl);
    facts.subject = OneLine(X509_get_subject_name(certificate));
    facts.issuer = OneLine(X509_get_issuer_name(certificate));
    facts.names = NamesOf(certificate);
    std::tm until{};
    if (ASN1_TIME_to_tm(X509_get0_notAfter(certificate), &until) == 1)
        facts.notAfter = static_cast<std::int64_t>(::timegm(&until));
    return facts;
}

CertificateProblem ProblemOf(const ConnectionState& state) {
    switch (state.firstError) {
    case X509_V_OK:
        return {};
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return {CertificateProblem::Kind::WrongHost, {}};
    case X509_V_ERR_CERT_HAS_EXPIRED:
        if (state.errorDepth == 0)
            return {CertificateProblem::Kind::Expired, {}};
        break;
    case X509_V_ERR_CERT_NOT_YET_VALID:
        if (state.errorDepth == 0)
            return {CertificateProblem::Kind::NotYetValid, {}};
        break;
    default:
        break;
    }
    return {CertificateProblem::Kind::Untrusted, X509_verify_cert_error_string(state.firstError)};
}

// The library's own socket BIO writes with write(), which raises SIGPIPE when the server has
// gone; these read and write the socket as the plain stream does, without signals.
int SocketOf(BIO* bio) {
    return static_cast<const ConnectionState*>(BIO_get_data(bio))->socket;
}

bool WouldBlock() {
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

int WriteSocket(BIO* bio, const char* data, int size) {
    BIO_clear_retry_flags(bio);
    const ssize_t sent =
        ::send(SocketOf(bio), data, static_cast<std::size_t>(size), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && WouldBlock())
        BIO_set_retry_write(bio);
    return static_cast<int>(sent);
}

int ReadSocket(BIO* bio, char* data, int size) {
    BIO_clear_retry_flags(bio);
    const ssize_t got = ::recv(SocketOf(bio), data, static_cast<std::size_t>(size), MSG_DONTWAIT);
    if (got < 0 && WouldBlock())
        BIO_set_retry_read(bio);
    return static_cast<int>(got);
}

long ControlSocket(BIO*, int command, long, void*) {
    return command == BIO_CTRL_FLUSH ? 1 : 0;
}

BIO_METHOD* SocketMethod() {
    static BIO_METHOD* const method = [] {
        BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "socket");
        BIO_meth_set_write(made, WriteSocket);
        BIO_meth_set_read(made, ReadSocket);
        BIO_meth_set_ctrl(made, ControlSocket);
        return made;
    }();
    return method;
}

// Reads and writes the state's socket for `ssl`, which the state outlives; false when no BIO
// could be made.
bool AttachSocket(SSL* ssl, ConnectionState& state) {
    BIO* bio = BIO_new(SocketMethod());
    if (bio == nullptr)
        return false;
    BIO_set_data(bio, &state);
    BIO_set_init(bio, 1);
    SSL_set_bio(ssl, bio, bio);
    return true;
}

bool IsAddress(const std::string& host) {
    unsigned char raw[16];
    return ::inet_pton(AF_INET, host.c_str(), raw) == 1 ||
           ::inet_pton(AF_INET6, host.c_str(), raw) == 1;
}

class TlsStream final : public Stream {
  public:
    TlsStream(FileDescriptor socket, SslPointer ssl, std::unique_ptr<ConnectionState> state)
        : m_socket(std::move(socket)), m_state(std::move(state)), m_ssl(std::move(ssl)) {}
    ~TlsStream() override {
        // Says goodbye without waiting for the answer: the reply has been read by then.
        ERR_clear_error();
        SSL_shutdown(m_ssl.get());
        ERR_clear_error();
    }
    TlsStream(const TlsStream&) = delete;
    TlsStream& operator=(const TlsStream&) = delete;

    std::optional<int> Send(std::string_view bytes,
                            std::optional<std::chrono::milliseconds> stallLimit) override {
        while (!bytes.empty()) {
            std::size_t written = 0;
            int waitError = 0;
            const std::optional<Clock::time_point> deadline =
                stallLimit ? std::optional(Clock::now() + *stallLimit) : std::nullopt;
            const int error = Drive(m_ssl.get(), m_socket.Get(), deadline, waitError, [&] {
                return SSL_write_ex(m_ssl.get(), bytes.data(), bytes.size(), &written);
            });
            if (waitError != 0)
                return waitError == ETIMEDOUT ? EAGAIN : waitError;
            if (error != SSL_ERROR_NONE)
                return FailureOf(error).first;
            bytes.remove_prefix(written);
        }
        return std::nullopt;
    }

    Received Receive(std::span<char> buffer, std::chrono::milliseconds wait) override {
        std::size_t got = 0;
        int waitError = 0;
        const int error = Drive(m_ssl.get(), m_socket.Get(), Clock::now() + wait, waitError, [&] {
            return SSL_read_ex(m_ssl.get(), buffer.data(), buffer.size(), &got);
        });
        if (waitError != 0)
            return {waitError == ETIMEDOUT ? Received::Status::TimedOut : Received::Status::Failed,
                    0, waitError};
        if (error == SSL_ERROR_NONE)
            return {Received::Status::Data, got, 0};
        // A server that closes without TLS's own goodbye has ended its reply all the same, as
        // HTTP/1.0 servers do; the library is told to take that as an orderly end.
        if (error == SSL_ERROR_ZERO_RETURN || (error == SSL_ERROR_SYSCALL && errno == 0))
            return {Received::Status::Closed, 0, 0};
        return {Received::Status::Failed, 0, FailureOf(error).first};
    }

  private:
    FileDescriptor m_socket;
    std::unique_ptr<ConnectionState> m_state; // read by the library's callbacks while m_ssl lives
    SslPointer m_ssl;
};

} // namespace

TlsClient::TlsClient(Options options)
    : m_options(options), m_context(SSL_CTX_new(TLS_client_method())) {
    SSL_CTX_set_min_proto_version(m_context, TLS1_2_VERSION);
    SSL_CTX_set_default_verify_paths(m_context);
    SSL_CTX_set_verify(m_context, SSL_VERIFY_PEER, NoteAndGoOn);
    SSL_CTX_set_options(m_context, SSL_OP_IGNORE_UNEXPECTED_EOF);
    SSL_CTX_set_mode(m_context,
                     SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    // The sessions are kept here, per server, rather than in the library's cache, whose key is
    // not the server.
    SSL_CTX_set_session_cache_mode(m_context,
                                   SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(m_context, &TlsClient::KeepSession);
}

TlsClient::~TlsClient() {
    for (auto& [key, session] : m_sessions)
        SSL_SESSION_free(session);
    SSL_CTX_free(m_context);
}

int TlsClient::KeepSession(SSL* ssl, SSL_SESSION* session) {
    ConnectionState* state = StateOf(ssl);
    if (state == nullptr || state->client == nullptr)
        return 0;
    const std::lock_guard lock(state->client->m_mutex);
    SSL_SESSION*& kept = state->client->m_sessions[state->sessionKey];
    if (kept != nullptr)
        SSL_SESSION_free(kept);
    kept = session;
    return 1; // the reference is ours now
}

TlsResult TlsClient::Open(SocketStream& plain, const std::string& host, std::uint16_t port,
                          std::chrono::milliseconds timeout) {
    TlsResult result;
    FileDescriptor socket = plain.Release();
    // The state first, so that it outlives the connection whose callbacks read it.
    auto state = std::make_unique<ConnectionState>();
    SslPointer ssl(SSL_new(m_context));
    state->client = this;
    state->socket = socket.Get();
    state->sessionKey = host + ":" + std::to_string(port);
    if (!ssl || !AttachSocket(ssl.get(), *state)) {
        result.error = ENOMEM;
        return result;
    }
    SSL_set_app_data(ssl.get(), state.get());
    if (IsAddress(host)) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl.get()), host.c_str());
    } else {
        // SSL_set_tlsext_host_name, without the macro's cast.
        SSL_ctrl(ssl.get(), SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                 const_cast<char*>(host.c_str()));
        SSL_set1_host(ssl.get(), host.c_str());
    }
    {
        const std::lock_guard lock(m_mutex);
        if (const auto kept = m_sessions.find(state->sessionKey); kept != m_sessions.end())
            SSL_set_session(ssl.get(), kept->second);
    }

    int waitError = 0;
    const int error = Drive(ssl.get(), socket.Get(), Clock::now() + timeout, waitError,
                            [&] { return SSL_connect(ssl.get()); });
    if (waitError != 0 || error != SSL_ERROR_NONE) {
        if (waitError != 0)
            result.error = waitError;
        else
            std::tie(result.error, result.failure) = FailureOf(error);
        return result;
    }
    if (X509* certificate = SSL_get1_peer_certificate(ssl.get()); certificate != nullptr) {
        result.certificate = FactsOf(ssl.get(), certificate);
        X509_free(certificate);
    } else if (state->firstError == X509_V_OK) {
        state->firstError = X509_V_ERR_UNSPECIFIED;
    }
    result.resumed = SSL_session_reused(ssl.get()) == 1;
    // A resumed session is not checked again; it carries the outcome of its first check.
    if (result.resumed && state->firstError == X509_V_OK) {
        state->firstError = static_cast<int>(SSL_get_verify_result(ssl.get()));
        state->errorDepth = 0;
    }
    result.problem = ProblemOf(*state);
    if (result.problem.kind == CertificateProblem::Kind::None || m_options.acceptUntrusted)
        result.stream =
            std::make_unique<TlsStream>(std::move(socket), std::move(ssl), std::move(state));
    return result;
}

} // namespace korvane
