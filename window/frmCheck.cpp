#include "frmCheck.h"

#include "Appearance.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum Column { ColumnLine, ColumnOutcome, ColumnDetail, ColumnCount };

QString OutcomeText(LineCheck::Outcome outcome)
{
    switch (outcome) {
    case LineCheck::Outcome::New:
        return QStringLiteral("新しい");
    case LineCheck::Outcome::InLedger:
        return QStringLiteral("取り込み済み");
    case LineCheck::Outcome::Refused:
        return QStringLiteral("取り込めない");
    }
    return QString();
}

QTableWidgetItem* Cell(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(alignment);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

}  // namespace

frmCheck::frmCheck(const std::vector<LineCheck>& checks, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCheck"));
    setWindowTitle(QStringLiteral("取り込み前の確認"));
    setWindowIcon(ProgramIcon());
    setFont(JapaneseGothic(9, false));
    BuildControls();
    ShowLines(checks);
    resize(640, 360);
}

QString frmCheck::SummaryText(const std::vector<LineCheck>& checks)
{
    const auto count = [&checks](LineCheck::Outcome outcome) {
        return std::count_if(checks.begin(), checks.end(),
                             [outcome](const LineCheck& check) { return check.outcome == outcome; });
    };
    return QStringLiteral("全レコード %1 件: 新しい行 %2 件、取り込み済み %3 件、取り込めない行 %4 件")
        .arg(checks.size())
        .arg(count(LineCheck::Outcome::New))
        .arg(count(LineCheck::Outcome::InLedger))
        .arg(count(LineCheck::Outcome::Refused));
}

void frmCheck::BuildControls()
{
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setTextFormat(Qt::PlainText);

    grdLines = new QTableWidget(0, ColumnCount, this);
    grdLines->setObjectName(QStringLiteral("grdLines"));
    grdLines->setHorizontalHeaderLabels({QStringLiteral("行"), QStringLiteral("結果"), QStringLiteral("内容")});
    grdLines->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdLines->setSelectionMode(QAbstractItemView::SingleSelection);
    grdLines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdLines->verticalHeader()->hide();
    grdLines->setWordWrap(false);
    grdLines->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grdLines->horizontalHeader()->setSectionResizeMode(ColumnDetail, QHeaderView::Stretch);

    cmdClose = new QPushButton(QStringLiteral("閉じる"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblSummary);
    layout->addWidget(grdLines);
    layout->addLayout(buttons);
}

void frmCheck::ShowLines(const std::vector<LineCheck>& checks)
{
    lblSummary->setText(SummaryText(checks));
    grdLines->setRowCount(int(checks.size()));
    for (int row = 0; row < int(checks.size()); ++row) {
        const LineCheck& check = checks[std::size_t(row)];
        QTableWidgetItem* detail = Cell(check.strDetail);
        // A long detail is cut at the column's edge; the whole shows on
        // hovering. Names come from the file: never read them as markup.
        detail->setToolTip(QStringLiteral("<p style=\"white-space:pre-wrap\">%1</p>").arg(check.strDetail.toHtmlEscaped()));
        grdLines->setItem(row, ColumnLine, Cell(QString::number(check.lngLineNumber), Qt::AlignRight | Qt::AlignVCenter));
        grdLines->setItem(row, ColumnOutcome, Cell(OutcomeText(check.outcome)));
        grdLines->setItem(row, ColumnDetail, detail);
    }
}
