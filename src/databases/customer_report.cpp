#include "databases/customer_report.h"

#include "databases/customers.h"
#include "history/watch_history.h"
#include "shell/form.h"
#include "shell/shared_dialogs.h"
#include "shell/shell.h"
#include "shell/text_encoding.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace korvane {

namespace {

constexpr std::string_view kTitle = "Customer report";
constexpr int kDefaultDays = 30;
// Enough to show an afternoon's outage in a month, few enough for any browser to draw at once.
constexpr int kResponseBuckets = 480;
constexpr std::int64_t kDayMs = 24LL * 3600 * 1000;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms): the
// form's defaults must not depend on the time zone.
std::int64_t DaysFromCivil(CalendarDay d) {
    const int y = d.year - (d.month <= 2 ? 1 : 0);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (d.month + (d.month > 2 ? -3 : 9)) + 2) / 5 + d.day - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return std::int64_t{era} * 146097 + doe - 719468;
}

CalendarDay CivilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<int>(z - era * 146097);
    const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int mp = (5 * doy + 2) / 153;
    const int month = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0)), month,
            doy - (153 * mp + 2) / 5 + 1};
}

std::int64_t LocalMidnightOf(CalendarDay d) {
    std::tm local{};
    local.tm_year = d.year - 1900;
    local.tm_mon = d.month - 1;
    local.tm_mday = d.day;
    local.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&local)) * 1000;
}

std::tm LocalOf(std::int64_t ms) {
    const auto seconds = static_cast<std::time_t>(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return local;
}

std::string DateText(std::int64_t ms) {
    const std::tm local = LocalOf(ms);
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d", &local));
}
std::string DateTimeText(std::int64_t ms) {
    const std::tm local = LocalOf(ms);
    char text[64];
    return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local));
}

std::string Fixed(double value, int decimals) {
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// Two decimals, but never "100.00" for a site that failed a pass.
std::string UptimeText(const SiteFigures& site) {
    const double shown =
        site.okPasses < site.passes ? std::min(site.uptimePercent, 99.99) : site.uptimePercent;
    return Fixed(shown, 2) + "%";
}

// Text for the page: records hold single bytes (Latin-1), the history whatever the watches
// wrote; both come out as escaped UTF-8 without the control characters XML refuses.
std::string Escaped(std::string_view text) {
    const std::string utf8 = IsUtf8(text) ? std::string(text) : Latin1ToUtf8(text);
    std::string out;
    out.reserve(utf8.size());
    for (const char ch : utf8) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            if (static_cast<unsigned char>(ch) >= 0x20 || ch == '\t' || ch == '\n')
                out += ch;
        }
    }
    return out;
}

std::string CsvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string out = "\"";
    for (const char ch : text) {
        if (ch == '"')
            out += '"';
        out += ch;
    }
    return out + "\"";
}

int OverallMeanMs(const SiteFigures& site) {
    std::int64_t sum = 0;
    std::int64_t count = 0;
    for (const ResponseBucket& bucket : site.response) {
        sum += std::int64_t{bucket.meanMs} * bucket.passes;
        count += bucket.passes;
    }
    return count == 0 ? -1 : static_cast<int>((sum + count / 2) / count);
}

std::string CertificateText(const SiteFigures& site, std::int64_t nowMs) {
    if (!site.certificateNotAfter)
        return "no certificate seen";
    const std::int64_t notAfterMs = *site.certificateNotAfter * 1000;
    const std::int64_t days = (notAfterMs - nowMs) / kDayMs;
    std::string text = "expires " + DateText(notAfterMs);
    if (notAfterMs < nowMs)
        return "expired " + DateText(notAfterMs);
    return text + " (" + std::to_string(days) + (days == 1 ? " day" : " days") + " left)";
}

std::string VerificationText(const SiteFigures& site) {
    if (!site.lastVerification)
        return "no verification yet";
    const PassRow& row = *site.lastVerification;
    std::string text = DateTimeText(row.atMs) + ": " + (row.ok ? "verified" : row.cause) + ", " +
                       std::to_string(row.files) + (row.files == 1 ? " file" : " files");
    if (row.failures > 0)
        text +=
            ", " + std::to_string(row.failures) + (row.failures == 1 ? " failure" : " failures");
    return text;
}

// The gridlines of the plot: steps of 1, 2 or 5 times a power of ten, at most five of them, up to
// the slowest answer.
struct Axis {
    int stepMs = 1;
    int steps = 1;
};
Axis AxisOf(const SiteFigures& site) {
    int slowest = 1;
    for (const ResponseBucket& bucket : site.response)
        if (bucket.passes > 0)
            slowest = std::max(slowest, bucket.maxMs);
    for (int tenfold = 1;; tenfold *= 10)
        for (const int step : {tenfold, 2 * tenfold, 5 * tenfold})
            if (const int steps = (slowest + step - 1) / step; steps <= 5)
                return {step, steps};
}

