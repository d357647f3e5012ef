#include "clsImportSource.h"

#include "Conversions.h"
#include "Desktop.h"
#include "ErrorReport.h"
#include "FieldSplitter.h"
#include "RecordReader.h"
#include "RunFacts.h"
#include "RuntimeError.h"
#include "TextFile.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

constexpr int16_t COLUMN_DATE = 1;
constexpr int16_t COLUMN_KIND = 2;
constexpr int16_t COLUMN_MAKER = 3;
constexpr int16_t COLUMN_PRODUCT_READING = 4;
constexpr int16_t COLUMN_PRODUCT_NAME = 5;
constexpr int16_t COLUMN_MODEL = 6;
constexpr int16_t COLUMN_SPEC = 7;
constexpr int16_t COLUMN_QUANTITY = 8;
constexpr int16_t COLUMN_UNIT_PRICE = 9;
constexpr int16_t COLUMN_PARTY_READING = 10;
constexpr int16_t COLUMN_PARTY_NAME = 11;
constexpr int16_t COLUMN_COUNT = 11;

// The totals box lists at most this many refused lines; --rejects gives them all.
constexpr std::size_t kMostDetailLines = 500;

const QString TITLE_FILE_SELECTION_ERROR = QStringLiteral("ファイル選択エラー");
const QString TITLE_IMPORT_ERROR = QStringLiteral("インポートエラー");

// An empty line or one made only of commas carries nothing to import.
bool CarriesNoData(const QString& line)
{
    for (const QChar c : line) {
        if (c != u',')
            return false;
    }
    return true;
}

bool IsBlank(QChar c) { return c == u' ' || c == QChar(0x3000); }

bool IsBlankText(QStringView text)
{
    for (const QChar c : text) {
        if (!IsBlank(c))
            return false;
    }
    return true;
}

// The operation a column goes to reports what is wrong with its value; the
// line reader keeps the kind and the columns past the records' itself.
QString CodeOfColumn(int16_t intColumn)
{
    switch (intColumn) {
    case COLUMN_DATE:
    case COLUMN_QUANTITY:
    case COLUMN_UNIT_PRICE:
        return QStringLiteral("CLS-is1002");
    case COLUMN_MAKER:
    case COLUMN_PRODUCT_READING:
    case COLUMN_PRODUCT_NAME:
    case COLUMN_MODEL:
    case COLUMN_SPEC:
        return QStringLiteral("CLS-is1003");
    case COLUMN_PARTY_READING:
    case COLUMN_PARTY_NAME:
        return QStringLiteral("CLS-is1004");
    default:
        return QStringLiteral("CLS-is1001");
    }
}

QString Hex(unsigned value, int digits)
{
    return QString::number(value, 16).toUpper().rightJustified(digits, u'0');
}

// Why a value cannot be what the file meant, or empty. A byte that did not
// decode comes first: the control character after it is often its own
// trail byte. A tab, and the line break a quoted value carries across
// lines, are text.
QString ValueFault(QStringView value)
{
    qsizetype control = -1;
    const char16_t* text = value.utf16();
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = text[i];
        // Nearly every character: neither a control nor one that stands for a byte.
        if (c >= 0x20 && (c < 0x7F || (c > 0x9F && (c < kUndecodableBase + 0x80 || c > kUndecodableBase + 0xFF))))
            continue;
        if (c < 0x20 ? c != u'\t' && c != u'\n' : c <= 0x9F) {
            if (control < 0)
                control = i;
        } else if (IsUndecodableAt(value, i)) {
            return QStringLiteral("UTF-8 でもシフトJIS でも読めないバイト（0x%1）があります。")
                .arg(Hex(UndecodableByte(value[i]), 2));
        }
    }
    if (control < 0)
        return QString();
    return QStringLiteral("制御文字（U+%1）が含まれています。").arg(Hex(value[control].unicode(), 4));
}

// Spaces a clerk typed around a name are no part of it, full-width ones included.
QString TrimmedText(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && IsBlank(text[begin]))
        ++begin;
    while (end > begin && IsBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin).toString();
}

QString ReasonText(const LineReason& reason)
{
    if (reason.strColumn.isEmpty())
        return reason.strText;
    return QStringLiteral("%1「%2」: %3").arg(reason.strColumn, reason.strValue, reason.strText);
}

QString ReasonsText(const std::vector<LineReason>& reasons)
{
    QStringList texts;
    for (const LineReason& reason : reasons)
        texts << ReasonText(reason);
    return texts.join(QStringLiteral(" / "));
}

// One line per refused line, for the totals box.
QStringList RefusedLinesText(const std::vector<RejectedLine>& refused, std::size_t total)
{
    QStringList lines;
    for (const RejectedLine& line : refused)
        lines << QStringLiteral("%1 行目: %2").arg(line.lngLineNumber).arg(ReasonsText(line.reasons));
    if (total > refused.size())
        lines << QStringLiteral("ほか %1 行").arg(total - refused.size());
    return lines;
}

}  // namespace

struct clsImportSource::LineContext {
    RecordReader& reader;
    QString strFilePath;
    QStringList headerNames{};       // the file's own names, column 1 first
    int16_t intNamedColumns = COLUMN_COUNT;  // up to the header's last name
    QString strRecord{};             // the record being read, as the file has it
    std::vector<LineReason> reasons{};  // of the record being read
    QString strPartyReading{};       // column 10, waiting for its name in column 11
    bool blnPartyGiven = false;      // the record's column 11 named its party
    bool blnPartyUnread = false;     // the record's party could not be read
    // The party a blank name carries down came from a line whose party
    // could not be read: there is none to carry.
    bool blnCarriedPartyUnread = false;
    int intReportsShown = 0;         // in this run
    bool blnReportsCut = false;
    bool blnQuiet = false;           // the reasons are kept, not shown

