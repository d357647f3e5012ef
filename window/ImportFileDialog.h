#pragma once

#include <QString>

class QWidget;

// Asks for the file to import with Qt's own file dialog, so that it speaks
// Japanese whatever the desktop, starting in strStartFolder and showing
// the CSV files first. The full path chosen; empty when cancelled.
QString AskImportFile(QWidget* parent, const QString& strStartFolder);
