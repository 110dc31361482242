#include "shell/clock.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <cwchar>
#include <string_view>

namespace korvane {

namespace {

constexpr std::array<std::string_view, 7> kWeekdays = {"Sun", "Mon", "Tue", "Wed",
                                                       "Thu", "Fri", "Sat"};
constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// One abbreviated name as the user's locale (LC_TIME) writes it. The program's text is one byte
// a character, read as Latin-1 wherever it is shown, so the name is taken as wide characters and
// written byte for byte; a name with a character beyond Latin-1 is given in English instead.
std::string LocaleName(const wchar_t* format, const std::tm& parts, std::string_view english) {
    std::array<wchar_t, 64> wide{};
    const std::size_t length = std::wcsftime(wide.data(), wide.size(), format, &parts);
    if (length == 0)
        return std::string(english);
    std::string name;
    for (std::size_t i = 0; i < length; ++i) {
        if (wide[i] <= 0 || wide[i] > 0xFF)
            return std::string(english);
        name += static_cast<char>(wide[i]);
    }
    return name;
}

template <std::size_t N>
std::string_view English(const std::array<std::string_view, N>& names, int index) {
    return index >= 0 && index < static_cast<int>(N) ? names[static_cast<std::size_t>(index)] : "";
}

} // namespace

std::int64_t SystemClock::EpochMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

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
    const std::string weekday = LocaleName(L"%a", parts, English(kWeekdays, time.weekday));
    const std::string month = LocaleName(L"%b", parts, English(kMonths, time.month - 1));
    std::array<char, 32> numbers{};
    std::snprintf(numbers.data(), numbers.size(), "%d:%02d ", time.hour, time.minute);
    std::string line = numbers.data() + weekday + " " + month;
    std::snprintf(numbers.data(), numbers.size(), " %d %d", time.day, time.year);
    return line + numbers.data();
}

std::string DateStamp(const LocalTime& time) {
    std::array<char, 32> stamp{};
    std::snprintf(stamp.data(), stamp.size(), "%02d/%02d/%d", time.day, time.month, time.year);
    return stamp.data();
}

std::string DurationText(std::int64_t milliseconds) {
    const std::int64_t seconds = std::max<std::int64_t>(milliseconds, 0) / 1000;
    if (seconds < 60)
        return std::to_string(seconds) + " s";
    const std::int64_t minutes = seconds / 60;
    constexpr std::int64_t kMinutesPerDay = std::int64_t{24} * 60;
    if (minutes < 60)
        return std::to_string(minutes) + " min";
    std::array<char, 64> text{};
    if (minutes < kMinutesPerDay)
        std::snprintf(text.data(), text.size(), "%lld h %02lld min",
                      static_cast<long long>(minutes / 60), static_cast<long long>(minutes % 60));
    else
        std::snprintf(text.data(), text.size(), "%lld d %lld h",
                      static_cast<long long>(minutes / kMinutesPerDay),
                      static_cast<long long>(minutes / 60 % 24));
    return text.data();
}

} // namespace korvane
