#include "net/http_exchange.h"

#include "shell/preferences.h"
#include "shell/session_log.h"
#include "shell/shell.h"

#include <fcntl.h>
#include <netdb.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <map>
#include <vector>

namespace korvane {

namespace {

constexpr std::string_view kStatusMarker = "HTTP/1.";
constexpr std::string_view kHeaderEnd = "\r\n\r\n";

struct StatusEntry {
    int code;
    std::string_view text;
};

constexpr std::array<StatusEntry, 10> kStatusTexts{{
    {204, "The server has completed the request, but doesn't need to return any data."},
    {301, "Moved."},
    {302, "Moved temporarily."},
    {400, "Bad request."},
    {401, "Request requires authentication."},
    {404, "Not found."},
    {408, "Time out."},
    {500, "Server error."},
    {505, "HTTP version not supported."},
    {601, "Server did not respond before connection timed out."},
}};

} // namespace

// A log slot holds 199 characters and refuses longer lines, so a line naming a long server or
// page is cut to fit rather than lost.
std::string LineWith(std::string_view prefix, std::string_view argument) {
    std::string line(prefix);
    line += argument;
    if (line.size() > kLogLineMaxChars)
        line.resize(kLogLineMaxChars);
    return line;
}

void LogAs(Shell& shell, LineKind kind, std::string_view text) {
    switch (kind) {
    case LineKind::Plain:
        shell.log.AppendLine(text);
        break;
    case LineKind::Quiet:
        shell.log.AppendQuiet(text);
        break;
    case LineKind::Detail:
        AppendDetail(shell, text);
        break;
    case LineKind::Omitted:
        break;
    }
}

// ---- The request ---------------------------------------------------------------------------

std::string RequestLine(std::string_view method, std::string_view page) {
    std::string line(method);
    line += " /";
    line += page;
    line += " HTTP/1.0";
    return line;
}

std::string UserAgentFor(const SettingsBlock& settings) {
    switch (settings.Get(field::IdentifyAsChoice)) {
    case 1:
        return std::string(kIdentifyAsChoices[1]);
    case 2:
        return std::string(kIdentifyAsChoices[2]);
    case 3:
        return std::string(kIdentifyAsChoices[3]);
    case 4:
        return OtherAgentText(settings);
    default:
        return std::string(kIdentifyAsChoices[0]);
    }
}

std::optional<std::string> ReferrerFor(const SettingsBlock& settings, std::string_view server) {
    switch (settings.Get(field::ReferrerChoice)) {
    case 1:
        return std::string(kGoogleHomePage);
    case 2:
        return std::string(kYahooHomePage);
    case 3:
        return "http://www." + std::string(server);
    case 4:
        return OtherReferrerText(settings);
    default:
        return std::nullopt;
    }
}

std::string ComposeAgentPart(const SettingsBlock& settings, std::string_view server) {
    std::string part = "\r\nUser-Agent: ";
    part += UserAgentFor(settings);
    part += "\r\nAccept: text/html, */*\r\nHost: ";
    part += server;
    part += "\r\n\r\n";
    return part;
}

std::string ComposeHeaderBlock(const SettingsBlock& settings, std::string_view server) {
    std::string block;
    if (const auto referrer = ReferrerFor(settings, server)) {
        block += "\r\nReferer: ";
        block += *referrer;
    }
    block += ComposeAgentPart(settings, server);
    return block;
}

// ---- The reply -----------------------------------------------------------------------------

ReplyHeader FindReplyHeader(std::string_view bytes, std::size_t bufferBytes) {
    // The buffer keeps one byte for the terminating zero.
    const std::size_t limit = bufferBytes == 0 ? 0 : bufferBytes - 1;
    const std::string_view window = bytes.substr(0, limit);
    const std::size_t end = window.find(kHeaderEnd);
    if (end == std::string_view::npos)
        return {HeaderStatus::NoHeader, {}};
    const std::string_view header = window.substr(0, end + kHeaderEnd.size());
    if (header.find(kStatusMarker) == std::string_view::npos)
        return {HeaderStatus::NoHeader, {}};
    return {HeaderStatus::Found, std::string(header)};
}

ReplyHeader ReadReplyHeader(const std::string& path, std::size_t bufferBytes) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen())
        return {HeaderStatus::NotOpened, {}};
    // Only the buffer's worth can hold a header, so that is all that is read.
    std::string bytes(bufferBytes == 0 ? 0 : bufferBytes - 1, '\0');
    bytes.resize(ReadUpTo(file.Get(), bytes.data(), bytes.size()));
    return FindReplyHeader(bytes, bufferBytes);
}

