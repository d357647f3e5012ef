#include "MaskedConnection.h"

#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <algorithm>

namespace {

constexpr QStringView kMask = u"****";

struct Masking {
    QString text;         // the string with its passwords masked
    QStringList secrets;  // each password as written and as read
};

Masking Mask(QStringView text);

// A URI's scheme, libpq's (postgresql://, postgres://) or another written by mistake.
const QRegularExpression& Scheme()
{
    static const QRegularExpression scheme(QStringLiteral("^\\s*[A-Za-z][A-Za-z0-9+.-]*://"));
    return scheme;
}

// password and sslpassword, and the misspellings libpq refuses but quotes.
bool IsPasswordKey(QStringView key)
{
    return (key.contains(u"pass", Qt::CaseInsensitive) && key.compare(u"passfile", Qt::CaseInsensitive) != 0)
           || key.contains(u"pwd", Qt::CaseInsensitive);
}

// As libpq's isspace sees it.
bool IsSpace(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f' || c == u'\v'; }

QString PercentDecoded(QStringView text) { return QUrl::fromPercentEncoding(text.toUtf8()); }

// A value that is itself a connection string (a database named
// "host=… password=…" reaches the server's messages as it is). Only a
// value shorter than the text it is part of is looked into, so that the
// looking ends.
QString NestedMasked(QStringView raw, const QString& read, qsizetype partOf, QStringList& secrets)
{
    if (read.size() >= partOf)
        return raw.toString();
    const Masking nested = Mask(read);
    if (nested.secrets.isEmpty())
        return raw.toString();
    secrets += nested.secrets;
    return nested.text;
}

// text's [begin, end) masked and remembered as a password; an empty one
// hides nothing.
void MaskSpan(QString& masked, QStringView text, qsizetype begin, qsizetype end, QStringList& secrets)
{
    if (begin == end)
        return;
    const QStringView raw = text.sliced(begin, end - begin);
    secrets << raw.toString() << PercentDecoded(raw);
    masked += kMask;
}

// The query of a URI, from its '?': name=value pairs joined by '&'.
void MaskQuery(QString& masked, QStringView query, QStringList& secrets)
{
    const QList<QStringView> parameters = query.split(u'&');
    for (qsizetype i = 0; i < parameters.size(); ++i) {
        if (i > 0)
            masked += u'&';
        const QStringView parameter = parameters[i];
        const qsizetype equals = parameter.indexOf(u'=');
        if (equals < 0) {
            masked += parameter;
            continue;
        }
        const QStringView value = parameter.sliced(equals + 1);
        masked += parameter.first(equals + 1);
        if (IsPasswordKey(PercentDecoded(parameter.first(equals))))
            MaskSpan(masked, value, 0, value.size(), secrets);
        else
            masked += NestedMasked(value, PercentDecoded(value), query.size(), secrets);
    }
}

// [scheme://][user[:password]@]host…[/database][?query]. libpq ends the
// user part at its first '@'; a password holding a raw '@', '/' or '?',
// which libpq cannot read, is masked up to the last '@' all the same.
// Without a scheme, a word of a connection string that libpq could not
// read on from, or a database's name: "user:password@host" written so is
// masked all the same.
Masking MaskUri(QStringView text)
{
    Masking result;
    QString& masked = result.text;
    const QRegularExpressionMatch scheme = Scheme().match(text);
    const qsizetype start = scheme.hasMatch() ? scheme.capturedLength() : 0;
    masked += text.first(start);
    qsizetype next = start;
    const qsizetype colon = text.indexOf(u':', start);
    const qsizetype at = text.lastIndexOf(u'@');
    if (colon >= 0 && at > colon) {
        masked += text.sliced(start, colon + 1 - start);
        MaskSpan(masked, text, colon + 1, at, result.secrets);
        // libpq's own reading, should its words quote it.
        const qsizetype firstAt = text.indexOf(u'@', colon);
        if (firstAt < at) {
            const QStringView read = text.sliced(colon + 1, firstAt - colon - 1);
            result.secrets << read.toString() << PercentDecoded(read);
        }
        next = at;
    }
    const qsizetype query = text.indexOf(u'?', next);
    const QStringView path = text.sliced(next, (query < 0 ? text.size() : query) - next);
    masked += NestedMasked(path, PercentDecoded(path), text.size(), result.secrets);
    if (query >= 0) {
        masked += u'?';
        MaskQuery(masked, text.sliced(query + 1), result.secrets);
    }
    // Where libpq's query begins in a string it reads otherwise (a '?' or
    // '@' in the user part), its passwords are known all the same.
    for (qsizetype other = text.indexOf(u'?', start); other >= 0; other = text.indexOf(u'?', other + 1)) {
        QString unused;
        if (other != query)
            MaskQuery(unused, text.sliced(other + 1), result.secrets);
    }
    return result;
}

// key = value pairs, a value quoted in '…' or not, a backslash escaping
// the character after it, as libpq reads them; a text without '=' is a
// database's name to libpq, its words masked as the stray words of a
// string libpq cannot read.
Masking MaskKeywords(QStringView text)
{
    Masking result;
    QString& masked = result.text;
    const qsizetype n = text.size();
    qsizetype i = 0;
    const auto copySpaces = [&] {
        const qsizetype from = i;
        while (i < n && IsSpace(text[i]))
            ++i;
        masked += text.sliced(from, i - from);
    };
    while (true) {
        copySpaces();
        if (i >= n)
            break;
        const qsizetype keyStart = i;
        while (i < n && !IsSpace(text[i]) && text[i] != u'=')
            ++i;
        const QStringView key = text.sliced(keyStart, i - keyStart);
        qsizetype equals = i;
        while (equals < n && IsSpace(text[equals]))
            ++equals;
        const bool hasEquals = equals < n && text[equals] == u'=';
        if (!hasEquals && !IsPasswordKey(key)) {
            const Masking word = MaskUri(key);
            masked += word.text;
            result.secrets += word.secrets;
            continue;
        }
        // A password key without its '=' still has its value masked.
        masked += key;
        if (hasEquals) {
            masked += text.sliced(i, equals + 1 - i);
            i = equals + 1;
        }
        copySpaces();
        const qsizetype valueStart = i;
        QString read;
        const bool quoted = i < n && text[i] == u'\'';
        if (quoted)
            ++i;
        while (i < n && (quoted ? text[i] != u'\'' : !IsSpace(text[i]))) {
            if (text[i] == u'\\' && ++i == n)
                break;  // a backslash at the end escapes nothing and is dropped
            read += text[i++];
        }
        if (quoted && i < n)
            ++i;  // the closing quote
        const QStringView raw = text.sliced(valueStart, i - valueStart);
        if (IsPasswordKey(key)) {
            MaskSpan(masked, text, valueStart, i, result.secrets);
            QStringView inner = raw;
            if (quoted) {
                inner = inner.sliced(1);
                if (inner.endsWith(u'\''))
                    inner.chop(1);
            }
            result.secrets << read << inner.toString();
        } else {
            const QString value = NestedMasked(raw, read, n, result.secrets);
            masked += quoted && value != raw ? u'\'' + value + u'\'' : value;
        }
    }
    return result;
}

Masking Mask(QStringView text) { return Scheme().match(text).hasMatch() ? MaskUri(text) : MaskKeywords(text); }

}  // namespace

QString MaskedConnection(const QString& strConnection) { return Mask(strConnection).text; }

QString WithoutPasswords(QString text, const QString& strConnection, const QString& strPassword)
{
    const Masking masking = Mask(strConnection);
    if (!strConnection.isEmpty()) {
        text.replace(strConnection, masking.text);
        // Messages reach the user with their white space collapsed.
        if (const QString simplified = strConnection.simplified(); !simplified.isEmpty())
            text.replace(simplified, masking.text.simplified());
    }
    QStringList secrets;
    for (const QString& secret : masking.secrets + QStringList{strPassword}) {
        // White space alone would mask every space of the text instead.
        if (!secret.simplified().isEmpty())
            secrets << secret << secret.simplified();
    }
    secrets.removeDuplicates();
    // The longest first, so that a password holding another is masked whole.
    std::sort(secrets.begin(), secrets.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& secret : secrets)
        text.replace(secret, kMask.toString());
    return text;
}