    QString columnName(int16_t intColumn) const
    {
        return intColumn >= 1 && intColumn <= headerNames.size() ? headerNames[intColumn - 1] : QString();
    }
};

clsImportSource::clsImportSource(Desktop& desktop, LedgerStoreFactory storeFactory)
    : m_desktop(desktop), m_storeFactory(std::move(storeFactory))
{
}

bool clsImportSource::IMPFileCheck(const QString& strFilePath)
{
    bool blnFailed = true;
    // Declared in this order so the stream is released before the object that opened it.
    std::unique_ptr<FileSystemObject> fso;
    std::unique_ptr<TextStream> stream;
    try {
        fso = std::make_unique<FileSystemObject>();
        if (OpenImportFile(stream, *fso, strFilePath)) {
            m_desktop.MsgBox(QStringLiteral("選択されたファイルを開けません。"), MB_ICONINFORMATION,
                             TITLE_FILE_SELECTION_ERROR);
            return true;
        }
        blnFailed = CheckHeaderLine(*stream);
        if (blnFailed) {
            // Its header is then no more wrong than the rest of it.
            const bool blnUnreadable = !DecodesThroughout(strFilePath);
            m_desktop.MsgBox(blnUnreadable ? QStringLiteral("選択されたファイルは UTF-8 としてもシフトJIS（コードページ 932）としても読めません。")
                                           : QStringLiteral("選択されたファイルの書式が違います。"),
                             MB_ICONINFORMATION, QStringLiteral("ファイルエラー"));
        }
        stream->Close();
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1006"), error);
        blnFailed = true;
    }
    return blnFailed;
}

bool clsImportSource::OpenImportFile(std::unique_ptr<TextStream>& stream, FileSystemObject& fso,
                                     const QString& strFilePath)
{
    try {
        stream = fso.OpenTextFile(strFilePath, ForReading, false, TristateUseDefault);
        return false;
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1000"), error);
        return true;
    }
}

bool clsImportSource::CheckHeaderLine(TextStream& stream)
{
    bool blnFailed = false;
    try {
        RecordReader reader(stream);
        const QString strLine = reader.ReadRecord();
        int16_t intColumns = 0;
        SplitFields(strLine, [&](int16_t intColumn, QStringView strItem) {
            intColumns = intColumn;
            blnFailed = CheckHeaderItem(intColumn, strItem);
            return !blnFailed;
        });
        // A cut-short header would leave the mode to chance: column 11 settles it.
        if (intColumns < COLUMN_COUNT)
            blnFailed = true;
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1007"), error);
        blnFailed = true;
    }
    return blnFailed;
}

bool clsImportSource::CheckHeaderItem(int16_t intColumn, QStringView strItem)
{
    try {
        switch (intColumn) {
        case COLUMN_DATE: return strItem != u"日付";
        case COLUMN_KIND: return strItem != u"種別";
        case COLUMN_MAKER: return strItem != u"メーカー";
        case COLUMN_PRODUCT_READING: return strItem != u"ふりがな";
        case COLUMN_PRODUCT_NAME: return strItem != u"製品名";
        case COLUMN_MODEL: return strItem != u"型式";
        case COLUMN_SPEC: return strItem != u"仕様";
        case COLUMN_QUANTITY: return strItem != u"数量";
        case COLUMN_UNIT_PRICE: return strItem != u"仕入単価" && strItem != u"販売単価";
        case COLUMN_PARTY_READING: return strItem != u"ふりがな";
        case COLUMN_PARTY_NAME:
            if (strItem == u"仕入先") {
                mblnPurchase = true;
                return false;
            }
            return strItem != u"販売先";
        default: return false;
        }
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1008"), error);
        return true;
    }
}

clsLedgerStore* clsImportSource::StoreFor(const QString& strConnection, bool blnLookOnly)
{
    if (m_store && m_strStoreConnection == strConnection && m_blnStoreLooksOnly == blnLookOnly)
        return m_store.get();
    m_store = m_storeFactory ? m_storeFactory() : nullptr;
    if (!m_store)
        return nullptr;
    m_strStoreConnection = strConnection;
    m_blnStoreLooksOnly = blnLookOnly;
    QString strError;
    bool blnFailed = false;
    // Not looked at: every later call fails for the reason, which the store tells once.
    if (blnLookOnly)
        m_store->OpenToLook(strConnection, strError, blnFailed);
    else
        m_store->OpenConnection(strConnection, strError, blnFailed);
    return m_store.get();
}

bool clsImportSource::AskRepeat(const PriorRun& prior)
{
    Question question;
    question.strPrompt =
        QStringLiteral("このファイルは %1 に取り込み済みです（全レコード %2 件中 %3 件）。もう一度インポートしますか？")
            .arg(prior.dtmStarted.toString(QStringLiteral("yyyy/MM/dd HH:mm")))
            .arg(prior.lngRead)
            .arg(prior.lngImported);
    question.strTitle = QStringLiteral("インポート確認");
    question.choices = {{QStringLiteral("もう一度取り込む"), ChoiceLeadsTo::GoingOn},
                        {QStringLiteral("取り込まない"), ChoiceLeadsTo::Nothing}};
    question.intDefault = 1;
    question.intEscape = 1;
    return m_desktop.Ask(question) == 0;
}

