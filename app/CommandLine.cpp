#include "CommandLine.h"

#include <QDir>

CommandLine::CommandLine()
    : m_helpOption(m_parser.addHelpOption()),
      m_versionOption(m_parser.addVersionOption()),
      m_userDataOption(QStringLiteral("user-data"),
                       tr("Use $XDG_DATA_HOME/MoraImport (~/.local/share/MoraImport) as the current "
                          "folder, where the ledger lies under Data/; both are created when missing.")),
      m_importOption(QStringLiteral("import"),
                     tr("Import FILE without a window: messages go to standard error, the totals to "
                        "standard output. Exit status 0 when every line was imported, 1 when some were "
                        "not, 2 when the file was refused or the import ended without totals."),
                     QStringLiteral("FILE"))
{
    m_parser.setApplicationDescription(
        tr("Dorvik Ver1.0.0: imports a purchase or sales CSV file into the ledger."));
    m_parser.addOption(m_userDataOption);
    m_parser.addOption(m_importOption);
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
    m_useUserData = m_parser.isSet(m_userDataOption);

    // Every name given counts, so that more than one is refused as a drop
    // of several files would be.
    const QDir start(startFolder);
    m_givenFiles = m_parser.values(m_importOption) + m_parser.positionalArguments();
    for (const QString& file : m_givenFiles)
        m_files << (QDir::isAbsolutePath(file) ? file : QDir::cleanPath(start.absoluteFilePath(file)));
    return true;
}
