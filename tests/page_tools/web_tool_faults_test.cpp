// Faults a web tool run meets on the way: a disk that cannot take a whole reply or report file,
// a server that resets the connection in the middle of its reply, a resolver that fails. Each
// case checks what the user is told and what is left on disk.

#include "databases/database_email.h"
#include "databases/link_exchange.h"
#include "page_tools/links.h"
#include "page_tools/verify_file.h"
#include "records/record_files.h"
#include "shell/desktop.h"
#include "site_tools/alert_mail.h"
#include "site_tools/folder_runs.h"
#include "support/fault_injection.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::ScriptedServer;
using test::ServerScript;
using test::TempDir;
using test::TestShell;
using test::WriteWholeFile;

constexpr std::uint64_t kNoLimit = UINT64_MAX;
constexpr std::uint64_t kDiskRoom = 4096;
constexpr const char* kLinkText = "Visit Acme Widgets";

constexpr const char* kStatusOk = "HTTP/1.0 200 OK\r\n\r\n";

// The page of the first `links` lines, each a link; the whole page has 400 of them and ends with
// the partner's link text. It is far larger than the room on the disk.
std::string Body(int links = 400) {
    std::string body = "<html>\n";
    for (int n = 0; n < links; ++n)
        body += "<a href=\"p" + std::to_string(n) + ".html\">page " + std::to_string(n) + "</a>\n";
    return links < 400 ? body : body + kLinkText + "</html>\n";
}

class CollectedReport final : public ReportTextBox {
  public:
    void Append(std::string_view text) override { m_text += text; }
    const std::string& Text() const { return m_text; }

  private:
    std::string m_text;
};

// What the user saw and heard, carried back from the child as text: the log lines, the message
// boxes, the report window, the pages handed to the browser and the alert sounds.
struct Seen {
    std::vector<std::string> log;
    std::vector<std::string> messages;
    std::string report;
    std::vector<std::string> browser;
    int sounds = 0;
};

constexpr char kSection = '\x1e';
constexpr char kItem = '\x1f';

std::string Pack(const TestShell& t, const std::string& report) {
    std::string packed;
    for (const std::string& line : t.LogTexts())
        packed += line + kItem;
    packed += kSection;
    for (const test::ShownMessage& message : t.desktop.Messages())
        packed += message.text + " (" + message.title + ")" + kItem;
    packed += kSection + report + kSection;
    for (const std::string& target : t.desktop.BrowserTargets())
        packed += target + kItem;
    return packed + kSection + std::to_string(t.desktop.Sounds());
}

std::vector<std::string> Items(const std::string& section) {
    std::vector<std::string> items;
    std::istringstream in(section);
    for (std::string item; std::getline(in, item, kItem);)
        items.push_back(item);
    return items;
}

Seen Unpack(const std::string& packed) {
    std::vector<std::string> sections;
    std::istringstream in(packed);
    for (std::string section; std::getline(in, section, kSection);)
        sections.push_back(section);
    sections.resize(5);
    return {Items(sections[0]), Items(sections[1]), sections[2], Items(sections[3]),
            std::atoi(sections[4].c_str())};
}

struct Folders {
    TempDir work;  // reply files, kv.htm
    TempDir local; // the local copy of the page
};

// Runs one tool against `host` for page.html; returns the report window's text, if any.
using Tool = std::function<std::string(TestShell&, const std::string& host, const Folders&)>;

std::string ExtractLinks(TestShell& t, const std::string& host, const Folders& folders) {
    WebToolOptions options;
    options.folder = folders.work.Path();
    RunLinks(t.shell, LinkMode::All, host, "page.html", options);
    return {};
}

VerifyFileInput VerifyInput(const std::string& host, const Folders& folders) {
    VerifyFileInput input;
    input.server = host;
    input.page = "page.html";
    input.localFolder = folders.local.Path();
    input.localName = "page.html";
    input.localPath = folders.local.File("page.html");
    input.workFolder = folders.work.Path();
    return input;
}

std::string VerifyFile(TestShell& t, const std::string& host, const Folders& folders) {
    VerifyFileWorker(t.shell, VerifyInput(host, folders));
    return {};
}

std::string VerifyFileWithView(TestShell& t, const std::string& host, const Folders& folders) {
    VerifyFileInput input = VerifyInput(host, folders);
    input.comparativeView = true;
    VerifyFileWorker(t.shell, input);
    return {};
}

std::string VerifyFolder(TestShell& t, const std::string& host, const Folders& folders) {
    FolderRunInput input;
    input.server = host;
    input.folder = folders.local.Path();
    input.workFolder = folders.work.Path();
    CollectedReport report;
    VerifyFolderWorker(t.shell, input, report);
    return report.Text();
}