bool clsImportSource::IMPRepeatCheck(const QString& strFilePath, const QString& strConnection)
{
    std::optional<PriorRun> prior;
    try {
        const FileDigest digest = DigestFile(strFilePath);
        clsLedgerStore* store = StoreFor(strConnection);
        if (!store)
            return false;
        QString strError;
        bool blnFailed = false;
        prior = store->FindImportedRun(digest.strSha256, strError, blnFailed);
        if (blnFailed)
            prior.reset();
        m_lngRepeatOf = 0;
    } catch (const std::exception&) {
        // Whatever keeps the question from being asked fails the run itself, with its report.
        return false;
    }
    if (!prior)
        return false;
    if (!AskRepeat(*prior))
        return true;
    m_lngRepeatOf = prior->lngRunId;
    return false;
}

bool clsImportSource::BeginRun(clsLedgerStore& store, ImportRunInfo& run)
{
    for (;;) {
        QString strError;
        bool blnFailed = false;
        const std::optional<PriorRun> repeat =
            store.BeginRun(run, [this] { m_desktop.DoEvents(); }, strError, blnFailed);
        if (blnFailed)
            throw RuntimeError(ERR_AUTOMATION, strError);
        if (!repeat)
            return true;
        // Another clerk imported the same file while this one waited its turn.
        if (!AskRepeat(*repeat))
            return false;
        run.lngRepeatOf = repeat->lngRunId;
    }
}

struct clsImportSource::ReadAhead {
    LineOutcome outcome = LineOutcome::Failed;
    int64_t lngLineNumber = 0;
    QString strRecord;
    std::vector<LineReason> reasons;
    // What the line put in the records: the trade's values, the product's
    // texts, the party of the run's mode, the kind.
    TradeRecord trade;
    ProductRecord product;
    PartyRecord party;
    QString strKind;
};

namespace {

// The text that lines read ahead may hold together, whatever number of
// them the store would be told of at once.
constexpr qsizetype kWindowChars = 4 * 1024 * 1024;

// What the reading of a line put in the records, into the records the
// store sees: the fields the store writes (IDs, and those the engine never
// sets) stay as the store left them.
void TakeLineValues(const TradeRecord& from, bool blnPurchase, TradeRecord& to)
{
    to.intTradeKind = from.intTradeKind;
    to.dtmTradeDate = from.dtmTradeDate;
    if (blnPurchase) {
        to.lngPurchaseQuantity = from.lngPurchaseQuantity;
        to.lngPurchaseUnitPrice = from.lngPurchaseUnitPrice;
        to.lngPurchaseAmount = from.lngPurchaseAmount;
    } else {
        to.lngSalesQuantity = from.lngSalesQuantity;
        to.lngSalesUnitPrice = from.lngSalesUnitPrice;
        to.lngSalesAmount = from.lngSalesAmount;
    }
}

void TakeTexts(ProductRecord& from, ProductRecord& to)
{
    to.strMaker = std::move(from.strMaker);
    to.strReading = std::move(from.strReading);
    to.strProductName = std::move(from.strProductName);
    to.strModel = std::move(from.strModel);
    to.strSpec = std::move(from.strSpec);
}

void TakeTexts(PartyRecord& from, PartyRecord& to)
{
    to.strReading = std::move(from.strReading);
    to.strPartyName = std::move(from.strPartyName);
}

}  // namespace

void clsImportSource::ReadWindow(LineContext& line, std::vector<ReadAhead>& window, std::size_t lines,
                                 int16_t intRead, TradeRecord& trade, ProductRecord& product, PartyRecord& supplier,
                                 PartyRecord& customer, QString& strKind)
{
    window.clear();
    qsizetype chars = 0;
    // The line that would pass the read counter is read, and none after it.
    while (!line.reader.AtEndOfStream() && window.size() < lines && chars < kWindowChars &&
           int(intRead) + int(window.size()) <= INT16_MAX) {
        const LineOutcome outcome = ReadDataLine(line, trade, product, supplier, customer, strKind);
        if (outcome == LineOutcome::NoData)
            continue;
        chars += line.strRecord.size();
        ReadAhead& ahead = window.emplace_back();
        ahead.outcome = outcome;
        ahead.lngLineNumber = line.reader.RecordLineNumber();
        ahead.strRecord = std::move(line.strRecord);
        ahead.reasons = std::move(line.reasons);
        TakeLineValues(trade, mblnPurchase, ahead.trade);
        // Every line sets the product's texts and the kind anew, so the line
        // may take them; a blank party carries the last one down, so it is copied.
        TakeTexts(product, ahead.product);
        ahead.strKind = std::move(strKind);
        const PartyRecord& party = mblnPurchase ? supplier : customer;
        ahead.party.strReading = party.strReading;
        ahead.party.strPartyName = party.strPartyName;
    }
}

QString clsImportSource::ReadHeaderNames(LineContext& line)
{
    // Checked before; no undecodable byte goes further than the reading.
    const QString strHeaderLine = WithUndecodableShown(line.reader.ReadRecord());
    SplitFields(strHeaderLine, [&](int16_t intColumn, QStringView strName) {
        line.headerNames << strName.toString();
        if (intColumn > line.intNamedColumns && !IsBlankText(strName))
            line.intNamedColumns = intColumn;
        return true;
    });
    return strHeaderLine;
}

