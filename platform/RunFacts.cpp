#include "RunFacts.h"

#include "RuntimeError.h"
#include "TextFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSysInfo>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>


FileDigest DigestFile(const QString& strPath)
{
    if (strPath.isEmpty() || strPath.contains(QChar(0)))
        throw RuntimeError(ERR_BAD_FILE_NAME);
    // Non-blocking, so that a pipe in the file's place cannot hold the run.
    const FileDescriptor file(::open(QFile::encodeName(strPath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!file.isOpen())
        throw RuntimeError(errno == ENOENT ? ERR_FILE_NOT_FOUND : ERR_PERMISSION_DENIED);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        throw RuntimeError(ERR_PATH_FILE_ACCESS);

    QCryptographicHash hash(QCryptographicHash::Sha256);
    std::vector<char> buffer(64 * 1024);
    FileDigest digest;
    for (;;) {
        const qsizetype got = ReadFully(file.get(), buffer.data(), qsizetype(buffer.size()));
        hash.addData(QByteArrayView(buffer.data(), got));
        digest.lngSize += got;
        if (got < qsizetype(buffer.size()))
            break;
    }
    digest.strSha256 = hash.result().toHex();
    return digest;
}

QString CurrentUserName()
{
    std::vector<char> buffer(16 * 1024);
    passwd entry {};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    const QString fromEnvironment = qEnvironmentVariable("USER");
    return fromEnvironment.isEmpty() ? QString::number(::geteuid()) : fromEnvironment;
}

QString CurrentHostName()
{
    return QSysInfo::machineHostName();
}
