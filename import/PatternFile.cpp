#include "PatternFile.h"

#include "ColumnMap.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <optional>
#include <vector>

namespace {

const QString kAuto = QStringLiteral("auto");

// A key written twice in one object: QJsonDocument keeps only the last, so
// the text is looked at itself. Nothing when there is none.
std::optional<QString> RepeatedKey(const QByteArray& json)
{
    std::vector<QSet<QString>> objects;  // the keys met, per object open
    std::vector<bool> isObject;          // per bracket open: an object, or an array
    for (qsizetype i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (c == '{' || c == '[') {
            isObject.push_back(c == '{');
            if (c == '{')
                objects.emplace_back();
        } else if (c == '}' || c == ']') {
            if (!isObject.empty() && isObject.back())
                objects.pop_back();
            if (!isObject.empty())
                isObject.pop_back();
        } else if (c == '"') {
            qsizetype end = i + 1;
            while (end < json.size() && json[end] != '"')
                end += json[end] == '\\' ? 2 : 1;
            const QByteArray literal = json.mid(i, end - i + 1);
            i = end;
            qsizetype next = end + 1;
            while (next < json.size() && QChar::isSpace(uchar(json[next])))
                ++next;
            if (next >= json.size() || json[next] != ':' || isObject.empty() || !isObject.back())
                continue;
            const QJsonDocument decoded = QJsonDocument::fromJson('[' + literal + ']');
            const QString key = decoded.array().at(0).toString();
            if (objects.back().contains(key))
                return key;
            objects.back().insert(key);
        }
    }
    return std::nullopt;
}

std::optional<PatternField> FieldNamed(const QString& name)
{
    for (std::size_t i = 0; i < kPatternFieldCount; ++i) {
        if (PatternFieldName(PatternField(i)) == name)
            return PatternField(i);
    }
    return std::nullopt;
}

// "#7" is the file's column 7; "#0" and "#-1" name no column.
std::optional<int> ColumnNumber(const QString& text, bool& blnNumbered)
{
    blnNumbered = false;
    if (!text.startsWith(u'#') || text.size() < 2)
        return std::nullopt;
    bool ok = false;
    const int number = text.mid(1).toInt(&ok);
    blnNumbered = ok;
    return ok ? std::optional<int>(number) : std::nullopt;
}

// A field's source as the file writes it, or why it cannot be one.
std::variant<PatternSource, QString> SourceOf(const QString& field, const QJsonValue& value)
{
    if (value.isString()) {
        const QString text = value.toString();
        if (text.trimmed().isEmpty())
            return QStringLiteral("「%1」の列の見出しが空です。").arg(field);
        bool blnNumbered = false;
        if (const std::optional<int> number = ColumnNumber(text, blnNumbered); blnNumbered) {
            if (*number < 1)
                return QStringLiteral("「%1」の列番号 %2 は 1 以上にしてください。").arg(field, text);
            return PatternSource{PatternSource::Kind::Number, QString(), *number};
        }
        return PatternSource{PatternSource::Kind::Header, text, 0};
    }
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        const QJsonValue fixed = object.value(QStringLiteral("value"));
        if (object.size() == 1 && fixed.isString())
            return PatternSource{PatternSource::Kind::Value, fixed.toString(), 0};
        if (object.size() == 1 && fixed.isDouble())
            return PatternSource{PatternSource::Kind::Value, QString::number(fixed.toDouble(), 'g', 15), 0};
    }
    return QStringLiteral("「%1」は見出し（\"伝票日付\"）、列番号（\"#3\"）、固定値（{\"value\": "
                          "\"商品\"}）のどれかで書いてください。")
        .arg(field);
}

bool DateFormatUsable(const QString& format)
{
    const QDate probe(2024, 11, 23);
    const QString written = probe.toString(format);
    return !written.isEmpty() && QDate::fromString(written, format) == probe;
}

QString EncodingName(PatternEncoding encoding)
{
    switch (encoding) {
    case PatternEncoding::Auto: return kAuto;
    case PatternEncoding::Cp932: return QStringLiteral("cp932");
    case PatternEncoding::Utf8: return QStringLiteral("utf-8");
    }
    return kAuto;
}

