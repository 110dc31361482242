#pragma once

#include "shell/posix_file.h"
#include "shell/run_state.h"

#include <sys/socket.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct Shell;
class SettingsBlock;

// Replies are streamed to their file in pieces of this size, so no reply is held whole.
inline constexpr std::size_t kReceiveChunkBytes = 512;
// What one receive takes at most: measured faster than many 512-byte receives, with the same
// bytes in the reply file.
inline constexpr std::size_t kReceiveBlockBytes = 64 * 1024;
// A server that neither sends nor closes for this long is treated as if it had closed.
inline constexpr std::chrono::milliseconds kReceiveIdleTimeout{30000};
// The header buffer of the header tools: a header of at most 2003 bytes and a terminating zero.
inline constexpr std::size_t kHeaderBufferBytes = 2004;
inline constexpr std::string_view kSocketStatusText = "Running";

enum class AddressFamily { IPv4, IPv6 };

// ---- The request ---------------------------------------------------------------------------

// "GET /page HTTP/1.0"; an empty page asks for the server's default page, "GET / HTTP/1.0".
std::string RequestLine(std::string_view method, std::string_view page);
// The User-Agent value that "Identify as" selects; a value outside the list gives "Mozilla/5.0".
std::string UserAgentFor(const SettingsBlock& settings);
// The Referer value that the "Referrer" preference selects, or none.
std::optional<std::string> ReferrerFor(const SettingsBlock& settings, std::string_view server);
// "\r\nUser-Agent: ...\r\nAccept: text/html, */*\r\nHost: server\r\n\r\n".
std::string ComposeAgentPart(const SettingsBlock& settings, std::string_view server);
// The Referer line the preferences select (if any) followed by the agent part.
std::string ComposeHeaderBlock(const SettingsBlock& settings, std::string_view server);

// ---- The reply -----------------------------------------------------------------------------

enum class HeaderStatus { Found, NotOpened, NoHeader };

struct ReplyHeader {
    HeaderStatus status = HeaderStatus::NoHeader;
    // Every byte up to and including the first CR LF CR LF; the body starts right after it.
    std::string text;
};

// The header at the start of `bytes`, when it ends within `bufferBytes - 1` bytes and holds a
// status line ("HTTP/1."); otherwise no header.
ReplyHeader FindReplyHeader(std::string_view bytes, std::size_t bufferBytes = kHeaderBufferBytes);
// Reads the header of a reply file.
ReplyHeader ReadReplyHeader(const std::string& path, std::size_t bufferBytes = kHeaderBufferBytes);
// 0 for the code 200 (and for a status line whose code cannot be read), otherwise the code.
int ParseStatus(std::string_view header);
// The message for a status code, where there is one.
std::optional<std::string_view> StatusText(int code);

// ---- Reply files ---------------------------------------------------------------------------

// Several tools write a reply file of the same name; a run holds the name from the file's
// creation until it has read back what it needs, so two runs never interleave their bytes.
class ReplyFileHold {
  public:
    ReplyFileHold() = default;
    ReplyFileHold(ReplyFileLocks& locks, const std::string& path);
    bool Holds() const { return m_lock.owns_lock(); }
    void Release();

  private:
    std::shared_ptr<std::mutex> m_mutex;
    std::unique_lock<std::mutex> m_lock;
};

std::string ReplyFilePath(std::string_view folder, std::string_view name);

// ---- The exchange and its steps ------------------------------------------------------------

struct ResolvedAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = 0;
    int type = 0;
    int protocol = 0;
};

// The addresses of `server` for TCP port 80 ("http"), in the resolver's order; none when the
// name does not resolve for the family.
std::optional<std::vector<ResolvedAddress>> ResolveServer(std::string_view server,
                                                          AddressFamily family);

enum class LineKind { Plain, Quiet, Detail, Omitted };

enum class ReplyFileFailure {
    LogLine,      // "Data file: the1.html."
    FatalMessage, // message box "Data file: the4.html." titled "Fatal error"
    Silent,
};

