#pragma once

#include "clsImportSource.h"

#include <QDialog>
#include <QString>

#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

// What the look before an import found in the chosen file: a summary, then
// each data line with its outcome and what it would add, match or lack.
class frmCheck : public QDialog {
    Q_OBJECT
public:
    explicit frmCheck(const std::vector<LineCheck>& checks, QWidget* parent = nullptr);

    // 全レコード T 件: 新しい行 M 件、取り込み済み N 件、取り込めない行 R 件
    static QString SummaryText(const std::vector<LineCheck>& checks);

private:
    void BuildControls();
    void ShowLines(const std::vector<LineCheck>& checks);

    // Owned by this dialog as their parent.
    QLabel* lblSummary = nullptr;
    QTableWidget* grdLines = nullptr;
    QPushButton* cmdClose = nullptr;
};
