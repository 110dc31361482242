// A soak of the watch: PASSES verification passes over four folders in a row (an hour of a
// one-minute watch when PASSES is 60, the clock simulated by running them back to back), with
// memory and open descriptors reported after the first pass and after the last.
// Usage: watch_soak SERVER FOLDER1 FOLDER2 FOLDER3 FOLDER4 PASSES
#include "bench_shell.h"
#include "site_tools/monitoring.h"

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

using namespace korvane;

// Counts what a pass reports; keeps nothing, as a window that scrolls on would not matter here.
class CountingReport final : public ReportWindowHandle {
  public:
    void Append(std::string_view text) override {
        if (text.rfind("Integrity verified", 0) == 0)
            ++verified;
    }
    void SetButtonLabel(std::string_view) override {}
    long verified = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 7) {
        std::fprintf(stderr, "usage: watch_soak SERVER F1 F2 F3 F4 PASSES\n");
        return 2;
    }
    bench::BenchShell bench;
    WatchInput input;
    input.kind = WatchKind::Verify;
    input.frequency = 1;
    input.workFolder = bench.folder.path;
    for (std::size_t i = 0; i < kWatchSlots; ++i)
        input.sites[i] = {argv[1], argv[2 + i]};
    const int passes = std::atoi(argv[6]);
    CountingReport report;
    WatchMemory memory;
    long firstMemory = 0;
    int firstDescriptors = 0;
    for (int pass = 1; pass <= passes; ++pass) {
        WatchPass(bench.shell, input, report, memory);
        if (pass == 1) {
            const bench::ProcessFigures first = bench::TakeProcessFigures();
            firstMemory = first.residentKb;
            firstDescriptors = first.descriptors;
        }
    }
    std::printf("passes: %d, files verified: %ld\n", passes, report.verified);
    const bench::ProcessFigures last = bench::TakeProcessFigures();
    std::printf("memory after the first pass: %ld KB, after the last: %ld KB\n", firstMemory,
                last.residentKb);
    std::printf("descriptors after the first pass: %d, after the last: %d\n", firstDescriptors,
                last.descriptors);
    return 0;
}
