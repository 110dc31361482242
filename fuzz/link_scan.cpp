// The link scanner over any page: every target it reports is a piece of the page, and
// classifying it against a server never fails.
#include "page_tools/links.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string page(reinterpret_cast<const char*>(data), size);
    std::FILE* file = std::tmpfile();
    std::fwrite(page.data(), 1, page.size(), file);
    std::fflush(file);
    std::rewind(file);
    korvane::ScanLinks(::fileno(file), [&](std::string_view target) {
        if (page.find(target) == std::string::npos)
            __builtin_trap();
        (void)korvane::ClassifyTarget(target, "site.test");
        (void)korvane::ShowsTarget(korvane::LinkMode::All, target);
    });
    std::fclose(file);
    return 0;
}
