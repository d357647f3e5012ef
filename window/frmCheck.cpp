#include "frmCheck.h"

#include "Appearance.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum Column {
    ColumnLine,
    ColumnOutcome,
    ColumnDate,
    ColumnKind,
    ColumnProduct,
    ColumnParty,
    ColumnQuantity,
    ColumnUnitPrice,
    ColumnAmount,
    ColumnDetail,
    ColumnCount
};

QString OutcomeText(LineCheck::Outcome outcome)
{
    switch (outcome) {
    case LineCheck::Outcome::New: return QStringLiteral("新しい");
    case LineCheck::Outcome::InLedger: return QStringLiteral("取り込み済み");
    case LineCheck::Outcome::Refused: return QStringLiteral("取り込めない");
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

QTableWidgetItem* NumberCell(const std::optional<int32_t>& number)
{
    return Cell(number ? QLocale(QLocale::Japanese).toString(*number) : QString(), Qt::AlignRight | Qt::AlignVCenter);
}

// A name marked as the line would treat it: ＋ added, ≒ matched to one stored another way.
QString MarkedName(const QString& name, const QString& what, const LineCheck& check)
{
    if (name.isEmpty())
        return name;
    if (check.newNames.contains(QStringLiteral("新しい%1「%2」").arg(what, name)))
        return QStringLiteral("＋") + name;
    for (const QString& matched : check.matchedNames) {
        if (matched.startsWith(QStringLiteral("%1「%2」→").arg(what, name)))
            return QStringLiteral("≒") + name;
    }
    return name;
}

}  // namespace

frmCheck::frmCheck(const std::vector<LineCheck>& checks, const QString& strFilePath, const QString& strLedger,
                   QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCheck"));
    setWindowTitle(TitleText(strFilePath, strLedger));
    setWindowIcon(ProgramIcon());
    setFont(JapaneseGothic(9, false));
    BuildControls();
    ShowLines(checks);
    resize(960, 420);
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

QString frmCheck::TitleText(const QString& strFilePath, const QString& strLedger)
{
    QString title = QStringLiteral("取り込み前の確認 - %1").arg(QFileInfo(strFilePath).fileName());
    if (!strLedger.isEmpty())
        title += QStringLiteral("（台帳: %1）").arg(strLedger);
    return title;
}

void frmCheck::BuildControls()
{
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setTextFormat(Qt::PlainText);

    cboShow = new QComboBox(this);
    cboShow->setObjectName(QStringLiteral("cboShow"));
    cboShow->addItems({QStringLiteral("すべての行"), QStringLiteral("新しい行"), QStringLiteral("取り込み済みの行"),
                       QStringLiteral("取り込めない行")});
    auto* lblShow = new QLabel(QStringLiteral("表示(&S):"), this);
    lblShow->setBuddy(cboShow);
    connect(cboShow, &QComboBox::currentIndexChanged, this, &frmCheck::cboShow_Changed);

    grdLines = new QTableWidget(0, ColumnCount, this);
    grdLines->setObjectName(QStringLiteral("grdLines"));
    grdLines->setHorizontalHeaderLabels({QStringLiteral("行"), QStringLiteral("結果"), QStringLiteral("日付"),
                                         QStringLiteral("種別"), QStringLiteral("製品名"), QStringLiteral("取引先"),
                                         QStringLiteral("数量"), QStringLiteral("単価"), QStringLiteral("金額"),
                                         QStringLiteral("内容")});
    grdLines->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdLines->setSelectionMode(QAbstractItemView::SingleSelection);
    grdLines->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdLines->verticalHeader()->hide();
    grdLines->setWordWrap(false);
    grdLines->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    grdLines->horizontalHeader()->setSectionResizeMode(ColumnDetail, QHeaderView::Stretch);

    cmdImport = new QPushButton(QStringLiteral("インポート(&I)"), this);
    cmdImport->setObjectName(QStringLiteral("cmdImport"));
    cmdImport->setAutoDefault(false);
    connect(cmdImport, &QPushButton::clicked, this, [this] { done(kImportChosen); });
    cmdClose = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    cmdClose->setObjectName(QStringLiteral("cmdClose"));
    cmdClose->setAutoDefault(false);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::accept);

    auto* filter = new QHBoxLayout;
    filter->addWidget(lblSummary, 1);
    filter->addWidget(lblShow);
    filter->addWidget(cboShow);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(
        new QLabel(QStringLiteral("＋ 追加される名前　≒ 書き方の違う登録済みの名前に合わせる名前"), this), 1);
    buttons->addWidget(cmdImport);
    buttons->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(filter);
    layout->addWidget(grdLines);
    layout->addLayout(buttons);
    grdLines->setFocus();
}

void frmCheck::ShowLines(const std::vector<LineCheck>& checks)
{
    lblSummary->setText(SummaryText(checks));
    grdLines->setRowCount(int(checks.size()));
    m_outcomes.clear();
    for (int row = 0; row < int(checks.size()); ++row) {
        const LineCheck& check = checks[std::size_t(row)];
        m_outcomes.push_back(check.outcome);
        QTableWidgetItem* detail = Cell(check.strDetail);
        // A long detail is cut at the column's edge; the whole shows on
        // hovering. Names come from the file: never read them as markup.
        detail->setToolTip(
            QStringLiteral("<p style=\"white-space:pre-wrap\">%1</p>").arg(check.strDetail.toHtmlEscaped()));
        grdLines->setItem(row, ColumnLine,
                          Cell(QString::number(check.lngLineNumber), Qt::AlignRight | Qt::AlignVCenter));
        grdLines->setItem(row, ColumnOutcome, Cell(OutcomeText(check.outcome)));
        grdLines->setItem(row, ColumnDate, Cell(check.strDate));
        grdLines->setItem(row, ColumnKind, Cell(MarkedName(check.strKind, QStringLiteral("種別"), check)));
        grdLines->setItem(row, ColumnProduct, Cell(MarkedName(check.strProduct, QStringLiteral("製品"), check)));
        const QString party =
            MarkedName(MarkedName(check.strParty, QStringLiteral("販売先"), check), QStringLiteral("仕入先"), check);
        grdLines->setItem(row, ColumnParty, Cell(party));
        grdLines->setItem(row, ColumnQuantity, NumberCell(check.lngQuantity));
        grdLines->setItem(row, ColumnUnitPrice, NumberCell(check.lngUnitPrice));
        grdLines->setItem(row, ColumnAmount, NumberCell(check.lngAmount));
        grdLines->setItem(row, ColumnDetail, detail);
    }
}

void frmCheck::cboShow_Changed(int index)
{
    const std::optional<LineCheck::Outcome> shown = index == 1   ? std::optional(LineCheck::Outcome::New)
                                                    : index == 2 ? std::optional(LineCheck::Outcome::InLedger)
                                                    : index == 3 ? std::optional(LineCheck::Outcome::Refused)
                                                                 : std::nullopt;
    for (int row = 0; row < grdLines->rowCount(); ++row)
        grdLines->setRowHidden(row, shown && m_outcomes[std::size_t(row)] != *shown);
}
