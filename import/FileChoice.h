#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class Desktop;

// True when the last three characters of a path, upper-cased, are "CSV".
bool EndsInCsv(const QString& path);
// A CSV file's ending or a workbook's (.xlsx, .xlsm, .xls, .ods), upper-cased.
bool IsImportFilePath(const QString& path);

// Takes the file to import from a list of paths, as a drop on the window
// gives it: one entry whose name ends in CSV or a workbook's ending.
// Anything else is refused with the user told why, and gives nothing. A
// list without entries throws.
std::optional<QString> ChooseImportFile(Desktop& desktop, const QStringList& files);

// The ledger's file and its connection string, under Data/ of the current
// directory of the moment.
QString LedgerFilePath();
QString LedgerConnectionString();

// The same under strDirectory. The data source is written as it is, or
// quoted with its quotes doubled where a ';', a quote at its start or a
// space at either end would keep a reader from taking it back whole.
QString LedgerConnectionStringIn(const QString& strDirectory);
