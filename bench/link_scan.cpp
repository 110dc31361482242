// Scans a page for link targets as "Page all" does, with the log discarded: prints only how many
// targets were found. Usage: korvane_link_scan FILE
#include "page_tools/links.h"

#include "shell/posix_file.h"

#include <fcntl.h>

#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    korvane::FileDescriptor file(::open(argv[1], O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen()) {
        std::perror(argv[1]);
        return 1;
    }
    std::size_t targets = 0;
    const bool read = korvane::ScanLinks(file.Get(), [&targets](std::string_view) { ++targets; });
    std::printf("%zu\n", targets);
    return read ? 0 : 1;
}
