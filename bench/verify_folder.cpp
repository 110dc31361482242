// Runs the folder verification of a local folder against a server, as Verify > "Local folder to
// site" does, and prints its report: for timing against fetching the same files with curl.
#include "bench_shell.h"
#include "site_tools/folder_runs.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace korvane;

class PrintedReport final : public ReportTextBox {
  public:
    void Append(std::string_view text) override {
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: verify_folder SERVER FOLDER\n");
        return 2;
    }
    bench::BenchShell bench;
    FolderRunInput input;
    input.server = argv[1];
    input.folder = argv[2];
    PrintedReport report;
    VerifyFolderWorker(bench.shell, input, report);
    return 0;
}
