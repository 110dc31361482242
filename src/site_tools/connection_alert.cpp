#include "site_tools/connection_alert.h"

#include "compare/folder_scan.h"
#include "net/http.h"
#include "net/tcp.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"
#include "site_tools/monitoring.h"
#include "site_tools/site_requests.h"
#include "web/web_run.h"

#include <span>

namespace korvane {

namespace {

constexpr const char* kReplyFile = "the8.html";

void Unavailable(Shell& shell, ReportWindowHandle& report, bool sound) {
    if (sound)
        AlertAlways(shell);
    report.Append("Connection unavailable.\r\n\r\n");
}

} // namespace

void ConnectionCheck(Shell& shell, const ConnectionCheckInput& input, ReportWindowHandle& report) {
    report.Append(TimeStampLine(shell.clock.Now()) + ".\r\n");
    ReportDetail(shell, report, "Initialized: " + std::string(kSocketStatusText) + "\r\n");
    const ServerAddress probe = ServerOf(input.probeHost);
    const Resolution resolved = Resolve(probe, AddressFamily::IPv4);
    if (resolved.addresses.empty()) {
        report.Append("Unable to resolve server\r\n");
        Unavailable(shell, report, true);
        return;
    }
    ReportDetail(shell, report, "Resolved server\r\n");
    // Only the first address is asked: it answers whenever the connection is up. A certificate
    // that fails is no sign of a working connection either: a network that intercepts the
    // connection shows one.
    WebRun web(shell, Dialer::Options{.connectTimeout = input.connectTimeout});
    DialWording wording;
    wording.tellsConnectFailures = false;
    Opened opened = web.Open(
        probe, std::span(resolved.addresses).first(1), input.probeHost,
        [&report](std::string_view line) { report.Append(std::string(line) + "\r\n"); }, wording);
    if (!opened.stream && opened.connectFailures.empty()) {
        Unavailable(shell, report, true);
        return;
    }
    if (!opened.stream) {
        const ConnectFailure& failure = opened.connectFailures.front();
        ReportAppend(report,
                     failure.step == ConnectFailure::Step::Socket ? "Socket creation error #%i.\r\n"
                                                                  : "Connect error #%i.\r\n",
                     failure.error);
        Unavailable(shell, report, true);
        return;
    }
    const std::string replyPath = ReplyFilePath(input.workFolder, kReplyFile);
    ReplyFileHold hold(shell.run.replyFiles, replyPath);
    const std::string request =
        RequestLine("GET", "") + ComposeHeaderBlock(shell.settings, HostHeaderValue(probe));
    // Any reply at all, even an empty one, shows that the connection is there.
    // A full disk is no sign of a dropped connection: only a file that cannot be created counts.
    if (!FetchComparing(std::move(opened.stream), request, replyPath, input.idleTimeout, nullptr,
                        false)
             .opened) {
        Unavailable(shell, report, false);
        return;
    }
    report.Append("Connection available.\r\n\r\n");
}

void ConnectionDropAlertCommand(Shell& shell) {
    // The checks write the reply file of the watches: one site run at a time.
    SiteRunReservation reservation(shell.run.siteRun);
    if (!reservation.Take()) {
        shell.desktop.ShowMessage("In progress", "Please wait");
        return;
    }
    std::vector<std::string> seconds;
    for (int second = 1; second <= kCheckSecondsChoices; ++second)
        seconds.push_back(std::to_string(second));
    Form form;
    form.name = "Connection drop alert";
    form.title = "Connection drop alert";
    form.fields.push_back(FormField::ChoiceList("Frequency", "Check frequency (seconds)",
                                                std::move(seconds), kDefaultCheckSeconds - 1));
    form.fields.push_back(
        FormField::NoteText("The program will sound an audible tone each check when a connection "
                            "is unavailable. \r\nUseful say for an alert during a download."));
    form.buttons = Form::OkCancel();
    form.focusField = "Frequency";
    if (ShowForm(shell.desktop, form) != kFormAccepted)
        return;
    if (const int chosen = form.Field("Frequency").selected; chosen >= 0)
        shell.settings.Set(field::CheckFrequency, chosen + 1);
    const std::int32_t frequency = shell.settings.Get(field::CheckFrequency);
    reservation.HandOver();
    ConnectionCheckInput input;
    RunTimedReport(
        shell, "Connect drop audio alert",
        frequency > 0 ? std::chrono::seconds(frequency) : std::chrono::seconds(0),
        [&shell, input](ReportWindowHandle& report) { ConnectionCheck(shell, input, report); });
}

} // namespace korvane
