#include "LedgerFailure.h"

#include "EscapedText.h"

#include <QByteArray>

#include <cstdio>
#include <new>

QString FailureText(FailureKind kind, const QString& detail)
{
    switch (kind) {
    case FailureKind::Busy:
        return QStringLiteral("データベースが他で使用中のため書き込めません（%1 秒待ちました）。")
            .arg(kBusyWaitMs / 1000);
    case FailureKind::Full: return QStringLiteral("ディスクがいっぱいのためデータベースに書き込めません。");
    case FailureKind::ReadOnly: return QStringLiteral("データベースが読み取り専用のため書き込めません。");
    case FailureKind::NoPermission: return QStringLiteral("データベースに書き込む権限がありません（%1）。").arg(detail);
    case FailureKind::OutOfMemory: return QStringLiteral("メモリが足りません。");
    case FailureKind::ConnectionLost: return QStringLiteral("データベースサーバーとの接続が切れました: %1").arg(detail);
    case FailureKind::Other: break;
    }
    return QStringLiteral("データベースのエラー: %1").arg(detail);
}

QString NotConnectedText(const QString& reason)
{
    return reason.isEmpty() ? QStringLiteral("データベースに接続していません。")
                            : QStringLiteral("データベースに接続していません: %1").arg(reason);
}

DatabaseFailure::DatabaseFailure(FailureKind kind, const QString& detail) : DatabaseFailure(FailureText(kind, detail))
{
    m_kind = kind;
}

DatabaseFailure::DatabaseFailure(const QString& message)
    : std::runtime_error(message.toStdString()), m_kind(FailureKind::Other), m_message(message)
{
}

QString ThrownText(const std::exception& error)
{
    try {
        if (const auto* failure = dynamic_cast<const DatabaseFailure*>(&error))
            return failure->message();
        return QStringLiteral("台帳の内部エラー: %1").arg(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        return QStringLiteral("台帳の内部エラー");
    }
}

void FailureReasons::Report(const QString& reason) noexcept
{
    if (reason.isEmpty() || m_reported.size() > kMostReasons)
        return;
    try {
        if (m_reported.contains(reason))
            return;
        m_reported.insert(reason);
        const QString text = m_reported.size() > kMostReasons ? QStringLiteral("これ以降の失敗の理由は省略します。")
                                                              : reason;
        // A path or a name in a reason must not end the line or drive the terminal.
        const QByteArray line = QStringLiteral("MoraImport: 台帳: %1\n").arg(EscapeControlCharacters(text)).toUtf8();
        std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
        std::fflush(stderr);
    } catch (...) {
        // Reporting is a help; failing to report must not fail the operation.
    }
}
