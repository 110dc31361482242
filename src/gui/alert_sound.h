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
    // Whether the sound is loaded, ready to play on a device if there is one.
    bool Loaded() const;

  private:
    void Prepare();

    // Only until the effect has read it.
    std::unique_ptr<QTemporaryFile> m_file;
    std::unique_ptr<QSoundEffect> m_effect;
    bool m_prepared = false;
    bool m_device = false;
    int m_playCount = 0;
};

} // namespace korvane::gui