namespace {

QString MatchText(const LedgerMatch& match)
{
    if (match.lngRunId == 0)
        return QStringLiteral("取り込みの記録より前からある取引");
    return QStringLiteral("取り込み %1 の %2 行目").arg(match.lngRunId).arg(match.lngLineNumber);
}

// The runs whose trades lines matched, each once in the order met, with when each began.
QString MatchedRunsText(const std::vector<LineCheck>& rows)
{
    constexpr int kMostRuns = 5;
    QStringList runs;
    std::vector<int64_t> seen;
    for (const LineCheck& row : rows) {
        if (!row.inLedger || std::find(seen.begin(), seen.end(), row.inLedger->lngRunId) != seen.end())
            continue;
        seen.push_back(row.inLedger->lngRunId);
        if (runs.size() == kMostRuns)
            continue;
        const LedgerMatch& match = *row.inLedger;
        runs << (match.lngRunId == 0 ? MatchText(match)
                                     : QStringLiteral("取り込み %1（%2）")
                                           .arg(match.lngRunId)
                                           .arg(match.dtmRunStarted.toString(QStringLiteral("yyyy/MM/dd HH:mm"))));
    }
    if (seen.size() > std::size_t(runs.size()))
        runs << QStringLiteral("ほか %1 件").arg(seen.size() - std::size_t(runs.size()));
    return runs.join(QStringLiteral("、"));
}

// How many lines a look found new, in the ledger and refused.
struct LookCounts {
    qsizetype fresh = 0;
    qsizetype inLedger = 0;
    qsizetype refused = 0;
};

LookCounts CountOutcomes(const std::vector<LineCheck>& rows)
{
    LookCounts counts;
    for (const LineCheck& row : rows) {
        switch (row.outcome) {
        case LineCheck::Outcome::New: ++counts.fresh; break;
        case LineCheck::Outcome::InLedger: ++counts.inLedger; break;
        case LineCheck::Outcome::Refused: ++counts.refused; break;
        }
    }
    return counts;
}

// Where a look reached the line that passes a run's counter: the import
// stops there without totals, and takes nothing in.
QString TooManyLinesText(int64_t lngLineNumber)
{
    return QStringLiteral("%1 行目でデータ行が %2 行を超えるため、インポートはそこで中止されます。"
                          "このファイルの取引は登録されません。")
        .arg(lngLineNumber)
        .arg(INT16_MAX);
}

}  // namespace

std::vector<LineLook> clsImportSource::LookAt(clsLedgerStore& store, const std::vector<ReadAhead>& window,
                                              std::vector<std::size_t>& looked)
{
    std::vector<LineToLook> lines;
    looked.clear();
    for (std::size_t i = 0; i < window.size(); ++i) {
        const ReadAhead& ahead = window[i];
        if (ahead.outcome != LineOutcome::Distributed)
            continue;
        looked.push_back(i);
        lines.push_back(LineToLook{ahead.lngLineNumber, &ahead.trade, &ahead.product, &ahead.party, &ahead.strKind});
    }
    QString strError;
    bool blnFailed = false;
    std::vector<LineLook> looks = store.LookAtLines(lines, mblnPurchase, strError, blnFailed);
    if (blnFailed)
        throw RuntimeError(ERR_AUTOMATION, strError);
    looks.resize(lines.size());
    return looks;
}

std::optional<std::vector<LineCheck>> clsImportSource::Survey(const QString& strFilePath, const QString& strConnection,
                                                              bool blnMustCompare)
{
    // Declared so that they are released in the order stream, file-system object.
    std::unique_ptr<FileSystemObject> fso = std::make_unique<FileSystemObject>();
    std::unique_ptr<TextStream> stream;
    clsLedgerStore* store = StoreFor(strConnection, blnMustCompare);
    if (!store)
        throw RuntimeError(ERR_CANNOT_CREATE_OBJECT);
    if (OpenImportFile(stream, *fso, strFilePath))
        return std::nullopt;
    RecordReader reader(*stream);
    LineContext line{reader, strFilePath};
    // The run tells the user of a line's faults; the look only keeps them.
    line.blnQuiet = true;
    ReadHeaderNames(line);
    store->StartLook();

    TradeRecord trade;
    ProductRecord product;
    PartyRecord supplier;
    PartyRecord customer;
    QString strKind;
    const std::size_t linesAhead = std::max<std::size_t>(1, store->LinesAhead());
    std::vector<ReadAhead> window;
    std::vector<std::size_t> looked;
    std::vector<LineCheck> rows;
    // As the run reads them: up to the line that passes its counter, and no further.
    while (!reader.AtEndOfStream() && rows.size() <= std::size_t(INT16_MAX)) {
        ReadWindow(line, window, linesAhead, int16_t(rows.size()), trade, product, supplier, customer, strKind);
        std::vector<LineLook> looks;
        try {
            looks = LookAt(*store, window, looked);
        } catch (const std::exception&) {
            if (blnMustCompare)
                throw;
            // The run, which looks again in its turn, tells why the ledger cannot be asked.
            looks.assign(looked.size(), LineLook());
        }
        std::size_t next = 0;
        for (std::size_t i = 0; i < window.size(); ++i) {
            LineCheck row;
            row.lngLineNumber = window[i].lngLineNumber;
            if (window[i].outcome == LineOutcome::Failed) {
                row.outcome = LineCheck::Outcome::Refused;
                row.strDetail = ReasonsText(window[i].reasons);
            } else {
                const LineLook& look = looks[next++];
                if (!look.strRefusal.isEmpty()) {
                    row.outcome = LineCheck::Outcome::Refused;
                    row.strDetail = look.strRefusal;
                } else if (look.inLedger) {
                    row.outcome = LineCheck::Outcome::InLedger;
                    row.strDetail = MatchText(*look.inLedger);
                    row.inLedger = look.inLedger;
                } else {
                    row.strDetail = (look.newNames + look.matchedNames).join(QStringLiteral(" / "));
                }
            }
            rows.push_back(std::move(row));
        }
        m_desktop.DoEvents();
    }
    return rows;
}

