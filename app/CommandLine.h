#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QString>
#include <QStringList>

// What the program was asked to do on its command line. Its texts are
// translated when it is made, so make it after the translation is installed.
class CommandLine {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    enum class Action {
        Window,
        Import,
        Check,
        History,
        HistoryWindow,
        LedgerPlaceWindow,
        Rejects,
        Undo,
        Patterns,
        PatternSave,
        PatternExport,
        PatternDelete,
        Help,
        Version
    };

    CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    // Reads the arguments (the program's name first). Relative file names
    // are taken from startFolder. False on a usage error, see Error().
    bool Parse(const QStringList& arguments, const QString& startFolder);

    Action WhatToDo() const { return m_action; }
    bool UseUserData() const { return m_useUserData; }
    // Full paths of the files to open, import or check, in the order given.
    const QStringList& Files() const { return m_files; }
    // The same files as the user wrote them.
    const QStringList& GivenFiles() const { return m_givenFiles; }
    // The run that --rejects or --undo names, as written.
    QString Run() const { return m_run; }
    // Import a file again that a run of the ledger already imported, or
    // whose lines are in the ledger: every line of it.
    bool ImportAgain() const { return m_importAgain; }
    // The same, but only the lines that are not in the ledger.
    bool ImportNewOnly() const { return m_importNewOnly; }
    // The sheet of a workbook that --import or --check reads, by its name
    // or number, as written; empty: the first.
    QString Sheet() const { return m_sheet; }
    // The import pattern --import or --check reads the file with, or that
    // --pattern-export or --pattern-delete names; empty: none named.
    QString Pattern() const { return m_pattern; }
    // The pattern file --pattern-save stores, as a full path.
    QString PatternFile() const { return m_patternFile; }
    QString Error() const { return m_error; }
    // Needs the application object: the usage line names the program.
    QString HelpText() const { return m_parser.helpText(); }

private:
    // --pattern and the pattern commands' own arguments; false on a usage error.
    bool ReadPatternOptions(const QString& startFolder);

    QCommandLineParser m_parser;
    QCommandLineOption m_helpOption;
    QCommandLineOption m_versionOption;
    QCommandLineOption m_userDataOption;
    QCommandLineOption m_importOption;
    QCommandLineOption m_againOption;
    QCommandLineOption m_newOnlyOption;
    QCommandLineOption m_sheetOption;
    QCommandLineOption m_checkOption;
    QCommandLineOption m_historyOption;
    QCommandLineOption m_historyWindowOption;
    QCommandLineOption m_ledgerPlaceOption;
    QCommandLineOption m_rejectsOption;
    QCommandLineOption m_undoOption;
    QCommandLineOption m_patternOption;
    QCommandLineOption m_patternsOption;
    QCommandLineOption m_patternSaveOption;
    QCommandLineOption m_patternExportOption;
    QCommandLineOption m_patternDeleteOption;
    Action m_action = Action::Window;
    bool m_useUserData = false;
    bool m_importAgain = false;
    bool m_importNewOnly = false;
    QString m_run;
    QString m_sheet;
    QString m_pattern;
    QString m_patternFile;
    QStringList m_files;
    QStringList m_givenFiles;
    QString m_error;
};
