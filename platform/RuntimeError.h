#pragma once

#include <QString>

#include <stdexcept>

// Run-time error numbers the program raises or reports.
enum RuntimeErrorNumber : int {
    ERR_BAD_CALL = 5,  // invalid procedure call or argument
    ERR_OVERFLOW = 6,
    ERR_TYPE_MISMATCH = 13,
    ERR_BAD_FILE_NAME = 52,
    ERR_FILE_NOT_FOUND = 53,
    ERR_INPUT_PAST_END = 62,
    ERR_PERMISSION_DENIED = 70,
    ERR_PATH_FILE_ACCESS = 75,
    ERR_PATH_NOT_FOUND = 76,
    ERR_CANNOT_CREATE_OBJECT = 429,
    ERR_AUTOMATION = 440,  // a component (the ledger store) failed; the text says why
};

// A run-time error with its number and the Japanese description the user
// reads in the standard error report.
class RuntimeError : public std::runtime_error {
public:
    explicit RuntimeError(int number);
    RuntimeError(int number, const QString& description);

    int number() const { return m_number; }
    const QString& description() const { return m_description; }

    static QString describe(int number);

private:
    int m_number;
    QString m_description;
};

// Adds to a 16-bit counter, raising the overflow error past 32767.
int16_t AddInt16(int16_t value, int increment);
