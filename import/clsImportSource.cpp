#include "clsImportSource.h"

#include "ColumnMap.h"
#include "Desktop.h"
#include "ErrorReport.h"
#include "ImportColumns.h"
#include "ImportFile.h"
#include "ImportTexts.h"
#include "LineReader.h"
#include "PatternFit.h"
#include "RunFacts.h"
#include "RuntimeError.h"
#include "StoreCalls.h"
#include "TextFile.h"
#include "workbook/Workbook.h"

#include <QCoreApplication>

#include <utility>

using namespace import_texts;

// The reports of a run's refused lines, one box each up to a cap, then a
// notice that the rest are not shown; a stream hears of every one.
class clsImportSource::Reports {
public:
    Reports(Desktop& desktop, QString strFilePath, QString strPlace)
        : m_desktop(desktop), m_strFilePath(std::move(strFilePath)), m_strPlace(std::move(strPlace))
    {
    }

    void Show(const ReadLine& line)
    {
        for (const LineReason& reason : line.reasons) {
            if (m_blnCut)
                return;
            if (!m_desktop.ShowsEveryReport() && m_intShown == kMostReportBoxes) {
                m_blnCut = true;
                m_desktop.MsgBox(QStringLiteral("エラーが多いため、これ以降のエラーの表示を省略します。"),
                                 MB_ICONINFORMATION, kImportError);
                return;
            }
            ++m_intShown;
            const LineReportPlace place{m_strFilePath, line.lngLineNumber, reason.strColumn, reason.strValue,
                                        m_strPlace};
            ReportLineError(m_desktop, reason.strCode, reason.strText, place, PointerOnError::Reset);
        }
    }

private:
    Desktop& m_desktop;
    QString m_strFilePath;
    QString m_strPlace;
    int m_intShown = 0;
    bool m_blnCut = false;
};

// The run's listener: the reports as lines are read, the window's events
// between lines, and the question of a file that went in meanwhile.
class clsImportSource::Listener : public RunListener {
public:
    Listener(clsImportSource& face, Reports& reports) : m_face(face), m_reports(reports) { }

    void LineRead(const ReadLine& line) override { m_reports.Show(line); }
    void Breathe() override { m_face.m_desktop.DoEvents(); }
    bool ImportAgain(const PriorRun& prior) override { return m_face.AskRepeat(prior); }

private:
    clsImportSource& m_face;
    Reports& m_reports;
};

clsImportSource::clsImportSource(Desktop& desktop, LedgerStoreFactory storeFactory)
    : m_desktop(desktop), m_storeFactory(std::move(storeFactory))
{
}

bool clsImportSource::IMPFileCheck(const QString& strFilePath)
{
    m_pattern.reset();
    m_blnPatternWanted = false;
    try {
        if (m_chosenPattern)
            return CheckChosenPattern(strFilePath, *m_chosenPattern);
        std::unique_ptr<ImportFile> file = OpenFile(strFilePath);
        if (!file) {
            m_desktop.MsgBox(QStringLiteral("選択されたファイルを開けません。"), MB_ICONINFORMATION,
                             kFileSelectionError);
            return true;
        }
        const HeaderVerdict verdict = CheckHeaderLine(*file);
        file->Close();
        if (verdict == HeaderVerdict::Template)
            return false;
        // Its header is then no more wrong than the rest of it. A workbook's cells are no text to decode.
        if (!IsWorkbookPath(strFilePath) && !DecodesThroughout(strFilePath)) {
            m_desktop.MsgBox(
                QStringLiteral("選択されたファイルは UTF-8 としてもシフトJIS（コードページ 932）としても読めません。"),
                MB_ICONINFORMATION, QStringLiteral("ファイルエラー"));
            return true;
        }
        if (verdict == HeaderVerdict::Other && m_shelf) {
            m_blnPatternQuestionDeclined = false;
            if (std::optional<ImportPattern> pattern = FittingPattern(strFilePath)) {
                mblnPurchase = pattern->blnPurchase;
                m_pattern = std::move(pattern);
                return false;
            }
            if (m_blnPatternQuestionDeclined)
                return true;
        }
        TellFormatDiffers();
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1006"), error);
    }
    return true;
}