bool clsImportSource::IMPLineCheck(const QString& strFilePath, const QString& strConnection)
{
    // Lines another clerk imported meanwhile are found in the run's turn, and not imported twice.
    m_blnNewOnly = true;
    m_blnNothingNew = false;
    std::optional<std::vector<LineCheck>> rows;
    try {
        rows = Survey(strFilePath, strConnection, false);
    } catch (const std::exception&) {
        // Whatever keeps the question from being asked fails the run itself, with its report.
        return false;
    }
    if (!rows || rows->size() > std::size_t(INT16_MAX))
        return false;
    const LookCounts counts = CountOutcomes(*rows);
    if (counts.inLedger == 0)
        return false;
    const qsizetype total = qsizetype(rows->size());
    const QString strSame =
        counts.refused == 0
            ? QStringLiteral("このファイルの %1 行は台帳にある取引と同じです").arg(counts.inLedger)
            : QStringLiteral("このファイルの %1 行は台帳にある取引と同じで、%2 行は取り込めません")
                  .arg(counts.inLedger)
                  .arg(counts.refused);
    const Choice everyLine{QStringLiteral("すべて取り込む"), ChoiceLeadsTo::EveryLine};
    Question question;
    question.strTitle = QStringLiteral("インポート確認");
    if (counts.fresh == 0) {
        // Nothing new: importing the new lines would record a run of none.
        question.strPrompt = strSame + QStringLiteral("（%1）。取り込む新しい行はありません。").arg(MatchedRunsText(*rows));
        question.choices = {everyLine, {QStringLiteral("取り込まない"), ChoiceLeadsTo::Nothing}};
        question.intDefault = 1;
        question.intEscape = 1;
        if (m_desktop.Ask(question) == 1) {
            m_blnNothingNew = true;
            return true;
        }
        m_blnNewOnly = false;
        return false;
    }
    question.strPrompt = strSame + QStringLiteral("（全レコード %1 件）。新しい %2 行だけ取り込みますか？")
                                       .arg(total)
                                       .arg(counts.fresh);
    question.choices = {{QStringLiteral("新しい行だけ取り込む"), ChoiceLeadsTo::NewLinesOnly},
                        everyLine,
                        {QStringLiteral("キャンセル"), ChoiceLeadsTo::Nothing}};
    question.intDefault = 0;
    question.intEscape = 2;
    const int answer = m_desktop.Ask(question);
    if (answer == 2)
        return true;
    m_blnNewOnly = answer == 0;
    return false;
}

std::optional<std::vector<LineCheck>> clsImportSource::CheckFile(const QString& strFilePath,
                                                                const QString& strConnection)
{
    if (IMPFileCheck(strFilePath))
        return std::nullopt;
    const QString strTitle = QStringLiteral("取り込み前の確認");
    std::optional<std::vector<LineCheck>> rows;
    try {
        rows = Survey(strFilePath, strConnection, true);
        if (!rows) {
            m_desktop.MsgBox(QStringLiteral("選択されたファイルを開けません。"), MB_ICONINFORMATION,
                             TITLE_FILE_SELECTION_ERROR);
        } else if (rows->size() > std::size_t(INT16_MAX)) {
            m_desktop.MsgBox(TooManyLinesText(rows->back().lngLineNumber), MB_ICONINFORMATION, strTitle);
            rows.reset();
        } else if (const QString strNoLedger = m_store ? m_store->NoLedgerYet() : QString(); !strNoLedger.isEmpty()) {
            m_desktop.MsgBox(strNoLedger + QStringLiteral("\r\nどの行も台帳にはなく、新しい行です。"), MB_ICONINFORMATION,
                             strTitle);
        }
    } catch (const RuntimeError& error) {
        if (error.number() != ERR_AUTOMATION)
            ReportError(m_desktop, QStringLiteral("CLS-is1006"), error);
        else  // the ledger could not be asked: no line can be called new
            m_desktop.MsgBox(QStringLiteral("台帳と比べられません: %1").arg(error.description()), MB_ICONINFORMATION,
                             strTitle);
        rows.reset();
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1006"), error);
        rows.reset();
    }
    m_store.reset();
    return rows;
}

