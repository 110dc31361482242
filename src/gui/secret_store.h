#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace QKeychain {
class Job;
}

namespace korvane::gui {

// The desktop's secret store (the Secret Service or KWallet, through QtKeychain), for the
// interface thread. Without a session bus, or when a request is not answered within the limit,
// the store is given up for the rest of the session: a missing service costs no waiting twice.
// Never falls back to a file.
class SecretStore {
  public:
    static constexpr std::chrono::milliseconds kAnswerLimit{3000};

    std::optional<QString> Read(const QString& key);
    // False when the store could not keep it.
    bool Write(const QString& key, const QString& secret);
    void Remove(const QString& key);
    bool Available() const { return m_available; }

  private:
    // Starts the job and waits for it; false when it failed or the store gave no answer.
    bool Run(QKeychain::Job* job, const std::function<void(QKeychain::Job&)>& onDone = {});

    bool m_available = true;
};

} // namespace korvane::gui
