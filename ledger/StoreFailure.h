#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>

#include <cstdio>
#include <exception>
#include <new>

// How the ledger stores fail: through the flag and the text, never by
// throwing, and with the reason written where a user can find it.

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
void Guarded(QString& strError, bool& blnFailed, Body&& body) noexcept
{
    try {
        body();
        return;
    } catch (const std::bad_alloc&) {
        strError = QStringLiteral("メモリが足りません。");
    } catch (const std::exception& error) {
        try {
            strError = QStringLiteral("台帳の内部エラー: %1").arg(QString::fromLocal8Bit(error.what()));
        } catch (...) {
            strError = QStringLiteral("台帳の内部エラー");
        }
    } catch (...) {
        strError = QStringLiteral("台帳の内部エラー");
    }
    blnFailed = true;
}

// The engine never shows a store's reasons, so they go to the standard
// error stream, where a terminal or the desktop's journal shows why nothing
// was imported: each reason once per connection, not once per line.
class FailureReasons {
public:
    // Distinct reasons beyond this many are not written one by one.
    static constexpr qsizetype kMostReasons = 100;

    void Report(const QString& reason) noexcept
    {
        if (reason.isEmpty() || m_reported.size() > kMostReasons)
            return;
        try {
            if (m_reported.contains(reason))
                return;
            m_reported.insert(reason);
            const QString text = m_reported.size() > kMostReasons
                                     ? QStringLiteral("これ以降の失敗の理由は省略します。")
                                     : reason;
            const QByteArray line = QStringLiteral("MoraImport: 台帳: %1\n").arg(text).toUtf8();
            std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
            std::fflush(stderr);
        } catch (...) {
            // Reporting is a help; failing to report must not fail the operation.
        }
    }
    // Counts a reason as written without writing it: one that follows from
    // another already written.
    void Suppress(const QString& reason) { m_reported.insert(reason); }
    // A new connection: its reasons are news again.
    void Forget() { m_reported.clear(); }

private:
    QSet<QString> m_reported;
};
