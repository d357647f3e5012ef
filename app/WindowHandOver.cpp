#include "WindowHandOver.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QLocalSocket>

#include <memory>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The answer of a window that took the files.
constexpr char kTaken = 'T';

// A folder this user owns, that no one else may enter.
bool PrivateFolder(const QString& folder)
{
    struct stat info { };
    return lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid()
           && (info.st_mode & 077) == 0;
}

QString SocketFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (QDir::isAbsolutePath(runtime) && PrivateFolder(runtime))
        return runtime;
    const QString own = QDir::tempPath() + QStringLiteral("/MoraImport-%1").arg(getuid());
    mkdir(QFile::encodeName(own).constData(), 0700);
    return PrivateFolder(own) ? own : QString();
}

QByteArray Framed(const QStringList& files)
{
    QByteArray payload;
    {
        QDataStream stream(&payload, QIODevice::WriteOnly);
        stream << files;
    }
    QByteArray framed;
    {
        QDataStream stream(&framed, QIODevice::WriteOnly);
        stream << quint32(payload.size());
    }
    return framed + payload;
}

// The files of a hand-over; nothing when the bytes are not one. The count
// is checked against the bytes before anything is made of it.
std::optional<QStringList> Unframed(const QByteArray& payload)
{
    QDataStream stream(payload);
    quint32 count = 0;
    stream >> count;
    if (stream.status() != QDataStream::Ok || count > quint32(payload.size() / 4))
        return std::nullopt;
    QStringList files;
    for (quint32 i = 0; i < count; ++i) {
        QString file;
        stream >> file;
        files << file;
    }
    if (stream.status() != QDataStream::Ok || !stream.atEnd())
        return std::nullopt;
    return files;
}

}  // namespace

QString WindowHandOver::SocketPathFor(const QString& strLedgerPlace)
{
    const QString folder = SocketFolder();
    if (folder.isEmpty())
        return QString();
    const QByteArray place = QStringLiteral("%1\n%2").arg(getuid()).arg(strLedgerPlace).toUtf8();
    const QByteArray hash = QCryptographicHash::hash(place, QCryptographicHash::Sha256).toHex().left(16);
    return folder + QStringLiteral("/MoraImport-window-") + QString::fromLatin1(hash);
}

bool WindowHandOver::HandTo(const QStringList& files, int intTimeoutMs) const
{
    if (m_path.isEmpty())
        return false;
    QLocalSocket socket;
    socket.connectToServer(m_path);
    if (!socket.waitForConnected(intTimeoutMs))
        return false;
    socket.write(Framed(files));
    if (!socket.waitForBytesWritten(intTimeoutMs))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(intTimeoutMs))
            return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kTaken;
}

WindowHandOver::WindowHandOver(QString strSocketPath) : m_path(std::move(strSocketPath))
{
    QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] { TakeConnection(); });
}

bool WindowHandOver::Listen(std::function<void(const QStringList&)> received)
{
    m_received = std::move(received);
    return ListenHere();
}

bool WindowHandOver::MoveTo(const QString& strSocketPath)
{
    if (strSocketPath == m_path && m_server.isListening())
        return true;
    m_server.close();
    m_path = strSocketPath;
    return ListenHere();
}

bool WindowHandOver::ListenHere()
{
    if (m_path.isEmpty())
        return false;
    // A window that answers is alive; one that ended without removing its
    // socket left it behind. Asked first: listening would take the name
    // from a live one.
    QLocalSocket probe;
    probe.connectToServer(m_path);
    if (probe.waitForConnected(1000))
        return false;
    QLocalServer::removeServer(m_path);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(m_path);
}

void WindowHandOver::TakeConnection()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto buffer = std::make_shared<QByteArray>();
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer] {
            *buffer += socket->readAll();
            QDataStream header(*buffer);
            quint32 size = 0;
            header >> size;
            if (header.status() != QDataStream::Ok)
                return;
            if (size > kMostBytes) {
                socket->abort();
                return;
            }
            if (quint32(buffer->size()) < sizeof(quint32) + size)
                return;
            const std::optional<QStringList> files = Unframed(buffer->mid(sizeof(quint32), size));
            buffer->clear();
            if (!files) {
                socket->abort();
                return;
            }
            socket->putChar(kTaken);
            socket->flush();
            socket->disconnectFromServer();
            if (m_received)
                m_received(*files);
        });
    }
}
