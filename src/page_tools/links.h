#pragma once

#include "page_tools/web_tool_options.h"
#include "shell/form.h"
#include "web/web_run.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace korvane {

struct Shell;
class SettingsBlock;

enum class LinkMode { All, Local, External, Broken };

inline constexpr std::string_view kLinksReplyFile = "the4.html";
inline constexpr std::string_view kLinkCheckReplyFile = "the5.html";
// A link target holds at most this many characters; a longer one is cut.
inline constexpr std::size_t kLinkTargetMaxChars = 198;

// Finds the targets of href= in a body fed to it piece by piece, so a page of any size is scanned
// in constant memory. The keyword matches in any letter case; a quote or a blank ends a target.
class LinkScanner {
  public:
    // Calls found(std::string_view target) for each complete target in `bytes`.
    template <typename Found> void Feed(std::string_view bytes, Found&& found) {
        const char* at = bytes.data();
        const char* const end = at + bytes.size();
        while (at < end) {
            at = Advance(at, end);
            if (m_complete) {
                m_complete = false;
                found(std::string_view(m_target));
            }
        }
    }

  private:
    // Takes bytes until a target is complete or the bytes end; returns where it stopped. Its
    // inner loop runs once per byte of a page: aligned to a cache line, its speed no longer
    // depends on what the linker happens to place before it (measured: up to 15%).
    [[gnu::aligned(64)]] const char* Advance(const char* at, const char* end);

    enum class State { Keyword, TargetStart, Target };
    State m_state = State::Keyword;
    std::size_t m_matched = 0; // characters of "href=" matched so far
    bool m_complete = false;
    std::string m_target;
};

// Feeds the file from its current position to its end through a LinkScanner, in blocks; false
// when a read failed.
bool ScanLinks(int file, const std::function<void(std::string_view)>& found);

// Whether a target is logged in the mode (all, local or external).
bool ShowsTarget(LinkMode mode, std::string_view target);

// The "Links" dialog, shared by the four commands.
Form LinksForm(const SettingsBlock& settings);

// The entry operation of the four Link extraction commands.
void LinksCommand(Shell& shell, LinkMode mode, const WebToolOptions& options = {});

// Fetches the page and walks its links as the mode says.
void RunLinks(Shell& shell, LinkMode mode, const std::string& server, const std::string& page,
              const WebToolOptions& options);

// Where a broken-link check sends its HEAD request, or why the target is improper.
// An http or https target is asked of its own server with its own scheme and port; a target with
// another scheme is asked of its host over HTTP, and a relative one of the page's server.
struct LinkTarget {
    enum class Kind { Skip, Improper, Check };
    Kind kind = Kind::Skip;
    std::string host; // as the log names it and the Host line sends it
    std::string path;
    ServerAddress server;
};
LinkTarget ClassifyTarget(std::string_view target, const ServerAddress& pageServer);

// The broken-link check of one target; only problems are logged.
void CheckLink(Shell& shell, WebRun& web, std::string_view target, const ServerAddress& pageServer,
               const WebToolOptions& options);

} // namespace korvane
