#pragma once

#include <QLocalServer>
#include <QString>
#include <QStringList>

#include <functional>

// One window per user and ledger place. The first window listens on a
// local socket named after its ledger place, in a folder only its user
// can enter; a later start of the window hands its files to it and ends.
class WindowHandOver {
public:
    // The socket of a ledger place (see LedgerPlaceKey) for this user: in
    // $XDG_RUNTIME_DIR, else in a folder of the user's own under the
    // temporary folder. Empty when no such folder can be had.
    static QString SocketPathFor(const QString& strLedgerPlace);

    explicit WindowHandOver(QString strSocketPath);
    WindowHandOver(const WindowHandOver&) = delete;
    WindowHandOver& operator=(const WindowHandOver&) = delete;

    // Hands the files (perhaps none) to the window listening; true once it
    // said it took them.
    bool HandTo(const QStringList& files, int intTimeoutMs = 5000) const;
    // Listens for later starts, which received is told of; false when
    // another window listens already or the socket cannot be made.
    bool Listen(std::function<void(const QStringList&)> received);
    // Listens on another socket instead, once the window works on another
    // ledger; false as Listen.
    bool MoveTo(const QString& strSocketPath);

    // The most a hand-over may carry.
    static constexpr quint32 kMostBytes = 1 << 20;

private:
    bool ListenHere();
    void TakeConnection();

    QString m_path;
    QLocalServer m_server;
    std::function<void(const QStringList&)> m_received;
};
