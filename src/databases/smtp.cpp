#include "databases/smtp.h"

#include "shell/shell.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
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

    m_socket = FileDescriptor(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!m_socket.IsOpen())
        return OpenResult::NoSocket;
    int connected;
    do {
        connected =
            ::connect(m_socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    } while (connected != 0 && errno == EINTR);
    if (connected != 0) {
        m_socket.Close();
        return OpenResult::NotConnected;
    }
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(m_replyTimeout.count() / 1000);
    limit.tv_usec = static_cast<suseconds_t>((m_replyTimeout.count() % 1000) * 1000);
    ::setsockopt(m_socket.Get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    // The message goes out in many small sends before its reply is awaited: without this each
    // message would wait for the delayed acknowledgement of the one before.
    const int noDelay = 1;
    ::setsockopt(m_socket.Get(), IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
    return OpenResult::Connected;
}

void SmtpSession::SendStep(std::string_view bytes, const char* label) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(m_socket.Get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0) {
            m_shell.log.AppendLine(std::string("Email error: ") + label);
            return;
        }
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
}

void SmtpSession::ReceiveStep(const char* label) {
    std::array<char, kSmtpReplyBytes> reply{};
    ssize_t received;
    do {
        received = ::recv(m_socket.Get(), reply.data(), reply.size(), 0);
    } while (received < 0 && errno == EINTR);
    if (received <= 0)
        m_shell.log.AppendLine(std::string("Email error: ") + label);
}

void SmtpSession::Greet(const std::string& server) {
    ReceiveStep("recv() Reply");
    SendStep("HELO " + server + "\r\n", "send() HELO");
    ReceiveStep("recv() HELO");
}

void SmtpSession::Send(const std::string& sender, const MailMessage& message) {
    SendStep("MAIL FROM:<" + sender + ">\r\n", "send() MAIL FROM");
    ReceiveStep("recv() MAIL FROM");
    SendStep("RCPT TO:<" + message.recipient + ">\r\n", "send() RCPT TO");
    ReceiveStep("recv() RCPT TO");
    SendStep("DATA\r\n", "send() DATA");
    ReceiveStep("recv() DATA");
    m_shell.log.AppendLine("Forwarding mail");
    SendStep("FROM: " + sender + "\r\nTO: " + message.recipient +
                 "\r\nSUBJECT: " + message.subject + "\r\n",
             "send() message-line");
    for (const std::string& line : message.bodyLines) {
        // A line that begins with "." gets one more, so that no line can end the message early.
        std::string stuffed = !line.empty() && line.front() == '.' ? "." + line : line;
        // A line break inside a line (a file name, say) would start a line of its own.
        std::replace_if(
            stuffed.begin(), stuffed.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
        SendStep(stuffed + "\r\n", "send() message-line");
    }
    SendStep("\r\n.\r\n", "send() end-message");
    ReceiveStep("recv() end-message");
}

void SmtpSession::Quit() {
    SendStep("QUIT\r\n", "send() QUIT");
    ReceiveStep("recv() QUIT");
    m_socket.Close();
}

} // namespace korvane
