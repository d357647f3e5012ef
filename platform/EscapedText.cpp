#include "EscapedText.h"

namespace {

bool NeedsEscape(char16_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

QString HexEscape(char16_t c)
{
    if (c < 0x100)
        return QStringLiteral("\\x%1").arg(unsigned(c), 2, 16, QLatin1Char('0'));
    return QStringLiteral("\\u%1").arg(unsigned(c), 4, 16, QLatin1Char('0'));
}

}  // namespace

QString EscapeControlCharacters(QStringView text)
{
    qsizetype first = 0;
    while (first < text.size() && !NeedsEscape(text[first].unicode()))
        ++first;
    if (first == text.size())
        return text.toString();

    QString escaped = text.first(first).toString();
    escaped.reserve(text.size() + 8);
    for (qsizetype i = first; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (!NeedsEscape(c)) {
            escaped += QChar(c);
            continue;
        }
        switch (c) {
        case u'\n': escaped += QStringLiteral("\\n"); break;
        case u'\r': escaped += QStringLiteral("\\r"); break;
        case u'\t': escaped += QStringLiteral("\\t"); break;
        default: escaped += HexEscape(c); break;
        }
    }
    return escaped;
}
