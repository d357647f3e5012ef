#include "Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace {

// QCommandLineParser translates these itself; naming them here keeps them
// in the program's translation when lupdate brings it up to date.
[[maybe_unused]] constexpr const char* kParserTexts[] = {
    QT_TRANSLATE_NOOP("QCommandLineParser", "Displays help on commandline options."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Displays help including Qt specific options."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Displays version information."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Usage: %1"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "[options]"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Options:"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Arguments:"),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unknown option '%1'."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unknown options: %1."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Missing value after '%1'."),
    QT_TRANSLATE_NOOP("QCommandLineParser", "Unexpected value after '%1'."),
};

}  // namespace

ProgramTranslation::ProgramTranslation(const QLocale& locale)
{
    // The build embeds the compiled translations (MoraImport_ja.qm), so the
    // installed program needs no file beside it.
    m_installed = m_translator.load(locale, QStringLiteral("MoraImport"), QStringLiteral("_"), QStringLiteral(":/i18n"))
                  && QCoreApplication::installTranslator(&m_translator);
}

ProgramTranslation::~ProgramTranslation()
{
    if (m_installed)
        QCoreApplication::removeTranslator(&m_translator);
}

QtJapaneseTranslation::QtJapaneseTranslation()
{
    m_installed = m_translator.load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))
                  && QCoreApplication::installTranslator(&m_translator);
}

QtJapaneseTranslation::~QtJapaneseTranslation()
{
    if (m_installed)
        QCoreApplication::removeTranslator(&m_translator);
}
