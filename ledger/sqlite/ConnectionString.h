#pragma once

#include <QString>

// The database file named by an OLE DB style connection string:
// key=value pairs separated by ';', keys case-insensitive, spaces around
// keys and values ignored, a value may be quoted with ' or " (a doubled
// quote inside stands for itself). Other keys, the provider among them,
// are accepted and ignored.
struct DataSourceResult {
    QString path;  // empty when error is set
    QString error;
};

DataSourceResult DataSourceOf(const QString& strConnection);
