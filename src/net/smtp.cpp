#include "net/smtp.h"

#include "shell/shell.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <chrono>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

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

SmtpSession::SmtpSession(Shell& shell, std::chrono::milliseconds replyTimeout)
    : m_shell(shell), m_replyTimeout(replyTimeout) {}

SmtpSession::OpenResult SmtpSession::Open(const std::string& server) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(MailPort());
    if (::inet_pton(AF_INET, server.c_str(), &address.sin_addr) != 1) {
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (server.empty() || ::getaddrinfo(server.c_str(), nullptr, &hints, &found) != 0 ||
            found == nullptr)
            return OpenResult::NotResolved;
        address.sin_addr = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
        ::freeaddrinfo(found);
    }
    std::array<char, INET_ADDRSTRLEN> dotted{};
    ::inet_ntop(AF_INET, &address.sin_addr, dotted.data(), dotted.size());
    m_address = dotted.data();

    FileDescriptor socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!socket.IsOpen())
        return OpenResult::NoSocket;
    int connected;
    do {
        connected =
            ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (connected != 0 && errno == EINTR);
    if (connected != 0)
        return OpenResult::NotConnected;
    Attach(std::move(socket));
    return OpenResult::Connected;
}

void SmtpSession::Attach(FileDescriptor socket) {
    m_socket = std::move(socket);
    m_unread.clear();
    m_sendFailed = false;
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(m_replyTimeout.count() / 1000);
    limit.tv_usec = static_cast<suseconds_t>((m_replyTimeout.count() % 1000) * 1000);
    ::setsockopt(m_socket.Get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    // The message goes out in many small sends before its reply is awaited: without this each
    // message would wait for the delayed acknowledgement of the one before.
    const int noDelay = 1;
    ::setsockopt(m_socket.Get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
}

bool SmtpSession::SendStep(std::string_view bytes, const char* label) {
    while (!m_sendFailed && !bytes.empty()) {
        const ssize_t sent = ::send(m_socket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            m_sendFailed = true;
        else
            bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    if (m_sendFailed)
        m_shell.log.AppendLine(std::string("Email error: ") + label);
    return !m_sendFailed;
}

bool SmtpSession::ReceiveStep(const char* label, char expected) {
    if (m_sendFailed) {
        m_shell.log.AppendLine(std::string("Email error: ") + label);
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
            m_shell.log.AppendLine(std::string("Email refused: ") + label +
                                   (coded ? " " + line.substr(0, 3) : std::string()));
            return false;
        }
        // Of a line without end so far only its code and the mark after it are needed.
        if (m_unread.size() > kSmtpReplyBytes)
            m_unread.resize(4);

        const auto left = std::chrono::ceil<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        ssize_t received = -1;
        if (m_socket.IsOpen() && left.count() > 0) {
            pollfd ready{m_socket.Get(), POLLIN, 0};
            const int polled = ::poll(&ready, 1, static_cast<int>(left.count()));
            if (polled < 0 && errno == EINTR)
                continue;
            if (polled > 0) {
                received = ::recv(m_socket.Get(), piece.data(), piece.size(), 0);
                if (received < 0 && errno == EINTR)
                    continue;
            }
        }
        if (received <= 0) {
            // What came of the reply is of no use after this.
            m_unread.clear();
            m_shell.log.AppendLine(std::string("Email error: ") + label);
            return false;
        }
        m_unread.append(piece.data(), static_cast<std::size_t>(received));
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
    m_shell.log.AppendLine("Forwarding mail");
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
    m_socket.Close();
}

} // namespace korvane
