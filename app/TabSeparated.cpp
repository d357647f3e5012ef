#include "TabSeparated.h"

#include "EscapedText.h"

QString TsvField(QString text) { return EscapeControlCharacters(text.replace(u'\\', QStringLiteral("\\\\"))); }
