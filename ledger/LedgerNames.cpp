#include "LedgerNames.h"

#include <algorithm>
#include <limits>
#include <unordered_set>

namespace {

// The length of text in UTF-8, without writing it out.
qsizetype Utf8Length(QStringView text)
{
    qsizetype length = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < 0x80)
            length += 1;
        else if (c < 0x800)
            length += 2;
        else if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            length += 4;
            ++i;
        } else {
            length += 3;
        }
    }
    return length;
}

// The write of a name outside a run: committed, or rolled back however it ends.
class LoneWrite {
public:
    explicit LoneWrite(LedgerEngine& engine) : m_engine(engine) { m_engine.beginLoneWrite(); }
    ~LoneWrite()
    {
        if (!m_committed)
            m_engine.database().rollback();
    }
    LoneWrite(const LoneWrite&) = delete;
    LoneWrite& operator=(const LoneWrite&) = delete;

    void commit()
    {
        m_committed = true;
        m_engine.commitLoneWrite();
    }

private:
    LedgerEngine& m_engine;
    bool m_committed = false;
};

// Signs that code page 932 decodes to one character and UTF-8 texts write
// as another, each pair read as one character in a key. Both are folded
// after NFKC, so that the key is the same whatever NFKC makes of either.
struct CodePageTwin {
    char16_t cp932;
    char16_t unicode;
    char16_t key;
};
constexpr CodePageTwin kCodePageTwins[] = {
    {0xFF5E, 0x301C, u'~'},    // ～ 〜
    {0xFF0D, 0x2212, u'-'},    // － −
    {0x2225, 0x2016, 0x2225},  // ∥ ‖
    {0x2015, 0x2014, 0x2015},  // ― —
    {0xFFE0, 0x00A2, 0x00A2},  // ￠ ¢
    {0xFFE1, 0x00A3, 0x00A3},  // ￡ £
    {0xFFE2, 0x00AC, 0x00AC},  // ￢ ¬
};
constexpr char16_t kLowestTwin = 0x00A2;

}  // namespace

QString LedgerNames::What(MasterTable table)
{
    switch (table) {
    case MasterTable::Kinds: return QStringLiteral("種別");
    case MasterTable::Products: return QStringLiteral("製品");
    case MasterTable::Suppliers: return QStringLiteral("仕入先");
    case MasterTable::Customers: return QStringLiteral("販売先");
    }
    return QString();
}

QString LedgerNames::NameKey(const QString& name)
{
    QString key = name.normalized(QString::NormalizationForm_KC);
    for (QChar& c : key) {
        if (c.unicode() < kLowestTwin)
            continue;
        for (const CodePageTwin& twin : kCodePageTwins) {
            if (c.unicode() == twin.cp932 || c.unicode() == twin.unicode)
                c = QChar(twin.key);
        }
    }
    // NFKC has made U+3000 a plain space, and ㈱ and （株） both (株).
    key.remove(QChar(u' '));
    key.remove(QChar(0x3000));
    key.replace(QStringLiteral("(株)"), QStringLiteral("株式会社"));
    key.replace(QStringLiteral("(有)"), QStringLiteral("有限会社"));
    return key;
}

const FoundMaster& LedgerNames::MasterOf(const KeyMasters& masters, const QString& name)
{
    for (const FoundMaster& master : masters) {
        if (master.strName == name)
            return master;
    }
    return masters.front();
}

QString LedgerNames::MatchText(const NameMatch& match)
{
    return QStringLiteral("%1「%2」→「%3」").arg(What(match.table), match.strGiven, match.strStored);
}

const QString& LedgerNames::keyOf(const QString& name)
{
    // Bounds what a long session of many files keeps.
    constexpr std::size_t kMostKeysKept = 1 << 18;
    if (const auto found = m_keys.find(name); found != m_keys.end())
        return found->second;
    if (m_keys.size() >= kMostKeysKept)
        m_keys.clear();
    return m_keys.emplace(name, NameKey(name)).first->second;
}

QString LedgerNames::unstorable(MasterTable table, const MasterRow& row)
{
    return StorableProblem(table, row, [this](const QString& name) { return keyOf(name); });
}

QString LedgerNames::Unstorable(MasterTable table, const MasterRow& row)
{
    return StorableProblem(table, row, [](const QString& name) { return NameKey(name); });
}

QString LedgerNames::StorableProblem(MasterTable table, const MasterRow& row,
                                     const std::function<QString(const QString&)>& key)
{
    // A server text cannot hold a NUL; one kept elsewhere would cut what readers see.
    const auto holdsNul = [](const QString& text) { return text.contains(QChar(u'\0')); };
    if (holdsNul(row.strName) || std::any_of(row.fields.begin(), row.fields.end(), holdsNul))
        return QStringLiteral("NUL 文字を含む名前や項目はデータベースに保存できません。");
    if (Utf8Length(row.strName) > kLongestName || Utf8Length(key(row.strName)) > kLongestName)
        return QStringLiteral("%1「%2…」の名前が長すぎます（全角 %3 文字まで）。")
            .arg(What(table), row.strName.left(20))
            .arg(kLongestName / 3);
    return QString();
}

