// Message text cut into mail lines: no line holds a line break, and joining the lines with CR LF
// gives back the text with every line end written as CR LF.
#include "net/smtp.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto lines = korvane::MailBodyLines(text);
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!korvane::SafeMailHeaderValue(lines[i]))
            __builtin_trap();
        joined += lines[i];
        if (i + 1 < lines.size())
            joined += "\r\n";
    }
    std::string normalised;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            normalised += "\r\n";
            ++i;
        } else if (text[i] == '\r' || text[i] == '\n') {
            normalised += "\r\n";
        } else {
            normalised += text[i];
        }
    }
    if (joined != normalised)
        __builtin_trap();
    return 0;
}
