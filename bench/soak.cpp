// A soak of the program as a whole: for MINUTES minutes one process runs a monitoring watch,
// link extraction, folder verification, customer and search-engine changes and mail side by
// side against the web and mail servers of the test network, each started through its entry
// operation with the dialogs answered as a user would. Memory, open descriptors and threads are
// reported at the start, every minute and at the end.
//
// Usage: korvane_soak MINUTES SITE_FOLDER   (inside scripts/netns-run.sh; see scripts/soak.sh)
//
// The watch's one-minute timer ticks every two seconds here, so a ten-minute soak makes some
// three hundred passes. The site-run slot lets only one of the watch and the folder verification
// run at a time, as in the program: every cycle closes the watch, runs a folder verification and
// opens the watch again, while the menu commands and their workers go on beside them.
#include "bench_shell.h"
#include "databases/customers.h"
#include "databases/database_email.h"
#include "databases/search_engines.h"
#include "page_tools/links.h"
#include "site_tools/folder_runs.h"
#include "site_tools/monitoring.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using namespace korvane;
using Steady = std::chrono::steady_clock;

constexpr auto kTick = std::chrono::seconds(2);
constexpr auto kCycle = std::chrono::seconds(30);
// How long a cycle's folder verification has before the watch opens (it needs far less).
constexpr auto kFolderRunRoom = std::chrono::seconds(5);
constexpr auto kPace = std::chrono::milliseconds(100);
constexpr int kProblemsShown = 20;

std::atomic<long> g_problems{0};

void Problem(const std::string& what) {
    if (g_problems.fetch_add(1) < kProblemsShown)
        std::fprintf(stderr, "problem: %s\n", what.c_str());
}

// Counts what a report window shows, keeping nothing: a window that scrolls on for ten minutes
// would only measure itself.
class CountingReport final : public ReportWindowHandle {
  public:
    void Append(std::string_view text) override {
        if (text.rfind("Integrity verified: ", 0) == 0)
            ++verified;
        else if (text.find("Finished.") != std::string_view::npos)
            ++finished;
        else
            for (const char* bad : {"differs", "truncated", "not available", "Unable", "error"})
                if (text.find(bad) != std::string_view::npos)
                    Problem("report: " + std::string(text.substr(0, text.find('\r'))));
    }
    void SetButtonLabel(std::string_view) override {}

    std::atomic<long> verified{0};
    std::atomic<long> finished{0};
};

// Answers each dialog by its name from what the driver queued for the command at hand, says
// "OK" to the confirmations and "No" to "Drop connection", and keeps a watch window open (its
// timer ticking) until the driver closes it. Other windows close as soon as their run starts.
class SoakDesktop final : public HeadlessDesktop {
  public:
    using Answer = std::function<int(Form&)>;

    void Queue(std::string formName, Answer answer) {
        std::lock_guard lock(m_mutex);
        m_answers.push_back({std::move(formName), std::move(answer)});
    }
    // After a command: every queued answer must have been used.
    void EndCommand(const char* command) {
        std::lock_guard lock(m_mutex);
        if (!m_answers.empty())
            Problem(std::string(command) + ": dialog " + m_answers.front().first + " not shown");
        m_answers.clear();
    }
    void Tick() {
        std::function<void()> tick;
        {
            std::lock_guard lock(m_mutex);
            if (m_watch)
                tick = m_watch->onTick;
        }
        if (tick)
            tick();
    }
    bool WatchOpen() const {
        std::lock_guard lock(m_mutex);
        return m_watch.has_value();
    }
    void CloseWatch() {
        std::lock_guard lock(m_mutex);
        m_watch.reset();
    }

    CountingReport reports;

  public: // Desktop
    int RunForm(Form& form) override {
        Answer answer;
        {
            std::lock_guard lock(m_mutex);
            for (auto it = m_answers.begin(); it != m_answers.end(); ++it) {
                if (it->first == form.name) {
                    answer = std::move(it->second);
                    m_answers.erase(it);
                    break;
                }
            }
        }
        if (!answer) {
            Problem("unexpected dialog " + form.name + " \"" + form.title + "\"");
            return kFormCancelled;
        }
        return answer(form);
    }
    MessageAnswer ShowMessage(std::string_view text, std::string_view title,
                              MessageButtons buttons) override {
        if (text == "Drop connection")
            return MessageAnswer::No;
        if (text != "Store record?" && text != "Are you sure?")
            Problem("message \"" + std::string(text) + "\" (" + std::string(title) + ")");
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    void RunReportWindow(const ReportWindowRun& run) override {
        if (!run.onOpen)
            return;
        // The windows share one counting report that nobody owns: a no-op deleter.
        run.onOpen(std::shared_ptr<ReportWindowHandle>(&reports, [](ReportWindowHandle*) {}));
        if (run.tickPeriod.count() > 0) {
            std::lock_guard lock(m_mutex);
            m_watch = run;
        }
    }

  private:
    mutable std::mutex m_mutex;
    std::deque<std::pair<std::string, Answer>> m_answers;
    std::optional<ReportWindowRun> m_watch;
};

using SoakShell = bench::BasicBenchShell<SoakDesktop>;

// Sets text fields of a form and presses OK.
SoakDesktop::Answer Fill(std::vector<std::pair<std::string, std::string>> texts) {
    return [texts = std::move(texts)](Form& form) {
        for (const auto& [id, text] : texts)
            form.Field(id).text = text;
        return kFormAccepted;
    };
}

SoakDesktop::Answer Press(int result) {
    return [result](Form&) { return result; };
}

// The local copy of the site: the files that the server serves exactly as they lie on disk
// (not an empty one, which reads as truncated, nor one whose name holds a blank).
void MirrorSite(const std::string& site, const std::string& mirror) {
    for (const auto& entry : std::filesystem::directory_iterator(site)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && entry.file_size() > 0 && name.find(' ') == std::string::npos)
            std::filesystem::copy_file(entry.path(), mirror + "/" + name);
    }
}

