#pragma once

#include "net/tcp.h"
#include "shell/posix_file.h"
#include "shell/run_state.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace korvane {

class SettingsBlock;

// Replies are streamed to their file in pieces of this size, so no reply is held whole.
inline constexpr std::size_t kReceiveChunkBytes = 512;
// What one receive takes at most: measured faster than many 512-byte receives, with the same
// bytes in the reply file.
inline constexpr std::size_t kReceiveBlockBytes = std::size_t{64} * 1024;
// The header buffer of the header tools: a header of at most 2003 bytes and a terminating zero.
inline constexpr std::size_t kHeaderBufferBytes = 2004;

// ---- The request ---------------------------------------------------------------------------

// "GET /page HTTP/1.0"; an empty page asks for the server's default page, "GET / HTTP/1.0".
std::string RequestLine(std::string_view method, std::string_view page);

// Who a request says it comes from.
struct RequestIdentity {
    std::string userAgent;
    std::optional<std::string> referrer; // the Referer value, when one is sent
};
// The identity the "Identify as" and "Referrer" preferences select for a request to `server`; an
// "Identify as" outside the list gives "Mozilla/5.0".
RequestIdentity IdentityFor(const SettingsBlock& settings, std::string_view server);
// "\r\nUser-Agent: ...\r\nAccept: text/html, */*\r\nHost: server\r\n\r\n".
std::string ComposeAgentPart(std::string_view userAgent, std::string_view server);
// The Referer line (if any) followed by the agent part.
std::string ComposeHeaderBlock(const RequestIdentity& identity, std::string_view server);
// The block for the identity the preferences select at this moment.
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
// The value of the header's first field of this name (any case), without its surrounding blanks.
std::optional<std::string> HeaderField(std::string_view header, std::string_view name);
// Where a 3xx reply sends the client: its Location, when it has one.
std::optional<std::string> RedirectLocation(int code, std::string_view header);
// The message for a status code, where there is one.
std::optional<std::string_view> StatusText(int code);

// ---- Reply files ---------------------------------------------------------------------------

// Several tools write a reply file of the same name; a run holds the name from the file's
// creation until it has read back what it needs, so two runs never interleave their bytes.
class ReplyFileHold {
  public:
    ReplyFileHold() = default;
    // `waiting` is called before the wait when another run holds the name.
    ReplyFileHold(ReplyFileLocks& locks, const std::string& path,
                  const std::function<void()>& waiting = {});
    bool Holds() const { return m_lock.owns_lock(); }
    void Release();

  private:
    std::shared_ptr<std::mutex> m_mutex;
    std::unique_lock<std::mutex> m_lock;
};

std::string ReplyFilePath(std::string_view folder, std::string_view name);

struct ReceiveResult {
    std::uint64_t bytes = 0;
    bool timedOut = false;
    // False when the file could not take every byte (a full disk, a size limit).
    bool stored = true;
};

// Copies everything the server sends to `file` in pieces of at most kReceiveBlockBytes, until
// the server closes, a receive fails, or nothing arrives for `idleTimeout`. Each piece is also
// shown to `received`, when given, right after it is written.
ReceiveResult ReceiveToFile(Stream& stream, int file, std::chrono::milliseconds idleTimeout,
                            const std::function<void(std::string_view)>& received = {});
// Receives the reply into a reply file opened by OpenForRewrite and ends the file there. `stored`
// is false when the file does not hold everything that came: a cut reply read back as the
// server's would be reported as a truncated page or a missing link, so the callers treat it as a
// reply file that could not be written. `timedOut`: the server went silent without closing, so
// the reply may be cut short, and no verdict is to be given on it.
ReceiveResult ReceiveReply(Stream& stream, int file, std::chrono::milliseconds idleTimeout);

} // namespace korvane
