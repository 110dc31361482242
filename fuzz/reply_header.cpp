// Reply headers from any bytes: finding the header, reading its status and its text.
#include "net/http.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const korvane::ReplyHeader header = korvane::FindReplyHeader(bytes);
    if (header.status == korvane::HeaderStatus::Found) {
        // A header found lies at the start of the reply and ends with its blank line.
        if (bytes.substr(0, header.text.size()) != header.text || header.text.size() < 4 ||
            header.text.substr(header.text.size() - 4) != "\r\n\r\n")
            __builtin_trap();
        (void)korvane::StatusText(korvane::ParseStatus(header.text));
    }
    (void)korvane::ParseStatus(bytes);
    return 0;
}
