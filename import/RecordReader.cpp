#include "RecordReader.h"

#include "RuntimeError.h"

#include <utility>

namespace {

// What a held line adds to a record: itself and the break before it.
qsizetype JoinedSize(const QString& text, bool overlong)
{
    return overlong ? RecordReader::kLongestRecord + 1 : text.size() + 1;
}

}  // namespace

RecordReader::RecordReader(TextStream& stream, int64_t firstLineNumber)
    : m_stream(stream), m_nextLineNumber(firstLineNumber)
{
}

bool RecordReader::AtEndOfStream() { return m_held.empty() && m_stream.AtEndOfStream(); }

RecordReader::HeldLine RecordReader::NextLine()
{
    if (m_held.empty()) {
        HeldLine line = ReadStreamLine();
        ++m_nextLineNumber;
        return line;
    }
    HeldLine line = std::move(m_held.front());
    m_held.pop_front();
    m_heldSize -= JoinedSize(line.text, line.overlong);
    if (m_held.empty())
        m_heldClosesQuote = false;
    ++m_nextLineNumber;
    return line;
}

RecordReader::HeldLine RecordReader::ReadStreamLine()
{
    try {
        return HeldLine{m_stream.ReadLine(), false};
    } catch (const RuntimeError& error) {
        // The stream has read past the overlong line: it is a line of its own, reported at its turn.
        if (error.number() != ERR_OVERFLOW)
            throw;
        return HeldLine{QString(), true};
    }
}

QString RecordReader::ReadRecord()
{
    m_recordLineNumber = m_nextLineNumber;
    HeldLine first = NextLine();
    if (first.overlong)
        throw RuntimeError(ERR_OVERFLOW);
    if (!EndsInsideQuotes(first.text) || !ReadToClosingQuote(first.text.size()))
        return std::move(first.text);

    QString record = std::move(first.text);
    record.reserve(record.size() + m_heldSize);
    for (const HeldLine& line : m_held) {
        record += u'\n';
        record += line.text;
    }
    m_nextLineNumber += int64_t(m_held.size());
    m_held.clear();
    m_heldSize = 0;
    m_heldClosesQuote = false;
    return record;
}

bool RecordReader::ReadToClosingQuote(qsizetype firstLineSize)
{
    // Lines already held were read past an open quote, and a line leaves an
    // open quote open or closes it whatever came before: they need no new scan.
    for (;;) {
        if (firstLineSize + m_heldSize > kLongestRecord)
            return false;
        if (m_heldClosesQuote)
            return true;
        if (m_stream.AtEndOfStream())
            return false;
        HeldLine line = ReadStreamLine();
        m_heldSize += JoinedSize(line.text, line.overlong);
        // The break before the line is a character of the quoted value.
        m_heldClosesQuote = !line.overlong && ScanQuotes(line.text, QuoteScan::InsideQuotes) != QuoteScan::InsideQuotes;
        m_held.push_back(std::move(line));
    }
}
