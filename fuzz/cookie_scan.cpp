// The cookie lines of any reply header: each is a piece of the capitalised header that starts with
// the keyword and runs to the next line feed or the length limit, and no keyword is passed over.
#include "net/http.h"
#include "page_tools/server_header.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view kKeyword = "SET-COOKIE";

void CheckCookieLines(std::string_view header) {
    const std::string capitals = korvane::Capitalise(header);
    if (capitals.size() != header.size())
        __builtin_trap();
    for (std::size_t i = 0; i < header.size(); ++i) {
        const char c = header[i];
        const char expected = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (capitals[i] != expected)
            __builtin_trap();
    }

    std::size_t end = 0; // where the previous line ended
    std::size_t next = capitals.find(kKeyword);
    for (const std::string& line : korvane::CookieLines(capitals)) {
        if (line.size() > korvane::kCookieLineMaxChars || line.find('\n') != std::string::npos ||
            line.substr(0, kKeyword.size()) != kKeyword)
            __builtin_trap();
        // Lines come in header order and the search goes on behind each: the line starts at the
        // first keyword at or after the end of the one before.
        if (next == std::string::npos || capitals.compare(next, line.size(), line) != 0)
            __builtin_trap();
        end = next + line.size();
        // Cut only at a line feed, at the header's end or at the limit.
        if (end < capitals.size() && capitals[end] != '\n' &&
            line.size() != korvane::kCookieLineMaxChars)
            __builtin_trap();
        next = capitals.find(kKeyword, end);
    }
    // No keyword after the last line was left out.
    if (next != std::string::npos)
        __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The tool scans the header it found in the reply; any bytes at all must do as well.
    CheckCookieLines(bytes);
    const korvane::ReplyHeader header = korvane::FindReplyHeader(bytes);
    if (header.status == korvane::HeaderStatus::Found)
        CheckCookieLines(header.text);
    return 0;
}