constexpr double kPlotWidth = 720;
constexpr double kPlotHeight = 180;
constexpr double kPlotLeft = 56;
constexpr double kPlotTop = 8;
constexpr double kPlotBottom = 24;

void AppendResponsePlot(std::string& out, const CustomerReport& report, const SiteFigures& site) {
    const double innerWidth = kPlotWidth - kPlotLeft - 8;
    const double innerHeight = kPlotHeight - kPlotTop - kPlotBottom;
    const Axis axis = AxisOf(site);
    const int top = axis.stepMs * axis.steps;
    const auto count = static_cast<double>(site.response.size());
    auto x = [&](std::size_t i) {
        return kPlotLeft + innerWidth * (static_cast<double>(i) + 0.5) / count;
    };
    auto y = [&](int ms) { return kPlotTop + innerHeight * (1.0 - static_cast<double>(ms) / top); };
    out += "<svg class=\"plot\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
           Fixed(kPlotWidth, 0) + " " + Fixed(kPlotHeight, 0) +
           "\" role=\"img\"><title>Response time over the period</title>\n";
    for (int line = 0; line <= axis.steps; ++line) {
        const int ms = axis.stepMs * line;
        out += "<line class=\"grid\" x1=\"" + Fixed(kPlotLeft, 0) + "\" y1=\"" + Fixed(y(ms), 1) +
               "\" x2=\"" + Fixed(kPlotLeft + innerWidth, 0) + "\" y2=\"" + Fixed(y(ms), 1) +
               "\"/>";
        out += "<text class=\"axis\" x=\"" + Fixed(kPlotLeft - 6, 0) + "\" y=\"" +
               Fixed(y(ms) + 4, 1) + "\" text-anchor=\"end\">" + std::to_string(ms) +
               " ms</text>\n";
    }
    for (int tick = 0; tick <= 4; ++tick) {
        // The right end is the midnight after the period: it names the period's last day.
        const std::int64_t at =
            report.fromMs + (report.toMs - report.fromMs) * tick / 4 - (tick == 4 ? 1 : 0);
        const char* anchor = tick == 0 ? "start" : tick == 4 ? "end" : "middle";
        out += "<text class=\"axis\" x=\"" + Fixed(kPlotLeft + innerWidth * tick / 4, 1) +
               "\" y=\"" + Fixed(kPlotHeight - 6, 0) + "\" text-anchor=\"" + anchor + "\">" +
               DateText(at) + "</text>\n";
    }
    // One band and one line per run of buckets that had answers, so a gap shows as a gap.
    for (std::size_t start = 0; start < site.response.size();) {
        if (site.response[start].passes == 0) {
            ++start;
            continue;
        }
        std::size_t end = start;
        while (end < site.response.size() && site.response[end].passes > 0)
            ++end;
        std::string band;
        std::string mean;
        for (std::size_t i = start; i < end; ++i) {
            band += Fixed(x(i), 1) + "," + Fixed(y(site.response[i].maxMs), 1) + " ";
            mean += Fixed(x(i), 1) + "," + Fixed(y(site.response[i].meanMs), 1) + " ";
        }
        for (std::size_t i = end; i-- > start;)
            band += Fixed(x(i), 1) + "," + Fixed(y(site.response[i].minMs), 1) + " ";
        out += "<polygon class=\"band\" points=\"" + band + "\"/>\n";
        if (end - start == 1) // a line of one point draws nothing: a dot that shows in a month
            out += "<circle class=\"dot\" cx=\"" + Fixed(x(start), 1) + "\" cy=\"" +
                   Fixed(y(site.response[start].meanMs), 1) + "\" r=\"3\"/>\n";
        else
            out += "<polyline class=\"mean\" points=\"" + mean + "\"/>\n";
        start = end;
    }
    out += "</svg>\n";
}

// Green at 100%, from amber to red as the day's uptime falls to 90% and below.
std::string DayColour(const DayUptime& day) {
    if (day.passes == 0)
        return "#d3d8de";
    if (day.ok == day.passes)
        return "#2e9d5b";
    const double uptime = 100.0 * day.ok / day.passes;
    const double hue = 45.0 * std::clamp((uptime - 90.0) / 10.0, 0.0, 1.0);
    return "hsl(" + Fixed(hue, 0) + ",80%,48%)";
}