// Where the tools' reports of an exchange differ, as data; the defaults are the wording of the
// server page header tool.
struct ExchangeWording {
    bool resolvingLine = true; // the detail line "Resolving server"
    std::string_view socketFailure = "Unable to open socket: ";
    LineKind communicateKind = LineKind::Quiet; // "Unable to communicate: %s"
    std::string_view sentPage = "Sent request.";
    bool sentNamesPage = false; // the page follows sentPage ("Sent request for: %s")
    std::string_view sentDefault = "Sent request for default page.";
    LineKind sentKind = LineKind::Detail;
    ReplyFileFailure replyFileFailure = ReplyFileFailure::LogLine;
    std::string_view received = "Reply received.";
    LineKind receivedKind = LineKind::Quiet;
    std::string_view closing = "  ";
    LineKind closingKind = LineKind::Plain;
};

// Walks the addresses in order and returns the first connected socket, logging each failure.
FileDescriptor ConnectToAny(Shell& shell, const std::vector<ResolvedAddress>& addresses,
                            std::string_view server, const ExchangeWording& wording);

// Sends every byte; on failure returns the socket error code.
std::optional<int> SendRequest(int socket, std::string_view request);
// Logs "Send error #%i." and alerts when sending fails; true when all was sent.
bool SendRequestOrReport(Shell& shell, int socket, std::string_view request);

struct ReceiveResult {
    std::uint64_t bytes = 0;
    bool timedOut = false;
    // False when the file could not take every byte (a full disk, a size limit).
    bool stored = true;
};

// Copies everything the server sends to `file` in pieces of at most kReceiveBlockBytes, until
// the server closes, a receive fails, or nothing arrives for `idleTimeout`. Each piece is also
// shown to `received`, when given, right after it is written.
ReceiveResult ReceiveToFile(int socket, int file, std::chrono::milliseconds idleTimeout,
                            const std::function<void(std::string_view)>& received = {});
// Receives the reply into a reply file opened by OpenForRewrite and ends the file there. False
// when the file does not hold the whole reply: a cut reply read back as the server's would be
// reported as a truncated page or a missing link, so the callers treat it as a reply file that
// could not be written.
bool ReceiveReply(int socket, int file, std::chrono::milliseconds idleTimeout);

struct ExchangeRequest {
    std::string server;
    std::string page;
    std::string requestLine;
    // The header block after the request line; when absent, the block the preferences select
    // at the moment the request is composed.
    std::optional<std::string> headerBlock;
    AddressFamily family = AddressFamily::IPv4;
    std::string replyFile;
    std::string folder = ".";
    std::chrono::milliseconds idleTimeout = kReceiveIdleTimeout;
};

enum class ExchangeOutcome {
    NotResolved,
    NotConnected,
    SendFailed,
    ReplyFileNotCreated,
    ReplyFileNotWritten, // reported as the wording reports a file that cannot be created
    Stored,
};

struct ExchangeResult {
    ExchangeOutcome outcome = ExchangeOutcome::NotResolved;
    std::string replyPath;
    // Held when the reply is stored: the caller reads the file back before releasing it.
    ReplyFileHold hold;
};

// One HTTP/1.0 exchange: resolve, connect, send, store the reply in the reply file, with the
// log lines and alerts of its wording.
ExchangeResult HttpExchange(Shell& shell, const ExchangeRequest& request,
                            const ExchangeWording& wording = {});

// The common report of a status other than 200: the status text where there is one, then
// "File is not available. Server code: %d" followed by `suffix`, and the alert.
void ReportUnavailable(Shell& shell, int code, std::string_view suffix = {});

// The prefix followed by the argument, cut to what one log line holds.
std::string LineWith(std::string_view prefix, std::string_view argument);

// Appends a line of the given kind to the session log.
void LogAs(Shell& shell, LineKind kind, std::string_view text);

} // namespace korvane
