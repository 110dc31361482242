#include "databases/database_email.h"

#include "records/record_files.h"
#include "shell/preferences.h"
#include "support/scripted_desktop.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"
#include "web/mail_run.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace korvane {
namespace {

using test::ReadWholeFile;
using test::ShownMessage;
using test::TestShell;

// The messages the real mail server stored for one recipient, in arrival order.
std::vector<std::string> StoredFor(const std::string& recipient) {
    const char* folder = std::getenv("KORVANE_TEST_MAILDIR");
    std::vector<std::pair<int, std::string>> found;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string path = entry.path().string();
        if (entry.path().extension() != ".data")
            continue;
        const std::string base = path.substr(0, path.size() - 5);
        if (ReadWholeFile(base + ".to") == recipient)
            found.emplace_back(std::stoi(entry.path().stem().string()), ReadWholeFile(path));
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> messages;
    for (auto& [number, data] : found)
        messages.push_back(std::move(data));
    return messages;
}

// A recipient no other test uses, so tests that share the mail server keep apart.
std::string UniqueAddress(const std::string& name) {
    return name + "-" + std::to_string(::getpid()) + "@customers.test";
}

class RealMailServer : public ::testing::Test {
  protected:
    void SetUp() override {
        KORVANE_REQUIRE_TEST_NETWORK();
        t.settings.Set(field::SmtpServer, "localhost");
        t.settings.Set(field::FromAddress, "shop@example.test");
    }
    TestShell t;
};

void PutCustomers(TestShell& t, const std::vector<std::pair<std::int64_t, std::string>>& rows) {
    std::string bytes;
    for (const auto& [number, email] : rows) {
        CustomerRecord record;
        record.Clear();
        record.SetNumber(number);
        record.SetText(customer::Company, "COMPANY " + std::to_string(number));
        record.SetText(customer::Email1, email);
        bytes.append(reinterpret_cast<const char*>(record.Raw().data()), CustomerRecord::kSize);
    }
    test::WriteWholeFile(t.records.customers.Path(), bytes);
    ASSERT_TRUE(LoadRecordFiles(t.records).Ok());
}

MailRun CustomerRange(std::int64_t first, std::int64_t last) {
    MailRun run;
    run.customerRange = true;
    run.first = first;
    run.last = last;
    run.job.server = "127.0.0.1";
    run.job.sender = "shop@example.test";
    return run;
}

// A record that cannot be read (6, cut short) is named and passed over: the walk never acts again
// on the record before it, whose customer would get the mail twice. The walks of the link-exchange
// check and the URL submission log it the same way.
TEST_F(RealMailServer, DatabaseEmailMailsEachCustomerOfTheRangeWithAnAddress) {
    const std::string a = UniqueAddress("first");
    const std::string c = UniqueAddress("third");
    const std::string outside = UniqueAddress("outside");
    PutCustomers(t, {{7, outside},
                     {2, a},
                     {3, ""},
                     {5, c},
                     {4, "evil@x\r\nRCPT TO:<y@z>"},
                     {6, UniqueAddress("cut")}});
    std::filesystem::resize_file(t.records.customers.Path(), CustomerRecord::kSize * 11 / 2);
    MailRun run = CustomerRange(2, 6);
    run.subject = "Invoice";
    run.text = "Dear customer";
    t.desktop.AnswerMessage(MessageAnswer::Yes);
    run.hangUpWait = std::chrono::milliseconds(10);
    DatabaseEmailWorker(t.shell, run);

    EXPECT_EQ(StoredFor(a).size(), 1u);
    EXPECT_EQ(StoredFor(c).size(), 1u);
    EXPECT_TRUE(StoredFor(outside).empty());
    const auto log = t.LogTexts();
    EXPECT_NE(std::find(log.begin(), log.end(), "Customer 4 skipped: Email 1 holds a line break"),
              log.end());
    EXPECT_EQ(std::count(log.begin(), log.end(), "Forwarding mail"), 2);
    EXPECT_EQ(std::count(log.begin(), log.end(), "Record 6 could not be read; skipped."), 1);
}

TEST_F(RealMailServer, TheDialogsRefuseAnEmptyRecipientABadRangeAndLineBreaks) {
    t.desktop.AnswerForm(kFormAccepted); // Mailmerge with no recipient
    MailmergeCommand(t.shell);
    const std::string single = UniqueAddress("single");
    PutCustomers(t, {{3, single}, {9, "z@y"}});
    t.desktop.AnswerForm([](Form& form) {
        EXPECT_EQ(form.Field("Start").text, "3");
        EXPECT_EQ(form.Field("End").text, "9");
        form.Field("Start").text = "5";
        form.Field("End").text = "3";
        return kFormAccepted;
    });
    DatabaseEmailCommand(t.shell);
    // Start and End that are no numbers are told, each by its name.
    for (const auto& [start, end] : std::vector<std::pair<std::string, std::string>>{
             {"", "9"}, {"3x", "9"}, {"3", "  "}, {" 3 ", "99999999999999999999"}}) {
        t.desktop.AnswerForm([&](Form& form) {
            form.Field("Start").text = start;
            form.Field("End").text = end;
            return kFormAccepted;
        });
        DatabaseEmailCommand(t.shell);
    }
    t.desktop.AnswerForm([](Form& form) {
        form.Field("Recipient").text = "a@b";
        form.Field("Subject").text = "Hi\r\nBCC: everyone";
        return kFormAccepted;
    });
    MailmergeCommand(t.shell);
    t.threads.WaitIdle();
    EXPECT_EQ(t.LogTexts(), std::vector<std::string>{});
    EXPECT_EQ(
        t.desktop.Messages(),
        (std::vector<ShownMessage>{{"Start must be a record number.", "Problem"},
                                   {"Start must be a record number.", "Problem"},
                                   {"End must be a record number.", "Problem"},
                                   {"End must be a record number.", "Problem"},
                                   {"An address or the subject holds a line break.", "Problem"}}));
    // A range of one record is a range all the same.
    t.desktop.AnswerForm([](Form& form) {
        form.Field("End").text = "3";
        return kFormAccepted;
    });
    t.desktop.AnswerMessage(MessageAnswer::No); // "Drop connection"
    DatabaseEmailCommand(t.shell);
    t.threads.WaitIdle();
    EXPECT_EQ(StoredFor(single).size(), 1U);
}

// The chosen number of copies goes over one connection. The dialogs hand over UTF-8; a mail goes
// out in Latin-1, within the limit with each line break counted as the CR LF it is sent as. What
// would change is asked about before anything is sent: Yes sends it so, No sends nothing.
TEST_F(RealMailServer, MailmergeSendsTheCopiesAndAsksFirstAboutWhatCannotBeSentAsTyped) {
    const std::string lines = std::string(990, 'a') + "\r\n";
    struct Case {
        std::string subject;
        std::string text;
        std::string question; // empty: nothing is asked
        MessageAnswer answer;
        std::string sentSubject; // what is sent, when anything is
        std::string sentText;
        int quantity = -1; // the item chosen in the list, "20" for 2; none: one copy
        std::ptrdiff_t copies = 1;
    };
    const std::vector<Case> cases = {
        {"Spring news", "Hello\r\n.\r\n.hidden\r\nBye", "", MessageAnswer::Yes, "Spring news",
         "Hello\r\n.\r\n.hidden\r\nBye", 2, 20},
        // Latin-1 that fits goes out as it is, unasked.
        {"Caf\xc3\xa9", lines + "12345", "", MessageAnswer::Yes, "Caf\xe9", lines + "12345"},
        {"5 \xe2\x82\xac", "\xe2\x80\x9cNet\xe2\x80\x9d \xe2\x82\xac \xc2\xbd",
         "These characters cannot be sent and will be left out: \xe2\x82\xac \xe2\x80\x9c "
         "\xe2\x80\x9d\nSend it anyway?",
         MessageAnswer::Yes, "5 ", "Net  \xbd"},
        {"News", lines + "line two",
         "The message is 3 characters too long and will be cut after: \"..." +
             std::string(17, 'a') + " line \"\nSend it anyway?",
         MessageAnswer::Yes, "News", lines + "line "},
        {"\xe2\x82\xac", lines + "line two",
         "These characters cannot be sent and will be left out: \xe2\x82\xac\nThe message is 3 "
         "characters too long and will be cut after: \"..." +
             std::string(17, 'a') + " line \"\nSend it anyway?",
         MessageAnswer::No, "", ""},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(i);
        TestShell shell;
        shell.settings.Set(field::SmtpServer, "localhost");
        shell.settings.Set(field::FromAddress, "shop@example.test");
        const std::string recipient = UniqueAddress("text" + std::to_string(i));
        shell.desktop.AnswerForm([&](Form& form) {
            EXPECT_EQ(form.Field("Text").text, "Your message");
            EXPECT_EQ(form.Field("Quantity").selected, -1);
            form.Field("Recipient").text = recipient;
            form.Field("Quantity").selected = c.quantity;
            form.Field("Subject").text = c.subject;
            form.Field("Text").text = c.text;
            return kFormAccepted;
        });
        if (!c.question.empty())
            shell.desktop.AnswerMessage(c.answer);
        shell.desktop.AnswerMessage(MessageAnswer::No); // "Drop connection"
        MailmergeCommand(shell.shell);
        shell.threads.WaitIdle();
        const auto messages = shell.desktop.Messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages.front().text, c.question.empty() ? "Drop connection" : c.question);
        const auto stored = StoredFor(recipient);
        const auto log = shell.LogTexts();
        if (c.answer == MessageAnswer::No) {
            EXPECT_TRUE(stored.empty());
            EXPECT_EQ(log, std::vector<std::string>{});
            continue;
        }
        EXPECT_EQ(messages.size(), c.question.empty() ? 1U : 2U);
        EXPECT_EQ(messages.back(), (ShownMessage{"Drop connection", "Finished"}));
        ASSERT_EQ(stored.size(), static_cast<std::size_t>(c.copies));
        for (const std::string& data : stored)
            EXPECT_EQ(data, "FROM: shop@example.test\r\nTO: " + recipient +
                                "\r\nSUBJECT: " + c.sentSubject + "\r\n" + c.sentText + "\r\n\r\n");
        ASSERT_GE(log.size(), 4U);
        EXPECT_EQ(log.front(), "Database email: localhost");
        EXPECT_EQ(log[1], "Located mail server localhost, IP: 127.0.0.1");
        EXPECT_EQ(std::count(log.begin(), log.end(), "Forwarding mail"), c.copies);
        EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()),
                  (std::vector<std::string>{"Transmission complete", "    "}));
    }
}

