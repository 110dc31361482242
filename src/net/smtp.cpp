#include "net/smtp.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <chrono>
#include <netdb.h>
#include <span>

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

SmtpSession::OpenResult SmtpSession::Connect(const std::string& server) {
    const Resolution resolved = ResolveIPv4(server, MailPort());
    if (resolved.addresses.empty())
        return OpenResult::NotResolved;
    m_address = resolved.addresses.front().Numeric();
    Connection connection =
        korvane::Connect(std::span(resolved.addresses).first(1), m_connectTimeout);
    if (!connection.stream)
        return connection.failures.front().step == ConnectFailure::Step::Socket
                   ? OpenResult::NoSocket
                   : OpenResult::NotConnected;
    Attach(std::move(connection.stream));
    return OpenResult::Connected;
}

bool SmtpSession::Open(const std::string& server, const OpenWording& wording) {
    const OpenResult opened = Connect(server);
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

bool SmtpSession::ReceiveStep(const char* label, char expected) {
    if (m_sendFailed) {
        m_log(std::string("Email error: ") + label);
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + m_replyTimeout;
    std::array<char, kSmtpReplyBytes> piece{};
    for (;;) {
        // A reply ends with its first line whose code is not followed by "-".
        for (std::size_t end; (end = m_unread.find('\n')) != std::string::npos;) {
            const std::string line = m_unread.substr(0, end);
            m_unread.erase(0, end + 1);
            if (line.size() >= 4 && line[3] == '-')
                continue;
            const bool coded =
                line.size() >= 3 && std::all_of(line.begin(), line.begin() + 3,
                                                [](char c) { return c >= '0' && c <= '9'; });
            if (coded && line[0] == expected)
                return true;
            m_log(std::string("Email refused: ") + label +
                  (coded ? " " + line.substr(0, 3) : std::string()));
            return false;
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
            return false;
        }
        m_unread.append(piece.data(), received.bytes);
    }
}

bool SmtpSession::Step(std::string_view command, const char* sendLabel, const char* receiveLabel,
                       char expected) {
    const bool sent = SendStep(command, sendLabel);
    return ReceiveStep(receiveLabel, expected) && sent;
}

bool SmtpSession::Greet(const std::string& server) {
    const bool welcomed = ReceiveStep("recv() Reply", '2');
    return Step("HELO " + server + "\r\n", "send() HELO", "recv() HELO", '2') && welcomed;
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
}

} // namespace korvane