std::string DayUptimeText(const DayUptime& day) {
    return day.passes == 0 ? std::string() : Fixed(100.0 * day.ok / day.passes, 2);
}

void AppendDailyStrip(std::string& out, const SiteFigures& site) {
    const double width = kPlotWidth - kPlotLeft - 8;
    const double cell = width / static_cast<double>(std::max<std::size_t>(site.days.size(), 1));
    // Label every day when there is room for the number, else every seventh.
    const std::size_t every = cell >= 16 ? 1 : 7;
    out += "<svg class=\"strip\" xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
           Fixed(kPlotWidth, 0) + " 44\" role=\"img\"><title>Uptime per day</title>\n";
    for (std::size_t i = 0; i < site.days.size(); ++i) {
        const DayUptime& day = site.days[i];
        const std::string date = DateText(day.startMs);
        const double left = kPlotLeft + cell * static_cast<double>(i);
        const std::string tip = day.passes == 0 ? date + ": no passes"
                                                : date + ": " + DayUptimeText(day) + "% (" +
                                                      std::to_string(day.ok) + " of " +
                                                      std::to_string(day.passes) + " passes ok)";
        out += "<rect x=\"" + Fixed(left + 0.5, 2) + "\" y=\"2\" width=\"" +
               Fixed(std::max(cell - 1, 0.5), 2) + "\" height=\"22\" fill=\"" + DayColour(day) +
               "\"><title>" + tip + "</title></rect>\n";
        if (i % every == 0)
            out += "<text class=\"axis\" x=\"" + Fixed(left + cell / 2, 1) +
                   "\" y=\"38\" text-anchor=\"middle\">" + date.substr(8) + "</text>\n";
    }
    out += "<text class=\"axis\" x=\"" + Fixed(kPlotLeft - 6, 0) +
           "\" y=\"17\" text-anchor=\"end\">days</text>\n</svg>\n";
}

