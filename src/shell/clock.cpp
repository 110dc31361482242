#include "shell/clock.h"

#include <array>
#include <cstdio>
#include <ctime>

namespace korvane {

LocalTime SystemClock::Now() const {
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
    localtime_r(&now, &parts);
    LocalTime time;
    time.year = parts.tm_year + 1900;
    time.month = parts.tm_mon + 1;
    time.day = parts.tm_mday;
    time.hour = parts.tm_hour;
    time.minute = parts.tm_min;
    time.second = parts.tm_sec;
    time.weekday = parts.tm_wday;
    return time;
}

std::string TimeStampLine(const LocalTime& time) {
    std::tm parts{};
    parts.tm_wday = time.weekday;
    parts.tm_mon = time.month - 1;
    // The weekday and month names follow the user's locale (LC_TIME); "C" gives English.
    std::array<char, 64> names{};
    if (std::strftime(names.data(), names.size(), "%a %b", &parts) == 0)
        names[0] = '\0';
    std::array<char, 128> line{};
    std::snprintf(line.data(), line.size(), "%d:%02d %s %d %d", time.hour, time.minute,
                  names.data(), time.day, time.year);
    return line.data();
}

std::string DateStamp(const LocalTime& time) {
    std::array<char, 32> stamp{};
    std::snprintf(stamp.data(), stamp.size(), "%02d/%02d/%d", time.day, time.month, time.year);
    return stamp.data();
}

} // namespace korvane