// The login of the test network's mail servers that ask for one (tests/peers/smtp_auth.py).
constexpr const char* kUser = "mailer";
constexpr const char* kPassword = "Pa55-word.only-in-memory";

MailAccount Account(std::uint16_t port, MailSecurity security, std::string user = kUser) {
    return {port, security, std::move(user)};
}

// Whatever goes wrong in setting up the session, the run ends before a message could go, each with
// its own words, and a password never travels unencrypted. The text is never sent into a refused
// transaction either: that is the mail client's fuzz target's, as are the steps of a server that
// says nothing; here, what the run makes of a refusal.
TEST_F(RealMailServer, ASessionThatCannotBeSetUpOrARefusalSendsNothing) {
    struct Case {
        std::string server;
        MailAccount account;
        std::optional<std::string> password; // what the user types when asked
        std::vector<ShownMessage> shown;
        std::vector<std::string> logEnd;
        std::string recipient = UniqueAddress("unsecured");
    };
    const std::string located = "Located mail server ";
    const MailAccount plain = Account(0, MailSecurity::None, "");
    const MailAccount startTls = Account(587, MailSecurity::StartTls);
    const auto problem = [](const std::string& text) {
        return std::vector<ShownMessage>{{text, "Problem"}};
    };
    const auto aborted = [](const std::string& line) {
        return std::vector<std::string>{line, "Transmission aborted", "    "};
    };
    const std::vector<Case> cases = {
        {"nosuch.test", plain, std::nullopt, problem("Cannot find SMTP mail server"),
         aborted("Database email: nosuch.test")},
        {"refused.test",
         plain,
         std::nullopt,
         problem("Error connecting to the server socket"),
         {"Database email: refused.test", located + "refused.test, IP: 127.0.0.2"}},
        {"127.0.0.1",
         plain,
         std::nullopt,
         {{"Drop connection", "Finished"}},
         {"Email refused: recv() RCPT TO 553", "Transmission incomplete", "    "},
         "two@at@customers.test"}, // malformed: the server refuses it
        {"mail.test",
         startTls,
         "wrong",
         {},
         aborted("Email refused: 535 5.7.8 Authentication credentials invalid")},
        // The plain server on 25 offers no STARTTLS.
        {"localhost", Account(0, MailSecurity::StartTls), kPassword,
         problem(std::string(kNoStartTls)), aborted(located + "localhost, IP: 127.0.0.1")},
        {"selfmail.test", startTls, kPassword,
         problem("Certificate not trusted: self-signed certificate"),
         aborted(located + "selfmail.test, IP: 127.0.0.251")},
        // A password without encryption: refused before it is even asked for.
        {"mail.test", Account(587, MailSecurity::None), kPassword,
         problem(std::string(kPasswordNeedsEncryption)), aborted("Database email: mail.test")},
        {"mail.test", startTls, std::nullopt, {}, aborted("Database email: mail.test")}, // declined
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server + ":" + std::to_string(c.account.port) + " " + c.logEnd.front());
        TestShell shell;
        shell.desktop.AnswerSecret(c.password);
        MailRun run;
        run.job.server = c.server;
        run.job.sender = "shop@example.test";
        run.job.account = c.account;
        run.recipient = c.recipient;
        run.hangUpWait = std::chrono::milliseconds(0);
        DatabaseEmailWorker(shell.shell, run);
        EXPECT_EQ(shell.desktop.Messages(), c.shown);
        const auto log = shell.LogTexts();
        ASSERT_GE(log.size(), c.logEnd.size());
        EXPECT_EQ(std::vector<std::string>(log.end() - static_cast<std::ptrdiff_t>(c.logEnd.size()),
                                           log.end()),
                  c.logEnd);
        EXPECT_EQ(std::count(log.begin(), log.end(), "Forwarding mail"), 0);
        EXPECT_TRUE(StoredFor(run.recipient).empty());
    }
}

