#pragma once

#include "RuntimeError.h"

#include <QString>
#include <QStringView>

#include <bit>
#include <cstdint>
#include <cstring>

// Where a scan of a record's quotes stands, so that a record read in pieces
// is scanned piece by piece instead of again from its start.
enum class QuoteScan : uint8_t {
    FieldStart,     // before a field's first character
    Unquoted,       // in a field that doesn't start with a quote, or after a closing quote
    InsideQuotes,   // in a quoted value
    QuoteInQuotes,  // just past a quote in a quoted value: it closes it unless another follows
};

namespace field_splitter_detail {

// The first double quote in [p, end), or end. Every line the import reads
// is scanned: inline and four code units at a time, this takes a third of
// the time of indexOf on lines as short as the import's.
inline const char16_t* FindQuote(const char16_t* p, const char16_t* end)
{
    if constexpr (std::endian::native == std::endian::little) {
        constexpr uint64_t ones = 0x0001000100010001ULL;
        constexpr uint64_t highs = 0x8000800080008000ULL;
        for (; end - p >= 4; p += 4) {
            uint64_t chunk;
            std::memcpy(&chunk, p, sizeof chunk);
            const uint64_t diff = chunk ^ (ones * u'"');
            // Exact for the lowest unit found: a borrow only marks higher ones.
            const uint64_t found = (diff - ones) & ~diff & highs;
            if (found != 0)
                return p + std::countr_zero(found) / 16;
        }
    }
    while (p < end && *p != u'"')
        ++p;
    return p;
}

}  // namespace field_splitter_detail

// Scans text from state by the rules SplitFields applies (below): a quote
// opens a value only as a field's first character, "" inside is one quote,
// and after the closing quote every quote up to the next comma is literal.
// Only quotes cost time: the text between them is skipped by search.
inline QuoteScan ScanQuotes(QStringView text, QuoteScan state = QuoteScan::FieldStart)
{
    using field_splitter_detail::FindQuote;
    const char16_t* const begin = text.utf16();
    const char16_t* const end = begin + text.size();
    const char16_t* p = begin;
    for (;;) {
        switch (state) {
        case QuoteScan::FieldStart:
        case QuoteScan::QuoteInQuotes:
            if (p == end)
                return state;
            if (*p == u'"') {
                // Opens a value, or after a quote inside one is a quote of the value.
                state = QuoteScan::InsideQuotes;
                ++p;
            } else {
                state = QuoteScan::Unquoted;
            }
            break;
        case QuoteScan::Unquoted: {
            // Commas matter only just before a quote, where they make it open a field.
            const char16_t* const quote = FindQuote(p, end);
            if (quote == end)
                return end > p && end[-1] == u',' ? QuoteScan::FieldStart : state;
            if (quote > p && quote[-1] == u',')
                state = QuoteScan::InsideQuotes;
            p = quote + 1;
            break;
        }
        case QuoteScan::InsideQuotes: {
            const char16_t* const quote = FindQuote(p, end);
            if (quote == end)
                return state;
            state = QuoteScan::QuoteInQuotes;
            p = quote + 1;
            break;
        }
        }
    }
}

// True when a quoted value of record is still open at its end: SplitFields
// would raise the invalid-argument error for it.
inline bool EndsInsideQuotes(QStringView record) { return ScanQuotes(record) == QuoteScan::InsideQuotes; }

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
