#include "gui/secret_store.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace korvane::gui {

namespace {

const QString kService = QStringLiteral("Korvane");

} // namespace

bool SecretStore::Run(QKeychain::Job* job, const std::function<void(QKeychain::Job&)>& onDone) {
    // Without a session bus there is no store to ask; the library would only try to start a bus.
    if (m_available && qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        m_available = false;
    if (!m_available) {
        delete job;
        return false;
    }
    job->setInsecureFallback(false);
    // The job deletes itself once finished, also when that is after the limit.
    job->setAutoDelete(true);
    QEventLoop loop;
    bool finished = false;
    bool ok = false;
    // Tied to the loop: an answer after the limit finds nobody waiting and changes nothing.
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
        finished = true;
        ok = done->error() == QKeychain::NoError;
        if (ok && onDone)
            onDone(*done);
        loop.quit();
    });
    QTimer::singleShot(kAnswerLimit, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished)
        m_available = false;
    return ok;
}

std::optional<QString> SecretStore::Read(const QString& key) {
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(key);
    QString secret;
    if (!Run(job, [&secret](QKeychain::Job& done) {
            secret = static_cast<QKeychain::ReadPasswordJob&>(done).textData();
        }))
        return std::nullopt;
    return secret;
}

bool SecretStore::Write(const QString& key, const QString& secret) {
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(key);
    job->setTextData(secret);
    return Run(job);
}

void SecretStore::Remove(const QString& key) {
    auto* job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(key);
    Run(job);
}

} // namespace korvane::gui
