#include "PatternSuggestions.h"

#include <climits>
#include <vector>

namespace {

enum class Modes : uint8_t { Both, Sales, Purchase };

// The texts that suggest a field, folded, the plainest first.
struct Suggestion {
    PatternField field;
    Modes modes;
    std::vector<QStringView> texts;
};

const Suggestion kSuggestions[] = {
    {PatternField::Date,
     Modes::Both,
     {u"日付", u"売上日", u"仕入日", u"伝票日付", u"取引日", u"売上日付", u"仕入日付", u"納品日", u"出荷日", u"入荷日",
      u"計上日", u"年月日"}},
    {PatternField::Kind, Modes::Both, {u"種別", u"区分", u"分類", u"商品区分", u"商品分類", u"品種"}},
    {PatternField::Maker, Modes::Both, {u"メーカー", u"メーカー名", u"メーカ", u"製造元", u"製造者"}},
    {PatternField::ProductName, Modes::Both, {u"製品名", u"商品名", u"品名", u"品目", u"品目名", u"製品", u"商品"}},
    {PatternField::Model, Modes::Both, {u"型式", u"型番", u"品番", u"形式", u"型名"}},
    {PatternField::Spec, Modes::Both, {u"仕様", u"規格"}},
    {PatternField::Quantity,
     Modes::Both,
     {u"数量", u"個数", u"数", u"売上数量", u"仕入数量", u"出荷数量", u"出荷数", u"入荷数量", u"入荷数"}},
    {PatternField::UnitPrice, Modes::Both, {u"単価", u"販売単価", u"仕入単価", u"売単価", u"売上単価", u"原単価"}},
    {PatternField::Amount, Modes::Both, {u"金額", u"売上金額", u"仕入金額", u"販売金額", u"合計金額", u"税抜金額"}},
    {PatternField::PartyName,
     Modes::Sales,
     {u"得意先名", u"得意先", u"顧客名", u"顧客", u"販売先", u"販売先名", u"取引先名", u"取引先", u"売上先"}},
    {PatternField::PartyName,
     Modes::Purchase,
     {u"仕入先名", u"仕入先", u"取引先名", u"取引先", u"購入先", u"購入先名", u"発注先", u"発注先名"}},
};

// What a reading of a name is written as, folded; the longer before the shorter it ends.
constexpr QStringView kReadingMarks[] = {u"よみがな", u"ヨミガナ", u"読みがな", u"ふりがな", u"フリガナ",
                                         u"読み",     u"よみ",     u"ヨミ",     u"かな",     u"カナ"};

// A field suggested, with how plainly: 0 the plainest.
struct Candidate {
    PatternField field;
    int intRank;
};

// Readings by their name come after the names; a bare reading by its neighbour after those.
constexpr int kNeighbourRank = 1000;

bool InMode(Modes modes, bool blnPurchase) { return modes == Modes::Both || (modes == Modes::Purchase) == blnPurchase; }

std::optional<Candidate> NameCandidate(const QString& folded, bool blnPurchase)
{
    for (const Suggestion& suggestion : kSuggestions) {
        if (!InMode(suggestion.modes, blnPurchase))
            continue;
        int rank = 0;
        for (const QStringView text : suggestion.texts) {
            if (folded == text)
                return Candidate{suggestion.field, rank};
            ++rank;
        }
    }
    return std::nullopt;
}

std::optional<PatternField> ReadingOf(PatternField name)
{
    if (name == PatternField::ProductName)
        return PatternField::ProductReading;
    if (name == PatternField::PartyName)
        return PatternField::PartyReading;
    return std::nullopt;
}

// The reading mark a folded text ends with, or nothing.
std::optional<QStringView> ReadingMark(const QString& folded)
{
    for (const QStringView mark : kReadingMarks) {
        if (folded.endsWith(mark))
            return mark;
    }
    return std::nullopt;
}

// A field suggested by a text alone; a bare reading suggests none.
std::optional<Candidate> CandidateOf(const QString& folded, bool blnPurchase)
{
    if (const std::optional<Candidate> name = NameCandidate(folded, blnPurchase))
        return name;
    const std::optional<QStringView> mark = ReadingMark(folded);
    if (!mark || folded.size() == mark->size())
        return std::nullopt;
    const std::optional<Candidate> stem = NameCandidate(folded.chopped(mark->size()), blnPurchase);
    if (!stem)
        return std::nullopt;
    const std::optional<PatternField> reading = ReadingOf(stem->field);
    if (!reading)
        return std::nullopt;
    return Candidate{*reading, stem->intRank};
}

bool IsBareReading(const QString& folded)
{
    const std::optional<QStringView> mark = ReadingMark(folded);
    return mark && folded.size() == mark->size();
}

}  // namespace

