#include "WindowHandOver.h"

#include "EnvironmentScope.h"
#include "TestFiles.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

// A later start of the program, on a thread of its own while this one
// serves the window's side; what HandTo answered.
bool HandOverFromAnotherStart(const QString& socket, const QStringList& files)
{
    bool taken = false;
    std::unique_ptr<QThread> start(QThread::create([&] { taken = WindowHandOver(socket).HandTo(files, 3000); }));
    start->start();
    QElapsedTimer timer;
    timer.start();
    while (!start->isFinished() && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    start->wait();
    QCoreApplication::processEvents();
    return taken;
}

class WindowHandOverTest : public ::testing::Test {
protected:
    ScratchDir runtime;
    // A private folder of the user's own, as the session gives it.
    bool made = chmod(QFile::encodeName(runtime.root()).constData(), 0700) == 0;
    EnvironmentScope runtimeDir{"XDG_RUNTIME_DIR", runtime.root()};
};

TEST_F(WindowHandOverTest, TheWindowListeningTakesTheFilesOfALaterStart)
{
    const QString socket = WindowHandOver::SocketPathFor(QStringLiteral("file\n/home/clerk/Data/iOrvanta.mdb"));
    ASSERT_TRUE(socket.startsWith(runtime.root() + QLatin1Char('/'))) << socket.toStdString();
    WindowHandOver window(socket);
    std::vector<QStringList> received;
    ASSERT_TRUE(window.Listen([&](const QStringList& files) { received.push_back(files); }));

    // What is not a hand-over (a count past its bytes) is dropped without a word.
    std::unique_ptr<QThread> garbage(QThread::create([&] {
        QLocalSocket client;
        client.connectToServer(socket);
        client.waitForConnected(3000);
        client.write(QByteArray("\x00\x00\x00\x04\x7f\xff\xff\xff", 8));
        client.waitForBytesWritten(3000);
        client.waitForDisconnected(3000);
    }));
    garbage->start();
    while (!garbage->isFinished())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    garbage->wait();

    const QStringList cases[] = {
        {QStringLiteral("/home/clerk/売上 5月.csv")},
        {},  // started without a file: the window only comes to the front
        {QStringLiteral("/a.csv"), QStringLiteral("/b.csv")},
    };
    for (const QStringList& files : cases)
        EXPECT_TRUE(HandOverFromAnotherStart(socket, files));
    EXPECT_EQ(received, std::vector<QStringList>(std::begin(cases), std::end(cases)));

    // A second window on the same place does not listen; the first keeps it.
    EXPECT_FALSE(WindowHandOver(socket).Listen([](const QStringList&) {}));

    // The clerk chose another ledger place: later starts on it find this window, on the old one none.
    const QString server = WindowHandOver::SocketPathFor(QStringLiteral("server\nhost=ledger.example\npublic"));
    ASSERT_TRUE(window.MoveTo(server));
    EXPECT_TRUE(HandOverFromAnotherStart(server, {QStringLiteral("/c.csv")}));
    EXPECT_FALSE(WindowHandOver(socket).HandTo({QStringLiteral("/d.csv")}, 1000));
    EXPECT_EQ(received.back(), QStringList{QStringLiteral("/c.csv")});
}

TEST_F(WindowHandOverTest, WithoutAWindowTheStartOpensItsOwnEvenOverAStaleSocket)
{
    const QString socket = WindowHandOver::SocketPathFor(QStringLiteral("file\n/x/Data/iOrvanta.mdb"));
    EXPECT_FALSE(WindowHandOver(socket).HandTo({QStringLiteral("/a.csv")}, 1000));
    {
        // A window that died leaves its socket behind.
        QLocalServer dead;
        ASSERT_TRUE(dead.listen(socket));
    }
    QFile(socket).open(QIODevice::WriteOnly);
    WindowHandOver window(socket);
    EXPECT_TRUE(window.Listen([](const QStringList&) {}));
}

TEST_F(WindowHandOverTest, EachUserAndLedgerPlaceHasItsOwnSocketInAPrivateFolder)
{
    const QString a = WindowHandOver::SocketPathFor(QStringLiteral("file\n/a/Data/iOrvanta.mdb"));
    EXPECT_EQ(WindowHandOver::SocketPathFor(QStringLiteral("file\n/a/Data/iOrvanta.mdb")), a);
    EXPECT_NE(WindowHandOver::SocketPathFor(QStringLiteral("file\n/b/Data/iOrvanta.mdb")), a);
    EXPECT_NE(WindowHandOver::SocketPathFor(QStringLiteral("server\nhost=x\npublic")), a);

    // A runtime folder others may enter is not used: one of the user's own under the temporary folder is.
    chmod(QFile::encodeName(runtime.root()).constData(), 0755);
    const QString fallback = WindowHandOver::SocketPathFor(QStringLiteral("file\n/a/Data/iOrvanta.mdb"));
    ASSERT_FALSE(fallback.isEmpty());
    EXPECT_FALSE(fallback.startsWith(runtime.root()));
    const QFileInfo folder(QFileInfo(fallback).path());
    EXPECT_EQ(folder.permissions()
                  & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther
                     | QFile::ExeOther),
              QFile::Permissions());
}

}  // namespace
