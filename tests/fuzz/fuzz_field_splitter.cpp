// Splits any line: fields come numbered from 1 without gaps, an unquoted
// line is given back whole by its fields, the only failures are the
// run-time errors the splitting may raise, and the quote scan the record
// reader relies on finds a quote open exactly when the splitting does.
#include "FieldSplitter.h"
#include "FuzzCheck.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    QStringList fields;
    int16_t expectedColumn = 1;
    try {
        SplitFields(line, [&](int16_t column, QStringView field) {
            FUZZ_CHECK(column == expectedColumn);
            ++expectedColumn;
            fields << field.toString();
            return true;
        });
        FUZZ_CHECK(line.size() < 32766);
        FUZZ_CHECK(!fields.isEmpty());
        if (!line.contains(u'"'))
            FUZZ_CHECK(fields.join(u',') == line);
        FUZZ_CHECK(!EndsInsideQuotes(line));
    } catch (const RuntimeError& error) {
        FUZZ_CHECK(error.number() == ERR_OVERFLOW || error.number() == ERR_BAD_CALL);
        if (line.size() >= 32767)
            FUZZ_CHECK(error.number() == ERR_OVERFLOW && fields.isEmpty());
        if (error.number() == ERR_BAD_CALL)
            FUZZ_CHECK(line.contains(u'"') && EndsInsideQuotes(line));
        else if (line.size() < 32767)
            FUZZ_CHECK(!EndsInsideQuotes(line));  // all fields were split
    }
    return 0;
}
