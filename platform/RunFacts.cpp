#include "RunFacts.h"

#include "RuntimeError.h"
#include "TextFile.h"

#include <QFile>
#include <QSysInfo>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/evp.h>

#include <cerrno>
#include <memory>
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

    // OpenSSL's SHA-256 uses the processor's own instructions: a tenth of
    // the time of a portable one, which would cost a large file more than
    // its import.
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> hash(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
    if (!hash || EVP_DigestInit_ex(hash.get(), EVP_sha256(), nullptr) != 1)
        throw RuntimeError(ERR_CANNOT_CREATE_OBJECT);
    std::vector<char> buffer(64 * 1024);
    FileDigest digest;
    for (;;) {
        const qsizetype got = ReadFully(file.get(), buffer.data(), qsizetype(buffer.size()));
        EVP_DigestUpdate(hash.get(), buffer.data(), std::size_t(got));
        digest.lngSize += got;
        if (got < qsizetype(buffer.size()))
            break;
    }
    unsigned char sum[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(hash.get(), sum, &length) != 1)
        throw RuntimeError(ERR_CANNOT_CREATE_OBJECT);
    digest.strSha256 = QByteArray(reinterpret_cast<const char*>(sum), int(length)).toHex();
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
