#pragma once

#include <cstdint>
#include <string>

namespace korvane {

// A local date and time as the log, the settings block and the record files use it.
struct LocalTime {
    int year = 1970;
    int month = 1; // 1..12
    int day = 1;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4; // 0 = Sunday
};

// The one place that reads the wall clock, so that tests and timers can be driven.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime Now() const = 0;
    // Milliseconds since 1970 UTC, for the watch history.
    virtual std::int64_t EpochMs() const = 0;
};

class SystemClock final : public Clock {
  public:
    LocalTime Now() const override;
    std::int64_t EpochMs() const override;
};

// "14:07 Sun Dec 6 2026": hour and minute, then the date with the locale's abbreviated names
// (English where the locale has none, or one that Latin-1 cannot write).
std::string TimeStampLine(const LocalTime& time);
// "06/12/2026": day, month, four-digit year, as stored in records.
std::string DateStamp(const LocalTime& time);
// "4 min", "1 h 05 min", "2 d 3 h": how long something lasted, to the minute (to the second
// below one minute).
std::string DurationText(std::int64_t milliseconds);

} // namespace korvane
