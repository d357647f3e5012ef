#include "ErrorReport.h"

#include "RuntimeError.h"

QString ErrorDescription(const std::exception& error)
{
    if (const auto* runtimeError = dynamic_cast<const RuntimeError*>(&error))
        return runtimeError->description();
    return QString::fromUtf8(error.what());
}

void ReportError(Desktop& desktop, const QString& strCode, const std::exception& error,
                 PointerOnError pointer)
{
    if (pointer == PointerOnError::Reset)
        desktop.SetMousePointer(POINTER_DEFAULT);
    desktop.MsgBox(strCode + QStringLiteral("\r\n") + ErrorDescription(error), MB_OK, QString());
}