std::optional<PatternEncoding> EncodingNamed(const QString& name)
{
    const QString folded = name.toLower();
    if (folded == kAuto)
        return PatternEncoding::Auto;
    if (folded == QStringLiteral("cp932") || folded == QStringLiteral("shift_jis") || folded == QStringLiteral("sjis"))
        return PatternEncoding::Cp932;
    if (folded == QStringLiteral("utf-8") || folded == QStringLiteral("utf8"))
        return PatternEncoding::Utf8;
    return std::nullopt;
}

// The settings beside the columns; empty when they are right.
QString ReadSettings(const QJsonObject& object, ImportPattern& pattern)
{
    static const QSet<QString> known = {
        QStringLiteral("name"),       QStringLiteral("mode"),  QStringLiteral("encoding"), QStringLiteral("headerRow"),
        QStringLiteral("dateFormat"), QStringLiteral("sheet"), QStringLiteral("columns")};
    for (const QString& key : object.keys()) {
        if (!known.contains(key))
            return QStringLiteral("「%1」という設定はありません。").arg(key);
    }
    pattern.strName = object.value(QStringLiteral("name")).toString().trimmed();
    const QString mode = object.value(QStringLiteral("mode")).toString();
    if (mode != QStringLiteral("sales") && mode != QStringLiteral("purchase"))
        return QStringLiteral("mode は \"sales\"（売上）か \"purchase\"（仕入）にしてください。");
    pattern.blnPurchase = mode == QStringLiteral("purchase");
    const QJsonValue encoding = object.value(QStringLiteral("encoding"));
    const std::optional<PatternEncoding> named = EncodingNamed(encoding.isUndefined() ? kAuto : encoding.toString());
    if (!named)
        return QStringLiteral("encoding は \"auto\"、\"cp932\"、\"utf-8\" のどれかにしてください。");
    pattern.encoding = *named;
    const QJsonValue headerRow = object.value(QStringLiteral("headerRow"));
    const double row = headerRow.isUndefined() ? 1.0 : headerRow.toDouble(-1.0);
    if (!headerRow.isUndefined() && !headerRow.isDouble())
        return QStringLiteral("headerRow は見出しの行の番号（見出しがなければ 0）にしてください。");
    if (row < 0 || row != double(int(row)) || row > 1000)
        return QStringLiteral("headerRow は見出しの行の番号（見出しがなければ 0）にしてください。");
    pattern.intHeaderRow = int(row);
    const QString dateFormat = object.value(QStringLiteral("dateFormat")).toString(kAuto);
    pattern.strDateFormat = dateFormat == kAuto ? QString() : dateFormat;
    pattern.strSheet = object.value(QStringLiteral("sheet")).toString();
    return QString();
}

QString Quoted(const QString& text)
{
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

}  // namespace

std::variant<ImportPattern, QString> ReadPatternFile(const QByteArray& json)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError)
        return QStringLiteral("取込パターンのファイルが JSON として読めません（%1 バイト目: %2）。")
            .arg(error.offset + 1)
            .arg(error.errorString());
    if (!document.isObject())
        return QStringLiteral("取込パターンのファイルは { } で囲んだ JSON のオブジェクトにしてください。");
    if (const std::optional<QString> repeated = RepeatedKey(json))
        return QStringLiteral("「%1」が二度書かれています。").arg(*repeated);
    const QJsonObject object = document.object();
    ImportPattern pattern;
    if (const QString problem = ReadSettings(object, pattern); !problem.isEmpty())
        return problem;
    const QJsonValue columns = object.value(QStringLiteral("columns"));
    if (!columns.isObject())
        return QStringLiteral("columns に、項目ごとにどの列から読むかを書いてください。");
    const QJsonObject columnObject = columns.toObject();
    for (auto it = columnObject.begin(); it != columnObject.end(); ++it) {
        const std::optional<PatternField> field = FieldNamed(it.key());
        if (!field)
            return QStringLiteral("「%1」という項目はありません。").arg(it.key());
        std::variant<PatternSource, QString> source = SourceOf(it.key(), it.value());
        if (const QString* problem = std::get_if<QString>(&source))
            return *problem;
        pattern.SourceOf(*field) = std::get<PatternSource>(std::move(source));
    }
    if (const QString problem = PatternProblem(pattern); !problem.isEmpty())
        return problem;
    return pattern;
}

