#pragma once

#include "history/report_figures.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvane {

struct Shell;

// A day of the calendar as the report's form takes it, yyyy-mm-dd.
struct CalendarDay {
    int year = 1970;
    int month = 1;
    int day = 1;
};
std::optional<CalendarDay> ParseCalendarDay(std::string_view text);
std::string CalendarDayText(const CalendarDay& day);

// The report of one customer's sites over [fromMs, toMs): one page for the customer and a CSV of
// its daily rows, both self-contained.
struct CustomerReport {
    std::string company;
    std::int64_t number = 0;
    CalendarDay from;
    CalendarDay to;
    std::int64_t fromMs = 0;
    std::int64_t toMs = 0;
    std::int64_t nowMs = 0; // for the days a certificate has left
    std::vector<SiteFigures> sites;
};

// "Acme-Ltd-2026-11-07-to-2026-12-07": the company with anything but letters and digits made one
// '-', or customer-<number> when nothing is left of it.
std::string ReportBaseName(const CustomerReport& report);
std::string ReportHtml(const CustomerReport& report);
std::string ReportCsv(const CustomerReport& report);

void CustomerReportCommand(Shell& shell);

} // namespace korvane
