#pragma once

#include "workbook/Workbook.h"

#include <QString>
#include <QStringView>
#include <QXmlStreamAttributes>

#include <cstdint>
#include <memory>

class ZipPackage;

// The readers behind Workbook::Open, each for the content it was judged to have.
std::unique_ptr<Workbook> OpenXlsx(std::unique_ptr<ZipPackage> package, const QString& strPath,
                                   const WorkbookLimits& limits);
std::unique_ptr<Workbook> OpenOds(std::unique_ptr<ZipPackage> package, const QString& strPath,
                                  const WorkbookLimits& limits);
std::unique_ptr<Workbook> OpenXls(const QString& strPath, const WorkbookLimits& limits);

// A text cell, or an empty one for the empty text: a formula giving "" is no value.
inline WorkbookCell TextCell(QString strText)
{
    return strText.isEmpty() ? WorkbookCell() : WorkbookCell::OfText(std::move(strText));
}

// Counts the cells a sheet gives against the limit, raising past it.
class CellBudget {
public:
    explicit CellBudget(int64_t lngCells) : m_lngLeft(lngCells) { }
    void Spend(int64_t lngCells)
    {
        m_lngLeft -= lngCells;
        if (m_lngLeft < 0)
            throw WorkbookError(WorkbookError::PastTheLimits());
    }

private:
    int64_t m_lngLeft;
};

// An attribute by its local name, in any namespace or none.
QStringView AttributeByLocalName(const QXmlStreamAttributes& attributes, QStringView strLocalName);
