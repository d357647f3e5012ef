#pragma once

#include <QString>
#include <QStringView>

// Text for one line of a log or a terminal: every control character (C0,
// DEL, C1) and the Unicode line and paragraph separators are written as
// escapes (\n, \r, \t, \x1b, \u2028), so that no name or value read from
// outside can end the line, forge the next one or drive the terminal. All
// else, backslashes included, stays as it is.
QString EscapeControlCharacters(QStringView text);
