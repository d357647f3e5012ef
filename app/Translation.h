#pragma once

#include <QLocale>
#include <QTranslator>

// The program's own texts in the language of a locale, for as long as this
// lives: Japanese for a Japanese one, the English they are written in for
// any other. Needs the application object; texts made before it stay as
// they were.
class ProgramTranslation {
public:
    explicit ProgramTranslation(const QLocale& locale = QLocale());
    ~ProgramTranslation();
    ProgramTranslation(const ProgramTranslation&) = delete;
    ProgramTranslation& operator=(const ProgramTranslation&) = delete;

    // False when the locale's language has no translation.
    bool Installed() const { return m_installed; }

private:
    QTranslator m_translator;
    bool m_installed = false;
};

// Qt's own texts (standard buttons, the details button, file dialogs,
// context menus) in Japanese, whatever the locale, for as long as this
// lives: the window speaks Japanese throughout. Taken from Qt's installed
// catalogues (qtbase_ja).
class QtJapaneseTranslation {
public:
    QtJapaneseTranslation();
    ~QtJapaneseTranslation();
    QtJapaneseTranslation(const QtJapaneseTranslation&) = delete;
    QtJapaneseTranslation& operator=(const QtJapaneseTranslation&) = delete;

    // False when Qt's Japanese catalogue is not installed.
    bool Installed() const { return m_installed; }

private:
    QTranslator m_translator;
    bool m_installed = false;
};