// The customer whose link-exchange partner is `host`; written before the disk fills.
void PutPartner(TestShell& t, const std::string& host) {
    CustomerRecord partner;
    partner.SetNumber(1);
    partner.SetText(customer::Company, "PARTNER");
    partner.SetText(customer::LinkDomain, host);
    partner.SetText(customer::LinkPage, "page.html");
    partner.SetText(customer::LinkText, kLinkText);
    CustomerStore& store = t.records.customers;
    WriteWholeFile(store.Path(), std::string(reinterpret_cast<const char*>(partner.Raw().data()),
                                             CustomerRecord::kSize));
    store.Load();
}

std::string CheckLinkExchange(TestShell& t, const std::string&, const Folders& folders) {
    LinkExchangeInput input;
    input.workFolder = folders.work.Path();
    LinkExchangeRun(t.shell, input);
    return {};
}

TEST(WebToolFaults, AFileTheDiskCannotTakeWholeIsReportedAndNeverReadAsTheServersReply) {
    KORVANE_REQUIRE_TEST_NETWORK();
    const std::string body = Body();
    ScriptedServer server(ServerScript{kStatusOk + body});
    ASSERT_TRUE(server.Started());
    std::string otherBody = body;
    otherBody[0] = 'X';

    struct Case {
        const char* name;
        Tool tool;
        std::string local;   // the local copy of the page
        std::uint64_t limit; // room for each file on the disk
        bool fullKvHtm;      // kv.htm alone lies on a full disk
        const char* replyFile;
        std::vector<std::string> log;
        std::vector<std::string> messages;
        std::string report;
    };
    const std::vector<Case> cases = {
        {"link extraction",
         ExtractLinks,
         body,
         kDiskRoom,
         false,
         "the4.html",
         {}, // no link and no "Scan complete" from a cut page
         {"Data file: the4.html. (Fatal error)"},
         ""},
        {"file verification",
         VerifyFile,
         body,
         kDiskRoom,
         false,
         "the6.html",
         {"  ", "Verify page: page.html"}, // no "truncated at" blamed on the server
         {"Data file: the6.html. (Fatal error)"},
         ""},
        {"folder verification",
         VerifyFolder,
         body,
         kDiskRoom,
         false,
         "the7.html",
         {},
         {"Data file: the7.html. (Fatal error)"},
         "Files in directory: 1\r\n"},
        {"link exchange",
         CheckLinkExchange,
         body,
         kDiskRoom,
         false,
         "the1.html",
         {"  ", "Link exchange verification", "Data file: the1.html."}, // no "Link not found"
         {},
         ""},
        // The reply fits; only kv.htm, the copy of the body, finds the disk full. The verdict
        // is the comparison's and stands; the missing copy is told and never compared.
        {"kv.htm, same page",
         VerifyFile,
         body,
         kNoLimit,
         true,
         "the6.html",
         {"  ", "Verify page: page.html", "Reply received", "Integrity verified: page.html"},
         {"Unable to create KV.HTM (Problem)"},
         ""},
        {"kv.htm, different page, comparative view",
         VerifyFileWithView,
         otherBody,
         kNoLimit,
         true,
         "the6.html",
         {"  ", "Verify page: page.html", "Reply received",
          "File: page.html differs at location: 1", "Local file: X, web file: <"},
         {"Unable to create KV.HTM (Problem)"},
         ""},
    };
    const std::uint64_t replySize = std::string(kStatusOk).size() + body.size();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        PutPartner(t, server.Host());
        Folders folders;
        WriteWholeFile(folders.local.File("page.html"), c.local);
        const std::string kvPath = folders.work.File("kv.htm");
        if (c.fullKvHtm)
            std::filesystem::create_symlink("/dev/full", kvPath);
        else
            WriteWholeFile(kvPath, "an earlier run");

        const auto packed =
            test::RunInChild([&] { return test::LimitFileSize(c.limit); },
                             [&] { return Pack(t, c.tool(t, server.Host(), folders)); });
        ASSERT_TRUE(packed.has_value()) << "the run did not end normally";
        const Seen seen = Unpack(*packed);
        EXPECT_EQ(seen.log, c.log);
        EXPECT_EQ(seen.messages, c.messages);
        EXPECT_EQ(seen.report, c.report);
        EXPECT_TRUE(seen.browser.empty()) << "a comparison was built from a cut copy";

        // On disk: the reply file holds what fitted, and kv.htm of an earlier run is untouched
        // when the run did not get that far.
        EXPECT_EQ(std::filesystem::file_size(folders.work.File(c.replyFile)),
                  std::min(c.limit, replySize));
        if (!c.fullKvHtm) {
            EXPECT_EQ(ReadWholeFile(kvPath), "an earlier run");
        }
    }
}

