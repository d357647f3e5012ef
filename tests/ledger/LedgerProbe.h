#pragma once

#include "LedgerDatabase.h"

#include "SqliteHandles.h"
#include "SqliteLedgerStore.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

// A second, independent connection to a ledger file, for reading back
// what the store wrote and for holding locks against it.
class LedgerProbe {
public:
    explicit LedgerProbe(const QString& path)
    {
        sqlite3* raw = nullptr;
        const int result = sqlite3_open_v2(QFile::encodeName(path).constData(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        m_db.reset(raw);
        if (result != SQLITE_OK)
            throw std::runtime_error("cannot open " + path.toStdString());
    }

    void exec(const char* sql)
    {
        char* message = nullptr;
        if (sqlite3_exec(m_db.get(), sql, nullptr, nullptr, &message) != SQLITE_OK) {
            const std::string text = message ? message : "?";
            sqlite3_free(message);
            throw std::runtime_error(text + " in " + sql);
        }
    }

    // Every row, its columns joined with '|', NULL written as "NULL".
    QStringList rows(const char* sql)
    {
        sqlite3_stmt* raw = nullptr;
        if (sqlite3_prepare_v2(m_db.get(), sql, -1, &raw, nullptr) != SQLITE_OK)
            throw std::runtime_error(std::string(sqlite3_errmsg(m_db.get())) + " in " + sql);
        const SqliteStatement statement(raw);
        QStringList result;
        int step;
        while ((step = sqlite3_step(raw)) == SQLITE_ROW) {
            QStringList columns;
            for (int i = 0; i < sqlite3_column_count(raw); ++i) {
                if (sqlite3_column_type(raw, i) == SQLITE_NULL)
                    columns << QStringLiteral("NULL");
                else
                    columns << TextFromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(raw, i)));
            }
            result << columns.join(QLatin1Char('|'));
        }
        if (step != SQLITE_DONE)
            throw std::runtime_error(std::string(sqlite3_errmsg(m_db.get())) + " in " + sql);
        return result;
    }

    QString value(const char* sql)
    {
        const QStringList all = rows(sql);
        return all.isEmpty() ? QString() : all.first();
    }
    long long number(const char* sql) { return value(sql).toLongLong(); }

private:
    SqliteDatabase m_db;
};

inline QString ConnectionTo(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path;
}

inline QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

// What OpenConnection reported.
struct Opened {
    QString error;
    bool failed = false;
};

inline Opened Open(SqliteLedgerStore& store, const QString& connection)
{
    Opened opened;
    store.OpenConnection(connection, opened.error, opened.failed);
    return opened;
}

// Runs body in a forked child and gives its exit status: body's result,
// 99 when it threw, 128 + the signal that ended it. The child leaves through
// _exit, so nothing of the test's own state is torn down twice.
inline int RunInChild(const std::function<int()>& body)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0)
        throw std::runtime_error("cannot fork");
    if (child == 0) {
        int status = 99;
        try {
            status = body();
        } catch (const std::exception& error) {
            std::fprintf(stderr, "child: %s\n", error.what());
        }
        std::fflush(nullptr);
        ::_exit(status);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
        if (errno != EINTR)
            throw std::runtime_error("cannot wait for the child");
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// A store opened on a fresh ledger in a temporary folder, shared so that
// probes can look at the file while the store has it open.
struct OpenLedger {
    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("iOrvanta.mdb"));
    SqliteLedgerStore store;
    QString error;
    bool failed = true;

    OpenLedger() { store.OpenConnection(ConnectionTo(path), error, failed); }
    LedgerProbe probe() const { return LedgerProbe(path); }
};
