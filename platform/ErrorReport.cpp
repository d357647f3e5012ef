#include "ErrorReport.h"

#include "RuntimeError.h"

QString ErrorDescription(const std::exception& error)
{
    if (const auto* runtimeError = dynamic_cast<const RuntimeError*>(&error))
        return runtimeError->description();
    return QString::fromUtf8(error.what());
}

QString ErrorReportText(const QString& strCode, const std::exception& error)
{
    return ErrorReportText(strCode, ErrorDescription(error));
}

QString ErrorReportText(const QString& strCode, const QString& strDescription)
{
    return strCode + QStringLiteral("\r\n") + strDescription;
}

void ReportError(Desktop& desktop, const QString& strCode, const std::exception& error, PointerOnError pointer)
{
    if (pointer == PointerOnError::Reset)
        desktop.SetMousePointer(POINTER_DEFAULT);
    desktop.MsgBox(ErrorReportText(strCode, error), MB_OK, QString());
}

void ReportLineError(Desktop& desktop, const QString& strCode, const QString& strDescription,
                     const LineReportPlace& place, PointerOnError pointer)
{
    if (pointer == PointerOnError::Reset)
        desktop.SetMousePointer(POINTER_DEFAULT);
    desktop.LineReport(ErrorReportText(strCode, strDescription), place);
}
