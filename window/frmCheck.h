#pragma once

#include "clsImportSource.h"

#include <QDialog>
#include <QString>

#include <vector>

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;

// What the look before an import found in the chosen file: a summary, then
// each data line with its outcome, its values as they would be stored, the
// names it would add (＋) or match to a stored one written another way (≒),
// and what it matched or lacks; a filter by outcome, and the import itself.
class frmCheck : public QDialog {
    Q_OBJECT
public:
    // What exec() gives when the clerk chose to import the file.
    static constexpr int kImportChosen = 2;

    // strFilePath and strLedger name the file and the ledger in the title.
    frmCheck(const std::vector<LineCheck>& checks, const QString& strFilePath, const QString& strLedger,
             QWidget* parent = nullptr);

    // 全レコード T 件: 新しい行 M 件、取り込み済み N 件、取り込めない行 R 件
    static QString SummaryText(const std::vector<LineCheck>& checks);
    // 取り込み前の確認 - sales.csv（台帳: …）
    static QString TitleText(const QString& strFilePath, const QString& strLedger);

private:
    void BuildControls();
    void ShowLines(const std::vector<LineCheck>& checks);
    // Shows only the rows of the outcome chosen in the filter.
    void cboShow_Changed(int index);

    std::vector<LineCheck::Outcome> m_outcomes;  // of each row
    // Owned by this dialog as their parent.
    QLabel* lblSummary = nullptr;
    QComboBox* cboShow = nullptr;
    QTableWidget* grdLines = nullptr;
    QPushButton* cmdImport = nullptr;
    QPushButton* cmdClose = nullptr;
};
