#pragma once

#include "page_tools/web_tool_options.h"
#include "shell/form.h"

#include <string>
#include <string_view>

namespace korvane {

struct Shell;
class SettingsBlock;

inline constexpr std::string_view kPageCheckReplyFile = "the5.html";

// The "Check page" dialog, filled from the remembered server and page ("index.html" when none).
Form CheckPageForm(const SettingsBlock& settings);

// Check > "Page": asks for the server and page, then checks on this (the user-interface) thread.
void CheckPageCommand(Shell& shell, const WebToolOptions& options = {});

// One HEAD request for the page, reported in the session log.
void RunPageCheck(Shell& shell, const std::string& server, const std::string& page,
                  const WebToolOptions& options);

} // namespace korvane