int32_t LedgerNames::keep(MasterTable which, const QString& name, const KeyMasters& masters, QString& reason)
{
    if (masters.empty()) {
        reason = QStringLiteral("%1「%2」を登録できませんでした。").arg(What(which), name);
        return 0;
    }
    const FoundMaster& master = MasterOf(masters, name);
    if (master.id <= 0 || master.id > std::numeric_limits<int32_t>::max()) {
        reason = QStringLiteral("%1「%2」の ID %3 は扱えない値です。").arg(What(which), name).arg(master.id);
        return 0;
    }
    const int32_t id = int32_t(master.id);
    Table& cache = table(which);
    cache.ids.emplace(name, id);
    cache.known.insert(id);
    if (master.blnHasKind)
        m_productsWithKind.insert(id);
    if (master.strName != name)
        m_matches.push_back(NameMatch{which, name, master.strName, id});
    return id;
}

KeyMasters LedgerNames::noteAdded(MasterTable which, KeyMasters masters, int64_t runId)
{
    for (FoundMaster& master : masters) {
        if (master.blnAdded && runId != 0 && master.id > 0 && master.id <= std::numeric_limits<int32_t>::max())
            m_unused[std::size_t(which)].insert(int32_t(master.id));
        // Noted once: the cache hands the master to other names later.
        master.blnAdded = false;
    }
    return masters;
}

void LedgerNames::findKeys(LedgerEngine& engine, MasterTable which, const std::vector<QString>& keys)
{
    Table& cache = table(which);
    std::vector<QString> asked;
    std::unordered_set<QString, NameHash> seen;
    for (const QString& key : keys) {
        if (!cache.keys.count(key) && seen.insert(key).second)
            asked.push_back(key);
    }
    if (asked.empty())
        return;
    std::vector<KeyMasters> found = engine.findMasters(which, asked);
    for (std::size_t i = 0; i < asked.size(); ++i)
        cache.keys.emplace(asked[i], std::move(found.at(i)));
}

int32_t LedgerNames::resolve(LedgerEngine& engine, MasterTable which, const MasterRow& given, int64_t runId,
                             QString& reason, bool mayAdd)
{
    if (const int32_t id = cached(which, given.strName))
        return id;
    reason = unstorable(which, given);
    if (!reason.isEmpty())
        return 0;
    MasterRow row = given;
    row.strKey = keyOf(row.strName);
    try {
        findKeys(engine, which, {row.strKey});
        KeyMasters& masters = table(which).keys.at(row.strKey);
        if (masters.empty()) {
            if (!mayAdd)
                return 0;
            KeyMasters added;
            if (runId != 0) {
                added = engine.addMasters(which, {row}, runId).at(0);
            } else {
                LoneWrite write(engine);
                added = engine.addMasters(which, {row}, 0).at(0);
                write.commit();
            }
            masters = noteAdded(which, std::move(added), runId);
        }
        const int32_t id = keep(which, row.strName, masters, reason);
        if (masters.empty())
            table(which).keys.erase(row.strKey);
        return id;
    } catch (const DatabaseFailure& failure) {
        table(which).keys.erase(row.strKey);
        reason = failure.message();
        return 0;
    }
}

void LedgerNames::prepare(LedgerEngine& engine, MasterTable which, const std::vector<MasterRow>& rows, int64_t runId)
{
    std::vector<MasterRow> storable;
    for (const MasterRow& row : rows) {
        if (unstorable(which, row).isEmpty()) {
            storable.push_back(row);
            storable.back().strKey = keyOf(row.strName);
        }
    }
    if (storable.empty())
        return;
    std::vector<QString> keys;
    for (const MasterRow& row : storable)
        keys.push_back(row.strKey);
    findKeys(engine, which, keys);
    // One new master per key, written as its first line writes it.
    Table& cache = table(which);
    std::vector<MasterRow> added;
    std::unordered_set<QString, NameHash> adding;
    for (const MasterRow& row : storable) {
        if (cache.keys.at(row.strKey).empty() && adding.insert(row.strKey).second)
            added.push_back(row);
    }
    if (!added.empty()) {
        std::vector<KeyMasters> masters = engine.addMasters(which, added, runId);
        for (std::size_t i = 0; i < added.size(); ++i)
            cache.keys[added[i].strKey] = noteAdded(which, std::move(masters.at(i)), runId);
    }
    QString reason;
    for (const MasterRow& row : storable) {
        const KeyMasters& masters = cache.keys.at(row.strKey);
        if (!masters.empty() && !cache.ids.count(row.strName))
            keep(which, row.strName, masters, reason);
    }
}

std::vector<KeyMasters> LedgerNames::lookUp(LedgerEngine& engine, MasterTable which, const std::vector<QString>& names)
{
    std::vector<QString> keys;
    keys.reserve(names.size());
    for (const QString& name : names)
        keys.push_back(keyOf(name));
    findKeys(engine, which, keys);
    std::vector<KeyMasters> found;
    found.reserve(keys.size());
    for (const QString& key : keys)
        found.push_back(table(which).keys.at(key));
    return found;
}

bool LedgerNames::known(LedgerEngine& engine, MasterTable which, int32_t id)
{
    Table& cache = table(which);
    if (cache.known.contains(id))
        return true;
    if (!engine.masterExists(which, id))
        return false;
    cache.known.insert(id);
    return true;
}

void LedgerNames::forget()
{
    for (Table& cache : m_tables) {
        cache.ids.clear();
        cache.keys.clear();
        cache.known.clear();
    }
    m_matches.clear();
    m_productsWithKind.clear();
    for (QSet<int32_t>& unused : m_unused)
        unused.clear();
}
