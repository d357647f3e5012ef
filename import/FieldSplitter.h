#pragma once

#include "RuntimeError.h"

#include <QString>
#include <QStringView>

#include <cstdint>

// Cuts one line into comma-separated fields and hands each to onField(column,
// field) as soon as it is found; onField returns false to look at no more
// fields. A field that starts with a double quote runs to its closing quote
// ("" inside stands for one quote, a comma inside is part of the value) and
// keeps what follows the closing quote up to the next comma.
//
// Positions are 16-bit: a line of 32767 characters or more overflows before
// any field, one of exactly 32766 overflows after its last field. A quoted
// field without its closing quote raises the invalid-argument error.
template <typename OnField>
void SplitFields(const QString& line, OnField&& onField)
{
    constexpr qsizetype lastPosition = 32767;
    const qsizetype length = line.size();
    if (length + 1 > lastPosition)
        throw RuntimeError(ERR_OVERFLOW);

    QString unquoted;  // the value of a quoted field, built only for those
    qsizetype start = 0;
    int16_t column = 1;
    for (;;) {
        qsizetype end;
        QStringView field;
        if (start < length && line[start] == u'"') {
            unquoted.clear();
            qsizetype pos = start + 1;
            for (;;) {
                const qsizetype quote = line.indexOf(u'"', pos);
                if (quote < 0)
                    throw RuntimeError(ERR_BAD_CALL);
                unquoted.append(QStringView(line).sliced(pos, quote - pos));
                if (quote + 1 < length && line[quote + 1] == u'"') {
                    unquoted.append(u'"');
                    pos = quote + 2;
                } else {
                    pos = quote + 1;
                    break;
                }
            }
            const qsizetype comma = line.indexOf(u',', pos);
            end = comma < 0 ? length : comma;
            unquoted.append(QStringView(line).sliced(pos, end - pos));
            field = unquoted;
        } else {
            const qsizetype comma = line.indexOf(u',', start);
            end = comma < 0 ? length : comma;
            field = QStringView(line).sliced(start, end - start);
        }
        if (!onField(column, field) || end == length)
            break;
        start = end + 1;
        column = AddInt16(column, 1);
    }
    // The position after the last field is one past the 16-bit range.
    if (length + 1 == lastPosition)
        throw RuntimeError(ERR_OVERFLOW);
}
