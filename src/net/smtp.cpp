#include "net/smtp.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <netdb.h>
#include <openssl/evp.h>
#include <span>
#include <sstream>

namespace korvane {

std::vector<std::string> MailBodyLines(std::string_view text) {
    std::vector<std::string> lines;
    std::string line;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(std::move(line));
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            line += c;
        }
    }
    lines.push_back(std::move(line));
    return lines;
}

namespace {

std::string Base64(std::string_view bytes) {
    std::string encoded(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    const int length = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                                       reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<int>(bytes.size()));
    encoded.resize(static_cast<std::size_t>(length));
    return encoded;
}

bool Coded(const std::string& line) {
    return line.size() >= 3 &&
           std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

MailSecurity EffectiveSecurity(const MailAccount& account) {
    return account.security == MailSecurity::None && account.port == kSmtpsPort ? MailSecurity::Tls
                                                                                : account.security;
}

bool SafeMailHeaderValue(std::string_view value) {
    return value.find_first_of("\r\n") == std::string_view::npos;
}

std::uint16_t MailPort() {
    // getservbyname answers from a static buffer: take the port at once.
    servent result{};
    std::array<char, 1024> buffer{};
    servent* found = nullptr;
    if (::getservbyname_r("mail", "tcp", &result, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr)
        return ntohs(static_cast<std::uint16_t>(found->s_port));
    return kSmtpDefaultPort;
}

SmtpSession::SmtpSession(MailLineSink log, std::chrono::milliseconds replyTimeout,
                         std::chrono::milliseconds connectTimeout)
    : m_log(std::move(log)), m_replyTimeout(replyTimeout), m_connectTimeout(connectTimeout) {}

SmtpSession::OpenResult SmtpSession::Connect(const std::string& server, std::uint16_t port) {
    const Resolution resolved = ResolveIPv4(server, port != 0 ? port : MailPort());
    if (resolved.addresses.empty())
        return OpenResult::NotResolved;
    m_address = resolved.addresses.front().Numeric();
    Connection connection =
        korvane::Connect(std::span(resolved.addresses).first(1), m_connectTimeout);
    if (!connection.stream)
        return connection.failures.front().step == ConnectFailure::Step::Socket
                   ? OpenResult::NoSocket
                   : OpenResult::NotConnected;
    SocketStream* socket = connection.stream.get();
    Attach(std::move(connection.stream));
    m_socket = socket;
    return OpenResult::Connected;
}

bool SmtpSession::Open(const std::string& server, const OpenWording& wording, std::uint16_t port) {
    const OpenResult opened = Connect(server, port);
    if (opened == OpenResult::NotResolved) {
        wording.failure(wording.notResolved);
        m_log("Transmission aborted");
        if (!wording.abortEnd.empty())
            m_log(wording.abortEnd);
        return false;
    }
    m_log("Located mail server " + server + ", IP: " + m_address);
    if (opened == OpenResult::NoSocket)
        wording.failure("Cannot open mail server socket");
    else if (opened == OpenResult::NotConnected)
        wording.failure("Error connecting to the server socket");
    return opened == OpenResult::Connected;
}

void SmtpSession::Attach(std::unique_ptr<Stream> stream) {
    m_stream = std::move(stream);
    m_socket = nullptr;
    m_secure = false;
    m_extensions.clear();
    m_unread.clear();
    m_sendFailed = false;
}

bool SmtpSession::SendStep(std::string_view bytes, const char* label) {
    // A server that takes nothing for the time limit has stopped reading.
    if (!m_sendFailed && (!m_stream || m_stream->Send(bytes, m_replyTimeout)))
        m_sendFailed = true;
    if (m_sendFailed)
        m_log(std::string("Email error: ") + label);
    return !m_sendFailed;
}

std::optional<std::vector<std::string>> SmtpSession::ReadReply(const char* label) {
    if (m_sendFailed) {
        m_log(std::string("Email error: ") + label);
        return std::nullopt;
    }
    const auto deadline = std::chrono::steady_clock::now() + m_replyTimeout;
    std::array<char, kSmtpReplyBytes> piece{};
    std::vector<std::string> lines;
    for (;;) {
        // A reply ends with its first line whose code is not followed by "-".
        for (std::size_t end; (end = m_unread.find('\n')) != std::string::npos;) {
            std::string line = m_unread.substr(0, end);
            m_unread.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const bool more = line.size() >= 4 && line[3] == '-';
            // A server that never ends its reply does not get to fill the memory meanwhile.
            if (!more || lines.size() < kSmtpReplyMaxLines)
                lines.push_back(std::move(line));
            if (!more)
                return lines;
        }
        // Of a line without end so far only its code and the mark after it are needed.
        if (m_unread.size() > kSmtpReplyBytes)
            m_unread.resize(4);

        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        Received received;
        if (m_stream && left.count() > 0)
            received = m_stream->Receive(piece, left);
        if (received.status != Received::Status::Data) {
            // What came of the reply is of no use after this.
            m_unread.clear();
            m_log(std::string("Email error: ") + label);
            return std::nullopt;
        }
        m_unread.append(piece.data(), received.bytes);
    }
}

bool SmtpSession::Judge(const std::vector<std::string>& reply, const char* label, char expected) {
    const std::string& line = reply.back();
    if (Coded(line) && line[0] == expected)
        return true;
    m_log(std::string("Email refused: ") + label +
          (Coded(line) ? " " + line.substr(0, 3) : std::string()));
    return false;
}

bool SmtpSession::ReceiveStep(const char* label, char expected) {
    const auto reply = ReadReply(label);
    return reply && Judge(*reply, label, expected);
}

bool SmtpSession::Step(std::string_view command, const char* sendLabel, const char* receiveLabel,
                       char expected) {
    const bool sent = SendStep(command, sendLabel);
    return ReceiveStep(receiveLabel, expected) && sent;
}

bool SmtpSession::ReadGreeting() {
    return ReceiveStep("recv() Reply", '2');
}

bool SmtpSession::Helo(const std::string& server) {
    return Step("HELO " + server + "\r\n", "send() HELO", "recv() HELO", '2');
}

bool SmtpSession::Greet(const std::string& server) {
    const bool welcomed = ReadGreeting();
    return Helo(server) && welcomed;
}

bool SmtpSession::Ehlo(const std::string& server) {
    m_extensions.clear();
    const bool sent = SendStep("EHLO " + server + "\r\n", "send() EHLO");
    const auto reply = ReadReply("recv() EHLO");
    if (!reply || !Judge(*reply, "recv() EHLO", '2'))
        return false;
    // The first line names the server; each one after it is an extension.
    for (std::size_t i = 1; i < reply->size(); ++i) {
        std::string extension = (*reply)[i].size() > 4 ? (*reply)[i].substr(4) : std::string();
        std::transform(extension.begin(), extension.end(), extension.begin(), [](char c) {
            return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        });
        m_extensions.push_back(std::move(extension));
    }
    return sent;
}

bool SmtpSession::Offers(std::string_view keyword) const {
    return std::any_of(m_extensions.begin(), m_extensions.end(), [&](const std::string& line) {
        std::istringstream words(line);
        std::string word;
        return words >> word && word == keyword;
    });
}

bool SmtpSession::StartTls() {
    return Step("STARTTLS\r\n", "send() STARTTLS", "recv() STARTTLS", '2');
}

TlsResult SmtpSession::Secure(TlsClient::Options options, const std::string& host,
                              std::uint16_t port) {
    TlsResult result;
    if (m_socket == nullptr || m_sendFailed) {
        result.error = ENOTCONN;
        return result;
    }
    // What came before the handshake was not protected: none of it may pass for a reply after it.
    m_unread.clear();
    if (!m_tls)
        m_tls = std::make_unique<TlsClient>(options);
    result = m_tls->Open(*m_socket, host, port);
    m_socket = nullptr;
    m_stream = std::move(result.stream);
    m_secure = m_stream != nullptr;
    m_extensions.clear();
    return result;
}

SmtpSession::AuthResult SmtpSession::Authenticate(const std::string& user,
                                                  const std::string& password) {
    if (!m_secure)
        return AuthResult::NotEncrypted;
    bool plain = false;
    bool login = false;
    for (const std::string& line : m_extensions) {
        std::istringstream words(line);
        std::string word;
        if (!(words >> word) || word != "AUTH")
            continue;
        while (words >> word) {
            plain = plain || word == "PLAIN";
            login = login || word == "LOGIN";
        }
    }
    if (!plain && !login)
        return AuthResult::NoMechanism;
    // Each step: what is sent, and the first digit of the answer that lets the next one go.
    std::vector<std::pair<std::string, char>> steps;
    if (plain) {
        steps.emplace_back("AUTH PLAIN " + Base64(std::string(1, '\0') + user + '\0' + password),
                           '2');
    } else {
        steps.emplace_back("AUTH LOGIN", '3');
        steps.emplace_back(Base64(user), '3');
        steps.emplace_back(Base64(password), '2');
    }
    for (const auto& [bytes, expected] : steps) {
        SendStep(bytes + "\r\n", "send() AUTH");
        const auto reply = ReadReply("recv() AUTH");
        if (!reply)
            return AuthResult::Refused;
        if (!Coded(reply->back()) || reply->back()[0] != expected) {
            m_log("Email refused: " + reply->back());
            return AuthResult::Refused;
        }
    }
    return AuthResult::Accepted;
}

bool SmtpSession::Send(const std::string& sender, const MailMessage& message) {
    const bool asked =
        Step("MAIL FROM:<" + sender + ">\r\n", "send() MAIL FROM", "recv() MAIL FROM", '2') &&
        Step("RCPT TO:<" + message.recipient + ">\r\n", "send() RCPT TO", "recv() RCPT TO", '2') &&
        Step("DATA\r\n", "send() DATA", "recv() DATA", '3');
    if (!asked) {
        Step("RSET\r\n", "send() RSET", "recv() RSET", '2');
        return false;
    }
    m_log("Forwarding mail");
    bool sent = SendStep("FROM: " + sender + "\r\nTO: " + message.recipient +
                             "\r\nSUBJECT: " + message.subject + "\r\n",
                         "send() message-line");
    for (const std::string& line : message.bodyLines) {
        // A line that begins with "." gets one more, so that no line can end the message early.
        std::string stuffed = !line.empty() && line.front() == '.' ? "." + line : line;
        // A line break inside a line (a file name, say) would start a line of its own.
        std::replace_if(
            stuffed.begin(), stuffed.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        sent = SendStep(stuffed + "\r\n", "send() message-line") && sent;
    }
    sent = SendStep("\r\n.\r\n", "send() end-message") && sent;
    return ReceiveStep("recv() end-message", '2') && sent;
}

void SmtpSession::Quit() {
    // The messages are handed over by now: the answer to QUIT changes nothing.
    Step("QUIT\r\n", "send() QUIT", "recv() QUIT", '2');
    m_stream.reset();
    m_socket = nullptr;
    m_secure = false;
}

} // namespace korvane