struct Counts {
    long iterations = 0;
    long customerChanges = 0;
    long engineChanges = 0;
    long linkRuns = 0;
    long mailRuns = 0;
    long folderRuns = 0;
    long watches = 0;
};

void Report(const char* when, const Counts& counts, const CountingReport& reports) {
    const bench::ProcessFigures figures = bench::TakeProcessFigures();
    std::printf("%-8s VmRSS %6ld KB  VmHWM %6ld KB  fds %3d  threads %3d  | cycles of commands "
                "%6ld, files verified %7ld, problems %ld\n",
                when, figures.residentKb, figures.peakKb, figures.descriptors, figures.threads,
                counts.iterations, reports.verified.load(), g_problems.load());
    std::fflush(stdout);
}

// One round of the menu commands that need no site-run slot.
void MenuCommands(SoakShell& soak, Counts& counts) {
    Shell& shell = soak.shell;
    SoakDesktop& desktop = soak.desktop;
    const long i = ++counts.iterations;

    // A customer is added, amended, found by number and by name, and deleted again; the next
    // round reuses the deleted slot, so the file stays the same size.
    std::string number;
    desktop.Queue("DIALOG3", [&number, i](Form& form) {
        number = form.Field("Number").text;
        form.Field("Company").text = "SOAK " + std::to_string(i);
        form.Field("Email 1").text = "customer@customers.test";
        return kFormAccepted;
    });
    CustomerAddCommand(shell);
    desktop.EndCommand("customer add");
    desktop.Queue("edit2box", Fill({{"EDIT2BOX", number}}));
    desktop.Queue("DIALOG3", Fill({{"Company", "SOAK " + std::to_string(i) + " AMENDED"}}));
    CustomerAmendCommand(shell);
    desktop.EndCommand("customer amend");
    desktop.Queue("edit2box", Fill({{"EDIT2BOX", number}}));
    desktop.Queue("DIALOG4", Press(kFormAccepted));
    CustomerDisplayCommand(shell);
    desktop.EndCommand("customer display");
    desktop.Queue("edit2box", Fill({{"EDIT2BOX", "SOAK"}}));
    desktop.Queue("DIALOG5", Press(kFormAccepted));
    desktop.Queue("DIALOG4", Press(kFormAccepted));
    CustomerDisplayCommand(shell);
    desktop.EndCommand("customer find");
    desktop.Queue("edit2box", Fill({{"EDIT2BOX", number}}));
    CustomerDeleteCommand(shell);
    desktop.EndCommand("customer delete");
    counts.customerChanges += 3;

    std::string engine;
    desktop.Queue("SearchEngine", [&engine](Form& form) {
        engine = form.Field("Number").text;
        form.Field("Search engine").text = "SOAK ENGINE";
        form.Field("Base URL").text = "site.test";
        return kFormAccepted;
    });
    EngineAddCommand(shell);
    desktop.EndCommand("engine add");
    desktop.Queue("edit2box", Fill({{"EDIT2BOX", engine}}));
    desktop.Queue("SearchEngine", Fill({{"Script path", "submit.html"}}));
    EngineAmendCommand(shell);
    desktop.EndCommand("engine amend");
    desktop.Queue("edit2box", Fill({{"EDIT2BOX", engine}}));
    EngineDeleteCommand(shell);
    desktop.EndCommand("engine delete");
    counts.engineChanges += 3;

    // The links of the fixture's home page; every fifth round each one is checked as well.
    desktop.Queue("DIALOG6", Fill({{"Server", "site.test"}, {"Page", "index.html"}}));
    LinksCommand(shell, i % 5 == 0 ? LinkMode::Broken : LinkMode::All);
    desktop.EndCommand("links");
    ++counts.linkRuns;

    if (i % 10 == 0) {
        desktop.Queue("Mailmerge", [](Form& form) {
            form.Field("Recipient").text = "soak@customers.test";
            form.Field("Quantity").selected = 0;
            form.Field("Subject").text = "Soak";
            return kFormAccepted;
        });
        MailmergeCommand(shell);
        desktop.EndCommand("mailmerge");
        ++counts.mailRuns;
    }
}