void clsImportSource::ExecImport(const QString& strFilePath, const QString& strConnection)
{
    m_totals.reset();
    // Declared so that they are released in the order store, stream, file-system object.
    std::unique_ptr<FileSystemObject> fso;
    std::unique_ptr<TextStream> stream;
    try {
        fso = std::make_unique<FileSystemObject>();
        clsLedgerStore* store = StoreFor(strConnection);
        if (!store)
            throw RuntimeError(ERR_CANNOT_CREATE_OBJECT);

        if (OpenImportFile(stream, *fso, strFilePath)) {
            m_store.reset();
            m_desktop.SetMousePointer(POINTER_DEFAULT);
            m_desktop.MsgBox(QStringLiteral("ファイルが開けない為インポートは失敗しました。"), MB_OK, QString());
            return;
        }
        RecordReader reader(*stream);
        LineContext line{reader, strFilePath};
        const QString strHeaderLine = ReadHeaderNames(line);

        const FileDigest digest = DigestFile(strFilePath);
        ImportRunInfo run;
        run.strFilePath = strFilePath;
        run.lngFileSize = digest.lngSize;
        run.strSha256 = digest.strSha256;
        run.strHeaderLine = strHeaderLine;
        run.blnPurchase = mblnPurchase;
        run.strUser = CurrentUserName();
        run.strHost = CurrentHostName();
        run.strProgramVersion = QCoreApplication::applicationVersion();
        run.lngRepeatOf = m_lngRepeatOf;
        if (!BeginRun(*store, run)) {
            m_store.reset();
            return;
        }

        // The records as the store sees them, and as the lines read ahead fill them.
        TradeRecord trade;
        ProductRecord product;
        PartyRecord supplier;
        PartyRecord customer;
        QString strKind;
        TradeRecord readTrade;
        ProductRecord readProduct;
        PartyRecord readSupplier;
        PartyRecord readCustomer;
        QString readKind;
        int16_t intRead = 0;
        int16_t intImported = 0;
        std::vector<RejectedLine> refused;  // the first of them, for the totals box
        std::size_t intRefused = 0;
        const auto refuse = [&](const ReadAhead& ahead, std::vector<LineReason> reasons) {
            RejectedLine rejected{ahead.lngLineNumber, WithUndecodableShown(ahead.strRecord), std::move(reasons)};
            QString strRejectError;
            bool blnRejectFailed = false;
            store->RejectLine(rejected, strRejectError, blnRejectFailed);
            if (blnRejectFailed)
                throw RuntimeError(ERR_AUTOMATION, strRejectError);
            if (refused.size() < kMostDetailLines)
                refused.push_back(std::move(rejected));
            ++intRefused;
        };
        // Read ahead as far as the store wants to hear of lines at once: a
        // window of them costs the memory caches what it saves in statements.
        const std::size_t linesAhead = std::max<std::size_t>(1, store->LinesAhead());
        std::vector<ReadAhead> window;
        window.reserve(linesAhead);
        ComingNames names;
        QString strError;
        bool blnFailed = false;
        // Lines the same as stored trades, where only the new are to go in.
        std::vector<std::optional<LedgerMatch>> inLedger;
        std::vector<std::size_t> looked;
        QStringList skipped;  // the first of them, for the totals box
        std::size_t intSkipped = 0;
        std::size_t intAgain = 0;
        while (!reader.AtEndOfStream()) {
            ReadWindow(line, window, linesAhead, intRead, readTrade, readProduct, readSupplier, readCustomer, readKind);
            inLedger.assign(window.size(), std::nullopt);
            if (m_blnNewOnly) {
                // In the run's turn: no one else can add the same lines meanwhile.
                const std::vector<LineLook> looks = LookAt(*store, window, looked);
                for (std::size_t j = 0; j < looked.size(); ++j) {
                    if (!looks[j].inLedger)
                        continue;
                    if (*m_blnNewOnly)
                        inLedger[looked[j]] = looks[j].inLedger;
                    else  // imported all the same, as the clerk chose: only counted
                        ++intAgain;
                }
            }
            names.products.clear();
            names.parties.clear();
            names.kinds.clear();
            for (std::size_t i = 0; i < window.size(); ++i) {
                const ReadAhead& ahead = window[i];
                if (ahead.outcome != LineOutcome::Distributed || inLedger[i])
                    continue;
                names.products.push_back(&ahead.product);
                names.parties.push_back(&ahead.party);
                names.kinds.push_back(&ahead.strKind);
            }
            store->PrepareNames(names, mblnPurchase);

            for (std::size_t i = 0; i < window.size(); ++i) {
                ReadAhead& ahead = window[i];
                blnFailed = false;
                // A line whose own values failed reaches the store not at all:
                // its names must not become products or parties.
                if (ahead.outcome == LineOutcome::Failed) {
                    intRead = AddInt16(intRead, 1);
                    refuse(ahead, std::move(ahead.reasons));
                    m_desktop.DoEvents();
                    continue;
                }
                // Read, and written nowhere but with the run as skipped.
                if (inLedger[i]) {
                    intRead = AddInt16(intRead, 1);
                    store->SkipLine(ahead.lngLineNumber, *inLedger[i], strError, blnFailed);
                    if (blnFailed)
                        throw RuntimeError(ERR_AUTOMATION, strError);
                    if (skipped.size() < qsizetype(kMostDetailLines))
                        skipped << QStringLiteral("%1 行目: 取り込み済みの取引と同じため取り込みませんでした（%2）。")
                                       .arg(ahead.lngLineNumber)
                                       .arg(MatchText(*inLedger[i]));
                    ++intSkipped;
                    m_desktop.DoEvents();
                    continue;
                }
                TakeLineValues(ahead.trade, mblnPurchase, trade);
                TakeTexts(ahead.product, product);
                TakeTexts(ahead.party, mblnPurchase ? supplier : customer);
                strKind = std::move(ahead.strKind);

                store->BeginLine(ahead.lngLineNumber);
                strError.clear();
                const QString strProductName = product.strProductName;
                store->ResolveProduct(strProductName, product, strError, blnFailed);
                trade.lngProductID = product.lngProductID;
                if (mblnPurchase) {
                    const QString strPartyName = supplier.strPartyName;
                    strError.clear();
                    store->ResolveSupplier(strPartyName, supplier, strError, blnFailed);
                    trade.lngSupplierID = supplier.lngPartyID;
                } else {
                    const QString strPartyName = customer.strPartyName;
                    strError.clear();
                    store->ResolveCustomer(strPartyName, customer, strError, blnFailed);
                    trade.lngCustomerID = customer.lngPartyID;
                }
                intRead = AddInt16(intRead, 1);
                product.lngKindCode = store->GetKindCode(strKind);

                strError.clear();
                store->InsertTrade(product, supplier, customer, trade, mblnPurchase, strError, blnFailed);
                if (!blnFailed)
                    intImported = AddInt16(intImported, 1);
                else
                    refuse(ahead, {LineReason{QString(), strError, QString(), QString()}});
                m_desktop.DoEvents();
            }
        }
        stream->Close();
        if (intSkipped > std::size_t(skipped.size()))
            skipped << QStringLiteral("ほか %1 行").arg(intSkipped - std::size_t(skipped.size()));
        const QStringList matched = store->MatchedNames();
        strError.clear();
        store->CommitRun(intRead, intImported, strError, blnFailed);
        if (blnFailed)
            throw RuntimeError(ERR_AUTOMATION, strError);
        // Frees the database, so that no one waits on it while the box is open.
        m_store.reset();
        m_totals = RunTotals{intRead, intImported, int32_t(intRefused), int32_t(intSkipped), int32_t(intAgain)};
        const QString strAgain =
            intAgain == 0 ? QString()
                          : QStringLiteral("台帳にある取引と同じ %1 行も、選んだとおりもう一度取り込みました。").arg(intAgain);
        m_desktop.MsgBoxWithInformation(
            QStringLiteral("全レコード %1 件中 %2 件インポートしました。").arg(intRead).arg(intImported),
            MB_ICONINFORMATION, QStringLiteral("インポート完了"), strAgain,
            (RefusedLinesText(refused, intRefused) + skipped + matched).join(QLatin1Char('\n')));
    } catch (const std::exception& error) {
        if (m_store) {
            m_store->AbandonRun();
            m_store.reset();
        }
        ReportError(m_desktop, QStringLiteral("CLS-is1005"), error, PointerOnError::Reset);
        m_desktop.MsgBox(QStringLiteral("インポートは中止されました。このファイルの取引は登録されていません。"),
                         MB_ICONINFORMATION, TITLE_IMPORT_ERROR);
    }
}