int ParseStatus(std::string_view header) {
    std::size_t at = header.find(kStatusMarker);
    if (at == std::string_view::npos)
        return 0;
    at += kStatusMarker.size() + 1; // the marker and the minor version digit
    while (at < header.size() && (header[at] == ' ' || header[at] == '\t'))
        ++at;
    // As a string-to-integer conversion reads it: optional sign, digits up to the first
    // non-digit; kept within int range.
    bool negative = false;
    if (at < header.size() && (header[at] == '+' || header[at] == '-'))
        negative = header[at++] == '-';
    long long value = 0;
    for (; at < header.size() && header[at] >= '0' && header[at] <= '9'; ++at)
        value = std::min<long long>(value * 10 + (header[at] - '0'), INT_MAX);
    const int code = static_cast<int>(negative ? -value : value);
    return code == 200 ? 0 : code;
}

std::optional<std::string_view> StatusText(int code) {
    for (const StatusEntry& entry : kStatusTexts)
        if (entry.code == code)
            return entry.text;
    return std::nullopt;
}

void ReportUnavailable(Shell& shell, int code, std::string_view suffix) {
    if (const auto text = StatusText(code))
        shell.log.AppendLine(*text);
    shell.log.AppendLine("File is not available. Server code: " + std::to_string(code) +
                         std::string(suffix));
    Alert(shell);
}

// ---- Reply files ---------------------------------------------------------------------------

ReplyFileHold::ReplyFileHold(ReplyFileLocks& locks, const std::string& path)
    : m_mutex(locks.For(path)), m_lock(*m_mutex) {}

void ReplyFileHold::Release() {
    if (m_lock.owns_lock())
        m_lock.unlock();
}

std::string ReplyFilePath(std::string_view folder, std::string_view name) {
    std::string path(folder.empty() ? "." : folder);
    path += '/';
    path += name;
    return path;
}

// ---- The exchange and its steps ------------------------------------------------------------

std::optional<std::vector<ResolvedAddress>> ResolveServer(std::string_view server,
                                                          AddressFamily family) {
    addrinfo hints{};
    hints.ai_family = family == AddressFamily::IPv6 ? AF_INET6 : AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* found = nullptr;
    const std::string name(server);
    if (::getaddrinfo(name.c_str(), "http", &hints, &found) != 0 || found == nullptr)
        return std::nullopt;
    std::vector<ResolvedAddress> addresses;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_addrlen > sizeof(sockaddr_storage))
            continue;
        ResolvedAddress address;
        std::memcpy(&address.address, entry->ai_addr, entry->ai_addrlen);
        address.length = entry->ai_addrlen;
        address.family = entry->ai_family;
        address.type = entry->ai_socktype;
        address.protocol = entry->ai_protocol;
        addresses.push_back(address);
    }
    ::freeaddrinfo(found);
    return addresses;
}

FileDescriptor ConnectToAny(Shell& shell, const std::vector<ResolvedAddress>& addresses,
                            std::string_view server, const ExchangeWording& wording) {
    for (const ResolvedAddress& address : addresses) {
        FileDescriptor socket(
            ::socket(address.family, address.type | SOCK_CLOEXEC, address.protocol));
        if (!socket.IsOpen()) {
            shell.log.AppendLine(LineWith(wording.socketFailure, server));
            continue;
        }
        int result = 0;
        do {
            result = ::connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address.address),
                               address.length);
        } while (result != 0 && errno == EINTR);
        if (result != 0) {
            socket.Close();
            shell.log.AppendLine(LineWith("Unable to connect: ", server));
            continue;
        }
        return socket;
    }
    return {};
}

