#include "CommandLine.h"

#include <QDir>

CommandLine::CommandLine()
    : m_helpOption(m_parser.addHelpOption()), m_versionOption(m_parser.addVersionOption()),
      m_userDataOption(QStringLiteral("user-data"),
                       tr("Use $XDG_DATA_HOME/MoraImport (~/.local/share/MoraImport) as the current "
                          "folder, where the ledger lies under Data/; both are created when missing.")),
      m_importOption(QStringLiteral("import"),
                     tr("Import FILE without a window: messages go to standard error, the totals to "
                        "standard output. Exit status 0 when every line read was imported or left out "
                        "as already in the ledger, 1 when some were refused, 2 when the file was "
                        "refused or the import ended without totals."),
                     QStringLiteral("FILE")),
      m_againOption(QStringLiteral("again"),
                    tr("With --import: import every line of the file even when the ledger holds a run "
                       "of the same content or trades the same as some of its lines (without it or "
                       "--new-only, such a file is refused with exit status 2).")),
      m_newOnlyOption(QStringLiteral("new-only"),
                      tr("With --import: import only the lines whose trades are not in the ledger yet, "
                         "also from a file the ledger holds a run of; the others are counted as read "
                         "and kept with the run as skipped.")),
      m_sheetOption(QStringLiteral("sheet"),
                    tr("With --import or --check: read the sheet NAME of a workbook (.xlsx, .xlsm, .xls, .ods), "
                       "or its sheet number N counted from 1; without it, the first sheet."),
                    QStringLiteral("NAME|N")),
      m_checkOption(QStringLiteral("check"),
                    tr("Look at FILE without importing it, writing nothing to the ledger: one "
                       "tab-separated row per data line to standard output (line, outcome: new, "
                       "in-ledger or refused, and detail). Exit status 0 when the file would import, "
                       "2 when it is refused."),
                    QStringLiteral("FILE")),
      m_historyOption(QStringLiteral("history"),
                      tr("Write the ledger's import runs to standard output as tab-separated values.")),
      m_historyWindowOption(QStringLiteral("history-window"), tr("Open the window of the import history.")),
      m_ledgerPlaceOption(QStringLiteral("ledger-place"),
                          tr("Open the window that chooses where the ledger lies: this computer, or a "
                             "server shared by an office.")),
      m_rejectsOption(QStringLiteral("rejects"),
                      tr("Write the header line and the lines that run RUN refused, as a CSV file in "
                         "UTF-8, to standard output."),
                      QStringLiteral("RUN")),
      m_undoOption(QStringLiteral("undo"),
                   tr("Take the trades of run RUN out of the ledger, with the products and parties that "
                      "only it added."),
                   QStringLiteral("RUN")),
      m_patternOption(QStringLiteral("pattern"),
                      tr("With --import or --check: read FILE with the import pattern NAME kept in the "
                         "ledger, whatever its header (refused when the file does not fit it)."),
                      QStringLiteral("NAME")),
      m_patternsOption(QStringLiteral("patterns"),
                       tr("Write the import patterns kept in the ledger to standard output, one per line, "
                          "tab-separated: name, mode (sales or purchase), the header texts it names.")),
      m_patternSaveOption(QStringLiteral("pattern-save"),
                          tr("Keep the import pattern of the pattern file FILE (UTF-8 JSON) in the "
                             "ledger, replacing one of the same name."),
                          QStringLiteral("FILE")),
      m_patternExportOption(QStringLiteral("pattern-export"),
                            tr("Write the pattern file of the import pattern NAME to standard output."),
                            QStringLiteral("NAME")),
      m_patternDeleteOption(QStringLiteral("pattern-delete"), tr("Delete the import pattern NAME from the ledger."),
                            QStringLiteral("NAME"))
{
    m_parser.setApplicationDescription(tr("Dorvik Ver1.0.0: imports a purchase or sales CSV file into the ledger."));
    m_parser.addOption(m_userDataOption);
    m_parser.addOption(m_importOption);
    m_parser.addOption(m_againOption);
    m_parser.addOption(m_newOnlyOption);
    m_parser.addOption(m_sheetOption);
    m_parser.addOption(m_checkOption);
    m_parser.addOption(m_historyOption);
    m_parser.addOption(m_historyWindowOption);
    m_parser.addOption(m_ledgerPlaceOption);
    m_parser.addOption(m_rejectsOption);
    m_parser.addOption(m_undoOption);
    m_parser.addOption(m_patternOption);
    m_parser.addOption(m_patternsOption);
    m_parser.addOption(m_patternSaveOption);
    m_parser.addOption(m_patternExportOption);
    m_parser.addOption(m_patternDeleteOption);
    m_parser.addPositionalArgument(QStringLiteral("FILE"),
                                   tr("Open the window with FILE chosen, as if it had been dropped on it."),
                                   QStringLiteral("[FILE]"));
}

