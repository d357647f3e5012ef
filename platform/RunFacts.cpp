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
    struct stat status { };
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
        throw RuntimeError(ERR_PATH_FILE_ACCESS);

    Sha256 hash;
    std::vector<char> buffer(64 * 1024);
    for (;;) {
        const qsizetype got = ReadFully(file.get(), buffer.data(), qsizetype(buffer.size()));
        hash.Add(buffer.data(), got);
        if (got < qsizetype(buffer.size()))
            break;
    }
    return hash.Finish();
}

// OpenSSL's SHA-256 uses the processor's own instructions: a tenth of the
// time of a portable one, which would cost a large file more than its import.
struct Sha256::Context {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> hash{EVP_MD_CTX_new(), &EVP_MD_CTX_free};
};

Sha256::Sha256() : m_context(std::make_unique<Context>())
{
    if (!m_context->hash || EVP_DigestInit_ex(m_context->hash.get(), EVP_sha256(), nullptr) != 1)
        throw RuntimeError(ERR_CANNOT_CREATE_OBJECT);
}

Sha256::~Sha256() = default;

void Sha256::Add(const char* bytes, qsizetype size)
{
    if (size > 0 && EVP_DigestUpdate(m_context->hash.get(), bytes, std::size_t(size)) != 1)
        throw RuntimeError(ERR_CANNOT_CREATE_OBJECT);
    m_size += size;
}

FileDigest Sha256::Finish()
{
    unsigned char sum[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(m_context->hash.get(), sum, &length) != 1)
        throw RuntimeError(ERR_CANNOT_CREATE_OBJECT);
    return FileDigest{m_size, QByteArray(reinterpret_cast<const char*>(sum), int(length)).toHex()};
}

QString CurrentUserName()
{
    std::vector<char> buffer(16 * 1024);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    const QString fromEnvironment = qEnvironmentVariable("USER");
    return fromEnvironment.isEmpty() ? QString::number(::geteuid()) : fromEnvironment;
}

QString CurrentHostName() { return QSysInfo::machineHostName(); }
