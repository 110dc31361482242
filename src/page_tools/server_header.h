#pragma once

#include "page_tools/web_tool_options.h"
#include "shell/form.h"

#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct Shell;
class SettingsBlock;

enum class HeaderTool { Header, HeaderIPv6, Cookies };

inline constexpr std::string_view kHeaderReplyFile = "the1.html";
// A cookie line is logged with at most this many characters.
inline constexpr std::size_t kCookieLineMaxChars = 198;

// The input dialog of the three header tools, filled from the remembered server and page.
Form ServerHeaderForm(const SettingsBlock& settings, HeaderTool tool);

// The entry operations: busy check, dialog, and the worker on its own thread.
void ServerPageHeaderCommand(Shell& shell, const WebToolOptions& options = {});
void ServerPageHeaderIPv6Command(Shell& shell, const WebToolOptions& options = {});
void HeaderCookiesCommand(Shell& shell, const WebToolOptions& options = {});

// The worker of one run; clears the tool's busy flag when it ends.
void RunHeaderTool(Shell& shell, HeaderTool tool, const std::string& server,
                   const std::string& page, const WebToolOptions& options);

// Letters a to z become A to Z; every other byte stays.
std::string Capitalise(std::string_view text);
// Every "SET-COOKIE" line of a capitalised header, each from the keyword up to the next line
// feed, cut at kCookieLineMaxChars.
std::vector<std::string> CookieLines(std::string_view capitalisedHeader);

} // namespace korvane
