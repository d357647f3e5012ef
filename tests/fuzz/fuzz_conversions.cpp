// Converts any text to a number and to a date: a number read back from its
// own digits is the same number, a date is a finite day count, the only
// failures are type mismatch and overflow, and writing the digits, signs and
// separators full-width changes nothing.
#include "Conversions.h"
#include "FuzzCheck.h"
#include "RuntimeError.h"

#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

bool IsConversionError(int error) { return error == ERR_TYPE_MISMATCH || error == ERR_OVERFLOW; }

struct Outcome {
    int error = 0;
    double value = 0;

    bool operator==(const Outcome&) const = default;
};

template <typename Conversion>
Outcome OutcomeOf(Conversion conversion, QStringView text)
{
    try {
        return {0, double(conversion(text))};
    } catch (const RuntimeError& error) {
        return {error.number(), 0};
    }
}

// The full-width forms of "+,-./0123456789:", as an input method types them.
QString Widened(QString text)
{
    for (QChar& c : text) {
        if (c >= u'+' && c <= u':')
            c = QChar(char16_t(c.unicode() + (u'＋' - u'+')));
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QString wide = Widened(text);

    const Outcome number = OutcomeOf(CLng, text);
    if (number.error == 0) {
        const auto value = int32_t(number.value);
        FUZZ_CHECK(CLng(QString::number(value)) == value);
    } else {
        FUZZ_CHECK(IsConversionError(number.error));
    }
    FUZZ_CHECK(OutcomeOf(CLng, wide) == number);

    const Outcome date = OutcomeOf(CDate, text);
    if (date.error == 0) {
        FUZZ_CHECK(std::isfinite(date.value));
        FUZZ_CHECK(std::fabs(date.value) < 3.0e6);  // years 100 to 9999
    } else {
        FUZZ_CHECK(date.error == ERR_TYPE_MISMATCH);
    }
    FUZZ_CHECK(OutcomeOf(CDate, wide) == date);

    if (size >= 8) {
        int32_t a, b;
        std::memcpy(&a, data, sizeof a);
        std::memcpy(&b, data + 4, sizeof b);
        const int64_t exact = int64_t(a) * int64_t(b);
        try {
            FUZZ_CHECK(MultiplyLong(a, b) == exact);
        } catch (const RuntimeError& error) {
            FUZZ_CHECK(error.number() == ERR_OVERFLOW);
            FUZZ_CHECK(exact != int64_t(int32_t(exact)));
        }
    }
    return 0;
}
