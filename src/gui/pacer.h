#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <utility>

namespace korvane::gui {

// Keeps a piece of interface-thread work, such as taking queued lines into a widget or a
// repaint, from running more often than once a period: a worker's line a millisecond then costs
// the interface thread a few dozen runs a second instead of a thousand. Used on the interface
// thread only.
class Pacer {
  public:
    explicit Pacer(int periodMs) : m_periodMs(periodMs) {}

    // Runs `work` now when a period has passed since work last ran, otherwise once it has; the
    // wait ends with `context`.
    template <typename Work> void Run(QObject* context, Work work) {
        const qint64 wait = m_since.isValid() ? m_periodMs - m_since.elapsed() : 0;
        if (wait <= 0) {
            m_since.start();
            work();
            return;
        }
        QTimer::singleShot(static_cast<int>(wait), context, [this, work = std::move(work)] {
            m_since.start();
            work();
        });
    }

  private:
    const int m_periodMs;
    QElapsedTimer m_since;
};

} // namespace korvane::gui
