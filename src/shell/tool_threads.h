#pragma once

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

namespace korvane {

// Starts the worker thread of one tool run. Workers run detached, as the process may end under
// them; the count lets the end of the process and the tests know whether any is still running.
class ToolThreads {
  public:
    ToolThreads() = default;
    ToolThreads(const ToolThreads&) = delete;
    ToolThreads& operator=(const ToolThreads&) = delete;
    // A worker must not outlive the counter it reports to.
    ~ToolThreads() { WaitIdle(); }

    // False when no thread could be started; the work then never runs.
    [[nodiscard]] bool Start(std::function<void()> work);
    std::size_t Running() const;
    // Waits until no worker runs; used by tests and by an orderly end.
    void WaitIdle() const;

  private:
    void Finished();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_idle;
    std::size_t m_running = 0;
};

} // namespace korvane
