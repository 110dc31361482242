#include "site_tools/alert_mail.h"

#include "shell/shell.h"

namespace korvane {

void AlertMailer(Shell& shell, const AlertMail& alert) {
    const MailJob job = alert.job;
    shell.log.AppendHighlighted("Alert to: " + job.recipient);
    shell.log.AppendLine("From: " + job.sender);
    const auto log = [&shell](std::string_view line) { shell.log.AppendLine(line); };
    SmtpSession session(log, alert.replyTimeout);
    // Nobody is at the screen to answer a message box: every failure goes to the log.
    if (!session.Open(job.server, {"Unable to resolve SMTP mail server", {}, log}))
        return;
    const bool welcomed = session.Greet(job.server);
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
    alert.job.sender = std::string(kAlertSender);
    alert.failedServer = server;
    alert.failedPage = page;
    // The address comes from a dialog field; a line break in it would add its own commands.
    if (!SafeMailHeaderValue(alert.job.recipient)) {
        shell.log.AppendLine("Alert not sent: the alert address holds a line break");
        return;
    }
    if (!shell.threads.Start([&shell, alert] { AlertMailer(shell, alert); }))
        shell.desktop.ShowMessage("Unable to start thread", "Problem");
}

} // namespace korvane
