#include "frmPattern.h"

#include "Appearance.h"
#include "ColumnMap.h"
#include "Desktop.h"
#include "ImportFile.h"
#include "LineReader.h"
#include "PatternFile.h"
#include "PatternSuggestions.h"

#include <QComboBox>
#include <QDate>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

const QString kUnused = QStringLiteral("（使わない）");
const QString kAutoDate = QStringLiteral("自動");

QTableWidgetItem* Cell(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

QString DateText(double dtmDate)
{
    return QDate(1899, 12, 30).addDays(qint64(dtmDate)).toString(QStringLiteral("yyyy/MM/dd"));
}

// What a read line says in the preview's columns.
QStringList PreviewOf(const ReadLine& line, bool blnPurchase)
{
    const QString lineNumber = QString::number(line.lngLineNumber);
    if (line.IsRefused()) {
        QStringList reasons;
        for (const LineReason& reason : line.reasons)
            reasons << (reason.strColumn.isEmpty() ? reason.strText
                                                   : reason.strColumn + QStringLiteral(": ") + reason.strText);
        return {lineNumber, QStringLiteral("取り込めません: ") + reasons.join(QStringLiteral(" / "))};
    }
    const TradeRecord& trade = line.trade;
    return {lineNumber,
            DateText(trade.dtmTradeDate),
            line.product.strProductName,
            line.product.strModel,
            QString::number(blnPurchase ? trade.lngPurchaseQuantity : trade.lngSalesQuantity),
            QString::number(blnPurchase ? trade.lngPurchaseUnitPrice : trade.lngSalesUnitPrice),
            QString::number(blnPurchase ? trade.lngPurchaseAmount : trade.lngSalesAmount),
            line.party.strPartyName};
}

}  // namespace

frmPattern::frmPattern(Desktop& desktop, LedgerPatternsFactory openPatterns, QString strConnection, QString strFilePath,
                       QWidget* parent)
    : QDialog(parent), m_desktop(desktop), m_openPatterns(std::move(openPatterns)),
      m_strConnection(std::move(strConnection)), m_strFilePath(std::move(strFilePath))
{
    BuildControls();
    LoadLines();
    Suggest();
    UpdatePreview();
}

