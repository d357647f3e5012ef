#pragma once

#include <QSet>
#include <QString>

#include <stdexcept>

// How the ledger fails, whichever database lies under it. Each engine maps
// its own codes to a kind; the kind gives the user's text.

enum class FailureKind { Busy, Full, ReadOnly, NoPermission, OutOfMemory, ConnectionLost, Other };

// How long a ledger that another program is writing (outside the turns of
// runs) is waited for before an operation fails.
constexpr int kBusyWaitMs = 3000;

// The user's text for a failure; detail is the engine's own words, where
// the kind needs them.
QString FailureText(FailureKind kind, const QString& detail);

// What every operation says after the ledger could not be opened for reason.
QString NotConnectedText(const QString& reason);

// A statement or a connection failed.
class DatabaseFailure : public std::runtime_error {
public:
    DatabaseFailure(FailureKind kind, const QString& detail);
    // A failure told in the ledger's own words.
    explicit DatabaseFailure(const QString& message);

    FailureKind kind() const { return m_kind; }
    const QString& message() const { return m_message; }

private:
    FailureKind m_kind;
    QString m_message;
};

// Operations report failure through the flag and the text, never by throwing.

inline void Fail(QString& strError, bool& blnFailed, const QString& text)
{
    strError = text;
    blnFailed = true;
}

inline void Succeed(QString& strError, bool& blnFailed)
{
    strError.clear();
    blnFailed = false;
}

// Runs body and turns anything it throws into a failure.
template <typename Body>
void Guarded(QString& strError, bool& blnFailed, Body&& body) noexcept;

// The engine never shows a store's reasons, so they go to the standard
// error stream, where a terminal or the desktop's journal shows why nothing
// was imported: each reason once per connection, not once per line.
class FailureReasons {
public:
    // Distinct reasons beyond this many are not written one by one.
    static constexpr qsizetype kMostReasons = 100;

    void Report(const QString& reason) noexcept;
    // Counts a reason as written without writing it: one that follows from
    // another already written.
    void Suppress(const QString& reason) { m_reported.insert(reason); }
    // A new connection: its reasons are news again.
    void Forget() { m_reported.clear(); }

private:
    QSet<QString> m_reported;
};

// The text of whatever was thrown, for the flag's text.
QString ThrownText(const std::exception& error);

template <typename Body>
void Guarded(QString& strError, bool& blnFailed, Body&& body) noexcept
{
    try {
        body();
        return;
    } catch (const std::bad_alloc&) {
        strError = FailureText(FailureKind::OutOfMemory, QString());
    } catch (const std::exception& error) {
        strError = ThrownText(error);
    } catch (...) {
        strError = QStringLiteral("台帳の内部エラー");
    }
    blnFailed = true;
}
