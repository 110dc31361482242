#include "gui/alert_sound.h"

#include "shell/alert_wave.h"

#include <QAudioDevice>
#include <QDir>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QStandardPaths>
#include <QUrl>

namespace korvane::gui {

AlertSound::AlertSound() = default;
AlertSound::~AlertSound() = default;

bool AlertSound::Loaded() const {
    return m_effect && m_effect->status() == QSoundEffect::Ready;
}

void AlertSound::Prepare() {
    if (m_prepared)
        return;
    m_prepared = true;
    // The effect reads a file. It is written to the runtime folder, never the working folder,
    // which may be read-only and where a file left by a crash would be the user's to clear
    // away, and it is removed as soon as the effect has read it.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const std::vector<std::uint8_t> wave = MakeAlertWave();
    m_file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/korvane-alert-XXXXXX.wav"));
    if (!m_file->open() ||
        m_file->write(reinterpret_cast<const char*>(wave.data()),
                      static_cast<qint64>(wave.size())) != static_cast<qint64>(wave.size()) ||
        !m_file->flush()) {
        m_file.reset();
        return;
    }
    m_effect = std::make_unique<QSoundEffect>();
    QObject::connect(m_effect.get(), &QSoundEffect::statusChanged, m_effect.get(), [this] {
        if (m_effect->status() == QSoundEffect::Ready || m_effect->status() == QSoundEffect::Error)
            m_file.reset();
    });
    // No device: load all the same, but play nothing rather than warn on every alert.
    m_device = !QMediaDevices::audioOutputs().isEmpty();
    m_effect->setSource(QUrl::fromLocalFile(m_file->fileName()));
}

void AlertSound::Play() {
    ++m_playCount;
    Prepare();
    if (!m_effect || !m_device)
        return;
    m_effect->stop();
    m_effect->play();
}

} // namespace korvane::gui
