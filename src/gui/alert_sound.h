#pragma once

#include <QTemporaryFile>

#include <memory>

class QSoundEffect;

namespace korvane::gui {

// The program's own alert, played without waiting. Without an audio device it stays silent.
class AlertSound {
  public:
    AlertSound();
    ~AlertSound();

    void Play();
    // How many times the sound was started; the silent case counts too.
    int PlayCount() const { return m_playCount; }

  private:
    bool Prepare();

    std::unique_ptr<QTemporaryFile> m_file;
    std::unique_ptr<QSoundEffect> m_effect;
    bool m_prepared = false;
    int m_playCount = 0;
};

} // namespace korvane::gui