constexpr std::string_view kStyle = R"(
body { font-family: "DejaVu Sans", "Helvetica Neue", Arial, sans-serif; font-size: 10.5pt;
  color: #1d2b3a; background: #fbfaf6; margin: 0; }
main { max-width: 780px; margin: 0 auto; padding: 24px 28px 40px; }
header { border-bottom: 3px solid #f2a541; padding-bottom: 10px; margin-bottom: 18px; }
h1 { font-size: 18pt; margin: 0 0 4px; color: #1b3358; }
h2 { font-size: 13pt; margin: 28px 0 8px; color: #146f66; border-bottom: 1px solid #d5dee6;
  padding-bottom: 3px; }
h3 { font-size: 10.5pt; margin: 14px 0 6px; color: #1b3358; }
.period { color: #5a6b7d; margin: 0; }
table { border-collapse: collapse; width: 100%; margin: 6px 0 10px; }
th, td { text-align: left; padding: 4px 8px; border-bottom: 1px solid #e3e8ed; }
th { background: #1b3358; color: #ffffff; font-weight: bold; }
td.num, th.num { text-align: right; font-variant-numeric: tabular-nums; }
.figures { display: flex; gap: 28px; margin: 6px 0; }
.figures div { font-size: 9pt; color: #5a6b7d; }
.figures b { display: block; font-size: 15pt; color: #1d2b3a; }
.none { color: #8796a8; }
svg { width: 100%; height: auto; display: block; }
.grid { stroke: #e1e6eb; stroke-width: 1; }
.axis { font-size: 10px; fill: #5a6b7d; }
.band { fill: #9ccfc7; fill-opacity: 0.45; stroke: none; }
.mean { fill: none; stroke: #146f66; stroke-width: 1.4; stroke-linejoin: round; }
.dot { fill: #146f66; }
footer { margin-top: 32px; color: #8796a8; font-size: 8.5pt; }
@media print {
  body { background: #ffffff; font-size: 9.5pt; }
  main { max-width: none; padding: 0; }
  section { break-inside: avoid; }
  th { color: #000000; background: #dde5ec; }
}
)";

void AppendSite(std::string& out, const CustomerReport& report, const SiteFigures& site) {
    out += "<section>\n<h2>" + Escaped(site.server) + "</h2>\n<div class=\"figures\">";
    out += "<div><b>" + UptimeText(site) + "</b>uptime, " + std::to_string(site.okPasses) + " of " +
           std::to_string(site.passes) + " passes ok</div>";
    out += "<div><b>" + DurationText(site.downMs) + "</b>downtime, " +
           std::to_string(site.incidents.size()) +
           (site.incidents.size() == 1 ? " incident" : " incidents") + "</div>";
    const int mean = OverallMeanMs(site);
    out += "<div><b>" + (mean < 0 ? std::string("–") : std::to_string(mean) + " ms") +
           "</b>mean response</div></div>\n";

    out += "<h3>Incidents</h3>\n";
    if (site.incidents.empty()) {
        out += "<p class=\"none\">No incidents in this period.</p>\n";
    } else {
        out += "<table><tr><th>Start</th><th>End</th><th class=\"num\">Duration</th>"
               "<th>Cause</th></tr>\n";
        for (const Incident& incident : site.incidents) {
            const std::int64_t end = incident.endMs.value_or(report.toMs);
            out += "<tr><td>" + DateTimeText(incident.startMs) + "</td><td>" +
                   (incident.endMs ? DateTimeText(*incident.endMs) : std::string("ongoing")) +
                   "</td><td class=\"num\">" +
                   DurationText(std::max<std::int64_t>(end - incident.startMs, 0)) + "</td><td>" +
                   Escaped(incident.cause) + "</td></tr>\n";
        }
        out += "</table>\n";
    }
    out += "<h3>Response time</h3>\n";
    if (mean < 0)
        out += "<p class=\"none\">No response times in this period.</p>\n";
    else
        AppendResponsePlot(out, report, site);
    out += "<h3>Uptime per day</h3>\n";
    AppendDailyStrip(out, site);
    out += "<h3>Certificate and verification</h3>\n<table>";
    out += "<tr><td>Certificate</td><td>" + CertificateText(site, report.nowMs) + "</td></tr>";
    out += "<tr><td>Last folder verification</td><td>" + Escaped(VerificationText(site)) +
           "</td></tr></table>\n</section>\n";
}

} // namespace

std::optional<CalendarDay> ParseCalendarDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    CalendarDay day;
    auto number = [&](std::size_t at, std::size_t length, int& value) {
        const char* first = text.data() + at;
        const auto [end, error] = std::from_chars(first, first + length, value);
        return error == std::errc{} && end == first + length;
    };
    if (!number(0, 4, day.year) || !number(5, 2, day.month) || !number(8, 2, day.day))
        return std::nullopt;
    // A date that does not exist comes back as another one.
    if (day.year < 1970 || day.month < 1 || day.month > 12 || day.day < 1 ||
        CivilFromDays(DaysFromCivil(day)).day != day.day)
        return std::nullopt;
    return day;
}

std::string CalendarDayText(const CalendarDay& day) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", day.year, day.month, day.day);
    return text;
}

std::string ReportBaseName(const CustomerReport& report) {
    std::string name;
    for (const char ch : report.company) {
        const auto c = static_cast<unsigned char>(ch);
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'))
            name += ch;
        else if (!name.empty() && name.back() != '-')
            name += '-';
    }
    while (!name.empty() && name.back() == '-')
        name.pop_back();
    if (name.empty())
        name = "customer-" + std::to_string(report.number);
    return name + "-" + CalendarDayText(report.from) + "-to-" + CalendarDayText(report.to);
}

std::string ReportHtml(const CustomerReport& report) {
    const std::string company = Escaped(report.company);
    const std::string period = CalendarDayText(report.from) + " to " + CalendarDayText(report.to);
    std::string out =
        "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n"
        "<head>\n<meta charset=\"utf-8\"/>\n<title>Korvane report: " +
        company + "</title>\n<style>" + std::string(kStyle) +
        "</style>\n</head>\n<body>\n<main>\n<header>\n<h1>Korvane report: " + company +
        "</h1>\n<p class=\"period\">Customer " + std::to_string(report.number) + " · " + period +
        "</p>\n</header>\n";
    if (report.sites.empty()) {
        out += "<p class=\"none\">This customer's record names no server.</p>\n";
    } else {
        out += "<table><tr><th>Site</th><th class=\"num\">Uptime</th><th class=\"num\">Passes</th>"
               "<th class=\"num\">Incidents</th><th class=\"num\">Downtime</th>"
               "<th class=\"num\">Mean response</th></tr>\n";
        for (const SiteFigures& site : report.sites) {
            const int mean = OverallMeanMs(site);
            out += "<tr><td>" + Escaped(site.server) + "</td><td class=\"num\">" +
                   UptimeText(site) + "</td><td class=\"num\">" + std::to_string(site.passes) +
                   "</td><td class=\"num\">" + std::to_string(site.incidents.size()) +
                   "</td><td class=\"num\">" + DurationText(site.downMs) +
                   "</td><td class=\"num\">" +
                   (mean < 0 ? std::string("–") : std::to_string(mean) + " ms") + "</td></tr>\n";
        }
        out += "</table>\n";
    }
    for (const SiteFigures& site : report.sites)
        AppendSite(out, report, site);
    out += "<footer>Uptime counts the watch passes that found nothing wrong. An incident runs "
           "from the first failing pass to the next pass that succeeded. Times are local. "
           "Written by Korvane on " +
           DateTimeText(report.nowMs) + ".</footer>\n</main>\n</body>\n</html>\n";
    return out;
}

std::string ReportCsv(const CustomerReport& report) {
    std::string out = "server,date,passes,ok passes,uptime %,mean response ms\r\n";
    for (const SiteFigures& site : report.sites)
        for (const DayUptime& day : site.days)
            out += CsvField(site.server) + "," + DateText(day.startMs) + "," +
                   std::to_string(day.passes) + "," + std::to_string(day.ok) + "," +
                   DayUptimeText(day) + "," +
                   (day.meanMs < 0 ? std::string() : std::to_string(day.meanMs)) + "\r\n";
    return out;
}

namespace {

bool WriteFile(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

// Asks for the period until it reads or the user cancels.
std::optional<std::pair<CalendarDay, CalendarDay>> AskPeriod(Shell& shell) {
    const LocalTime now = shell.clock.Now();
    const CalendarDay today{now.year, now.month, now.day};
    Form form;
    form.name = std::string(kTitle);
    form.title = std::string(kTitle);
    form.fields.push_back(FormField::TextBox(
        "From", "From", CalendarDayText(CivilFromDays(DaysFromCivil(today) - kDefaultDays)), 10));
    form.fields.push_back(FormField::TextBox("To", "To", CalendarDayText(today), 10));
    form.fields.push_back(FormField::NoteText("Dates as yyyy-mm-dd, local time; both days count."));
    form.buttons = Form::OkCancel();
    form.focusField = "From";
    for (;;) {
        if (ShowForm(shell.desktop, form) == kFormCancelled)
            return std::nullopt;
        const auto from = ParseCalendarDay(form.Field("From").text);
        const auto to = ParseCalendarDay(form.Field("To").text);
        if (from && to && DaysFromCivil(*from) <= DaysFromCivil(*to))
            return std::pair{*from, *to};
        shell.desktop.ShowMessage("Dates must be yyyy-mm-dd, From not after To.", "Problem");
    }
}

} // namespace

void CustomerReportCommand(Shell& shell) {
    const auto typed = TitledPromptBox(shell.desktop, kTitle, customers::kPromptLabel);
    if (!typed)
        return;
    const auto found = customers::FindForChange(shell, *typed);
    if (!found)
        return;
    const auto period = AskPeriod(shell);
    if (!period)
        return;
    if (!shell.history.Open()) {
        shell.desktop.ShowMessage("Unable to open the watch history " + shell.history.Path(),
                                  "Problem");
        return;
    }
    CustomerReport report;
    report.company = found->record.Text(customer::Company);
    report.number = found->number;
    report.from = period->first;
    report.to = period->second;
    report.fromMs = LocalMidnightOf(report.from);
    report.toMs = LocalMidnightOf(CivilFromDays(DaysFromCivil(report.to) + 1));
    report.nowMs = shell.clock.EpochMs();
    for (std::size_t pair = 0; pair < customer::kServerPairs; ++pair) {
        const std::string server = found->record.Text(customer::Server(pair));
        if (server.empty())
            continue;
        SiteFigures site =
            FiguresOf(server, shell.history.Passes(server, report.fromMs, report.toMs),
                      shell.history.PassBefore(server, report.fromMs), report.fromMs, report.toMs,
                      kResponseBuckets);
        site.lastVerification = shell.history.LastVerification(server, report.toMs);
        report.sites.push_back(std::move(site));
    }

    char cwd[4096];
    if (::getcwd(cwd, sizeof cwd) == nullptr) {
        shell.desktop.ShowMessage("Unable to locate directory.", "Problem");
        return;
    }
    const std::string base = ReportBaseName(report);
    const std::string page = std::string(cwd) + "/" + base + ".html";
    for (const auto& [path, bytes] :
         {std::pair{page, ReportHtml(report)},
          std::pair{std::string(cwd) + "/" + base + ".csv", ReportCsv(report)}}) {
        if (!WriteFile(path, bytes)) {
            shell.desktop.ShowMessage("Unable to write " + path, "Problem");
            return;
        }
    }
    shell.log.AppendLine("Customer report: " + page);
    shell.desktop.OpenInBrowser(page);
}

} // namespace korvane