bool CommandLine::Parse(const QStringList& arguments, const QString& startFolder)
{
    if (!m_parser.parse(arguments)) {
        m_error = m_parser.errorText();
        return false;
    }
    if (m_parser.isSet(m_helpOption) || m_parser.isSet(QStringLiteral("help-all")))
        m_action = Action::Help;
    else if (m_parser.isSet(m_versionOption))
        m_action = Action::Version;
    else if (m_parser.isSet(m_importOption))
        m_action = Action::Import;
    else if (m_parser.isSet(m_checkOption))
        m_action = Action::Check;
    else if (m_parser.isSet(m_historyOption))
        m_action = Action::History;
    else if (m_parser.isSet(m_historyWindowOption))
        m_action = Action::HistoryWindow;
    else if (m_parser.isSet(m_ledgerPlaceOption))
        m_action = Action::LedgerPlaceWindow;
    else if (m_parser.isSet(m_rejectsOption))
        m_action = Action::Rejects;
    else if (m_parser.isSet(m_undoOption))
        m_action = Action::Undo;
    else if (m_parser.isSet(m_patternsOption))
        m_action = Action::Patterns;
    else if (m_parser.isSet(m_patternSaveOption))
        m_action = Action::PatternSave;
    else if (m_parser.isSet(m_patternExportOption))
        m_action = Action::PatternExport;
    else if (m_parser.isSet(m_patternDeleteOption))
        m_action = Action::PatternDelete;
    m_importAgain = m_parser.isSet(m_againOption);
    m_importNewOnly = m_parser.isSet(m_newOnlyOption);
    // Each answers the question of lines in the ledger the other way.
    if (m_importAgain && m_importNewOnly) {
        m_error = tr("Give --again or --new-only, not both.");
        return false;
    }
    if (m_action == Action::Rejects || m_action == Action::Undo) {
        const QStringList runs = m_parser.values(m_action == Action::Rejects ? m_rejectsOption : m_undoOption);
        if (runs.size() != 1) {
            m_error = tr("Name one run.");
            return false;
        }
        m_run = runs.front();
    }
    if (m_parser.isSet(m_sheetOption)) {
        const QStringList sheets = m_parser.values(m_sheetOption);
        if (sheets.size() != 1 || (m_action != Action::Import && m_action != Action::Check)) {
            m_error = tr("Give one --sheet, with --import or --check.");
            return false;
        }
        m_sheet = sheets.front();
    }
    if (!ReadPatternOptions(startFolder))
        return false;
    m_useUserData = m_parser.isSet(m_userDataOption);

    // Every name given counts, so that more than one is refused as a drop
    // of several files would be.
    const QDir start(startFolder);
    m_givenFiles = m_parser.values(m_importOption) + m_parser.values(m_checkOption) + m_parser.positionalArguments();
    for (const QString& file : m_givenFiles)
        m_files << (QDir::isAbsolutePath(file) ? file : QDir::cleanPath(start.absoluteFilePath(file)));
    return true;
}

bool CommandLine::ReadPatternOptions(const QString& startFolder)
{
    if (m_parser.isSet(m_patternOption)) {
        const QStringList names = m_parser.values(m_patternOption);
        if (names.size() != 1 || (m_action != Action::Import && m_action != Action::Check)) {
            m_error = tr("Give one --pattern, with --import or --check.");
            return false;
        }
        m_pattern = names.front();
    }
    const QCommandLineOption* named = m_action == Action::PatternExport   ? &m_patternExportOption
                                      : m_action == Action::PatternDelete ? &m_patternDeleteOption
                                      : m_action == Action::PatternSave   ? &m_patternSaveOption
                                                                          : nullptr;
    if (!named)
        return true;
    const QStringList values = m_parser.values(*named);
    if (values.size() != 1) {
        m_error = tr("Name one pattern.");
        return false;
    }
    if (m_action == Action::PatternSave)
        m_patternFile = QDir::isAbsolutePath(values.front())
                            ? values.front()
                            : QDir::cleanPath(QDir(startFolder).absoluteFilePath(values.front()));
    else
        m_pattern = values.front();
    return true;
}