// Encryption and the login change the way, not the mail: each account delivers the very bytes
// that plain SMTP delivers, every copy over its one connection.
TEST_F(RealMailServer, EveryAccountDeliversTheBytesOfThePlainRun) {
    const std::string recipient = UniqueAddress("secured");
    const std::string customer = UniqueAddress("customer");
    PutCustomers(t, {{1, customer}});
    const std::vector<std::pair<std::string, MailAccount>> accounts = {
        {"localhost", Account(0, MailSecurity::None, "")},
        {"mail.test", Account(587, MailSecurity::StartTls)},
        {"mail.test", Account(588, MailSecurity::StartTls)}, // offers AUTH LOGIN only
        {"mail.test", Account(465, MailSecurity::None)},     // 465 is TLS from the first byte
    };
    t.desktop.AnswerSecret(kPassword); // asked once, then kept
    for (const auto& [server, account] : accounts) {
        MailRun run;
        run.job = {server, "", "shop@example.test", account};
        run.recipient = recipient;
        run.quantity = 3;
        run.subject = "News";
        run.text = "Hello\r\n.\r\n..two dots\r\n";
        run.hangUpWait = std::chrono::milliseconds(0);
        DatabaseEmailWorker(t.shell, run);
        run.customerRange = true;
        run.quantity = 1;
        run.first = run.last = 1;
        DatabaseEmailWorker(t.shell, run);
        EXPECT_EQ(t.LogTexts().end()[-2], "Transmission complete") << server << account.port;
    }
    EXPECT_EQ(t.desktop.SecretPrompts(),
              std::vector<std::string>{"Password for mailer at mail.test"});
    for (const auto& [address, copies] : {std::pair{recipient, 3}, std::pair{customer, 1}}) {
        const auto stored = StoredFor(address);
        ASSERT_EQ(stored.size(), static_cast<std::size_t>(copies) * accounts.size());
        EXPECT_EQ(std::count(stored.begin(), stored.end(), stored.front()),
                  static_cast<std::ptrdiff_t>(stored.size()));
    }
    EXPECT_EQ(StoredFor(recipient).front(),
              "FROM: shop@example.test\r\nTO: " + recipient +
                  "\r\nSUBJECT: News\r\nHello\r\n.\r\n..two dots\r\n\r\n\r\n");
}

