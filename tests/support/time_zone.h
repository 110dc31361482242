#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace korvane::test {

// Local time in `zone` (such as "Europe/London") for as long as it lives, then the zone before.
class ScopedTimeZone {
  public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* saved = std::getenv("TZ"))
            m_saved = saved;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;
    ~ScopedTimeZone() {
        if (m_saved)
            ::setenv("TZ", m_saved->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }

  private:
    std::optional<std::string> m_saved;
};

} // namespace korvane::test