QString PatternProblem(const ImportPattern& pattern)
{
    if (pattern.strName.trimmed().isEmpty())
        return QStringLiteral("取込パターンの名前がありません。");
    // A name is one line of --patterns, and a server stores no NUL.
    if (std::any_of(pattern.strName.begin(), pattern.strName.end(),
                    [](QChar c) { return c.category() == QChar::Other_Control; }))
        return QStringLiteral("取込パターンの名前に制御文字は使えません。");
    for (const PatternField field : {PatternField::Date, PatternField::ProductName, PatternField::PartyName}) {
        if (pattern.SourceOf(field).kind == PatternSource::Kind::Nothing)
            return QStringLiteral("「%1」をどの列から読むかがありません。").arg(PatternFieldName(field));
    }
    for (const PatternSource& source : pattern.sources) {
        if (source.kind == PatternSource::Kind::Number && source.intNumber < 1)
            return QStringLiteral("列番号は 1 以上にしてください。");
        if (source.kind == PatternSource::Kind::Header && pattern.intHeaderRow == 0)
            return QStringLiteral("見出しのないファイルの列は「#3」のように番号で指定してください。");
    }
    if (pattern.intHeaderRow < 0)
        return QStringLiteral("headerRow は見出しの行の番号（見出しがなければ 0）にしてください。");
    if (!pattern.strDateFormat.isEmpty() && !DateFormatUsable(pattern.strDateFormat))
        return QStringLiteral("日付の形式「%1」では日付を読めません（例: yyyyMMdd、yyyy/M/d）。")
            .arg(pattern.strDateFormat);
    return QString();
}

QByteArray WritePatternFile(const ImportPattern& pattern)
{
    QStringList lines;
    lines << QStringLiteral("  \"name\": %1").arg(Quoted(pattern.strName))
          << QStringLiteral("  \"mode\": \"%1\"")
                 .arg(pattern.blnPurchase ? QStringLiteral("purchase") : QStringLiteral("sales"))
          << QStringLiteral("  \"encoding\": \"%1\"").arg(EncodingName(pattern.encoding))
          << QStringLiteral("  \"headerRow\": %1").arg(pattern.intHeaderRow)
          << QStringLiteral("  \"dateFormat\": %1")
                 .arg(Quoted(pattern.strDateFormat.isEmpty() ? kAuto : pattern.strDateFormat));
    if (!pattern.strSheet.isEmpty())
        lines << QStringLiteral("  \"sheet\": %1").arg(Quoted(pattern.strSheet));
    QStringList columns;
    for (std::size_t i = 0; i < kPatternFieldCount; ++i) {
        const PatternSource& source = pattern.sources[i];
        QString written;
        switch (source.kind) {
        case PatternSource::Kind::Nothing: continue;
        case PatternSource::Kind::Header: written = Quoted(source.strText); break;
        case PatternSource::Kind::Number: written = QStringLiteral("\"#%1\"").arg(source.intNumber); break;
        case PatternSource::Kind::Value: written = QStringLiteral("{\"value\": %1}").arg(Quoted(source.strText)); break;
        }
        columns << QStringLiteral("    %1: %2").arg(Quoted(PatternFieldName(PatternField(i))), written);
    }
    lines << QStringLiteral("  \"columns\": {\n%1\n  }").arg(columns.join(QStringLiteral(",\n")));
    return (QStringLiteral("{\n") + lines.join(QStringLiteral(",\n")) + QStringLiteral("\n}\n")).toUtf8();
}

QStringList PatternHeaderTexts(const ImportPattern& pattern)
{
    QStringList texts;
    for (const PatternSource& source : pattern.sources) {
        if (source.kind == PatternSource::Kind::Header)
            texts << source.strText;
    }
    return texts;
}
