// Converts any text to a number and to a date: a number read back from its
// own digits is the same number, a date is a finite day count, and the
// only failures are type mismatch and overflow.
#include "Conversions.h"
#include "FuzzCheck.h"
#include "RuntimeError.h"

#include <QString>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

bool IsConversionError(const RuntimeError& error)
{
    return error.number() == ERR_TYPE_MISMATCH || error.number() == ERR_OVERFLOW;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        const int32_t value = CLng(text);
        FUZZ_CHECK(CLng(QString::number(value)) == value);
    } catch (const RuntimeError& error) {
        FUZZ_CHECK(IsConversionError(error));
    }
    try {
        const double date = CDate(text);
        FUZZ_CHECK(std::isfinite(date));
        FUZZ_CHECK(std::fabs(date) < 3.0e6);  // years 100 to 9999
    } catch (const RuntimeError& error) {
        FUZZ_CHECK(error.number() == ERR_TYPE_MISMATCH);
    }
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