void frmPattern::BuildControls()
{
    setWindowTitle(QStringLiteral("取込パターン"));
    setWindowIcon(ProgramIcon());
    setFont(JapaneseGothic(9, false));
    lblFile = new QLabel(QStringLiteral("ファイル: %1").arg(m_strFilePath), this);
    lblFile->setTextFormat(Qt::PlainText);
    lblFile->setWordWrap(true);

    txtName = new QLineEdit(QFileInfo(m_strFilePath).completeBaseName(), this);
    txtName->setObjectName(QStringLiteral("txtName"));
    cboMode = new QComboBox(this);
    cboMode->setObjectName(QStringLiteral("cboMode"));
    cboMode->addItems({QStringLiteral("売上（取引先は販売先）"), QStringLiteral("仕入（取引先は仕入先）")});
    spnHeaderRow = new QSpinBox(this);
    spnHeaderRow->setObjectName(QStringLiteral("spnHeaderRow"));
    spnHeaderRow->setRange(0, kLinesShown);
    spnHeaderRow->setValue(1);
    spnHeaderRow->setSpecialValueText(QStringLiteral("なし"));
    cboEncoding = new QComboBox(this);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    cboEncoding->addItems({QStringLiteral("自動"), QStringLiteral("シフトJIS"), QStringLiteral("UTF-8")});
    cboDateForm = new QComboBox(this);
    cboDateForm->setObjectName(QStringLiteral("cboDateForm"));
    cboDateForm->setEditable(true);
    cboDateForm->addItems({kAutoDate, QStringLiteral("yyyyMMdd"), QStringLiteral("yyyy/MM/dd"),
                           QStringLiteral("yyyy-MM-dd"), QStringLiteral("yyyy/M/d")});

    auto* settings = new QFormLayout;
    const auto addRow = [&](const QString& text, QWidget* field) {
        auto* label = new QLabel(text, this);
        label->setBuddy(field);
        settings->addRow(label, field);
    };
    addRow(QStringLiteral("名前(&N):"), txtName);
    addRow(QStringLiteral("種類(&M):"), cboMode);
    addRow(QStringLiteral("見出しの行(&H):"), spnHeaderRow);
    addRow(QStringLiteral("文字コード(&E):"), cboEncoding);
    addRow(QStringLiteral("日付の形式(&D):"), cboDateForm);

    grdFixed = new QTableWidget(int(kPatternFieldCount), 1, this);
    grdFixed->setObjectName(QStringLiteral("grdFixed"));
    grdFixed->setHorizontalHeaderLabels({QStringLiteral("固定値（列の代わりに全行へ）")});
    for (std::size_t i = 0; i < kPatternFieldCount; ++i)
        grdFixed->setVerticalHeaderItem(int(i), new QTableWidgetItem(PatternFieldName(PatternField(i))));
    grdFixed->horizontalHeader()->setStretchLastSection(true);
    auto* fixedLabel = new QLabel(QStringLiteral("固定値(&F):"), this);
    fixedLabel->setBuddy(grdFixed);

    auto* top = new QHBoxLayout;
    top->addLayout(settings, 1);
    auto* fixedBox = new QVBoxLayout;
    fixedBox->addWidget(fixedLabel);
    fixedBox->addWidget(grdFixed);
    top->addLayout(fixedBox, 1);

    grdLines = new QTableWidget(this);
    grdLines->setObjectName(QStringLiteral("grdLines"));
    auto* linesLabel = new QLabel(QStringLiteral("ファイルの行と、各列から読む項目(&L):"), this);
    linesLabel->setBuddy(grdLines);
    grdPreview = new QTableWidget(0, 8, this);
    grdPreview->setObjectName(QStringLiteral("grdPreview"));
    grdPreview->setHorizontalHeaderLabels({QStringLiteral("行"), QStringLiteral("日付"), QStringLiteral("製品名"),
                                           QStringLiteral("型式"), QStringLiteral("数量"), QStringLiteral("単価"),
                                           QStringLiteral("金額"), QStringLiteral("取引先")});
    grdPreview->horizontalHeader()->setStretchLastSection(true);
    grdPreview->verticalHeader()->hide();
    auto* previewLabel =
        new QLabel(QStringLiteral("取り込むときの読み方（最初の %1 行）(&P):").arg(kLinesPreviewed), this);
    previewLabel->setBuddy(grdPreview);

    cmdSave = new QPushButton(QStringLiteral("保存(&S)"), this);
    cmdSave->setObjectName(QStringLiteral("cmdSave"));
    cmdManage = new QPushButton(QStringLiteral("管理…(&A)"), this);
    cmdManage->setObjectName(QStringLiteral("cmdManage"));
    auto* cmdClose = new QPushButton(QStringLiteral("閉じる(&C)"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdManage);
    buttons->addStretch();
    buttons->addWidget(cmdSave);
    buttons->addWidget(cmdClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblFile);
    layout->addLayout(top);
    layout->addWidget(linesLabel);
    layout->addWidget(grdLines, 2);
    layout->addWidget(previewLabel);
    layout->addWidget(grdPreview, 2);
    layout->addLayout(buttons);
    resize(960, 720);

    connect(cmdSave, &QPushButton::clicked, this, [this] {
        if (Save())
            accept();
    });
    connect(cmdManage, &QPushButton::clicked, this, &frmPattern::ShowManager);
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(cboEncoding, &QComboBox::currentIndexChanged, this, [this] {
        LoadLines();
        UpdatePreview();
    });
    connect(spnHeaderRow, &QSpinBox::valueChanged, this, [this] {
        Suggest();
        UpdatePreview();
    });
    connect(cboMode, &QComboBox::currentIndexChanged, this, [this] { UpdatePreview(); });
    connect(cboDateForm, &QComboBox::currentTextChanged, this, [this] { UpdatePreview(); });
    connect(grdFixed, &QTableWidget::itemChanged, this, [this] { UpdatePreview(); });
}

void frmPattern::LoadLines()
{
    m_lines.clear();
    try {
        SourceOptions options;
        options.encoding = PatternEncoding(cboEncoding->currentIndex());
        options.intHeaderRow = 0;  // every line a record, the header among them
        std::unique_ptr<ImportFile> file = OpenImportRecords(m_strFilePath, options);
        file->ReadHeader();
        RecordSource& records = file->Records();
        while (!records.AtEnd() && int(m_lines.size()) < kLinesShown) {
            const SourceRecord record = records.Next();
            QStringList fields;
            for (const QString& field : record.fields)
                fields << QString(field.constData(), field.size());  // a copy of its own
            m_lines.push_back(fields);
        }
        file->Close();
    } catch (const std::exception& error) {
        m_desktop.MsgBox(QStringLiteral("ファイルを読めません: %1").arg(QString::fromUtf8(error.what())),
                         MB_ICONINFORMATION, windowTitle());
    }
    ShowLines();
}

void frmPattern::ShowLines()
{
    m_blnLoading = true;
    int columns = 0;
    for (const QStringList& line : m_lines)
        columns = std::max(columns, int(line.size()));
    // The lines go and come again; the field lists above them, in row 0, stay.
    grdLines->setRowCount(1);
    grdLines->setColumnCount(columns);
    grdLines->setRowCount(int(m_lines.size()) + 1);
    // The field lists stay as they are where their columns do: the choices with them.
    while (int(cboFields.size()) > columns) {
        delete cboFields.back();
        cboFields.pop_back();
    }
    QStringList headers;
    for (int c = 0; c < columns; ++c) {
        headers << QStringLiteral("%1 列目").arg(c + 1);
        if (c < int(cboFields.size()))
            continue;
        auto* combo = new QComboBox(grdLines);
        combo->setObjectName(QStringLiteral("cboField%1").arg(c + 1));
        combo->addItem(kUnused);
        for (std::size_t i = 0; i < kPatternFieldCount; ++i)
            combo->addItem(PatternFieldName(PatternField(i)));
        connect(combo, &QComboBox::currentIndexChanged, this, [this, combo](int index) {
            // A field comes from one column: the last one chosen for it.
            for (QComboBox* other : cboFields) {
                if (other != combo && index > 0 && other->currentIndex() == index)
                    other->setCurrentIndex(0);
            }
            UpdatePreview();
        });
        grdLines->setCellWidget(0, c, combo);
        cboFields.push_back(combo);
    }
    grdLines->setHorizontalHeaderLabels(headers);
    QStringList rows{QStringLiteral("項目")};
    for (std::size_t r = 0; r < m_lines.size(); ++r) {
        rows << QString::number(r + 1);
        for (int c = 0; c < int(m_lines[r].size()); ++c) {
            QTableWidgetItem* item = Cell(m_lines[r][c]);
            if (int(r) + 1 == spnHeaderRow->value())
                item->setBackground(QColor(0xFF, 0xF0, 0xC0));
            grdLines->setItem(int(r) + 1, c, item);
        }
    }
    grdLines->setVerticalHeaderLabels(rows);
    grdLines->resizeColumnsToContents();
    for (int c = 0; c < columns; ++c)
        grdLines->setColumnWidth(c, std::max(grdLines->columnWidth(c), 110));
    m_blnLoading = false;
}

QStringList frmPattern::HeaderFields() const
{
    const int row = spnHeaderRow->value();
    return row >= 1 && row <= int(m_lines.size()) ? m_lines[std::size_t(row - 1)] : QStringList();
}

void frmPattern::Suggest()
{
    ShowLines();
    const std::vector<std::optional<PatternField>> fields =
        SuggestColumnFields(HeaderFields(), cboMode->currentIndex() == 1);
    m_blnLoading = true;
    for (std::size_t c = 0; c < cboFields.size(); ++c) {
        const std::optional<PatternField> field = c < fields.size() ? fields[c] : std::nullopt;
        cboFields[c]->setCurrentIndex(field ? int(*field) + 1 : 0);
    }
    m_blnLoading = false;
}

void frmPattern::StartFrom(const ImportPattern& pattern)
{
    m_blnLoading = true;
    txtName->setText(pattern.strName);
    cboMode->setCurrentIndex(pattern.blnPurchase ? 1 : 0);
    cboEncoding->setCurrentIndex(int(pattern.encoding));
    spnHeaderRow->setValue(pattern.intHeaderRow);
    cboDateForm->setCurrentText(pattern.strDateFormat.isEmpty() ? kAutoDate : pattern.strDateFormat);
    LoadLines();
    const std::optional<ColumnMap> map = ColumnMap::FromPattern(pattern, HeaderFields());
    for (QComboBox* combo : cboFields)
        combo->setCurrentIndex(0);
    for (std::size_t i = 0; i < kPatternFieldCount; ++i) {
        const PatternSource& source = pattern.sources[i];
        const int column = map ? map->PlaceOf(PatternField(i)).intColumn : 0;
        if (column > 0 && column <= int(cboFields.size()))
            cboFields[std::size_t(column - 1)]->setCurrentIndex(int(i) + 1);
        grdFixed->setItem(int(i), 0,
                          new QTableWidgetItem(source.kind == PatternSource::Kind::Value ? source.strText : QString()));
    }
    m_blnLoading = false;
    UpdatePreview();
}

ImportPattern frmPattern::Pattern() const
{
    ImportPattern pattern;
    pattern.strName = txtName->text().trimmed();
    pattern.blnPurchase = cboMode->currentIndex() == 1;
    pattern.encoding = PatternEncoding(cboEncoding->currentIndex());
    pattern.intHeaderRow = spnHeaderRow->value();
    const QString dateForm = cboDateForm->currentText().trimmed();
    pattern.strDateFormat = dateForm == kAutoDate ? QString() : dateForm;
    const QStringList header = HeaderFields();
    for (std::size_t c = 0; c < cboFields.size(); ++c) {
        const int index = cboFields[c]->currentIndex();
        if (index <= 0)
            continue;
        const QString text = header.value(qsizetype(c)).trimmed();
        // By its text where that names it alone, else by its number.
        const bool blnByText = !text.isEmpty() && header.count(header.value(qsizetype(c))) == 1;
        pattern.sources[std::size_t(index - 1)] =
            blnByText ? PatternSource{PatternSource::Kind::Header, text, 0}
                      : PatternSource{PatternSource::Kind::Number, QString(), int(c) + 1};
    }
    for (std::size_t i = 0; i < kPatternFieldCount; ++i) {
        const QTableWidgetItem* item = grdFixed->item(int(i), 0);
        if (item && !item->text().trimmed().isEmpty() && pattern.sources[i].kind == PatternSource::Kind::Nothing)
            pattern.sources[i] = PatternSource{PatternSource::Kind::Value, item->text().trimmed(), 0};
    }
    return pattern;
}

QStringList frmPattern::PreviewRows() const
{
    QStringList rows;
    for (int r = 0; r < grdPreview->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grdPreview->columnCount(); ++c) {
            const QTableWidgetItem* item = grdPreview->item(r, c);
            cells << (item ? item->text() : QString());
        }
        while (!cells.isEmpty() && cells.back().isEmpty())
            cells.removeLast();
        rows << cells.join(u'|');
    }
    return rows;
}