void clsImportSource::TellFormatDiffers()
{
    const QString strPrompt = QStringLiteral("選択されたファイルの書式が違います。");
    const QString strTitle = QStringLiteral("ファイルエラー");
    if (!m_shelf) {
        m_desktop.MsgBoxWithInformation(strPrompt, MB_ICONINFORMATION, strTitle, PatternAdviceText(), QString());
        return;
    }
    // Where patterns can be kept, the box offers to make one for the file.
    Question question(strPrompt, strTitle,
                      {{QStringLiteral("取込パターンを作る…"), ChoiceLeadsTo::MakingPattern},
                       {QStringLiteral("閉じる"), ChoiceLeadsTo::Nothing}},
                      1, 1);
    question.intIcon = MB_ICONINFORMATION;
    question.strInformative = PatternAdviceText();
    m_blnPatternWanted = m_desktop.Ask(question) == 0;
}

bool clsImportSource::CheckChosenPattern(const QString& strFilePath, const ImportPattern& pattern)
{
    const std::optional<QStringList> header = HeaderFor(strFilePath, pattern);
    if (!header) {
        m_desktop.MsgBox(QStringLiteral("選択されたファイルを開けません。"), MB_ICONINFORMATION, kFileSelectionError);
        return true;
    }
    QString strMissing;
    if (!ColumnMap::FromPattern(pattern, *header, &strMissing)) {
        m_desktop.MsgBox(PatternMisfitText(pattern.strName, strMissing, pattern.intHeaderRow), MB_ICONINFORMATION,
                         QStringLiteral("ファイルエラー"));
        return true;
    }
    mblnPurchase = pattern.blnPurchase;
    m_pattern = pattern;
    return false;
}

