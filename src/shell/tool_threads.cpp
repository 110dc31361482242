#include "shell/tool_threads.h"

#include <system_error>
#include <thread>

namespace korvane {

bool ToolThreads::Start(std::function<void()> work) {
    {
        std::lock_guard lock(m_mutex);
        ++m_running;
    }
    try {
        std::thread([this, work = std::move(work)]() mutable {
            work();
            // What the work held is released before the run counts as over.
            work = nullptr;
            Finished();
        }).detach();
    } catch (const std::system_error&) {
        // No thread could be had (the system is out of them): the run does not start.
        Finished();
        return false;
    }
    return true;
}

void ToolThreads::Finished() {
    std::lock_guard lock(m_mutex);
    if (--m_running == 0)
        m_idle.notify_all();
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
