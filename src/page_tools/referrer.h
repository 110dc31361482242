#pragma once

#include "page_tools/web_tool_options.h"
#include "shell/form.h"

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace korvane {

struct Shell;
class SettingsBlock;

// The referrer tool takes a reply header that ends within 2000 bytes: the buffer holds those and
// the terminating zero.
inline constexpr std::size_t kReferrerHeaderBufferBytes = 2001;
inline constexpr int kReferrerSlots = 4;

// "Verify page for alternate referrers", filled from the remembered server and page.
Form ReferrerForm(const SettingsBlock& settings);

// Referrer > "Verify distinct": busy check, dialog, and the worker on its own thread.
void ReferrerCommand(Shell& shell, const WebToolOptions& options = {});

// Fetches the page without a referrer and with each of the four, comparing the bodies.
void RunReferrerVariance(Shell& shell, const std::string& server, const std::string& page,
                         const WebToolOptions& options);

enum class BodyComparison { Same, Differs, NotOpened };

// Compares the bytes of two files from the given offsets to their ends.
BodyComparison CompareBodies(const std::string& first, std::size_t firstOffset,
                             const std::string& second, std::size_t secondOffset);

} // namespace korvane
