#pragma once

#include "FieldSplitter.h"
#include "TextFile.h"

#include <QString>

#include <cstdint>
#include <deque>

// Reads CSV records from a text stream: one physical line, or several when a
// quoted value runs across line breaks, as spreadsheets write a cell that
// holds a line break. Records keep their inner breaks as "\n", whatever the
// file's breaks were.
//
// A quote that is not closed within kLongestRecord, or before the end of the
// file, must not swallow the file: the record's first line is then returned
// alone (the field splitter refuses it) and the lines after it are read again
// as records of their own. Those lines are held until then, so memory stays
// within the bound and one line.
class RecordReader {
public:
    // Counted in UTF-16 code units, the joining breaks among them, against
    // the byte bound of one line: a record of single-byte text reaches the
    // same size as one overlong line.
    static constexpr qsizetype kLongestRecord = TextStream::kLongestLineBytes;

    // firstLineNumber: the physical line number of the stream's next line (1 for a fresh stream).
    explicit RecordReader(TextStream& stream, int64_t firstLineNumber = 1);

    // No record left.
    bool AtEndOfStream();
    // The next record. Raises what the stream raises: past the end error 62;
    // for an overlong line the overflow error, at that line's turn also when
    // a quoted value ran into it (its record could not close within the
    // bound). A call that raises for another reason while reading on past an
    // open quote has still used up the record's first line.
    QString ReadRecord();
    // The physical line where the record last read (or whose read raised) begins.
    int64_t RecordLineNumber() const { return m_recordLineNumber; }

private:
    // One physical line read past an open quote, to be read again should the quote not close.
    struct HeldLine {
        QString text;
        bool overlong = false;  // the stream raised the overflow error for it
    };

    // The next physical line: held ones first, then the stream's.
    HeldLine NextLine();
    HeldLine ReadStreamLine();
    // Holds lines past an open quote; true when the last one closes it within the bound.
    bool ReadToClosingQuote(qsizetype firstLineSize);

    TextStream& m_stream;
    int64_t m_nextLineNumber;
    int64_t m_recordLineNumber = 0;
    std::deque<HeldLine> m_held;
    // Their sizes with a joining break each; an overlong line counts past the bound.
    qsizetype m_heldSize = 0;
    // Every held line but the last leaves an open quote open; whether the last closes it:
    bool m_heldClosesQuote = false;
};