// The password lives in the desktop's secret store only: after the dialog and a whole run with
// a login, none of the files the program writes holds it.
TEST_F(RealMailServer, ThePasswordNeverReachesTheDisk) {
    t.settings.Set(field::SmtpServer, "mail.test");
    t.desktop.AnswerForm([](Form& form) {
        form.Field("Port").text = "587";
        form.Field("Security").selected = 1;
        form.Field("User").text = kUser;
        return kFormAccepted;
    });
    ASSERT_TRUE(EmailIdentityCommand(t.shell));
    const std::string recipient = UniqueAddress("undisclosed");
    t.desktop.AnswerForm([&](Form& form) {
        form.Field("Recipient").text = recipient;
        return kFormAccepted;
    });
    t.desktop.AnswerSecret(kPassword);
    t.desktop.AnswerMessage(MessageAnswer::No);
    MailmergeCommand(t.shell);
    t.threads.WaitIdle();
    ASSERT_EQ(StoredFor(recipient).size(), 1U);

    ASSERT_TRUE(t.settings.Save(t.recordFolder.File("kv.cfg")).ok);
    ASSERT_TRUE(t.settingsFile.Save());
    EXPECT_NE(test::ReadWholeFile(t.settingsFile.Path()).find("smtp_user=mailer\n"),
              std::string::npos);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(t.recordFolder.Path())) {
        if (!entry.is_regular_file())
            continue;
        ++files;
        EXPECT_EQ(test::ReadWholeFile(entry.path().string()).find(kPassword), std::string::npos)
            << entry.path();
    }
    EXPECT_GE(files, 2U); // kv.cfg and korvane.cfg at least
}