clsImportSource::LineOutcome clsImportSource::ReadDataLine(LineContext& line, TradeRecord& trade,
                                                           ProductRecord& product, PartyRecord& supplier,
                                                           PartyRecord& customer, QString& strKind)
{
    line.reasons.clear();
    line.strRecord.clear();
    line.strPartyReading.clear();
    line.blnPartyGiven = false;
    line.blnPartyUnread = false;
    try {
        line.strRecord = line.reader.ReadRecord();
        if (CarriesNoData(line.strRecord))
            return LineOutcome::NoData;

        int16_t intLastColumn = 0;
        int16_t intLastValue = 0;  // past the header's names
        SplitFields(line.strRecord, [&](int16_t intColumn, QStringView strValue) {
            DispatchField(line, intColumn, strValue, trade, product, supplier, customer, strKind);
            if (intColumn > line.intNamedColumns && !IsBlankText(strValue))
                intLastValue = intColumn;
            intLastColumn = intColumn;
            return true;
        });
        // A short line reads as if its missing columns were present and empty.
        for (int16_t intColumn = intLastColumn + 1; intColumn <= COLUMN_COUNT; ++intColumn)
            DispatchField(line, intColumn, QStringView(), trade, product, supplier, customer, strKind);

        // An unquoted comma in a value moves every later value one column on:
        // none of them is where the header says. Empty ones past the header
        // are a spreadsheet's trailing commas.
        if (intLastValue > 0) {
            ReportLine(line, QStringLiteral("CLS-is1001"),
                       QStringLiteral("項目の数がヘッダーより多くなっています（ヘッダー %1 項目、この行 %2 項目）。")
                           .arg(line.intNamedColumns)
                           .arg(intLastValue),
                       0, QStringView());
            line.blnPartyUnread = true;
        }
        if (line.blnPartyUnread) {
            line.blnCarriedPartyUnread = true;
        } else if (line.blnPartyGiven) {
            line.blnCarriedPartyUnread = false;
        } else if (line.blnCarriedPartyUnread) {
            const QString strParty = line.columnName(COLUMN_PARTY_NAME);
            ReportLine(line, QStringLiteral("CLS-is1004"),
                       QStringLiteral("前の行の%1を読み取れなかったため、引き継げません。").arg(strParty),
                       COLUMN_PARTY_NAME, QStringView());
        }
    } catch (const std::exception& error) {
        ReportLine(line, QStringLiteral("CLS-is1001"), error, 0, QStringView());
        // A record too long to hold is kept as a line that says so, so that
        // the refused lines never give back an empty line in its place.
        if (line.strRecord.isEmpty())
            line.strRecord = QStringLiteral("（%1 行目は長すぎるため保存できません: %2 バイトまで）")
                                 .arg(line.reader.RecordLineNumber())
                                 .arg(RecordReader::kLongestRecord);
        return LineOutcome::Failed;
    }
    return line.reasons.empty() ? LineOutcome::Distributed : LineOutcome::Failed;
}

bool clsImportSource::RefuseValue(LineContext& line, int16_t intColumn, QStringView strValue)
{
    const QString strFault = ValueFault(strValue);
    if (strFault.isEmpty())
        return false;
    ReportLine(line, CodeOfColumn(intColumn), strFault, intColumn, strValue);
    if (intColumn == COLUMN_PARTY_READING || intColumn == COLUMN_PARTY_NAME)
        line.blnPartyUnread = true;
    return true;
}

