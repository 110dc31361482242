#include "databases/database_email.h"

#include "records/record_files.h"
#include "records/record_walk.h"
#include "shell/preferences.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"
#include "web/mail_run.h"

#include <charconv>
#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace korvane {

namespace {

constexpr std::size_t kRecipientMaxChars = 199;
constexpr std::size_t kSubjectMaxChars = 199;
constexpr std::size_t kCustomerNumberMaxChars = 19;
constexpr const char* kPresetText = "Your message";
const std::vector<std::string> kQuantities = {"1",  "10", "20", "30", "40",
                                              "50", "60", "70", "80", "90"};

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
    form.Field("Text").text = bytes;
}

// "Save": the message text is written to the chosen file, without a terminator.
void SaveText(Shell& shell, const Form& form) {
    const auto path = shell.pickers.PickSave(shell.desktop);
    if (!path)
        return;
    const std::string& text = form.Field("Text").text;
    FileDescriptor file(::open(path->c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!file.IsOpen() || !WriteAll(file.Get(), text.data(), text.size()))
        Fatal(shell, "File failure.");
}

void AddMessageFields(Shell& shell, Form& form) {
    form.fields.push_back(FormField::TextBox("Subject", "Subject", "", kSubjectMaxChars));
    form.fields.push_back(FormField::NoteText(" Please enter the text:"));
    FormField text = FormField::TextBox("Text", "", kPresetText, kMailTextMaxChars);
    text.kind = FormField::Kind::MultiLine;
    form.fields.push_back(std::move(text));
    form.buttons = {
        FormButton{"Load", 2, false, [&shell](Form& shown) { LoadText(shell, shown); }},
        FormButton{"Save", 3, false, [&shell](Form& shown) { SaveText(shell, shown); }},
        FormButton{"OK", kFormAccepted, true, {}},
        FormButton{"Cancel", kFormCancelled, false, {}},
    };
}

std::int64_t ParseNumber(const std::string& text) {
    std::int64_t number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size() ? number : 0;
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
            WalkRecordsFrom(shell.records.customers, run.first,
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
    run.first = ParseNumber(form.Field("Start").text);
    run.last = ParseNumber(form.Field("End").text);
    if (run.first < 1 || run.first > run.last)
        return;
    run.subject = form.Field("Subject").text;
    run.text = form.Field("Text").text;
    StartMail(shell, std::move(run));
}

} // namespace korvane
