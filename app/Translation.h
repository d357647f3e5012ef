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
