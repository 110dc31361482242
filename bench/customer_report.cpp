// Writes the customer report of the last 30 days, as Customer database > "Report" does when the
// user asks for customer 1 and keeps the default period: the prompt and the period's form are
// answered, the history is read, and the page and its CSV are written into the working folder.
// Customer 1's Server 1 to 4 are the servers given; the history is the database given.
// Usage: customer_report DATABASE SERVER [SERVER...]   prints the page's size
#include "databases/customer_report.h"
#include "bench_shell.h"
#include "records/record_files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

using namespace korvane;

// The user at the screen: the customer's number, then the period as offered.
class AnsweringDesktop final : public HeadlessDesktop {
  public:
    int RunForm(Form& form) override {
        if (form.name != "Customer report" && !form.fields.empty())
            form.fields.front().text = "1";
        return kFormAccepted;
    }
    bool OpenInBrowser(std::string_view target) override {
        opened = target;
        return true;
    }
    std::string opened;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 6) {
        std::fprintf(stderr, "usage: customer_report DATABASE SERVER [SERVER...]\n");
        return 2;
    }
    bench::BasicBenchShell<AnsweringDesktop> bench;
    CustomerRecord record;
    record.SetNumber(1);
    record.SetText(customer::Company, "Year Of History Ltd");
    for (int i = 2; i < argc; ++i)
        record.SetText(customer::Server(static_cast<std::size_t>(i - 2)), argv[i]);
    std::ofstream(bench.folder.path + "/member.dat", std::ios::binary)
        .write(reinterpret_cast<const char*>(record.Raw().data()), kCustomerRecordSize);
    if (!LoadRecordFiles(bench.records).Ok())
        return 1;
    WatchHistory history(argv[1]);
    Shell shell{bench.log,     bench.settings, bench.settingsFile, bench.busy,    bench.pickers,
                bench.desktop, bench.clock,    bench.threads,      bench.records, bench.run,
                history};
    CustomerReportCommand(shell);
    if (bench.desktop.opened.empty())
        return 1;
    std::printf("%s: %ju bytes\n", bench.desktop.opened.c_str(),
                static_cast<std::uintmax_t>(std::filesystem::file_size(bench.desktop.opened)));
    return 0;
}
