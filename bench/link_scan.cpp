// Scans a page for link targets as "Page all" does: every target shown goes into the session log,
// which asks for a repaint per line as it does under the window. Prints how many lines reached
// the log. Usage: korvane_link_scan FILE
#include "page_tools/links.h"

#include "shell/posix_file.h"
#include "shell/session_log.h"

#include <fcntl.h>

#include <atomic>
#include <cstdio>

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
    korvane::SessionLog log;
    std::atomic<long> appended{0};
    log.SetRepaintRequest([&appended] { appended.fetch_add(1, std::memory_order_relaxed); });
    const bool read = korvane::ScanLinks(file.Get(), [&log](std::string_view target) {
        if (korvane::ShowsTarget(korvane::LinkMode::All, target))
            log.AppendLine(target);
    });
    std::printf("%ld\n", appended.load());
    return read ? 0 : 1;
}
