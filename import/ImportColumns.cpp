#include "ImportColumns.h"

std::optional<bool> HeaderItemMode(int16_t intColumn, QStringView strItem, bool blnPurchase)
{
    // Past the template's columns the header may say anything.
    if (intColumn < 1 || intColumn > kImportColumnCount)
        return blnPurchase;
    const ImportColumn& column = kImportColumns[std::size_t(intColumn - 1)];
    if (column.field == ImportField::PartyName) {
        // The party's column settles the mode; a sales header leaves it as it was.
        if (strItem == column.names[0])
            return true;
        return strItem == column.names[1] ? std::optional(blnPurchase) : std::nullopt;
    }
    if (strItem == column.names[0] || strItem == column.names[1])
        return blnPurchase;
    return std::nullopt;
}

QString CodeOfColumn(int16_t intColumn)
{
    if (intColumn < 1 || intColumn > kImportColumnCount)
        return QStringLiteral("CLS-is1001");
    return kImportColumns[std::size_t(intColumn - 1)].code.toString();
}
