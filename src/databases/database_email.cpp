#include "databases/database_email.h"

#include "databases/record_messages.h"
#include "records/record_files.h"
#include "shell/preferences.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"
#include "shell/text_encoding.h"
#include "web/mail_run.h"

#include <charconv>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace korvane {

namespace {

constexpr std::size_t kRecipientMaxChars = 199;
constexpr std::size_t kSubjectMaxChars = 199;
constexpr std::size_t kCustomerNumberMaxChars = 19;
constexpr const char* kPresetText = "Your message";
const std::vector<std::string> kQuantities = {"1",  "10", "20", "30", "40",
                                              "50", "60", "70", "80", "90"};

// The mail dialogs' subject and text are UTF-8 (FormField::unicode), so that what a mail cannot
// carry reaches this code and can be named; a mail is sent in Latin-1, one byte a character.

// Text in Latin-1, without the characters it cannot hold; those are added to `leftOut` (UTF-8,
// each once, separated by blanks).
std::string ToLatin1(std::string_view text, std::string& leftOut) {
    std::string latin1;
    for (std::size_t i = 0; i < text.size();) {
        const auto [code, length] = DecodeUtf8(text, i);
        const std::string_view character = text.substr(i, length);
        i += length;
        if (code <= 0xFF) {
            latin1 += static_cast<char>(code);
        } else if (leftOut.find(character) == std::string::npos) {
            leftOut += leftOut.empty() ? "" : " ";
            leftOut += character;
        }
    }
    return latin1;
}

// The message text as it is sent: every line break a CR LF, cut to the limit when it is longer.
struct SentText {
    std::string text;
    std::size_t over = 0; // characters past the limit
};

SentText AsSent(std::string_view latin1) {
    SentText sent;
    const std::vector<std::string> lines = MailBodyLines(latin1);
    for (std::size_t i = 0; i < lines.size(); ++i)
        sent.text += (i == 0 ? "" : "\r\n") + lines[i];
    if (sent.text.size() <= kMailTextMaxChars)
        return sent;
    sent.over = sent.text.size() - kMailTextMaxChars;
    std::size_t cut = kMailTextMaxChars;
    if (sent.text[cut - 1] == '\r') // never half a line break
        --cut;
    sent.text.resize(cut);
    return sent;
}

// The end of the text that is kept, to show the user where it is cut; line breaks as blanks.
std::string KeptEnd(const std::string& kept) {
    constexpr std::size_t kShown = 24;
    std::size_t from = kept.size() > kShown ? kept.size() - kShown : 0;
    if (from > 0 && kept[from - 1] == '\r')
        ++from;
    std::string end = from > 0 ? "..." : "";
    for (std::size_t i = from; i < kept.size(); ++i) {
        if (kept[i] == '\r' && i + 1 < kept.size() && kept[i + 1] == '\n')
            ++i;
        end += kept[i] == '\r' || kept[i] == '\n' ? ' ' : kept[i];
    }
    return Latin1ToUtf8(end);
}

// Makes the subject and the text what is sent. When that changes them, the user is asked first;
// false when the answer was No.
bool MakeSendable(Shell& shell, MailRun& run) {
    std::string leftOut;
    run.subject = ToLatin1(run.subject, leftOut);
    SentText sent = AsSent(ToLatin1(run.text, leftOut));
    std::string question;
    if (!leftOut.empty())
        question += "These characters cannot be sent and will be left out: " + leftOut + "\n";
    if (sent.over > 0)
        question += "The message is " + std::to_string(sent.over) +
                    " characters too long and will be cut after: \"" + KeptEnd(sent.text) + "\"\n";
    run.text = std::move(sent.text);
    return question.empty() || shell.desktop.AskInUnicode(question + "Send it anyway?",
                                                          "Problem") == MessageAnswer::Yes;
}

void Fatal(Shell& shell, const std::string& text) {
    shell.desktop.ShowMessage(text, "Fatal error");
}
void Problem(Shell& shell, const std::string& text) {
    shell.desktop.ShowMessage(text, "Problem");
}

// "Load": the chosen file's bytes become the message text.
void LoadText(Shell& shell, Form& form) {
    const auto path = shell.pickers.PickOpen(shell.desktop);
    if (!path)
        return;
    FileDescriptor file(::open(path->c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.IsOpen()) {
        Fatal(shell, "File not present.");
        return;
    }
    struct stat status {};
    if (::fstat(file.Get(), &status) != 0 || status.st_size == 0 ||
        static_cast<std::uint64_t>(status.st_size) > kMailFileMaxBytes) {
        shell.desktop.ShowMessage("File of incorrect type", "Problem", MessageButtons::OkCancel);
        return;
    }
    std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
    bytes.resize(ReadUpTo(file.Get(), bytes.data(), bytes.size()));
    form.Field("Text").text = Latin1ToUtf8(bytes);
}

// "Save": the message text is written to the chosen file, without a terminator.
void SaveText(Shell& shell, const Form& form) {
    const auto path = shell.pickers.PickSave(shell.desktop);
    if (!path)
        return;
    std::string leftOut;
    const std::string text = ToLatin1(form.Field("Text").text, leftOut);
    if (!leftOut.empty() &&
        shell.desktop.AskInUnicode(
            "These characters cannot be saved and will be left out: " + leftOut + "\nSave anyway?",
            "Problem") != MessageAnswer::Yes)
        return;
    FileDescriptor file(::open(path->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file.IsOpen() || !WriteAll(file.Get(), text.data(), text.size()))
        Fatal(shell, "File failure.");
}

void AddMessageFields(Shell& shell, Form& form) {
    FormField subject = FormField::TextBox("Subject", "Subject", "", kSubjectMaxChars);
    subject.unicode = true;
    form.fields.push_back(std::move(subject));
    form.fields.push_back(FormField::NoteText(" Please enter the text:"));
    // No limit while typing: the limit is on the text as sent, and a cut is asked about then.
    FormField text = FormField::TextBox("Text", "", kPresetText, 0);
    text.kind = FormField::Kind::MultiLine;
    text.unicode = true;
    form.fields.push_back(std::move(text));
    form.buttons = {
        FormButton{"Load", 2, false, [&shell](Form& shown) { LoadText(shell, shown); }},
        FormButton{"Save", 3, false, [&shell](Form& shown) { SaveText(shell, shown); }},
        FormButton{"OK", kFormAccepted, true, {}},
        FormButton{"Cancel", kFormCancelled, false, {}},
    };
}

// A customer number typed into Start or End, blanks around it allowed; nothing when it is none.
std::optional<std::int64_t> ParseNumber(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return std::nullopt;
    text = text.substr(first, text.find_last_not_of(' ') + 1 - first);
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return number;
}

// Fills the job and starts the worker; asks for the sender first when no mail server is set.
void StartMail(Shell& shell, MailRun run) {
    if (shell.settings.Get(field::SmtpServer).empty() && !EmailIdentityCommand(shell))
        return;
    run.job.server = shell.settings.Get(field::SmtpServer);
    run.job.sender = shell.settings.Get(field::FromAddress);
    run.job.account = MailAccountOf(shell.settingsFile);
    // A line break in an address or the subject would let the text add its own commands.
    if (!SafeMailHeaderValue(run.job.sender) || !SafeMailHeaderValue(run.subject) ||
        (!run.customerRange && !SafeMailHeaderValue(run.recipient))) {
        Problem(shell, "An address or the subject holds a line break.");
        return;
    }
    if (!MakeSendable(shell, run))
        return;
    if (!shell.threads.Start([&shell, run = std::move(run)] { DatabaseEmailWorker(shell, run); }))
        Problem(shell, "Unable to start thread");
}

} // namespace

void DatabaseEmailWorker(Shell& shell, const MailRun& run) {
    const MailJob job = run.job;
    shell.log.AppendHighlighted("Database email: " + job.server);
    SmtpSession session([&shell](std::string_view line) { shell.log.AppendLine(line); },
                        run.replyTimeout);
    const OpenWording wording{
        "Cannot find SMTP mail server", "    ",
        [&shell](std::string_view text) { Problem(shell, std::string(text)); }};
    const OpenedMail opened = OpenMail(shell, session, job, wording);
    if (!opened.ready)
        return;
    // Complete only when the server took every message.
    bool complete = opened.welcomed;

    MailMessage message;
    message.subject = run.subject;
    message.bodyLines = MailBodyLines(run.text);
    const int copies = std::max(1, run.quantity);
    if (!run.customerRange) {
        message.recipient = run.recipient;
        for (int copy = 0; copy < copies; ++copy)
            complete = session.Send(job.sender, message) && complete;
    } else {
        const bool read =
            WalkRecords(shell, shell.records.customers, run.first,
                        [&](std::int64_t number, const CustomerRecord& record) {
                            if (number > run.last)
                                return false;
                            const std::string address = record.Text(customer::Email1);
                            if (address.empty())
                                return true;
                            if (!SafeMailHeaderValue(address)) {
                                shell.log.AppendLine("Customer " + std::to_string(number) +
                                                     " skipped: Email 1 holds a line break");
                                return true;
                            }
                            message.recipient = address;
                            for (int copy = 0; copy < copies; ++copy)
                                complete = session.Send(job.sender, message) && complete;
                            return true;
                        });
        if (!read) {
            Fatal(shell, "Data file: member.dat, not present.");
            return;
        }
    }
    session.Quit();
    shell.log.AppendLine(complete ? "Transmission complete" : "Transmission incomplete");
    shell.log.AppendLine("    ");
    if (shell.desktop.ShowMessage("Drop connection", "Finished", MessageButtons::YesNo) ==
        MessageAnswer::Yes) {
        // There is no dial-up connection to hang up here; the pause is kept.
        std::this_thread::sleep_for(run.hangUpWait);
    }
}

void MailmergeCommand(Shell& shell) {
    Form form;
    form.name = "Mailmerge";
    form.title = "Mailmerge";
    form.fields.push_back(FormField::TextBox("Recipient", "Recipient", "", kRecipientMaxChars));
    form.fields.push_back(FormField::ChoiceList("Quantity", "Quantity", kQuantities, -1));
    AddMessageFields(shell, form);
    form.focusField = "Recipient";
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    MailRun run;
    run.recipient = form.Field("Recipient").text;
    if (run.recipient.empty())
        return;
    const int chosen = form.Field("Quantity").selected;
    run.quantity = chosen >= 0 ? std::stoi(kQuantities[static_cast<std::size_t>(chosen)]) : 1;
    run.subject = form.Field("Subject").text;
    run.text = form.Field("Text").text;
    StartMail(shell, std::move(run));
}

void DatabaseEmailCommand(Shell& shell) {
    const NumberSpan span = shell.records.customers.Span();
    const std::string start = span.firstLive ? std::to_string(*span.firstLive) : "1";
    const std::string end = span.last ? std::to_string(*span.last) : "0";
    Form form;
    form.name = "Database email";
    form.title = "Database email";
    form.frameLabel = "";
    form.fields.push_back(FormField::NoteText("Customers"));
    form.fields.push_back(FormField::TextBox("Start", "Start", start, kCustomerNumberMaxChars));
    FormField last = FormField::TextBox("End", "End", end, kCustomerNumberMaxChars);
    last.besidePrevious = true;
    form.fields.push_back(std::move(last));
    AddMessageFields(shell, form);
    form.focusField = "Start";
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    MailRun run;
    run.customerRange = true;
    const std::optional<std::int64_t> firstNumber = ParseNumber(form.Field("Start").text);
    const std::optional<std::int64_t> lastNumber = ParseNumber(form.Field("End").text);
    if (!firstNumber || !lastNumber) {
        Problem(shell,
                !firstNumber ? "Start must be a record number." : "End must be a record number.");
        return;
    }
    run.first = *firstNumber;
    run.last = *lastNumber;
    if (run.first < 1 || run.first > run.last)
        return;
    run.subject = form.Field("Subject").text;
    run.text = form.Field("Text").text;
    StartMail(shell, std::move(run));
}

} // namespace korvane
