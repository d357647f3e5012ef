#include "frmHistory.h"

#include "Appearance.h"
#include "frmRunDetail.h"

#include "Desktop.h"
#include "HistoryTexts.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString TITLE_HISTORY = QStringLiteral("取り込み履歴");

enum Column {
    ColumnRun,
    ColumnTime,
    ColumnFile,
    ColumnMode,
    ColumnRead,
    ColumnImported,
    ColumnSkipped,
    ColumnRefused,
    ColumnBy,
    ColumnState,
    ColumnCount
};

QTableWidgetItem* Cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

QString DefaultSaveFile(QWidget* parent, const QString& strSuggestedPath)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("取り込めなかった行を保存"), strSuggestedPath,
                                        QStringLiteral("CSV ファイル (*.csv)"));
}

}  // namespace

frmHistory::frmHistory(Desktop& desktop, LedgerHistoryFactory openHistory, QString strConnection, QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_openHistory(std::move(openHistory)),
      m_strConnection(std::move(strConnection))
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(TITLE_HISTORY);
    setWindowIcon(ProgramIcon());
    setFont(JapaneseGothic(9, false));
    m_chooseSaveFile = [this](const QString& suggested) { return DefaultSaveFile(this, suggested); };
    BuildControls();
    resize(760, 340);
}

void frmHistory::BuildControls()
{
    grdRuns = new QTableWidget(0, ColumnCount, this);
    grdRuns->setObjectName(QStringLiteral("grdRuns"));
    grdRuns->setHorizontalHeaderLabels({QStringLiteral("番号"), QStringLiteral("日時"), QStringLiteral("ファイル"),
                                        QStringLiteral("種類"), QStringLiteral("読込"), QStringLiteral("取込"),
                                        QStringLiteral("台帳にあり"), QStringLiteral("取込不可"),
                                        QStringLiteral("実行者"), QStringLiteral("状態")});
    grdRuns->horizontalHeaderItem(ColumnSkipped)
        ->setToolTip(QStringLiteral("台帳にある取引と同じため取り込まなかった行"));
    grdRuns->horizontalHeaderItem(ColumnRefused)->setToolTip(QStringLiteral("取り込めなかった行"));
    // Tab leaves the table for the buttons; the arrows move within it.
    grdRuns->setTabKeyNavigation(false);
    grdRuns->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRuns->setSelectionMode(QAbstractItemView::SingleSelection);
    grdRuns->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRuns->verticalHeader()->hide();
    grdRuns->setWordWrap(false);
    grdRuns->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grdRuns->horizontalHeader()->setSectionResizeMode(ColumnFile, QHeaderView::Stretch);
    connect(grdRuns, &QTableWidget::itemSelectionChanged, this, &frmHistory::UpdateButtons);
    connect(grdRuns, &QTableWidget::cellDoubleClicked, this, &frmHistory::ShowDetail);

    cmdDetail = new QPushButton(QStringLiteral("詳細…(&D)"), this);
    cmdDetail->setObjectName(QStringLiteral("cmdDetail"));
    cmdUndo = new QPushButton(QStringLiteral("取り消し(&U)"), this);
    cmdUndo->setObjectName(QStringLiteral("cmdUndo"));
    cmdSaveRejects = new QPushButton(QStringLiteral("取り込めなかった行を保存(&S)"), this);
    cmdSaveRejects->setObjectName(QStringLiteral("cmdSaveRejects"));
    cmdClose = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    // Return on a run opens its detail, on a focused button presses it;
    // Escape closes the window.
    for (QPushButton* button : {cmdDetail, cmdUndo, cmdSaveRejects, cmdClose})
        button->setAutoDefault(true);
    cmdDetail->setDefault(true);
    connect(cmdDetail, &QPushButton::clicked, this, &frmHistory::ShowDetail);
    connect(cmdUndo, &QPushButton::clicked, this, &frmHistory::cmdUndo_Click);
    connect(cmdSaveRejects, &QPushButton::clicked, this, &frmHistory::cmdSaveRejects_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdDetail);
    buttons->addWidget(cmdUndo);
    buttons->addWidget(cmdSaveRejects);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grdRuns);
    layout->addLayout(buttons);
    UpdateButtons();
    grdRuns->setFocus();
}

