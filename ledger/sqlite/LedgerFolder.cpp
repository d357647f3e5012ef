#include "LedgerFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kCreationMark = QStringLiteral(".creating-");

QByteArray Native(const QString& path) { return QFile::encodeName(path); }

// An empty journal or log is none, to SQLite as well.
bool HoldsSomething(const QString& path)
{
    struct stat status { };
    return ::lstat(Native(path).constData(), &status) == 0 && (!S_ISREG(status.st_mode) || status.st_size > 0);
}

const QStringList kCompanions = {QStringLiteral("-journal"), QStringLiteral("-wal")};

QString SystemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString FolderOf(const QString& path) { return QFileInfo(path).absolutePath(); }

// Makes the folder's entries durable; a failure only weakens that.
void SyncFolder(const QString& folder)
{
    const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

LedgerFileState InspectLedgerFile(const QString& path)
{
    struct stat status { };
    if (::lstat(Native(path).constData(), &status) != 0)
        return errno == ENOENT ? LedgerFileState::Absent : LedgerFileState::Present;
    for (const QString& companion : kCompanions) {
        if (HoldsSomething(path + companion))
            return LedgerFileState::NeedsRecovery;
    }
    if (S_ISREG(status.st_mode) && status.st_size == 0)
        return LedgerFileState::Empty;
    return LedgerFileState::Present;
}

std::optional<QString> WriteRefusal(const QString& path, bool fileExists)
{
    const auto refused = [](const QString& target) {
        if (::faccessat(AT_FDCWD, Native(target).constData(), W_OK, AT_EACCESS) == 0)
            return false;
        return errno == EACCES || errno == EROFS || errno == EPERM;
    };
    const QString folder = FolderOf(path);
    if (refused(folder))
        return QStringLiteral("データベースのフォルダに書き込めません（読み取り専用）: %1")
            .arg(QDir::toNativeSeparators(folder));
    if (fileExists && refused(path))
        return QStringLiteral("データベースファイルに書き込めません（読み取り専用）: %1").arg(path);
    return std::nullopt;
}

std::optional<CreationLock> CreationLock::Take(const QString& folder, int timeoutMs, QString& error)
{
    const int fd = ::open(Native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = QStringLiteral("データベースのフォルダを開けません: %1（%2）")
                    .arg(QDir::toNativeSeparators(folder), SystemReason(errno));
        return std::nullopt;
    }
    CreationLock lock(fd);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= deadline) {
            error = QStringLiteral("データベースを作成できません: 他のプログラムが作成中です（%1）")
                        .arg(QDir::toNativeSeparators(folder));
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return lock;
}

CreationLock::~CreationLock()
{
    if (m_fd >= 0)
        ::close(m_fd);  // also lets go of the lock
}

CreationLock::CreationLock(CreationLock&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }

QString CreationName(const QString& path) { return path + kCreationMark + QString::number(::getpid()); }

void RemoveStaleCreations(const QString& path)
{
    const QFileInfo info(path);
    const QString prefix = info.fileName() + kCreationMark;
    const QStringList leftovers =
        QDir(info.absolutePath()).entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : leftovers) {
        // The glob also matches names that only look like ours.
        if (name.startsWith(prefix))
            ::unlink(Native(info.absolutePath() + QLatin1Char('/') + name).constData());
    }
    for (const QString& companion : kCompanions) {
        if (!HoldsSomething(path + companion))
            ::unlink(Native(path + companion).constData());
    }
}

void RemoveCreation(const QString& creation)
{
    for (const QString& name : {creation, creation + QStringLiteral("-journal")})
        ::unlink(Native(name).constData());
}

std::optional<PlaceResult> PlaceLedger(const QString& creation, const QString& path, bool replaceEmpty, QString& error)
{
    const QByteArray from = Native(creation);
    const QByteArray to = Native(path);
    const auto failed = [&](int code) {
        error = QStringLiteral("データベースを作成できません: %1（%2）").arg(path, SystemReason(code));
        return std::nullopt;
    };
    if (replaceEmpty) {
        if (::rename(from.constData(), to.constData()) != 0)
            return failed(errno);
    } else if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST)
            return PlaceResult::Taken;
        if (errno != EINVAL && errno != ENOSYS)
            return failed(errno);
        // A file system without that kind of rename: a link never replaces either.
        if (::link(from.constData(), to.constData()) != 0)
            return errno == EEXIST ? std::optional(PlaceResult::Taken) : failed(errno);
        ::unlink(from.constData());
    }
    SyncFolder(FolderOf(path));
    return PlaceResult::Placed;
}
