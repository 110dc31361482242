#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace korvane {

class Desktop;

// One flag per guarded tool; a second start while it is set is refused.
enum class BusyFlag : std::size_t {
    HeaderAndSubmit = 1, // Server page header, Submit URL, set also by link exchange
    HeaderIPv6 = 2,
    HeaderCookies = 3,
    Referrer = 4,
    MarkupValidation = 5,
    Whois = 6,
};

class BusyFlags {
  public:
    bool IsSet(BusyFlag flag) const { return Slot(flag).load() != 0; }
    void Set(BusyFlag flag) { Slot(flag).store(1); }
    void Clear(BusyFlag flag) { Slot(flag).store(0); }

  private:
    std::atomic<std::int32_t>& Slot(BusyFlag flag) {
        return m_flags[static_cast<std::size_t>(flag)];
    }
    const std::atomic<std::int32_t>& Slot(BusyFlag flag) const {
        return m_flags[static_cast<std::size_t>(flag)];
    }
    std::array<std::atomic<std::int32_t>, 7> m_flags{};
};

// The entry operation's check: when the tool is running, tells the user so and returns true.
bool RefuseWhileBusy(const BusyFlags& flags, BusyFlag flag, Desktop& desktop);

// Held by a worker for its whole run: the flag is cleared on every path by which it ends.
class BusyRelease {
  public:
    BusyRelease(BusyFlags& flags, BusyFlag flag) : m_flags(flags), m_flag(flag) {}
    BusyRelease(const BusyRelease&) = delete;
    BusyRelease& operator=(const BusyRelease&) = delete;
    ~BusyRelease() { m_flags.Clear(m_flag); }

  private:
    BusyFlags& m_flags;
    BusyFlag m_flag;
};

} // namespace korvane
