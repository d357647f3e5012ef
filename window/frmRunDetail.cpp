#include "frmRunDetail.h"

#include "Appearance.h"

#include "HistoryTexts.h"
#include "ImportTexts.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString TimeText(const QDateTime& time)
{
    return time.isValid() ? time.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss")) : QString();
}

// A read-only table of rows of texts; the last column takes the room left.
QTableWidget* Table(QWidget* parent, const char* name, const QStringList& headers, const std::vector<QStringList>& rows)
{
    auto* table = new QTableWidget(int(rows.size()), int(headers.size()), parent);
    table->setObjectName(QLatin1String(name));
    table->setHorizontalHeaderLabels(headers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setTabKeyNavigation(false);
    table->verticalHeader()->hide();
    table->setWordWrap(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < int(rows.size()); ++row) {
        for (int column = 0; column < int(headers.size()); ++column) {
            auto* item = new QTableWidgetItem(rows[std::size_t(row)].value(column));
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            // The whole of a long value on hovering.
            item->setToolTip(item->text());
            table->setItem(row, column, item);
        }
    }
    return table;
}

}  // namespace

frmRunDetail::frmRunDetail(const RunDetail& detail, std::function<void()> saveRejects, QWidget* parent)
    : QDialog(parent), m_saveRejects(std::move(saveRejects))
{
    setObjectName(QStringLiteral("frmRunDetail"));
    setWindowTitle(QStringLiteral("取り込み %1 の詳細").arg(detail.run.lngRunId));
    setWindowIcon(ProgramIcon());
    setFont(JapaneseGothic(9, false));
    BuildControls(detail);
    resize(720, 420);
}

QString frmRunDetail::SummaryText(const RunSummary& run)
{
    QStringList counts = {QStringLiteral("取込 %1 件").arg(run.lngImported)};
    if (run.lngSkipped > 0)
        counts << QStringLiteral("台帳にあり %1 件").arg(run.lngSkipped);
    if (run.lngRefused > 0)
        counts << QStringLiteral("取込不可 %1 件").arg(run.lngRefused);
    QStringList lines = {
        run.strPatternName.isEmpty()
            ? QStringLiteral("ファイル: %1").arg(run.strFilePath)
            : QStringLiteral("ファイル: %1　取込パターン: %2").arg(run.strFilePath, run.strPatternName),
        QStringLiteral("日時: %1 ～ %2　種類: %3　実行者: %4")
            .arg(TimeText(run.dtmStarted), TimeText(run.dtmEnded),
                 run.blnPurchase ? QStringLiteral("仕入") : QStringLiteral("販売"), RunByText(run)),
        QStringLiteral("全レコード %1 件: %2").arg(run.lngRead).arg(counts.join(QStringLiteral("、"))),
        run.blnUndone ? QStringLiteral("状態: 取消済（この取り込みの取引は台帳にありません）")
                      : QStringLiteral("状態: 取込済"),
    };
    return lines.join(QLatin1Char('\n'));
}

void frmRunDetail::BuildControls(const RunDetail& detail)
{
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setTextFormat(Qt::PlainText);
    lblSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblSummary->setText(SummaryText(detail.run));

    std::vector<QStringList> rejected;
    for (const RejectedLine& line : detail.rejects.lines) {
        const QString number = QString::number(line.lngLineNumber);
        if (line.reasons.empty())
            rejected.push_back({number, QString(), QString(), QString()});
        for (const LineReason& reason : line.reasons) {
            const QString why = reason.strCode.isEmpty() ? reason.strText
                                                         : reason.strCode + QLatin1Char(' ') + reason.strText;
            rejected.push_back({number, reason.strColumn, reason.strValue, why});
        }
    }
    std::vector<QStringList> skipped;
    for (const LineLeftOut& line : detail.skipped)
        skipped.push_back({QString::number(line.lngLineNumber), import_texts::MatchText(line.match)});
    std::vector<QStringList> added;
    for (const RunName& name : detail.addedNames)
        added.push_back({MasterText(name.strMaster), name.strName});
    std::vector<QStringList> matched;
    for (const RunName& name : detail.matchedNames)
        matched.push_back({MasterText(name.strMaster), name.strName, name.strStoredName});

    tabLines = new QTabWidget(this);
    tabLines->setObjectName(QStringLiteral("tabLines"));
    grdRejected = Table(tabLines, "grdRejected",
                        {QStringLiteral("行"), QStringLiteral("項目"), QStringLiteral("値"), QStringLiteral("理由")},
                        rejected);
    grdSkipped = Table(tabLines, "grdSkipped", {QStringLiteral("行"), QStringLiteral("同じ取引")}, skipped);
    grdAdded = Table(tabLines, "grdAdded", {QStringLiteral("種類"), QStringLiteral("名前")}, added);
    grdMatched = Table(tabLines, "grdMatched",
                       {QStringLiteral("種類"), QStringLiteral("ファイルの表記"), QStringLiteral("台帳の名前")},
                       matched);
    tabLines->addTab(grdRejected, QStringLiteral("取り込めなかった行 %1 行(&R)").arg(detail.rejects.lines.size()));
    tabLines->addTab(grdSkipped, QStringLiteral("台帳にあった行 %1 行(&L)").arg(detail.skipped.size()));
    tabLines->addTab(grdAdded, QStringLiteral("追加した名前 %1 件(&A)").arg(detail.addedNames.size()));
    tabLines->addTab(grdMatched, QStringLiteral("表記を合わせた名前 %1 件(&M)").arg(detail.matchedNames.size()));
    // The first tab with something in it.
    for (int tab = 0; tab < tabLines->count(); ++tab) {
        if (static_cast<QTableWidget*>(tabLines->widget(tab))->rowCount() > 0) {
            tabLines->setCurrentIndex(tab);
            break;
        }
    }

    cmdSaveRejects = new QPushButton(QStringLiteral("取り込めなかった行を保存(&S)"), this);
    cmdSaveRejects->setObjectName(QStringLiteral("cmdSaveRejects"));
    cmdSaveRejects->setEnabled(!detail.rejects.lines.empty() && m_saveRejects);
    cmdClose = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    // Return presses the focused button, else 閉じる.
    cmdClose->setDefault(true);
    connect(cmdSaveRejects, &QPushButton::clicked, this, [this] { m_saveRejects(); });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSaveRejects);
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(tabLines, 1);
    layout->addLayout(buttons);
    tabLines->currentWidget()->setFocus();
}