void clsImportSource::DispatchField(LineContext& line, int16_t intColumn, QStringView strValue,
                                    TradeRecord& trade, ProductRecord& product, PartyRecord& supplier,
                                    PartyRecord& customer, QString& strKind)
{
    // Never stored, so that no later line carries it down either.
    if (RefuseValue(line, intColumn, strValue))
        return;
    switch (intColumn) {
    case COLUMN_DATE:
    case COLUMN_QUANTITY:
    case COLUMN_UNIT_PRICE:
        return SetTradeValue(line, intColumn, strValue, trade);
    case COLUMN_KIND:
        strKind = TrimmedText(strValue);
        return;
    case COLUMN_MAKER:
    case COLUMN_PRODUCT_READING:
    case COLUMN_PRODUCT_NAME:
    case COLUMN_MODEL:
    case COLUMN_SPEC:
        return SetProductItem(line, intColumn, strValue, product);
    case COLUMN_PARTY_READING:
    case COLUMN_PARTY_NAME:
        return SetPartyItem(line, intColumn, strValue, supplier, customer);
    default:
        return;
    }
}

void clsImportSource::SetTradeValue(LineContext& line, int16_t intColumn, QStringView strValue,
                                    TradeRecord& trade)
{
    try {
        int32_t& lngQuantity = mblnPurchase ? trade.lngPurchaseQuantity : trade.lngSalesQuantity;
        int32_t& lngUnitPrice = mblnPurchase ? trade.lngPurchaseUnitPrice : trade.lngSalesUnitPrice;
        int32_t& lngAmount = mblnPurchase ? trade.lngPurchaseAmount : trade.lngSalesAmount;
        switch (intColumn) {
        case COLUMN_DATE:
            trade.dtmTradeDate = CDate(strValue);
            trade.intTradeKind = mblnPurchase ? 0 : 1;
            break;
        case COLUMN_QUANTITY:
            lngQuantity = CLng(strValue);
            break;
        case COLUMN_UNIT_PRICE:
            lngUnitPrice = CLng(strValue);
            lngAmount = MultiplyLong(lngQuantity, lngUnitPrice);
            break;
        default:
            break;
        }
    } catch (const std::exception& error) {
        ReportLine(line, QStringLiteral("CLS-is1002"), error, intColumn, strValue);
    }
}

void clsImportSource::SetProductItem(LineContext& line, int16_t intColumn, QStringView strValue,
                                     ProductRecord& product)
{
    try {
        switch (intColumn) {
        case COLUMN_MAKER: product.strMaker = TrimmedText(strValue); break;
        case COLUMN_PRODUCT_READING: product.strReading = TrimmedText(strValue); break;
        case COLUMN_PRODUCT_NAME: product.strProductName = TrimmedText(strValue); break;
        case COLUMN_MODEL: product.strModel = TrimmedText(strValue); break;
        case COLUMN_SPEC: product.strSpec = TrimmedText(strValue); break;
        default: break;
        }
    } catch (const std::exception& error) {
        ReportLine(line, QStringLiteral("CLS-is1003"), error, intColumn, strValue);
    }
}

void clsImportSource::SetPartyItem(LineContext& line, int16_t intColumn, QStringView strValue,
                                   PartyRecord& supplier, PartyRecord& customer)
{
    try {
        // The reading belongs to the name beside it: a blank name carries the
        // last party down whole, a given name takes its own reading, even an empty one.
        if (intColumn == COLUMN_PARTY_READING) {
            line.strPartyReading = TrimmedText(strValue);
            return;
        }
        if (intColumn != COLUMN_PARTY_NAME)
            return;
        QString strName = TrimmedText(strValue);
        if (strName.isEmpty())
            return;
        PartyRecord& party = mblnPurchase ? supplier : customer;
        party.strPartyName = std::move(strName);
        party.strReading = line.strPartyReading;
        line.blnPartyGiven = true;
    } catch (const std::exception& error) {
        ReportLine(line, QStringLiteral("CLS-is1004"), error, intColumn, strValue);
    }
}

void clsImportSource::ReportLine(LineContext& line, const QString& strCode, const std::exception& error,
                                 int16_t intColumn, QStringView strValue)
{
    ReportLine(line, strCode, ErrorDescription(error), intColumn, strValue);
}

void clsImportSource::ReportLine(LineContext& line, const QString& strCode, const QString& strDescription,
                                 int16_t intColumn, QStringView strValue)
{
    const QString strColumn = intColumn > 0 ? line.columnName(intColumn) : QString();
    const QString strShownValue = WithUndecodableShown(strValue.toString());
    line.reasons.push_back(LineReason{strCode, strDescription, strColumn, strShownValue});
    if (line.blnReportsCut || line.blnQuiet)
        return;
    if (!m_desktop.ShowsEveryReport() && line.intReportsShown == kMostReportBoxes) {
        line.blnReportsCut = true;
        m_desktop.MsgBox(QStringLiteral("エラーが多いため、これ以降のエラーの表示を省略します。"), MB_ICONINFORMATION,
                         TITLE_IMPORT_ERROR);
        return;
    }
    ++line.intReportsShown;
    const LineReportPlace place{line.strFilePath, line.reader.RecordLineNumber(), strColumn, strShownValue};
    ReportLineError(m_desktop, strCode, strDescription, place, PointerOnError::Reset);
}

