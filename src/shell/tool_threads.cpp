#include "shell/tool_threads.h"

#include <thread>

namespace korvane {

void ToolThreads::Start(std::function<void()> work) {
    {
        std::lock_guard lock(m_mutex);
        ++m_running;
    }
    std::thread([this, work = std::move(work)]() mutable {
        work();
        // What the work held is released before the run counts as over.
        work = nullptr;
        std::lock_guard lock(m_mutex);
        if (--m_running == 0)
            m_idle.notify_all();
    }).detach();
}

std::size_t ToolThreads::Running() const {
    std::lock_guard lock(m_mutex);
    return m_running;
}

void ToolThreads::WaitIdle() const {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_running == 0; });
}

} // namespace korvane