// A reset ends the reply like a close: what arrived is what the tools work on, and the
// comparing tools name the point where the server's copy stopped.
TEST(WebToolFaults, AServerThatResetsMidReplyLeavesWhatArrivedAndTheToolsSaySo) {
    KORVANE_REQUIRE_TEST_NETWORK();
    const std::string arrived = Body(100); // the reply stops after the hundredth link
    ScriptedServer server(ServerScript{kStatusOk + arrived, 0, ServerScript::Then::Reset, true});
    ASSERT_TRUE(server.Started());
    const std::string truncatedAt =
        std::to_string(std::string(kStatusOk).size() - 1 + arrived.size());
    std::vector<std::string> links = {"Reply received", "    "};
    for (int n = 0; n < 100; ++n)
        links.push_back("p" + std::to_string(n) + ".html");
    links.push_back("Scan complete");

    struct Case {
        const char* name;
        Tool tool;
        const char* replyFile;
        std::vector<std::string> log;
        std::string report;
        int alerts;
    };
    const std::vector<Case> cases = {
        {"file verification",
         VerifyFile,
         "the6.html",
         {"  ", "Verify page: page.html", "Reply received",
          "File: page.html truncated at: " + truncatedAt},
         "",
         1},
        {"folder verification",
         VerifyFolder,
         "the7.html",
         {},
         "Files in directory: 1\r\nFile: page.html truncated at: " + truncatedAt +
             "\r\nFinished.\r\n\r\n",
         1},
        {"link extraction", ExtractLinks, "the4.html", links, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestShell t;
        t.settings.SetOn(field::DetailFlag, false);
        Folders folders;
        WriteWholeFile(folders.local.File("page.html"), Body());
        const std::string report = c.tool(t, server.Host(), folders);
        EXPECT_EQ(t.LogTexts(), c.log);
        EXPECT_EQ(report, c.report);
        EXPECT_TRUE(t.desktop.Messages().empty());
        EXPECT_EQ(t.desktop.Sounds(), c.alerts);
        EXPECT_EQ(ReadWholeFile(folders.work.File(c.replyFile)), kStatusOk + arrived);
    }
}

// Name resolution that fails: for a name no resolver knows, and for any name while the resolver
// itself cannot be reached. A page tool and both ways of sending mail end at once with their
// message, and write nothing.
TEST(WebToolFaults, AFailingResolverEndsPageToolsAndMailBeforeAnythingIsSent) {
    KORVANE_REQUIRE_TEST_NETWORK();
    struct Fault {
        const char* name;
        std::function<bool()> setUp;
        std::string host; // a name the fault makes unresolvable
    };
    const std::vector<Fault> faults = {
        {"unknown name", [] { return true; }, "nosuch.test"},
        {"resolver unreachable", test::TakeResolverDown, "site.test"},
    };
    struct Case {
        const char* name;
        std::function<std::string(TestShell&, const std::string& host, const Folders&)> tool;
        std::function<std::vector<std::string>(const std::string& host)> log;
        std::vector<std::string> messages;
        int alerts;
    };
    const std::vector<Case> cases = {
        {"file verification",
         VerifyFile,
         [](const std::string& host) {
             return std::vector<std::string>{"  ", "Verify page: page.html",
                                             "Unable to translate host " + host};
         },
         {},
         1},
        {"database e-mail",
         [](TestShell& t, const std::string& host, const Folders&) {
             MailRun run;
             run.job.server = host;
             run.recipient = "someone@customers.test";
             DatabaseEmailWorker(t.shell, run);
             return std::string();
         },
         [](const std::string& host) {
             return std::vector<std::string>{"Database email: " + host, "Transmission aborted",
                                             "    "};
         },
         {"Cannot find SMTP mail server (Problem)"},
         0},
        {"alert e-mail",
         [](TestShell& t, const std::string& host, const Folders&) {
             AlertMail alert;
             alert.job = {host, "someone@customers.test", std::string(kAlertSender)};
             alert.failedServer = "site.test";
             alert.failedPage = "index.html";
             AlertMailer(t.shell, alert);
             return std::string();
         },
         [](const std::string&) {
             return std::vector<std::string>{
                 "Alert to: someone@customers.test", "From: korvane-alert@localhost",
                 "Unable to resolve SMTP mail server", "Transmission aborted"};
         },
         {},
         0},
    };
    for (const Fault& fault : faults) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(fault.name) + ", " + c.name);
            TestShell t;
            t.settings.SetOn(field::DetailFlag, false);
            Folders folders;
            WriteWholeFile(folders.local.File("page.html"), Body());
            const auto packed = test::RunInChild(
                fault.setUp, [&] { return Pack(t, c.tool(t, fault.host, folders)); });
            ASSERT_TRUE(packed.has_value()) << "the fault could not be set up, or the run failed";
            const Seen seen = Unpack(*packed);
            EXPECT_EQ(seen.log, c.log(fault.host));
            EXPECT_EQ(seen.messages, c.messages);
            EXPECT_EQ(seen.sounds, c.alerts);
            EXPECT_TRUE(std::filesystem::is_empty(folders.work.Path())) << "nothing is written";
        }
    }
}

} // namespace
} // namespace korvane
