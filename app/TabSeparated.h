#pragma once

#include <QString>

// A field of a tab-separated line: its own backslashes doubled, then its
// tabs and line breaks written as \t, \n, \r and every other control
// character as EscapeControlCharacters writes it (\x1b, \u2028), so that a
// backslash always begins an escape, no field ends its line, and none
// drives the terminal that shows it.
QString TsvField(QString text);