std::optional<int> SendRequest(int socket, std::string_view request) {
    while (!request.empty()) {
        const ssize_t sent = ::send(socket, request.data(), request.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return sent < 0 ? errno : EPIPE;
        request.remove_prefix(static_cast<std::size_t>(sent));
    }
    return std::nullopt;
}

bool SendRequestOrReport(Shell& shell, int socket, std::string_view request) {
    if (const auto error = SendRequest(socket, request)) {
        shell.log.AppendLine("Send error #" + std::to_string(*error) + ".");
        Alert(shell);
        return false;
    }
    return true;
}

ReceiveResult ReceiveToFile(int socket, int file, std::chrono::milliseconds idleTimeout,
                            const std::function<void(std::string_view)>& received) {
    ReceiveResult result;
    // The idle limit is the socket's own receive timeout, so waiting costs no extra call.
    timeval limit{};
    limit.tv_sec = static_cast<time_t>(idleTimeout.count() / 1000);
    limit.tv_usec = static_cast<suseconds_t>((idleTimeout.count() % 1000) * 1000);
    ::setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);

    // The reply is taken in large pieces: the reply file holds exactly the same bytes as with
    // small ones, and a reply of many megabytes costs few system calls.
    std::vector<char> buffer(kReceiveBlockBytes);
    bool writable = true;
    for (;;) {
        const ssize_t got = ::recv(socket, buffer.data(), buffer.size(), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            // Nothing for the whole idle limit: as if the server had closed.
            result.timedOut = errno == EAGAIN || errno == EWOULDBLOCK;
            return result;
        }
        // A close by the server ends the reply.
        if (got == 0)
            return result;
        result.bytes += static_cast<std::uint64_t>(got);
        // After a failed write the rest of the reply is still drained, so the server is not
        // left sending into a connection nobody reads.
        if (writable)
            writable = WriteAll(file, buffer.data(), static_cast<std::size_t>(got));
        result.stored = writable;
        if (received)
            received(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
    }
}

bool ReceiveReply(int socket, int file, std::chrono::milliseconds idleTimeout) {
    const bool stored = ReceiveToFile(socket, file, idleTimeout).stored;
    return FinishRewrite(file) && stored;
}

ExchangeResult HttpExchange(Shell& shell, const ExchangeRequest& request,
                            const ExchangeWording& wording) {
    ExchangeResult result;
    result.replyPath = ReplyFilePath(request.folder, request.replyFile);
    const std::string& server = request.server;

    AppendDetail(shell, LineWith("Initialized: ", kSocketStatusText));
    if (wording.resolvingLine)
        AppendDetail(shell, "Resolving server");
    const auto addresses = ResolveServer(server, request.family);
    if (!addresses) {
        shell.log.AppendLine(LineWith("Unable to translate host ", server));
        Alert(shell);
        result.outcome = ExchangeOutcome::NotResolved;
        return result;
    }

    FileDescriptor socket = ConnectToAny(shell, *addresses, server, wording);
    if (!socket.IsOpen()) {
        LogAs(shell, wording.communicateKind, LineWith("Unable to communicate: ", server));
        shell.log.AppendLine("  ");
        result.outcome = ExchangeOutcome::NotConnected;
        return result;
    }

    std::string bytes = request.requestLine;
    bytes +=
        request.headerBlock ? *request.headerBlock : ComposeHeaderBlock(shell.settings, server);
    if (!SendRequestOrReport(shell, socket.Get(), bytes)) {
        result.outcome = ExchangeOutcome::SendFailed;
        return result;
    }
    if (request.page.empty())
        LogAs(shell, wording.sentKind, wording.sentDefault);
    else if (wording.sentNamesPage)
        LogAs(shell, wording.sentKind, LineWith(wording.sentPage, request.page));
    else
        LogAs(shell, wording.sentKind, wording.sentPage);

    const auto replyFileFailed = [&](ExchangeOutcome outcome) {
        result.hold.Release();
        const std::string line = LineWith("Data file: ", request.replyFile) + ".";
        if (wording.replyFileFailure == ReplyFileFailure::LogLine)
            shell.log.AppendLine(line);
        else if (wording.replyFileFailure == ReplyFileFailure::FatalMessage)
            shell.desktop.ShowMessage(line, "Fatal error");
        result.outcome = outcome;
        return std::move(result);
    };
    result.hold = ReplyFileHold(shell.run.replyFiles, result.replyPath);
    FileDescriptor file = OpenForRewrite(result.replyPath);
    if (!file.IsOpen()) {
        socket.Close();
        return replyFileFailed(ExchangeOutcome::ReplyFileNotCreated);
    }
    bool stored = ReceiveReply(socket.Get(), file.Get(), request.idleTimeout);
    stored = file.Close() && stored; // a write error may only show at the close
    socket.Close();
    if (!stored)
        return replyFileFailed(ExchangeOutcome::ReplyFileNotWritten);
    LogAs(shell, wording.receivedKind, wording.received);
    LogAs(shell, wording.closingKind, wording.closing);
    result.outcome = ExchangeOutcome::Stored;
    return result;
}

} // namespace korvane