void frmHistory::SetLedgerName(const QString& strLedger)
{
    setWindowTitle(strLedger.isEmpty() ? TITLE_HISTORY : TITLE_HISTORY + QStringLiteral(" — ") + strLedger);
}

std::unique_ptr<clsLedgerHistory> frmHistory::OpenHistory()
{
    std::unique_ptr<clsLedgerHistory> history = m_openHistory ? m_openHistory(m_strConnection) : nullptr;
    if (!history)
        throw LedgerError(QStringLiteral("台帳を開けません。"));
    return history;
}

bool frmHistory::Reload()
{
    try {
        m_runs = OpenHistory()->Runs();
    } catch (const LedgerError& error) {
        Tell(error.message());
        return false;
    } catch (const std::exception& error) {
        Tell(QString::fromUtf8(error.what()));
        return false;
    }
    ShowRuns();
    return true;
}

void frmHistory::ShowRuns()
{
    const std::optional<RunSummary> selected = SelectedRun();
    grdRuns->setRowCount(int(m_runs.size()));
    const Qt::Alignment number = Qt::AlignRight | Qt::AlignVCenter;
    for (int row = 0; row < int(m_runs.size()); ++row) {
        const RunSummary& run = m_runs[std::size_t(row)];
        QTableWidgetItem* file = Cell(QFileInfo(run.strFilePath).fileName());
        file->setToolTip(run.strFilePath);
        // The number the undo question and the command line name the run by.
        grdRuns->setItem(row, ColumnRun, Cell(QString::number(run.lngRunId), number));
        grdRuns->setItem(row, ColumnTime,
                         Cell(run.dtmStarted.toLocalTime().toString(QStringLiteral("yyyy/MM/dd HH:mm"))));
        grdRuns->setItem(row, ColumnFile, file);
        grdRuns->setItem(row, ColumnMode, Cell(run.blnPurchase ? QStringLiteral("仕入") : QStringLiteral("販売")));
        grdRuns->setItem(row, ColumnRead, Cell(QString::number(run.lngRead), number));
        grdRuns->setItem(row, ColumnImported, Cell(QString::number(run.lngImported), number));
        grdRuns->setItem(row, ColumnSkipped, Cell(QString::number(run.lngSkipped), number));
        grdRuns->setItem(row, ColumnRefused, Cell(QString::number(run.lngRefused), number));
        grdRuns->setItem(row, ColumnBy, Cell(RunByText(run)));
        grdRuns->setItem(row, ColumnState, Cell(run.blnUndone ? QStringLiteral("取消済") : QStringLiteral("取込済")));
        // An undone run stays listed, greyed and slanted, its trades gone.
        if (run.blnUndone) {
            for (int column = 0; column < ColumnCount; ++column) {
                QTableWidgetItem* item = grdRuns->item(row, column);
                item->setForeground(palette().color(QPalette::Disabled, QPalette::Text));
                QFont font = item->font();
                font.setItalic(true);
                item->setFont(font);
            }
        }
        if (selected && selected->lngRunId == run.lngRunId)
            grdRuns->selectRow(row);
    }
    if (!SelectedRun() && !m_runs.empty())
        grdRuns->selectRow(0);
    UpdateButtons();
}

std::optional<RunSummary> frmHistory::SelectedRun() const
{
    const QList<QTableWidgetItem*> items = grdRuns->selectedItems();
    if (items.isEmpty())
        return std::nullopt;
    const int row = items.front()->row();
    if (row < 0 || row >= int(m_runs.size()))
        return std::nullopt;
    return m_runs[std::size_t(row)];
}

void frmHistory::UpdateButtons()
{
    const std::optional<RunSummary> run = SelectedRun();
    cmdDetail->setEnabled(run.has_value());
    cmdUndo->setEnabled(run && !run->blnUndone);
    // Lines left out as in the ledger were not refused: nothing of theirs to save.
    cmdSaveRejects->setEnabled(run && run->lngRefused > 0);
}

