#pragma once

#include <QString>

// A field of a tab-separated line: its own backslashes, tabs and line
// breaks escaped, as PostgreSQL's text format does.
QString TsvField(QString text);
