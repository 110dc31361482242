// Sends COUNT copies of one message over one SMTP connection, as Mailmerge does, or mails every
// customer of a member.dat made for the run, as Database email does: for timing against
// Python's smtplib.
// Usage: send_mail SERVER COUNT            (Mailmerge)
//        send_mail SERVER COUNT customers  (Database email to COUNT customers)
// With KORVANE_BENCH_LOGIN="PORT USER" it sends over STARTTLS and logs in as USER with the
// password in KORVANE_BENCH_PASSWORD.
#include "bench_shell.h"
#include "databases/database_email.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace korvane;

void WriteCustomers(const std::string& path, int count) {
    FILE* file = std::fopen(path.c_str(), "wb");
    for (int number = 1; number <= count; ++number) {
        CustomerRecord record;
        record.Clear();
        record.SetNumber(number);
        record.SetText(customer::Company, "CUSTOMER " + std::to_string(number));
        record.SetText(customer::Email1, "customer" + std::to_string(number) + "@bench.test");
        std::fwrite(record.Raw().data(), 1, CustomerRecord::kSize, file);
    }
    std::fclose(file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: send_mail SERVER COUNT [customers]\n");
        return 2;
    }
    const int count = std::atoi(argv[2]);
    bench::BenchShell bench;
    RecordDatabases& records = bench.records;
    MailRun run;
    run.job.server = argv[1];
    run.job.sender = "shop@bench.test";
    run.subject = "Benchmark";
    run.text = "A short message\r\nof two lines";
    if (const char* login = std::getenv("KORVANE_BENCH_LOGIN")) {
        char user[80] = {};
        int port = 0;
        if (std::sscanf(login, "%d %79s", &port, user) != 2) {
            std::fprintf(stderr, "KORVANE_BENCH_LOGIN: \"PORT USER\"\n");
            return 2;
        }
        run.job.account = {static_cast<std::uint16_t>(port), MailSecurity::StartTls, user};
    }
    if (argc > 3) {
        WriteCustomers(records.customers.Path(), count);
        records.customers.Load();
        run.customerRange = true;
        run.first = 1;
        run.last = count;
    } else {
        run.recipient = "someone@bench.test";
        run.quantity = count;
    }
    DatabaseEmailWorker(bench.shell, run);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::fprintf(stderr, "peak memory: %ld KB\n", usage.ru_maxrss);
    return 0;
}
