#include "gui/alert_sound.h"

#include "shell/alert_wave.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>

namespace korvane::gui {

AlertSound::AlertSound() = default;
AlertSound::~AlertSound() = default;

bool AlertSound::Prepare() {
    if (m_prepared)
        return m_effect != nullptr;
    m_prepared = true;
    // No device: play nothing and say nothing, rather than warn on every alert.
    if (QMediaDevices::audioOutputs().isEmpty())
        return false;
    const std::vector<std::uint8_t> wave = MakeAlertWave();
    m_file = std::make_unique<QTemporaryFile>(QStringLiteral("korvane-alert-XXXXXX.wav"));
    if (!m_file->open() ||
        m_file->write(reinterpret_cast<const char*>(wave.data()),
                      static_cast<qint64>(wave.size())) != static_cast<qint64>(wave.size())) {
        m_file.reset();
        return false;
    }
    m_file->flush();
    m_effect = std::make_unique<QSoundEffect>();
    m_effect->setSource(QUrl::fromLocalFile(m_file->fileName()));
    return true;
}

void AlertSound::Play() {
    ++m_playCount;
    if (!Prepare())
        return;
    m_effect->stop();
    m_effect->play();
}

} // namespace korvane::gui