TEST(MailText, LoadTakesFilesUpTo1000BytesAndSaveWritesTheText) {
    test::TempDir dir;
    test::WriteWholeFile(dir.File("exact.txt"), std::string(999, 'a') + "\xe9");
    test::WriteWholeFile(dir.File("long.txt"), std::string(1001, 'b'));
    test::WriteWholeFile(dir.File("empty.txt"), "");
    TestShell t;
    for (const char* name : {"exact.txt", "long.txt", "empty.txt", "missing.txt"})
        t.desktop.AnswerPicker(dir.File(name));
    t.desktop.AnswerPicker(dir.File("saved.txt"));
    t.desktop.AnswerPicker(dir.File("saved.txt"));
    t.desktop.AnswerMessage(MessageAnswer::No); // a character a file of single bytes cannot hold
    t.desktop.AnswerForm([](Form& form) {
        auto press = [&](const std::string& label) {
            for (const FormButton& button : form.buttons)
                if (button.label == label)
                    button.action(form);
        };
        // The file holds single bytes; the dialog's text is UTF-8.
        const std::string loaded = std::string(999, 'a') + "\xc3\xa9";
        press("Load");
        EXPECT_EQ(form.Field("Text").text, loaded);
        press("Load"); // 1001 bytes
        press("Load"); // empty
        press("Load"); // not there
        EXPECT_EQ(form.Field("Text").text, loaded);
        form.Field("Text").text = "Line one\r\nLine two \xc3\xa9";
        press("Save");
        form.Field("Text").text = "\xe2\x82\xac 5";
        press("Save");
        return kFormCancelled;
    });
    MailmergeCommand(t.shell);
    EXPECT_EQ(t.desktop.Messages(),
              (std::vector<ShownMessage>{{"File of incorrect type", "Problem"},
                                         {"File of incorrect type", "Problem"},
                                         {"File not present.", "Fatal error"},
                                         {"These characters cannot be saved and will be left "
                                          "out: \xe2\x82\xac\nSave anyway?",
                                          "Problem"}}));
    EXPECT_EQ(test::ReadWholeFile(dir.File("saved.txt")), "Line one\r\nLine two \xe9");
}

} // namespace
} // namespace korvane
