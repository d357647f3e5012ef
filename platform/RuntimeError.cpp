#include "RuntimeError.h"

#include <limits>

QString RuntimeError::describe(int number)
{
    switch (number) {
    case ERR_BAD_CALL: return QStringLiteral("プロシージャの呼び出し、または引数が不正です。");
    case ERR_OVERFLOW: return QStringLiteral("オーバーフローしました。");
    case ERR_TYPE_MISMATCH: return QStringLiteral("型が一致しません。");
    case ERR_BAD_FILE_NAME: return QStringLiteral("ファイル名または番号が不正です。");
    case ERR_FILE_NOT_FOUND: return QStringLiteral("ファイルが見つかりません。");
    case ERR_INPUT_PAST_END: return QStringLiteral("ファイルにこれ以上データがありません。");
    case ERR_PERMISSION_DENIED: return QStringLiteral("書き込みできません。");
    case ERR_PATH_FILE_ACCESS: return QStringLiteral("パス名が無効です。");
    case ERR_PATH_NOT_FOUND: return QStringLiteral("パスが見つかりません。");
    case ERR_CANNOT_CREATE_OBJECT: return QStringLiteral("オブジェクトを作成できません。");
    case ERR_AUTOMATION: return QStringLiteral("オートメーション エラーです。");
    default: return QStringLiteral("アプリケーション定義またはオブジェクト定義のエラーです。");
    }
}

RuntimeError::RuntimeError(int number) : RuntimeError(number, describe(number)) { }

RuntimeError::RuntimeError(int number, const QString& description)
    : std::runtime_error(description.toStdString()), m_number(number), m_description(description)
{
}

int16_t AddInt16(int16_t value, int increment)
{
    const int sum = int(value) + increment;
    if (sum > std::numeric_limits<int16_t>::max() || sum < std::numeric_limits<int16_t>::min())
        throw RuntimeError(ERR_OVERFLOW);
    return int16_t(sum);
}
