#include "net/http.h"

#include "shell/settings_block.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <climits>
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

// ---- The request ---------------------------------------------------------------------------

std::string RequestLine(std::string_view method, std::string_view page) {
    std::string line(method);
    line += " /";
    line += page;
    line += " HTTP/1.0";
    return line;
}

RequestIdentity IdentityFor(const SettingsBlock& settings, std::string_view server) {
    RequestIdentity identity;
    const std::int32_t agent = settings.Get(field::IdentifyAsChoice);
    if (agent == 4)
        identity.userAgent = OtherAgentText(settings);
    else if (agent >= 1 && agent <= 3)
        identity.userAgent = kIdentifyAsChoices[static_cast<std::size_t>(agent)];
    else
        identity.userAgent = kIdentifyAsChoices[0];
    switch (settings.Get(field::ReferrerChoice)) {
    case 1:
        identity.referrer = std::string(kGoogleHomePage);
        break;
    case 2:
        identity.referrer = std::string(kYahooHomePage);
        break;
    case 3:
        identity.referrer = "http://www." + std::string(server);
        break;
    case 4:
        identity.referrer = OtherReferrerText(settings);
        break;
    default:
        break;
    }
    return identity;
}

std::string ComposeAgentPart(std::string_view userAgent, std::string_view server) {
    std::string part = "\r\nUser-Agent: ";
    part += userAgent;
    part += "\r\nAccept: text/html, */*\r\nHost: ";
    part += server;
    part += "\r\n\r\n";
    return part;
}

std::string ComposeHeaderBlock(const RequestIdentity& identity, std::string_view server) {
    std::string block;
    if (identity.referrer) {
        block += "\r\nReferer: ";
        block += *identity.referrer;
    }
    block += ComposeAgentPart(identity.userAgent, server);
    return block;
}

std::string ComposeHeaderBlock(const SettingsBlock& settings, std::string_view server) {
    return ComposeHeaderBlock(IdentityFor(settings, server), server);
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

std::optional<std::string> HeaderField(std::string_view header, std::string_view name) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    std::size_t at = header.find('\n'); // past the status line
    while (at != std::string_view::npos && at + 1 < header.size()) {
        const std::size_t start = at + 1;
        const std::size_t end = std::min(header.find('\n', start), header.size());
        const std::string_view line = header.substr(start, end - start);
        if (line.size() > name.size() && line[name.size()] == ':' &&
            std::equal(name.begin(), name.end(), line.begin(),
                       [&](char a, char b) { return lower(a) == lower(b); })) {
            std::string_view value = line.substr(name.size() + 1);
            while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
                value.remove_prefix(1);
            while (!value.empty() &&
                   (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
                value.remove_suffix(1);
            return std::string(value);
        }
        at = end;
    }
    return std::nullopt;
}

std::optional<std::string> RedirectLocation(int code, std::string_view header) {
    if (code < 300 || code > 399)
        return std::nullopt;
    auto location = HeaderField(header, "Location");
    if (location && location->empty())
        return std::nullopt;
    return location;
}

std::optional<std::string_view> StatusText(int code) {
    for (const StatusEntry& entry : kStatusTexts)
        if (entry.code == code)
            return entry.text;
    return std::nullopt;
}

// ---- Reply files ---------------------------------------------------------------------------

ReplyFileHold::ReplyFileHold(ReplyFileLocks& locks, const std::string& path,
                             const std::function<void()>& waiting)
    : m_mutex(locks.For(path)), m_lock(*m_mutex, std::try_to_lock) {
    if (m_lock.owns_lock())
        return;
    if (waiting)
        waiting();
    m_lock.lock();
}

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

ReceiveResult ReceiveToFile(Stream& stream, int file, std::chrono::milliseconds idleTimeout,
                            const std::function<void(std::string_view)>& received) {
    ReceiveResult result;
    // The reply is taken in large pieces: the reply file holds exactly the same bytes as with
    // small ones, and a reply of many megabytes costs few system calls.
    std::vector<char> buffer(kReceiveBlockBytes);
    bool writable = true;
    for (;;) {
        const Received got = stream.Receive(buffer, idleTimeout);
        // A close by the server ends the reply, and so does a failed receive or nothing for the
        // whole idle limit.
        if (got.status != Received::Status::Data) {
            result.timedOut = got.status == Received::Status::TimedOut;
            return result;
        }
        result.bytes += got.bytes;
        // After a failed write the rest of the reply is still drained, so the server is not
        // left sending into a connection nobody reads.
        if (writable)
            writable = WriteAll(file, buffer.data(), got.bytes);
        result.stored = writable;
        if (received)
            received(std::string_view(buffer.data(), got.bytes));
    }
}

ReceiveResult ReceiveReply(Stream& stream, int file, std::chrono::milliseconds idleTimeout) {
    ReceiveResult result = ReceiveToFile(stream, file, idleTimeout);
    result.stored = FinishRewrite(file) && result.stored;
    return result;
}

} // namespace korvane