void frmPattern::UpdatePreview()
{
    if (m_blnLoading)
        return;
    grdPreview->setRowCount(0);
    const ImportPattern pattern = Pattern();
    const auto showOne = [this](const QStringList& cells) {
        const int row = grdPreview->rowCount();
        grdPreview->insertRow(row);
        if (cells.size() == 2) {
            grdPreview->setItem(row, 0, Cell(cells[0]));
            grdPreview->setItem(row, 1, Cell(cells[1]));
            grdPreview->setSpan(row, 1, 1, grdPreview->columnCount() - 1);
            return;
        }
        for (int c = 0; c < cells.size(); ++c)
            grdPreview->setItem(row, c, Cell(cells[c]));
    };
    try {
        std::unique_ptr<ImportFile> file = OpenImportRecords(m_strFilePath, SourceOptions::Of(pattern));
        const QStringList header = file->ReadHeader();
        QString strMissing;
        std::optional<ColumnMap> map = ColumnMap::FromPattern(pattern, header, &strMissing);
        if (!map) {
            showOne({QString(), QStringLiteral("見出しに「%1」がありません。").arg(strMissing)});
            return;
        }
        LineReader reader(pattern.blnPurchase, std::move(*map));
        RecordSource& records = file->Records();
        for (int shown = 0; shown < kLinesPreviewed && !records.AtEnd();) {
            const ReadLine line = reader.ReadNext(records);
            if (line.outcome == ReadLine::Outcome::NoData)
                continue;
            showOne(PreviewOf(line, pattern.blnPurchase));
            ++shown;
        }
        file->Close();
    } catch (const std::exception& error) {
        showOne({QString(), QStringLiteral("読めません: %1").arg(QString::fromUtf8(error.what()))});
    }
    grdPreview->resizeColumnsToContents();
}

bool frmPattern::Save()
{
    const ImportPattern pattern = Pattern();
    if (const QString problem = PatternProblem(pattern); !problem.isEmpty()) {
        m_desktop.MsgBox(problem, MB_ICONINFORMATION, windowTitle());
        return false;
    }
    try {
        m_openPatterns(m_strConnection, true)->SavePattern(pattern);
    } catch (const std::exception& error) {
        m_desktop.MsgBox(QStringLiteral("取込パターンを保存できません: %1").arg(QString::fromUtf8(error.what())),
                         MB_ICONINFORMATION, windowTitle());
        return false;
    }
    m_saved = pattern;
    return true;
}

void frmPattern::ShowManager()
{
    frmPatternManager manager(m_desktop, m_openPatterns, m_strConnection, this);
    if (manager.Reload())
        manager.exec();
}