QString FoldedHeaderText(QStringView text)
{
    const QString normal = text.toString().normalized(QString::NormalizationForm_KC).toLower();
    QString folded;
    folded.reserve(normal.size());
    for (const QChar c : normal) {
        if (c.isSpace() || QStringView(u"()[]{}<>【】「」『』〔〕").contains(c))
            continue;
        folded += c;
    }
    return folded;
}

std::optional<PatternField> SuggestField(QStringView header, bool blnPurchase)
{
    const std::optional<Candidate> candidate = CandidateOf(FoldedHeaderText(header), blnPurchase);
    return candidate ? std::optional(candidate->field) : std::nullopt;
}

std::vector<std::optional<PatternField>> SuggestColumnFields(const QStringList& headers, bool blnPurchase)
{
    const qsizetype count = headers.size();
    QStringList folded;
    for (const QString& header : headers)
        folded << FoldedHeaderText(header);
    std::vector<std::optional<Candidate>> candidates;
    for (const QString& text : folded)
        candidates.push_back(CandidateOf(text, blnPurchase));
    // A bare reading reads the name beside it, as that name's own text suggests it.
    for (qsizetype column = 0; column < count; ++column) {
        if (!IsBareReading(folded[column]))
            continue;
        for (const qsizetype neighbour : {column + 1, column - 1}) {
            if (neighbour < 0 || neighbour >= count)
                continue;
            const std::optional<Candidate> name = NameCandidate(folded[neighbour], blnPurchase);
            const std::optional<PatternField> reading = name ? ReadingOf(name->field) : std::nullopt;
            if (reading) {
                candidates[std::size_t(column)] = Candidate{*reading, kNeighbourRank + name->intRank};
                break;
            }
        }
    }
    // Each field to the plainest of the columns that suggest it, the leftmost among equals.
    std::array<std::optional<std::size_t>, kPatternFieldCount> chosen;
    for (std::size_t column = 0; column < candidates.size(); ++column) {
        if (!candidates[column])
            continue;
        std::optional<std::size_t>& best = chosen[std::size_t(candidates[column]->field)];
        if (!best || candidates[column]->intRank < candidates[*best]->intRank)
            best = column;
    }
    std::vector<std::optional<PatternField>> fields(candidates.size());
    for (const PatternField field : kPatternFields) {
        if (const std::optional<std::size_t> column = chosen[std::size_t(field)])
            fields[*column] = field;
    }
    return fields;
}

std::array<PatternSource, kPatternFieldCount> SuggestSources(const QStringList& headers, bool blnPurchase)
{
    std::array<PatternSource, kPatternFieldCount> sources;
    const std::vector<std::optional<PatternField>> fields = SuggestColumnFields(headers, blnPurchase);
    for (std::size_t column = 0; column < fields.size(); ++column) {
        if (!fields[column])
            continue;
        const QString text = headers[qsizetype(column)].trimmed();
        qsizetype same = 0;
        for (const QString& header : headers)
            same += header.trimmed() == text ? 1 : 0;
        PatternSource& source = sources[std::size_t(*fields[column])];
        if (text.isEmpty() || same > 1)
            source = PatternSource{PatternSource::Kind::Number, QString(), int(column) + 1};
        else
            source = PatternSource{PatternSource::Kind::Header, text, 0};
    }
    return sources;
}