void frmHistory::ShowDetail()
{
    const std::optional<RunSummary> run = SelectedRun();
    if (!run)
        return;
    std::optional<RunDetail> detail;
    try {
        detail = OpenHistory()->Detail(run->lngRunId);
    } catch (const LedgerError& error) {
        return Tell(error.message());
    } catch (const std::exception& error) {
        return Tell(QString::fromUtf8(error.what()));
    }
    if (!detail)
        return Tell(UnknownRunText(QString::number(run->lngRunId)));
    frmRunDetail window(
        *detail, [this, summary = detail->run] { SaveRejectsOf(summary); }, this);
    window.exec();
}

void frmHistory::cmdUndo_Click()
{
    const std::optional<RunSummary> run = SelectedRun();
    if (!run || run->blnUndone)
        return;
    try {
        // Asked with what the undo would take out now; a refusal is told at once.
        const clsLedgerHistory::UndoResult preview =
            OpenHistory()->PreviewUndo(run->lngRunId, [this] { m_desktop.DoEvents(); });
        if (preview.outcome == clsLedgerHistory::UndoOutcome::Undone
            && m_desktop.MsgBoxWithInformation(UndoQuestionText(*run, preview.lngTradesRemoved),
                                               MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2, TITLE_HISTORY,
                                               UndoNamesText(preview), QString())
                   != IDYES)
            return;
        std::unique_ptr<clsLedgerHistory> history = OpenHistory();
        const clsLedgerHistory::UndoResult result =
            preview.outcome == clsLedgerHistory::UndoOutcome::Undone
                ? history->UndoRun(run->lngRunId, [this] { m_desktop.DoEvents(); })
                : preview;
        history.reset();
        switch (result.outcome) {
        case clsLedgerHistory::UndoOutcome::Undone: Tell(UndoneText(run->lngRunId, result.lngTradesRemoved)); break;
        case clsLedgerHistory::UndoOutcome::AlreadyUndone: Tell(AlreadyUndoneText(run->lngRunId)); break;
        case clsLedgerHistory::UndoOutcome::ReliedOn: Tell(ReliedOnText(result.relyingRuns)); break;
        case clsLedgerHistory::UndoOutcome::UnknownRun: Tell(UnknownRunText(QString::number(run->lngRunId))); break;
        }
    } catch (const LedgerError& error) {
        Tell(error.message());
    } catch (const std::exception& error) {
        Tell(QString::fromUtf8(error.what()));
    }
    Reload();
}

void frmHistory::cmdSaveRejects_Click()
{
    if (const std::optional<RunSummary> run = SelectedRun())
        SaveRejectsOf(*run);
}

void frmHistory::SaveRejectsOf(const RunSummary& run)
{
    try {
        const std::optional<RunRejects> rejects = OpenHistory()->Rejects(run.lngRunId);
        if (!rejects)
            return Tell(UnknownRunText(QString::number(run.lngRunId)));
        const QFileInfo source(run.strFilePath);
        const QString suggested =
            source.dir().filePath(source.completeBaseName() + QStringLiteral("-取り込めなかった行.csv"));
        const QString path = m_chooseSaveFile(suggested);
        if (path.isEmpty())
            return;
        // Whole or not at all: a failed save leaves no half a file.
        QSaveFile file(path);
        const QByteArray content = RejectsFileContent(*rejects);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
            return Tell(QStringLiteral("ファイルに保存できません: %1（%2）").arg(path, file.errorString()));
        Tell(QStringLiteral("取り込み %1 の取り込めなかった行 %2 行を保存しました。\r\n%3")
                 .arg(run.lngRunId)
                 .arg(rejects->lines.size())
                 .arg(QDir::toNativeSeparators(path)));
    } catch (const LedgerError& error) {
        Tell(error.message());
    } catch (const std::exception& error) {
        Tell(QString::fromUtf8(error.what()));
    }
}

void frmHistory::Tell(const QString& strPrompt) { m_desktop.MsgBox(strPrompt, MB_ICONINFORMATION, TITLE_HISTORY); }