std::optional<QStringList> clsImportSource::HeaderFor(const QString& strFilePath, const ImportPattern& pattern)
{
    try {
        std::unique_ptr<ImportFile> file = OpenImportRecords(strFilePath, OptionsFor(&pattern));
        QStringList header = file->ReadHeader();
        file->Close();
        return header;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<ImportPattern> clsImportSource::FittingPattern(const QString& strFilePath)
{
    std::vector<ImportPattern> patterns;
    try {
        patterns = m_shelf();
    } catch (const std::exception&) {
        // A ledger that cannot be read for its patterns leaves the file as unknown as before.
        return std::nullopt;
    }
    std::vector<ImportPattern> best =
        BestFittingPatterns(patterns, [&](const ImportPattern& pattern) { return HeaderFor(strFilePath, pattern); });
    if (best.empty())
        return std::nullopt;
    if (best.size() == 1)
        return std::move(best.front());
    QStringList names;
    Question question{QString(), kPatternTitle, {}, 0, 0};
    for (const ImportPattern& pattern : best) {
        names << pattern.strName;
        question.choices.push_back({pattern.strName, ChoiceLeadsTo::OneOfNames});
    }
    question.strPrompt = PatternTieText(names);
    question.choices.push_back({QStringLiteral("キャンセル"), ChoiceLeadsTo::Nothing});
    question.intEscape = int(question.choices.size()) - 1;
    const int answer = m_desktop.Ask(question);
    if (answer < 0 || std::size_t(answer) >= best.size()) {
        m_blnPatternQuestionDeclined = true;
        return std::nullopt;
    }
    return std::move(best[std::size_t(answer)]);
}

std::unique_ptr<ImportFile> clsImportSource::OpenFile(const QString& strFilePath, FileDigest* digest)
{
    try {
        return OpenImportRecords(strFilePath, OptionsFor(m_pattern ? &*m_pattern : nullptr), digest);
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1000"), error);
        return nullptr;
    }
}

SourceOptions clsImportSource::OptionsFor(const ImportPattern* pattern) const
{
    SourceOptions options = pattern ? SourceOptions::Of(*pattern) : SourceOptions();
    if (!m_strSheet.isEmpty())
        options.strSheet = m_strSheet;
    return options;
}

clsImportSource::HeaderVerdict clsImportSource::CheckHeaderLine(ImportFile& file)
{
    bool blnFailed = false;
    try {
        int16_t intColumns = 0;
        file.ReadHeader([&](QStringView strItem) {
            intColumns = int16_t(qMin(intColumns + 1, int(INT16_MAX)));
            blnFailed = CheckHeaderItem(intColumns, strItem);
            return !blnFailed;
        });
        // A cut-short header would leave the mode to chance: the party's column settles it.
        if (intColumns < kImportColumnCount)
            blnFailed = true;
    } catch (const std::exception& error) {
        ReportError(m_desktop, QStringLiteral("CLS-is1007"), error);
        return HeaderVerdict::Unread;
    }
    return blnFailed ? HeaderVerdict::Other : HeaderVerdict::Template;
}

LineReader clsImportSource::LineReaderFor(ImportFile& file) const
{
    const QStringList header = file.ReadHeader();
    if (!m_pattern)
        return LineReader(mblnPurchase, header);
    QString strMissing;
    std::optional<ColumnMap> map = ColumnMap::FromPattern(*m_pattern, header, &strMissing);
    // The file changed since it was checked.
    if (!map)
        throw RuntimeError(ERR_TYPE_MISMATCH,
                           PatternMisfitText(m_pattern->strName, strMissing, m_pattern->intHeaderRow));
    return LineReader(mblnPurchase, std::move(*map));
}

bool clsImportSource::CheckHeaderItem(int16_t intColumn, QStringView strItem)
{
    try {
        const std::optional<bool> mode = HeaderItemMode(intColumn, strItem, mblnPurchase);
        if (!mode)
            return true;
        mblnPurchase = *mode;
        return false;
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
    Question question{RepeatQuestionText(prior),
                      kImportQuestion,
                      {{QStringLiteral("もう一度取り込む"), ChoiceLeadsTo::GoingOn},
                       {QStringLiteral("取り込まない"), ChoiceLeadsTo::Nothing}},
                      1,
                      1};
    return m_desktop.Ask(question) == 0;
}

bool clsImportSource::IMPRepeatCheck(const QString& strFilePath, const QString& strConnection)
{
    std::optional<PriorRun> prior;
    m_looked.reset();
    try {
        clsLedgerStore* store = StoreFor(strConnection);
        if (!store)
            return false;
        // The look the line check needs is made in the same pass as the
        // digest; a ledger without trades can hold none of the file's lines.
        FileDigest digest;
        if (store->HoldsTrades().value_or(true)) {
            m_looked = Survey(strFilePath, strConnection, false, &digest);
            if (!m_looked)
                return false;
        } else {
            digest = DigestOfImportFile(strFilePath, OptionsFor(m_pattern ? &*m_pattern : nullptr));
            m_looked = std::vector<LineCheck>();
        }
        QString strError;
        bool blnFailed = false;
        prior = store->FindImportedRun(digest.strSha256, strError, blnFailed);
        if (blnFailed)
            prior.reset();
        m_choice.lngRepeatOf = 0;
    } catch (const std::exception&) {
        // Whatever keeps the question from being asked fails the run itself, with its report.
        m_looked.reset();
        return false;
    }
    if (!prior)
        return false;
    if (!AskRepeat(*prior))
        return true;
    m_choice.lngRepeatOf = prior->lngRunId;
    return false;
}

std::optional<std::vector<LineCheck>> clsImportSource::Survey(const QString& strFilePath, const QString& strConnection,
                                                              bool blnMustCompare, FileDigest* digest)
{
    clsLedgerStore* store = StoreFor(strConnection, blnMustCompare);
    if (!store)
        throw RuntimeError(ERR_CANNOT_CREATE_OBJECT);
    std::unique_ptr<ImportFile> file = OpenFile(strFilePath, digest);
    if (!file)
        return std::nullopt;
    LineReader lineReader = LineReaderFor(*file);
    StoreCalls calls(*store);
    return SurveyLines(file->Records(), lineReader, calls, mblnPurchase, blnMustCompare,
                       [this] { m_desktop.DoEvents(); });
}

bool clsImportSource::IMPLineCheck(const QString& strFilePath, const QString& strConnection)
{
    // Lines another clerk imported meanwhile are found in the run's turn, and not imported twice.
    m_choice.blnNewOnly = true;
    m_blnNothingNew = false;
    std::optional<std::vector<LineCheck>> rows = std::exchange(m_looked, std::nullopt);
    try {
        if (!rows)
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
    const Choice everyLine{QStringLiteral("すべて取り込む"), ChoiceLeadsTo::EveryLine};
    Question question{LinesQuestionText(*rows), kImportQuestion, {}, 0, 0};
    if (counts.fresh == 0) {
        // Nothing new: importing the new lines would record a run of none.
        question.choices = {everyLine, {QStringLiteral("取り込まない"), ChoiceLeadsTo::Nothing}};
        question.intDefault = question.intEscape = 1;
        m_blnNothingNew = m_desktop.Ask(question) == 1;
        m_choice.blnNewOnly = false;
        return m_blnNothingNew;
    }
    question.choices = {{QStringLiteral("新しい行だけ取り込む"), ChoiceLeadsTo::NewLinesOnly},
                        everyLine,
                        {QStringLiteral("キャンセル"), ChoiceLeadsTo::Nothing}};
    question.intEscape = 2;
    const int answer = m_desktop.Ask(question);
    m_choice.blnNewOnly = answer == 0;
    return answer == 2;
}

std::optional<std::vector<LineCheck>> clsImportSource::CheckFile(const QString& strFilePath,
                                                                 const QString& strConnection)
{
    if (IMPFileCheck(strFilePath))
        return std::nullopt;
    std::optional<std::vector<LineCheck>> rows;
    try {
        rows = Survey(strFilePath, strConnection, true);
        if (!rows) {
            m_desktop.MsgBox(QStringLiteral("選択されたファイルを開けません。"), MB_ICONINFORMATION,
                             kFileSelectionError);
        } else if (rows->size() > std::size_t(INT16_MAX)) {
            m_desktop.MsgBox(TooManyLinesText(rows->back().lngLineNumber), MB_ICONINFORMATION, kLookTitle);
            rows.reset();
        } else if (const QString strNoLedger = m_store ? m_store->NoLedgerYet() : QString(); !strNoLedger.isEmpty()) {
            m_desktop.MsgBox(NoLedgerYetText(strNoLedger), MB_ICONINFORMATION, kLookTitle);
        }
    } catch (const RuntimeError& error) {
        if (error.number() != ERR_AUTOMATION)
            ReportError(m_desktop, QStringLiteral("CLS-is1006"), error);
        else  // the ledger could not be asked: no line can be called new
            m_desktop.MsgBox(CannotCompareText(error.description()), MB_ICONINFORMATION, kLookTitle);
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
    // Declared so that it is released after the store.
    std::unique_ptr<ImportFile> file;
    try {
        clsLedgerStore* store = StoreFor(strConnection);
        if (!store)
            throw RuntimeError(ERR_CANNOT_CREATE_OBJECT);
        FileDigest digest;
        file = OpenFile(strFilePath, &digest);
        if (!file) {
            m_store.reset();
            m_desktop.SetMousePointer(POINTER_DEFAULT);
            m_desktop.MsgBox(QStringLiteral("ファイルが開けない為インポートは失敗しました。"), MB_OK, QString());
            return;
        }
        RunFile(*file, strFilePath, digest, *store);
    } catch (const std::exception& error) {
        if (m_store) {
            m_store->AbandonRun();
            m_store.reset();
        }
        ReportError(m_desktop, QStringLiteral("CLS-is1005"), error, PointerOnError::Reset);
        m_desktop.MsgBox(QStringLiteral("インポートは中止されました。このファイルの取引は登録されていません。"),
                         MB_ICONINFORMATION, kImportError);
    }
}

void clsImportSource::RunFile(ImportFile& file, const QString& strFilePath, const FileDigest& digest,
                              clsLedgerStore& store)
{
    LineReader lineReader = LineReaderFor(file);
    const QString strHeaderLine = file.HeaderLine();

    ImportRunInfo info;
    info.strFilePath = strFilePath;
    info.lngFileSize = digest.lngSize;
    info.strSha256 = digest.strSha256;
    info.strHeaderLine = strHeaderLine;
    info.blnPurchase = mblnPurchase;
    info.strUser = CurrentUserName();
    info.strHost = CurrentHostName();
    info.strProgramVersion = QCoreApplication::applicationVersion();
    info.strPatternName = m_pattern ? m_pattern->strName : QString();

    StoreCalls calls(store);
    Reports reports(m_desktop, strFilePath, file.Records().PlaceName());
    Listener listener(*this, reports);
    const std::optional<RunResult> result =
        ImportRun(calls, mblnPurchase, listener).Run(file.Records(), lineReader, info, m_choice);
    file.Close();
    // Frees the database, so that no one waits on it while the box is open.
    m_store.reset();
    if (!result)
        return;
    m_totals = result->totals;
    m_desktop.ShowTotals(TotalsText(result->totals.lngRead, result->totals.lngImported), kImportDone,
                         TotalsInformationText(*result), RunDetailsText(*result));
}
