#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace korvane {

class Desktop;

// Only one folder or file verification or folder check runs at a time: they share the reply
// files and the scan. A run holds this while it works; a second start is refused.
class SiteRunSlot {
  public:
    // True when the slot was free and is now taken.
    bool TryTake() {
        bool expected = false;
        return m_busy.compare_exchange_strong(expected, true);
    }
    void Release() { m_busy.store(false); }

  private:
    std::atomic<bool> m_busy{false};
};

// Taken by a command before its dialog, so a second run is refused before anything is typed;
// handed over to the worker when the run starts, released when it does not.
class SiteRunReservation {
  public:
    explicit SiteRunReservation(SiteRunSlot& slot) : m_slot(slot) {}
    SiteRunReservation(const SiteRunReservation&) = delete;
    SiteRunReservation& operator=(const SiteRunReservation&) = delete;
    ~SiteRunReservation() {
        if (m_taken)
            m_slot.Release();
    }
    bool Take() { return m_taken = m_slot.TryTake(); }
    // From now on the worker's SiteRunHold releases the slot.
    void HandOver() { m_taken = false; }

  private:
    SiteRunSlot& m_slot;
    bool m_taken = false;
};

// The entry operation's check: when another run holds the slot, tells the user so and returns
// true; otherwise the reservation now holds it.
bool RefuseSecondSiteRun(SiteRunReservation& reservation, Desktop& desktop);

// Held by a run's worker for its whole life, so the slot is freed however the run ends.
class SiteRunHold {
  public:
    explicit SiteRunHold(SiteRunSlot& slot) : m_slot(slot) {}
    SiteRunHold(const SiteRunHold&) = delete;
    SiteRunHold& operator=(const SiteRunHold&) = delete;
    ~SiteRunHold() { m_slot.Release(); }

  private:
    SiteRunSlot& m_slot;
};

// At most one alert e-mail per watch: cleared when a monitoring command starts, set when an
// alert e-mail is asked for.
class AlertLatch {
  public:
    void Clear() { m_requested.store(false); }
    // True once: for the first caller after Clear().
    bool TakeFirst() { return !m_requested.exchange(true); }

  private:
    std::atomic<bool> m_requested{false};
};

// Several tools write a reply file of the same name; a run holds the name from the file's
// creation until it has read back what it needs, so two runs never interleave their bytes.
class ReplyFileLocks {
  public:
    std::shared_ptr<std::mutex> For(const std::string& path) {
        std::lock_guard lock(m_mutex);
        auto& entry = m_locks[path];
        if (!entry)
            entry = std::make_shared<std::mutex>();
        return entry;
    }

  private:
    std::mutex m_mutex;
    // Entries stay for the program's life: there are only a handful of reply-file names.
    std::map<std::string, std::shared_ptr<std::mutex>> m_locks;
};

// What runs share while they work. Each program, and each test, has its own.
struct RunState {
    SiteRunSlot siteRun;
    AlertLatch alertLatch;
    ReplyFileLocks replyFiles;
};

} // namespace korvane