void OpenWatch(SoakShell& soak, const std::string& mirror, Counts& counts) {
    soak.desktop.Queue("Verify multiple sites", [&mirror](Form& form) {
        // Four names of the one server, each with the mirror as its folder.
        const char* servers[] = {"site.test", "www.site.test", "localhost", "127.0.0.1"};
        for (int n = 1; n <= 4; ++n) {
            form.Field("Server" + std::to_string(n)).text = servers[n - 1];
            form.Field("Folder" + std::to_string(n)).text = mirror;
        }
        form.Field("Frequency").selected = 1;
        form.Field("Alerts").selected = 0;
        return kFormAccepted;
    });
    VerifyMultipleSitesCommand(soak.shell);
    soak.desktop.EndCommand("watch");
    ++counts.watches;
}

void VerifyFolder(SoakShell& soak, const std::string& mirror, Counts& counts) {
    soak.desktop.Queue("Verify local folder to site", [&mirror](Form& form) {
        form.Field("Server").text = "site.test";
        form.Field("Folder").text = mirror;
        form.Field("LineEnds").checked = true;
        return kFormAccepted;
    });
    VerifyFolderCommand(soak.shell);
    soak.desktop.EndCommand("folder verification");
    ++counts.folderRuns;
}

long StoredMails() {
    const char* folder = std::getenv("KORVANE_TEST_MAILDIR");
    if (folder == nullptr)
        return -1;
    // The test network's mail server keeps each message as N.from, N.to and N.data.
    long mails = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        mails += entry.path().extension() == ".data" ? 1 : 0;
    return mails;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3 || std::atoi(argv[1]) < 1) {
        std::fprintf(stderr, "usage: korvane_soak MINUTES SITE_FOLDER\n");
        return 2;
    }
    const auto minutes = std::chrono::minutes(std::atoi(argv[1]));
    SoakShell soak;
    soak.settings.Set(field::SmtpServer, "localhost");
    soak.settings.Set(field::FromAddress, "soak@korvane.test");
    if (!LoadRecordFiles(soak.records).Ok())
        return 1;
    bench::TempFolder mirror;
    MirrorSite(argv[2], mirror.path);
    // The reply files go to the current directory, as in the program: a folder of the soak's
    // own, where no other process writes them meanwhile.
    if (::chdir(soak.folder.path.c_str()) != 0) {
        std::perror(soak.folder.path.c_str());
        return 1;
    }

    Counts counts;
    Report("start", counts, soak.desktop.reports);
    std::atomic<bool> done{false};
    std::thread ticker([&] {
        while (!done) {
            std::this_thread::sleep_for(kTick);
            soak.desktop.Tick();
        }
    });

    const auto start = Steady::now();
    auto nextMinute = start + std::chrono::minutes(1);
    int minute = 0;
    while (Steady::now() - start < minutes) {
        // A cycle: the folder verification, then the watch for the rest of the cycle; the
        // commands of the menu run all the time.
        soak.threads.WaitIdle(); // the last pass is over: the site-run slot is free
        VerifyFolder(soak, mirror.path, counts);
        const auto cycleStart = Steady::now();
        bool watching = false;
        while (Steady::now() < cycleStart + kCycle && Steady::now() - start < minutes) {
            MenuCommands(soak, counts);
            if (!watching && Steady::now() > cycleStart + kFolderRunRoom) {
                soak.threads.WaitIdle(); // the folder verification is over
                OpenWatch(soak, mirror.path, counts);
                watching = true;
            }
            if (Steady::now() >= nextMinute) {
                nextMinute += std::chrono::minutes(1);
                Report(("min " + std::to_string(++minute)).c_str(), counts, soak.desktop.reports);
            }
            std::this_thread::sleep_for(kPace);
        }
        soak.desktop.CloseWatch();
    }
    done = true;
    ticker.join();
    soak.threads.WaitIdle();
    Report("end", counts, soak.desktop.reports);
    std::printf("watches %ld, watch passes and folder runs finished %ld, folder runs %ld, link "
                "runs %ld, customer changes %ld, engine changes %ld, mail runs %ld, mails stored "
                "by the server %ld\n",
                counts.watches, soak.desktop.reports.finished.load(), counts.folderRuns,
                counts.linkRuns, counts.customerChanges, counts.engineChanges, counts.mailRuns,
                StoredMails());
    return g_problems == 0 ? 0 : 1;
}
