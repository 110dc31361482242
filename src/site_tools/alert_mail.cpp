#include "site_tools/alert_mail.h"

#include "shell/shell.h"
#include "web/mail_run.h"

namespace korvane {

void AlertMailer(Shell& shell, const AlertMail& alert) {
    const MailJob job = alert.job;
    shell.log.AppendHighlighted(alert.opening + job.recipient);
    shell.log.AppendLine("From: " + job.sender);
    const auto log = [&shell](std::string_view line) { shell.log.AppendLine(line); };
    SmtpSession session(log, alert.replyTimeout);
    // Nobody is at the screen to answer a message box: every failure goes to the log.
    const OpenedMail opened =
        OpenMail(shell, session, job, {"Unable to resolve SMTP mail server", {}, log});
    if (!opened.ready)
        return;
    const bool welcomed = opened.welcomed;
    MailMessage message;
    message.recipient = job.recipient;
    message.subject = alert.subject;
    message.bodyLines = alert.bodyLines;
    const bool sent = session.Send(job.sender, message);
    session.Quit();
    shell.log.AppendLine(welcomed && sent ? "Transmission complete" : "Transmission incomplete");
}

namespace {

void RequestWatchMail(Shell& shell, AlertMail mail) {
    mail.job.server = shell.settings.Get(field::SmtpServer);
    if (mail.job.server.empty())
        return;
    mail.job.recipient = shell.settings.Get(field::AlertAddress);
    // Real servers take mail only from their users' own addresses: the identity's, when set.
    mail.job.sender = shell.settings.Get(field::FromAddress);
    if (mail.job.sender.empty())
        mail.job.sender = std::string(kAlertSender);
    mail.job.account = MailAccountOf(shell.settingsFile);
    // The address comes from a dialog field; a line break in it would add its own commands.
    if (!SafeMailHeaderValue(mail.job.recipient) || !SafeMailHeaderValue(mail.job.sender)) {
        shell.log.AppendLine(SafeMailHeaderValue(mail.job.recipient)
                                 ? "Alert not sent: the From address holds a line break"
                                 : "Alert not sent: the alert address holds a line break");
        return;
    }
    if (!shell.threads.Start([&shell, mail] { AlertMailer(shell, mail); }))
        shell.desktop.ShowMessage("Unable to start thread", "Problem");
}

} // namespace

void RequestAlertMail(Shell& shell, const std::string& server, const std::string& page) {
    AlertMail alert;
    alert.bodyLines = {"Alert Notice", "Server: " + server + ", page: " + page};
    RequestWatchMail(shell, std::move(alert));
}

void RequestRecoveryMail(Shell& shell, const std::string& server, const std::string& page,
                         std::int64_t downMilliseconds) {
    AlertMail recovery;
    recovery.opening = "Recovery to: ";
    recovery.subject = "Korvane Recovery";
    recovery.bodyLines = {"Recovery Notice", "Server: " + server + ", page: " + page,
                          "Down for: " + DurationText(downMilliseconds)};
    RequestWatchMail(shell, std::move(recovery));
}

} // namespace korvane
