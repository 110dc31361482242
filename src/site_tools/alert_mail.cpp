#include "site_tools/alert_mail.h"

#include "shell/shell.h"
#include "web/mail_run.h"

namespace korvane {

void AlertMailer(Shell& shell, const AlertMail& alert) {
    const MailJob job = alert.job;
    shell.log.AppendHighlighted("Alert to: " + job.recipient);
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
    message.subject = "Korvane Alert";
    message.bodyLines = {"Alert Notice",
                         "Server: " + alert.failedServer + ", page: " + alert.failedPage};
    const bool sent = session.Send(job.sender, message);
    session.Quit();
    shell.log.AppendLine(welcomed && sent ? "Transmission complete" : "Transmission incomplete");
}

void RequestAlertMail(Shell& shell, const std::string& server, const std::string& page) {
    AlertMail alert;
    alert.job.server = shell.settings.Get(field::SmtpServer);
    if (alert.job.server.empty())
        return;
    alert.job.recipient = shell.settings.Get(field::AlertAddress);
    // Real servers take mail only from their users' own addresses: the identity's, when set.
    alert.job.sender = shell.settings.Get(field::FromAddress);
    if (alert.job.sender.empty())
        alert.job.sender = std::string(kAlertSender);
    alert.job.account = MailAccountOf(shell.settingsFile);
    alert.failedServer = server;
    alert.failedPage = page;
    // The address comes from a dialog field; a line break in it would add its own commands.
    if (!SafeMailHeaderValue(alert.job.recipient) || !SafeMailHeaderValue(alert.job.sender)) {
        shell.log.AppendLine(SafeMailHeaderValue(alert.job.recipient)
                                 ? "Alert not sent: the From address holds a line break"
                                 : "Alert not sent: the alert address holds a line break");
        return;
    }
    if (!shell.threads.Start([&shell, alert] { AlertMailer(shell, alert); }))
        shell.desktop.ShowMessage("Unable to start thread", "Problem");
}

} // namespace korvane
