#include "Keyring.h"

#include <QEventLoop>

#include <qt6keychain/keychain.h>

namespace {

// The keyring's name for the program's entries.
const QString kService = QStringLiteral("MoraImport");

// Runs a job to its end. Its finished signal may come before the loop
// starts, so the loop only runs while the job has not answered.
void RunToEnd(QKeychain::Job& job)
{
    // Never the plain-text fallback into a settings file.
    job.setInsecureFallback(false);
    job.setAutoDelete(false);
    bool finished = false;
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&finished, &loop] {
        finished = true;
        loop.quit();
    });
    job.start();
    if (!finished)
        loop.exec();
}

}  // namespace

namespace Keyring {

Reading ReadPassword(const QString& strKey)
{
    QKeychain::ReadPasswordJob job(kService);
    job.setKey(strKey);
    RunToEnd(job);
    switch (job.error()) {
    case QKeychain::NoError: return {Status::Found, job.textData()};
    case QKeychain::EntryNotFound: return {Status::NotFound, QString()};
    default: return {Status::Unavailable, QString()};
    }
}

QString WritePassword(const QString& strKey, const QString& strPassword)
{
    QKeychain::WritePasswordJob job(kService);
    job.setKey(strKey);
    job.setTextData(strPassword);
    RunToEnd(job);
    if (job.error() == QKeychain::NoError)
        return QString();
    return QStringLiteral("パスワードをキーリングに保存できません: %1").arg(job.errorString());
}

bool Available() { return ReadPassword(QStringLiteral("MoraImport keyring probe")).status != Status::Unavailable; }

}  // namespace Keyring
